#pragma once
// The end tag that "Fermer la balise" inserts: the nearest start tag before the caret, read from
// a window of 40 characters that may run over line breaks, that no end tag closes later in the
// text. No widgets, so the benchmarks and tests call it on a text store directly.
#include <cstdint>
#include <string>
#include <string_view>

#include "TextStore.h"

namespace typing {

constexpr int64_t kCloseWindow = 40;

// EstFerme: whether the start-tag key at from (its "<") is closed after it: an end tag follows,
// and no second identical key text comes before that end tag.
bool EstFerme(std::string_view key, const TextStore& text, int64_t from);

// The end tag to insert at the caret ("</body>"), or empty when nothing is left open.
std::string endTagToClose(const TextStore& text, int64_t caret);

}  // namespace typing
