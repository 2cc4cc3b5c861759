// ZroChl: the client channel definition and its exit and compression lists.
#include "zroi/zrochl.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "zrofield.hpp"
#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zrochl")

namespace {

// The count and list fields of one direction, so that the send and receive
// operations are one code over a table.
struct ExitFields {
    int32_t ZRCD::*count;
    char* ZRCD::*names;
    char* ZRCD::*data;
};

constexpr ExitFields EXIT_FIELDS[] = {
    {&ZRCD::sendExitCount, &ZRCD::sendExitNameList, &ZRCD::sendExitDataList},
    {&ZRCD::receiveExitCount, &ZRCD::receiveExitNameList, &ZRCD::receiveExitDataList},
};

// The largest count or length that the record's 32-bit signed fields hold.
constexpr unsigned MAX_RECORD_COUNT = INT32_MAX;

// A count, width or length field of the record as an unsigned number. The
// library stores none below 0; one written so by an outside writer counts
// as 0, so that it never becomes a huge size.
unsigned nonNegative(int32_t field) noexcept
{
    return field > 0 ? static_cast<unsigned>(field) : 0;
}

// The bytes of a list of `count` entries of `width` bytes, checked before
// they are multiplied (the product only overflows where size_t is 32-bit).
std::size_t blockSize(unsigned count, unsigned width)
{
    if (width != 0 && count > SIZE_MAX / width) throw std::bad_alloc();
    return static_cast<std::size_t>(count) * width;
}

// Entry `i` of a list of `width`-byte entries.
char* entryAt(char* list, unsigned i, unsigned width) noexcept
{
    return list + static_cast<std::size_t>(i) * width;
}

// A new block holding the `size` bytes at `source` (zeros without a source).
char* copyBlock(const char* source, std::size_t size)
{
    char* block = new char[size]();
    if (source != nullptr && size != 0) std::memcpy(block, source, size);
    return block;
}

template <std::size_t Width> ZroStr fieldText(const char (&field)[Width])
{
    return zrofield::text(field, Width);
}

template <std::size_t Width>
unsigned char setFieldText(char (&field)[Width], const char* text, ZroErr& error)
{
    return ZroStr::copy(field, Width, text, error, '\0');
}

// Compression lists: `capacity` slots, -1 marking an unused one.
unsigned slotsInUse(const int32_t* slots, unsigned capacity) noexcept
{
    unsigned n = 0;
    while (n < capacity && slots[n] != ZRCD_COMPRESSION_UNUSED) ++n;
    return n;
}

void readSlots(const int32_t* slots, unsigned capacity, unsigned count, int32_t* values) noexcept
{
    if (values == nullptr) return;
    unsigned n = count < capacity ? count : capacity;
    std::memcpy(values, slots, n * sizeof(int32_t));
}

void writeSlots(int32_t* slots, unsigned capacity, unsigned count, const int32_t* values) noexcept
{
    unsigned n = values == nullptr ? 0 : count < capacity ? count : capacity;
    if (n != 0) std::memcpy(slots, values, n * sizeof(int32_t));
    // The slots after the values given end the list, so that its count is
    // the number of values given (unless one of them is -1).
    for (unsigned i = n; i < capacity; ++i) slots[i] = ZRCD_COMPRESSION_UNUSED;
}

} // namespace

// A caller's list of texts, given as C strings or as strings (the other
// pointer is null), so that both forms of the list setters are one code.
struct ZroChl::Texts {
    const char* const* texts;
    const ZroStr* const* strings;

    bool isNull() const noexcept { return texts == nullptr && strings == nullptr; }
    /// Entry `i` is a null pointer.
    bool missing(unsigned i) const noexcept
    {
        return texts != nullptr ? texts[i] == nullptr : strings[i] == nullptr;
    }
    /// The text of entry `i`: nullptr for a null entry or a string without storage.
    const char* text(unsigned i) const noexcept
    {
        if (texts != nullptr) return texts[i];
        return strings[i] != nullptr ? strings[i]->dataPointer() : nullptr;
    }
};

// Construction, copying, destruction.

