#pragma once
// The differential driver of the text store: operations decoded from bytes are applied both to
// a TextStore and to a plain std::string, and after every step all that the store answers is
// compared with the string. The random test and the fuzz target share it.
#include <cstdint>
#include <string>
#include <string_view>

#include "TextStore.h"

namespace storecheck {

// Line breaks made CR LF the slow, obvious way.
std::string referenceNormalise(std::string_view bytes);

// The first difference between the store and `text` (structure, size, bytes, lines, positions,
// pieces, views), or empty. `every` checks every line and position; otherwise a sample drawn
// from `seed`, always with the first and last lines and the chunk boundaries.
std::string compare(const TextStore& store, const std::string& text, bool every, uint64_t seed);

// Applies the operations that `input` encodes (insert, delete, replace, large insert, snapshot,
// restore, view, ...) to a store and a string, never letting the text grow past maxSize, and
// compares after each; the first fault found, or empty.
std::string drive(std::string_view input, int64_t maxSize);

}  // namespace storecheck
