#pragma once
// TextDocument: a document's text and the editing rules that do not depend on how it is shown,
// without widgets, so that the source view, the accessibility layer, the batch program and the
// tests share them. The view owns the caret, the selection and the painting, and turns keys
// into calls of these rules.
//
// Positions are text positions (see TextStore): every line break counts two (CR LF), and no
// edit begins or ends between the CR and the LF of a break.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <QString>

#include "TextStore.h"

// The position of a line and a column, both from 0 and clamped to the text: the one place where
// a column (in characters) becomes a text position.
int64_t lineColumnToPosition(const TextStore& text, int64_t line, int64_t column);

class TextDocument {
 public:
  const TextStore& store() const { return store_; }
  // The whole text becomes the store's (a snapshot given back, a new text): cheap.
  void setStore(const TextStore& store) { store_ = store; }
  // Replaces [from, from + length), both clamped to the text, by bytes with CR LF breaks.
  void replace(int64_t from, int64_t length, std::string_view crlfBytes);

  // Any text in the stored form: breaks become CR LF, characters the stored form cannot hold
  // numeric references.
  static std::string toStoreBytes(const QString& text);
  static QString decode(std::string_view bytes);
  // Bytes with any breaks made CR LF (untouched, without a copy, when they already are).
  static std::string withCrLf(std::string bytes);

  // A position inside the text, never between the CR and the LF of a break: such a position
  // goes to the end of its line, or past the break when pastBreak is set.
  int64_t validPosition(int64_t pos, bool pastBreak = false) const;
  // The positions one character on or back, a break counting as one.
  int64_t nextPosition(int64_t pos) const;
  int64_t previousPosition(int64_t pos) const;
  // Word moves stay within a line: the start of the next word (past the blanks after this
  // one), the start of this or the previous word; at a line's end or start they cross the
  // break. Letters, digits and "_" make words; other marks make words of their own kind.
  int64_t nextWord(int64_t pos) const;
  int64_t previousWord(int64_t pos) const;
  // The run of characters of one kind around pos (the word a double-click selects); at a
  // line's end, the run before it.
  std::pair<int64_t, int64_t> wordAt(int64_t pos) const;

 private:
  TextStore store_;
};
