// ZroHdrFrame: what every header class does alike, written once.
//
// A header class H with record R derives from ZroHdrFrame<H, R>, which
// derives from ZroHdr. The frame owns the record (in the object, or in
// storage of its own where ZroRecordStore<R> says so), gives ZroHdr's eight
// accessors over the record's encoding, codedCharSetId, format and
// headerFlags fields, copies and assigns the error state and the record,
// hands the record out, writes the record in front of a message's data and
// reads a fixed-length record back, with the checks, texts and trace records
// of the class. A header class then holds only what is its own: its fields,
// and where it differs (the KOTA bridge header's length by version, the
// reference header's variable parts, the dead-letter header's flags, which
// are the object's and not the record's).
//
// ZroWih, for one, is declared as `class ZroWih : public ZroHdrFrame<ZroWih,
// ZRWIH>` and declares nothing but its constructors, destructor and
// assignment (the library's own symbols; the default constructor sets the
// record's defaults) and the accessors of its own fields.
//
// Binary fields (a token or an identifier) have three accessors alike in
// every header class: the getter returns a copy of all of the field's bytes
// (empty only when no storage was left for the copy, which then carries
// 2/2071); the setter from a ZroBin stores a value of exactly the field's
// width, or zeros for an empty value, with result 1, and refuses any other
// length with result 0 and 2/6111, the field unchanged; the setter from a
// pointer copies the field's width of bytes from it, unchecked, or stores
// zeros for a null pointer. Each class gives the field's width and says
// whether the ZroBin setter is traced.
//
// The frame's operations are compiled into the library once per header
// class; a program sees them as that class's own.
#ifndef ZROI_ZROHDRFRAME_HPP
#define ZROI_ZROHDRFRAME_HPP

#include <cstdint>

#include "zroi/zrobin.hpp"
#include "zroi/zroexport.h"
#include "zroi/zrohdr.hpp"
#include "zroi/zrostr.hpp"

class ZroMsg;

/// Where a record lives: in the object.
template <class Record> class ZroRecordInPlace {
public:
    explicit ZroRecordInPlace(const Record& initial) noexcept : record_(initial) {}
    Record& get() noexcept { return record_; }
    const Record& get() const noexcept { return record_; }

private:
    Record record_;
};

/// Where a record lives: in storage of its own, obtained by every
/// constructor with new (std::bad_alloc passes through) and released by the
/// destructor. Copies copy the bytes, never the storage.
template <class Record> class ZroRecordOwned {
public:
    explicit ZroRecordOwned(const Record& initial) : record_(new Record(initial)) {}
    ZroRecordOwned(const ZroRecordOwned& other) : record_(new Record(*other.record_)) {}
    ZroRecordOwned& operator=(const ZroRecordOwned& other) noexcept
    {
        *record_ = *other.record_;
        return *this;
    }
    ~ZroRecordOwned() { delete record_; }
    Record& get() noexcept { return *record_; }
    const Record& get() const noexcept { return *record_; }

private:
    Record* record_;
};

/// Where a header class keeps its record: in the object, unless
/// specialised (the KOTA bridge header keeps it in storage of its own).
template <class Record> struct ZroRecordStore {
    using type = ZroRecordInPlace<Record>;
};

/// What identifies a header in a message and names it in texts (the
/// library's own).
struct ZroItemFacts;

template <class Header, class Record> class ZROI_API ZroHdrFrame : public ZroHdr {
public:
    /// Puts the record in front of all the data the message holds; its
    /// structure length goes out as it stands. The header first takes the
    /// message's encoding, character set and format; the message then
    /// describes the header: encoding 546, character set 0 and the class's
    /// format name. Result 1 with the data offset at the end of the message;
    /// the header's codes stay. Result 0 with the message's codes (2/6113 when
    /// a user buffer cannot hold header and data, 2/2071 when no storage is
    /// left): header and message are then as they were. A pointer check
    /// refusing the record's write (2/2004) leaves the message cleared,
    /// refusing the data's leaves the header alone in it; either way the
    /// message describes the header and the header keeps the description it
    /// took. (The KOTA bridge and reference headers write their own way.)
    unsigned char copyOut(ZroMsg& message) override;
    /// Reads the record at the message's data offset; neither its version nor
    /// its structure length is looked at. Result 1: the data offset has moved
    /// on by the record's length and the message takes the header's
    /// encoding, character set and format (those of the data behind it).
    /// Result 0 with 2/6107 (not the class's structure id at the data offset,
    /// or fewer than 4 bytes), 2/6106 (message encoding not 546), 2/6119
    /// (message format not the class's format name), or the message's 2/6114
    /// (fewer bytes than the record's length): record, data offset and
    /// message description are then unchanged. The class says whether it is
    /// traced. (The KOTA bridge and reference headers read their own way.)
    unsigned char pasteIn(ZroMsg& message) override;

    /// ZroHdr's description of the data that follows, over the record's
    /// fields (documented there). A record without a flags field (the
    /// dead-letter header's) leaves the flags to its class.
    ///@{
    int32_t characterSet() const override { return record().codedCharSetId; }
    int32_t encoding() const override { return record().encoding; }
    ZroStr format() const override;
    int32_t headerFlags() const override;
    void setCharacterSet(int32_t value) override { mutableRecord().codedCharSetId = value; }
    void setEncoding(int32_t value) override { mutableRecord().encoding = value; }
    void setFormat(const char* name) override;
    void setHeaderFlags(int32_t value) override;
    ///@}

    /// The record in wire layout, as copyOut writes it and as pasteIn last
    /// read it (the fields without accessors included).
    const Record& record() const noexcept { return store_.get(); }

protected:
    /// A header whose record starts as `initial`; codes 0/0.
    explicit ZroHdrFrame(const Record& initial) : store_(initial) {}
    /// Copies `other`'s codes, then its record; so do the header classes'
    /// copy constructors and assignments, which change nothing when an
    /// object is assigned to itself.
    ZroHdrFrame(const ZroHdrFrame& other) = default;
    ~ZroHdrFrame() override = default;
    /// Copies `other`'s codes, then its record; nothing for the object itself.
    void operator=(const ZroHdrFrame& other) noexcept
    {
        if (&other == this) return;
        ZroHdr::operator=(other);
        store_ = other.store_;
    }

    Record& mutableRecord() noexcept { return store_.get(); }
    /// The record's encoding, character set and format (16 bytes from its
    /// encoding field) when this object is exactly a Header, whose accessors
    /// of the three are the frame's; nullptr for a class derived from it,
    /// whose accessors may do something else.
    char* ownDescription() noexcept;
    /// The structure id, format name, long name and pasteIn function number
    /// of the class, and whether its pasteIn is traced.
    static const ZroItemFacts& facts() noexcept;
    /// Sets a binary field of `width` bytes from a value of that length, or
    /// zeros from an empty one: 1. Another length: 0 with 2/6111 and `text`
    /// under `function`, the field unchanged. With `traced`, entry and exit
    /// records under `function` around it.
    unsigned char setBinaryField(void* field, unsigned width, const ZroBin& value,
                                 unsigned function, bool traced, const char* text);

private:
    typename ZroRecordStore<Record>::type store_;
};

#endif // ZROI_ZROHDRFRAME_HPP
