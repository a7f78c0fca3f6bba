#pragma once
// The search of find and replace, without widgets: text positions in, text positions out.
// A search walks the text store a chunk at a time and never copies the text; replace-all builds
// the new text in one pass, so 400,000 replacements cost one walk of the text.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "TextStore.h"

// The options of the find and replace dialogs.
struct SearchOptions {
  bool down = true;
  bool matchCase = false;
  bool wholeWord = false;
};

// Everything but the digits and the unaccented letters a-z, A-Z separates words.
bool isWordDelimiter(char c);

// The position of the first match that "Suivant" selects from the selection [selStart,
// selStart + selLength): down, the first at or after its end; up, the last that ends at or
// before its start. Without match case, bytes compare by their Windows-1252 upper case.
// A whole-word match starts a word (a non-delimiter after a delimiter or at the start of the
// text) and is followed by a delimiter or the end; the word the search starts on counts.
std::optional<int64_t> ChercheTampon(std::string_view buffer, int64_t selStart, int64_t selLength,
                                     std::string_view s, const SearchOptions& options);
std::optional<int64_t> ChercheTampon(const TextStore& text, int64_t selStart, int64_t selLength,
                                     std::string_view s, const SearchOptions& options);

// Moves p to the first character of a word: down (step +1) the first word start at or after p,
// up (step -1) the last at or before p, looking at most at c positions; c shrinks by the moves.
// False when no word starts within them.
bool DebutMotSuivant(std::string_view buffer, int64_t& p, int64_t& c, int step);

// The loop of "Remplacer tout" run on a snapshot in one pass: from the selection, each match is
// replaced and the search goes on past the replacement (down, after it; up, before it), so the
// replacement text is never searched again. The word rule sees the text as the replacements
// left it.
struct ReplaceAllResult {
  TextStore text;
  int64_t count = 0;  // replacements made
  int64_t caret = 0;  // just after the last replacement (meaningful when count > 0)
};
// progress gets the share of the text walked, 0 to 1, now and then.
ReplaceAllResult replaceAll(const TextStore& text, int64_t selStart, int64_t selLength,
                            std::string_view s, std::string_view replacement,
                            const SearchOptions& options,
                            const std::function<void(double)>& progress = {});
