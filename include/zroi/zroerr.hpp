// ZroErr: the completion and reason code that every zroi object carries.
//
// Codes are sticky: an operation that succeeds leaves them as they were, so
// a caller may run several operations and look once at the end.
//
// ```cpp
// ZroStr s("abc");
// s.set(nullptr, 5);                  // fails
// s.reasonCode();                     // ZRRC_NULL_POINTER, until cleared
// s.clearErrorCodes();
// ```
#ifndef ZROI_ZROERR_HPP
#define ZROI_ZROERR_HPP

#include <cstddef>
#include <cstdint>

#include "zroi/zrodefs.h"
#include "zroi/zroexport.h"
#include "zroi/zrotrc.hpp"

class ZROI_API ZroErr {
public:
    ZroErr() noexcept = default;
    ZroErr(const ZroErr& other) noexcept = default;
    virtual ~ZroErr();

    /// Copies both codes, unless `other` is this object.
    void operator=(const ZroErr& other) noexcept
    {
        completionCode_ = other.completionCode_;
        reasonCode_ = other.reasonCode_;
    }

    /// Sets both codes to 0. The library never calls it on its own.
    void clearErrorCodes() noexcept { completionCode_ = reasonCode_ = 0; }

    int32_t completionCode() const noexcept { return completionCode_; }
    int32_t reasonCode() const noexcept { return reasonCode_; }

    /// Objects created with new come from the library's heap; the new forms
    /// throw std::bad_alloc when it has no storage left.
    static void* operator new(std::size_t size);
    static void* operator new[](std::size_t size);
    static void operator delete(void* p) noexcept;
    static void operator delete[](void* p) noexcept;

protected:
    /// 1 when `length` bytes at `p` may be read. Otherwise writes
    /// "ZroError::checkReadPointer (error): buffer error" (function 62),
    /// sets 2/2004 and returns 0.
    unsigned char checkReadPointer(const void* p, unsigned length)
    {
        return ZroTrc::checkReadPointer(p, length) ? 1 : readPointerRefused();
    }

    /// The same in write mode (function 63).
    unsigned char checkWritePointer(const void* p, unsigned length)
    {
        return ZroTrc::checkWritePointer(p, length) ? 1 : writePointerRefused();
    }

    /// Writes `text` under `function`, then sets the codes. Returns 0 so that
    /// a failing operation can end with `return fail(...)`.
    unsigned char fail(unsigned function, const char* text, int32_t completion, int32_t reason);

    /// Sets both codes without a text (a code taken over from another object).
    void setCodes(int32_t completion, int32_t reason) noexcept
    {
        completionCode_ = completion;
        reasonCode_ = reason;
    }

    // The seam of the library's item protocol: a class of the library
    // derived from ZroErr that reads and writes items in messages reports on
    // the item and on the message through these. Each does on `object` what
    // the member above whose name it extends does on this object.

    static unsigned char failFor(ZroErr& object, unsigned function, const char* text,
                                 int32_t completion, int32_t reason)
    {
        return object.fail(function, text, completion, reason);
    }
    static void setCodesFor(ZroErr& object, int32_t completion, int32_t reason) noexcept
    {
        object.setCodes(completion, reason);
    }
    static unsigned char checkReadPointerFor(ZroErr& object, const void* p, unsigned length)
    {
        return object.checkReadPointer(p, length);
    }
    static unsigned char checkWritePointerFor(ZroErr& object, const void* p, unsigned length)
    {
        return object.checkWritePointer(p, length);
    }

    int32_t completionCode_ = 0;
    int32_t reasonCode_ = 0;

private:
    unsigned char readPointerRefused();
    unsigned char writePointerRefused();
};

#endif // ZROI_ZROERR_HPP