ZroChl::ZroChl() : record_(new ::ZRCD)
{
    // Every byte zero, padding included, then the defaults of a client channel.
    std::memset(record_, 0, sizeof(::ZRCD));
    ::ZRCD& r = *record_;
    r.word20 = 8;
    r.word24 = 1;
    r.transportType = 1;
    r.word304 = 50;
    r.word308 = 6000;
    r.word312 = 10;
    r.word316 = 60;
    r.word320 = 999999999;
    r.word324 = 1200;
    r.word840 = 999999999;
    r.maximumMessageLength = 4194304;
    r.word848 = 1;
    r.word1020 = 1;
    r.word1472 = 10;
    r.word1476 = 1000;
    r.heartBeatInterval = 300;
    r.word1488 = 2;
    r.recordLength = ZRCD_LENGTH;
    r.exitNameLength = ZRCD_EXIT_NAME_LENGTH;
    r.exitDataLength = ZRCD_EXIT_DATA_LENGTH;
    r.keepAliveInterval = -1;
    for (int32_t& slot : r.headerCompression) slot = ZRCD_COMPRESSION_UNUSED;
    for (int32_t& slot : r.messageCompression) slot = ZRCD_COMPRESSION_UNUSED;
    r.word1828 = 50;
}

ZroChl::ZroChl(const ZroChl& other) : ZroErr(other), record_(new ::ZRCD)
{
    try {
        copyRecord(*other.record_);
    } catch (...) {
        // No destructor runs for a half-built object: release what was copied.
        releaseOwned();
        delete record_;
        throw;
    }
}

ZroChl::~ZroChl()
{
    releaseOwned();
    delete record_;
}

void ZroChl::operator=(const ZroChl& other)
{
    if (&other == this) return;
    ZroErr::operator=(other);
    releaseOwned();
    copyRecord(*other.record_);
}

void ZroChl::copyRecord(const ::ZRCD& source)
{
    std::memcpy(record_, &source, sizeof(::ZRCD));
    // The addresses just copied are the source's. Forget them before anything
    // that can throw, so that this channel never releases or shares them; a
    // direction stays without lists until its own copies are in place.
    for (const ExitFields& fields : EXIT_FIELDS) {
        record_->*fields.count = 0;
        record_->*fields.names = nullptr;
        record_->*fields.data = nullptr;
    }
    record_->sslPeerNamePointer = nullptr;
    record_->sslPeerNameLength = 0;
    copyExits(Direction::Receive, source);
    copyExits(Direction::Send, source);
    if (source.sslPeerNamePointer != nullptr) {
        unsigned length = nonNegative(source.sslPeerNameLength);
        record_->sslPeerNamePointer = copyBlock(source.sslPeerNamePointer, length);
        record_->sslPeerNameLength = static_cast<int32_t>(length);
    }
}

void ZroChl::copyExits(Direction direction, const ::ZRCD& source)
{
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    unsigned count = nonNegative(source.*fields.count);
    if (count == 0) return;
    std::unique_ptr<char[]> names(
        copyBlock(source.*fields.names, blockSize(count, nonNegative(source.exitNameLength))));
    char* data =
        copyBlock(source.*fields.data, blockSize(count, nonNegative(source.exitDataLength)));
    record_->*fields.names = names.release();
    record_->*fields.data = data;
    record_->*fields.count = static_cast<int32_t>(count);
}

void ZroChl::releaseOwned() noexcept
{
    releaseExits(Direction::Receive);
    releaseExits(Direction::Send);
    delete[] record_->sslPeerNamePointer;
    record_->sslPeerNamePointer = nullptr;
    record_->sslPeerNameLength = 0;
}

unsigned char ZroChl::failWith(int32_t reason) noexcept
{
    // The channel writes no texts of its own: only the codes tell.
    setCodes(ZRCC_FAILED, reason);
    return 0;
}

// Character fields.

ZroStr ZroChl::channelName() const { return fieldText(record_->channelName); }
unsigned char ZroChl::setChannelName(const char* text)
{
    return setFieldText(record_->channelName, text, *this);
}

