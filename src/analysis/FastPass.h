#pragma once
// The check of a whole text held in one buffer in one pass over its bytes, jumping from markup
// character to markup character, without its lines. It only proves a text clean: once it meets
// anything that may be a fault it gives up, and the line-by-line check finds the fault and
// its place.
#include <cstdint>
#include <string_view>

#include "LineViews.h"
#include "ScanSupport.h"

namespace analysis::detail {

// True when Valid would find no fault in the text (the whole buffer, its line breaks as they
// were read). hook, when given, sees every "<" that the walk examines, in the walk's order, with
// the whole text as its one line (line 0, q its offset in the buffer); it is left in an unknown
// state when this returns false.
bool provedWellFormed(std::string_view text, TagHook* hook);

// The place of the byte at offset in the lines' buffer (never inside a line break).
TextPlace placeOfByte(const BufferLines& lines, int64_t offset);

}  // namespace analysis::detail
