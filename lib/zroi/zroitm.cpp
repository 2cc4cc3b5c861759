// ZroItm: the item base. Its destructor anchors the class's virtual table here.
#include "zroi/zroitm.hpp"

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroitm")

ZroItm::~ZroItm() = default;