ZroStr ZroChl::modeName() const { return fieldText(record_->modeName); }
unsigned char ZroChl::setModeName(const char* text)
{
    return setFieldText(record_->modeName, text, *this);
}

ZroStr ZroChl::transactionProgramName() const { return fieldText(record_->transactionProgramName); }
unsigned char ZroChl::setTransactionProgramName(const char* text)
{
    return setFieldText(record_->transactionProgramName, text, *this);
}

ZroStr ZroChl::securityExitName() const { return fieldText(record_->securityExitName); }
unsigned char ZroChl::setSecurityExitName(const char* text)
{
    return setFieldText(record_->securityExitName, text, *this);
}

ZroStr ZroChl::securityUserData() const { return fieldText(record_->securityUserData); }
unsigned char ZroChl::setSecurityUserData(const char* text)
{
    return setFieldText(record_->securityUserData, text, *this);
}

ZroStr ZroChl::userId() const { return fieldText(record_->userId); }
unsigned char ZroChl::setUserId(const char* text)
{
    return setFieldText(record_->userId, text, *this);
}

ZroStr ZroChl::password() const { return fieldText(record_->password); }
unsigned char ZroChl::setPassword(const char* text)
{
    return setFieldText(record_->password, text, *this);
}

ZroStr ZroChl::sslCipherSpecification() const { return fieldText(record_->sslCipherSpecification); }
unsigned char ZroChl::setSslCipherSpecification(const char* text)
{
    return setFieldText(record_->sslCipherSpecification, text, *this);
}

ZroStr ZroChl::localAddress() const { return fieldText(record_->localAddress); }
unsigned char ZroChl::setLocalAddress(const char* text)
{
    return setFieldText(record_->localAddress, text, *this);
}

ZroStr ZroChl::connectionName() const { return fieldText(record_->connectionName); }

unsigned char ZroChl::setConnectionName(const char* text)
{
    // The short form first: a text it cannot read leaves the long form alone.
    // A cut in the short form is a warning that stays on the channel.
    if (setFieldText(record_->shortConnectionName, text, *this) == 0) return 0;
    return setFieldText(record_->connectionName, text, *this);
}

ZroStr ZroChl::sslPeerName() const
{
    return zrofield::text(record_->sslPeerNamePointer, nonNegative(record_->sslPeerNameLength));
}

unsigned char ZroChl::setSslPeerName(const char* text)
{
    // A copy of width 0 checks the text and writes nothing: an unreadable
    // text fails here (2/2145) while the current name is still in place.
    if (ZroStr::copy(nullptr, 0, text, *this, '\0') == 0) return 0;
    std::size_t n = text != nullptr ? std::strlen(text) : 0;
    // The length field is 32-bit signed; the copy below cuts a longer text
    // with its warning.
    unsigned length = n > MAX_RECORD_COUNT ? MAX_RECORD_COUNT : static_cast<unsigned>(n);
    delete[] record_->sslPeerNamePointer;
    record_->sslPeerNamePointer = nullptr;
    record_->sslPeerNameLength = 0;
    record_->sslPeerNamePointer = new char[length];
    record_->sslPeerNameLength = static_cast<int32_t>(length);
    return ZroStr::copy(record_->sslPeerNamePointer, length, text, *this, '\0');
}

// Exit lists.

unsigned ZroChl::receiveExitCount() const noexcept
{
    return nonNegative(record_->receiveExitCount);
}
unsigned ZroChl::sendExitCount() const noexcept { return nonNegative(record_->sendExitCount); }

ZroStr ZroChl::receiveExitName() { return firstEntry(Direction::Receive, List::Names); }
ZroStr ZroChl::sendExitName() { return firstEntry(Direction::Send, List::Names); }
ZroStr ZroChl::receiveUserData() { return firstEntry(Direction::Receive, List::UserData); }
ZroStr ZroChl::sendUserData() { return firstEntry(Direction::Send, List::UserData); }

