// ZroErr: error state, pointer validation and the library heap.
#include "zroi/zroerr.hpp"

#include <new>

#include "zroalloc.hpp"
#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroerr")

namespace {
constexpr unsigned FN_CHECK_READ_POINTER = 62;
constexpr unsigned FN_CHECK_WRITE_POINTER = 63;
} // namespace

ZroErr::~ZroErr() = default;

void* ZroErr::operator new(std::size_t size)
{
    void* p = zroAllocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* ZroErr::operator new[](std::size_t size) { return ZroErr::operator new(size); }

void ZroErr::operator delete(void* p) noexcept { zroRelease(p); }

void ZroErr::operator delete[](void* p) noexcept { zroRelease(p); }

unsigned char ZroErr::fail(unsigned function, const char* text, int32_t completion, int32_t reason)
{
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, static_cast<unsigned short>(function), text);
    setCodes(completion, reason);
    return 0;
}

unsigned char ZroErr::readPointerRefused()
{
    return fail(FN_CHECK_READ_POINTER, "ZroError::checkReadPointer (error): buffer error",
                ZRCC_FAILED, ZRRC_BUFFER_ERROR);
}

unsigned char ZroErr::writePointerRefused()
{
    return fail(FN_CHECK_WRITE_POINTER, "ZroError::checkWritePointer (error): buffer error",
                ZRCC_FAILED, ZRRC_BUFFER_ERROR);
}
