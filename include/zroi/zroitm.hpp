// ZroItm: the base of everything that can stand in a message's data.
//
// An item writes itself into a message (copyOut) and reads itself back out
// of one (pasteIn). Strings, binary values, the trigger message and every
// message header are items; a message's writeItem and readItem call these
// two operations and then take over the item's codes.
//
// ```cpp
// ZroMsg message;
// ZroStr body("hello");
// ZroItm& item = body;
// item.copyOut(message);   // the message data is now "hello"
// ```
//
// An item has no state beyond its completion and reason code and holds no
// link to a message between calls.
#ifndef ZROI_ZROITM_HPP
#define ZROI_ZROITM_HPP

#include "zroi/zroerr.hpp"
#include "zroi/zroexport.h"

class ZroMsg;

class ZROI_API ZroItm : public ZroErr {
public:
    /// Codes 0/0.
    ZroItm() noexcept = default;
    /// Copies the codes of `other`.
    ZroItm(const ZroItm& other) noexcept = default;
    ~ZroItm() override;

    /// Copies the codes of `other`; assigning an item to itself changes nothing.
    void operator=(const ZroItm& other) noexcept { ZroErr::operator=(other); }

    /// Writes the item into `message`. 1 on success (also with a warning);
    /// 0 on failure, with the codes of the failure left on the item.
    virtual unsigned char copyOut(ZroMsg& message) = 0;
    /// Reads the item from `message` at its data offset. 1 on success; 0 on
    /// failure, with the codes of the failure left on the item.
    virtual unsigned char pasteIn(ZroMsg& message) = 0;

    /// 1 when `id` is given and the 4 bytes at the message's data offset equal
    /// its first 4 characters. Otherwise 0 and the information text "structure
    /// id is not equal" (function 12); no codes change anywhere.
    static unsigned char structureIdIs(const char* id, const ZroMsg& message);
};

#endif // ZROI_ZROITM_HPP