unsigned char ZroChl::receiveExitNames(unsigned count, ZroStr* const* strings)
{
    return readEntries(Direction::Receive, List::Names, count, strings);
}
unsigned char ZroChl::sendExitNames(unsigned count, ZroStr* const* strings)
{
    return readEntries(Direction::Send, List::Names, count, strings);
}
unsigned char ZroChl::receiveUserData(unsigned count, ZroStr* const* strings)
{
    return readEntries(Direction::Receive, List::UserData, count, strings);
}
unsigned char ZroChl::sendUserData(unsigned count, ZroStr* const* strings)
{
    return readEntries(Direction::Send, List::UserData, count, strings);
}

unsigned char ZroChl::setReceiveExitName(const char* name)
{
    return setExitName(Direction::Receive, name);
}
unsigned char ZroChl::setSendExitName(const char* name)
{
    return setExitName(Direction::Send, name);
}
unsigned char ZroChl::setReceiveExitNames(unsigned count, const char* const* names)
{
    return setExitNames(Direction::Receive, count, Texts{names, nullptr});
}
unsigned char ZroChl::setSendExitNames(unsigned count, const char* const* names)
{
    return setExitNames(Direction::Send, count, Texts{names, nullptr});
}
unsigned char ZroChl::setReceiveExitNames(unsigned count, const ZroStr* const* names)
{
    return setExitNames(Direction::Receive, count, Texts{nullptr, names});
}
unsigned char ZroChl::setSendExitNames(unsigned count, const ZroStr* const* names)
{
    return setExitNames(Direction::Send, count, Texts{nullptr, names});
}

unsigned char ZroChl::setReceiveUserData(const char* text)
{
    return setUserData(Direction::Receive, 1, Texts{&text, nullptr});
}
unsigned char ZroChl::setSendUserData(const char* text)
{
    return setUserData(Direction::Send, 1, Texts{&text, nullptr});
}
unsigned char ZroChl::setReceiveUserData(unsigned count, const char* const* texts)
{
    return setUserData(Direction::Receive, count, Texts{texts, nullptr});
}
unsigned char ZroChl::setSendUserData(unsigned count, const char* const* texts)
{
    return setUserData(Direction::Send, count, Texts{texts, nullptr});
}
unsigned char ZroChl::setReceiveUserData(unsigned count, const ZroStr* const* texts)
{
    return setUserData(Direction::Receive, count, Texts{nullptr, texts});
}
unsigned char ZroChl::setSendUserData(unsigned count, const ZroStr* const* texts)
{
    return setUserData(Direction::Send, count, Texts{nullptr, texts});
}

ZroStr ZroChl::firstEntry(Direction direction, List list)
{
    ZroStr first;
    ZroStr* strings[] = {&first};
    readEntries(direction, list, 1, strings);
    return first;
}

unsigned char ZroChl::readEntries(Direction direction, List list, unsigned count,
                                  ZroStr* const* strings)
{
    if (strings == nullptr || count == 0) return 1;
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    unsigned n = nonNegative(record_->*fields.count);
    bool names = list == List::Names;
    char* block = names ? record_->*fields.names : record_->*fields.data;
    unsigned width = nonNegative(names ? record_->exitNameLength : record_->exitDataLength);
    unsigned char result = 1;
    for (unsigned i = 0; i < count; ++i) {
        ZroStr* string = strings[i];
        if (string == nullptr) continue;
        // The whole entry: its text ends at a NUL, trailing blanks are kept.
        unsigned char set =
            i < n ? string->set(entryAt(block, i, width), width) : string->set(nullptr, 0);
        if (set == 0) {
            // The string's failure becomes the channel's; the others are still set.
            setCodes(string->completionCode(), string->reasonCode());
            result = 0;
        }
    }
    return result;
}

unsigned char ZroChl::setExitName(Direction direction, const char* name)
{
    if (name == nullptr || *name == '\0') {
        resizeExits(direction, 0);
        return 1;
    }
    return setExitNames(direction, 1, Texts{&name, nullptr});
}

