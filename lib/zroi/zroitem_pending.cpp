// TEMPORARY, to be deleted when the message class is merged: placeholders for
// the four message item operations of ZroStr and ZroBin, so that the library
// links before ZroMsg exists. They do nothing and report failure (0).
#include "zroi/zrobin.hpp"
#include "zroi/zrostr.hpp"

#include "zroframe.hpp"

ZROI_IDENT("lib/zroi/zroitem_pending")

unsigned char ZroStr::copyOut(ZroMsg&) { return 0; }
unsigned char ZroStr::pasteIn(ZroMsg&) { return 0; }
unsigned char ZroBin::copyOut(ZroMsg&) { return 0; }
unsigned char ZroBin::pasteIn(ZroMsg&) { return 0; }