unsigned char ZroChl::setExitNames(Direction direction, unsigned count, const Texts& names)
{
    // Every entry is checked before anything changes; the first bad one decides.
    if (count > 0 && names.isNull()) return failWith(ZRRC_NULL_POINTER);
    // The record cannot hold such a list: refused before the array is read.
    if (count > MAX_RECORD_COUNT) throw std::bad_alloc();
    for (unsigned i = 0; i < count; ++i) {
        if (names.missing(i)) return failWith(ZRRC_NULL_POINTER);
        const char* text = names.text(i);
        if (text == nullptr || *text == '\0') return failWith(ZRRC_EMPTY_EXIT_NAME);
    }
    resizeExits(direction, count);
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    unsigned nameWidth = nonNegative(record_->exitNameLength);
    unsigned dataWidth = nonNegative(record_->exitDataLength);
    unsigned char result = 1;
    for (unsigned i = 0; i < count; ++i) {
        // New names clear the user data of their direction.
        result = ZroStr::copy(entryAt(record_->*fields.names, i, nameWidth), nameWidth,
                              names.text(i), *this, '\0');
        if (result == 0) return 0;
        result = ZroStr::copy(entryAt(record_->*fields.data, i, dataWidth), dataWidth, nullptr,
                              *this, '\0');
        if (result == 0) return 0;
    }
    return result;
}

unsigned char ZroChl::setUserData(Direction direction, unsigned count, const Texts& texts)
{
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    unsigned n = nonNegative(record_->*fields.count);
    if (count > n) return failWith(ZRRC_EXIT_DATA_COUNT_ERROR);
    unsigned width = nonNegative(record_->exitDataLength);
    unsigned char result = 1;
    for (unsigned i = 0; i < n; ++i) {
        // Entries without a text become all NUL.
        const char* text = i < count && !texts.isNull() ? texts.text(i) : nullptr;
        result = ZroStr::copy(entryAt(record_->*fields.data, i, width), width, text, *this, '\0');
        if (result == 0) return 0;
    }
    return result;
}

void ZroChl::resizeExits(Direction direction, unsigned count)
{
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    if (count == nonNegative(record_->*fields.count)) return;
    // Sizes first, so that a list too long for memory changes nothing.
    std::size_t nameBytes = blockSize(count, nonNegative(record_->exitNameLength));
    std::size_t dataBytes = blockSize(count, nonNegative(record_->exitDataLength));
    releaseExits(direction);
    if (count == 0) return;
    // New blocks start all NUL, also where a failed copy never reaches.
    std::unique_ptr<char[]> names(new char[nameBytes]());
    char* data = new char[dataBytes]();
    record_->*fields.names = names.release();
    record_->*fields.data = data;
    record_->*fields.count = static_cast<int32_t>(count);
}

void ZroChl::releaseExits(Direction direction) noexcept
{
    const ExitFields& fields = EXIT_FIELDS[static_cast<unsigned>(direction)];
    delete[](record_->*fields.names);
    delete[](record_->*fields.data);
    record_->*fields.names = nullptr;
    record_->*fields.data = nullptr;
    record_->*fields.count = 0;
}

// Compression lists.

unsigned ZroChl::headerCompressionCount() const noexcept
{
    return slotsInUse(record_->headerCompression, ZRCD_HEADER_COMPRESSION_SLOTS);
}

unsigned char ZroChl::headerCompression(unsigned count, int32_t* values) const noexcept
{
    readSlots(record_->headerCompression, ZRCD_HEADER_COMPRESSION_SLOTS, count, values);
    return 1;
}

unsigned char ZroChl::setHeaderCompression(unsigned count, const int32_t* values) noexcept
{
    writeSlots(record_->headerCompression, ZRCD_HEADER_COMPRESSION_SLOTS, count, values);
    return 1;
}

unsigned ZroChl::messageCompressionCount() const noexcept
{
    return slotsInUse(record_->messageCompression, ZRCD_MESSAGE_COMPRESSION_SLOTS);
}

unsigned char ZroChl::messageCompression(unsigned count, int32_t* values) const noexcept
{
    readSlots(record_->messageCompression, ZRCD_MESSAGE_COMPRESSION_SLOTS, count, values);
    return 1;
}

unsigned char ZroChl::setMessageCompression(unsigned count, const int32_t* values) noexcept
{
    writeSlots(record_->messageCompression, ZRCD_MESSAGE_COMPRESSION_SLOTS, count, values);
    return 1;
}
