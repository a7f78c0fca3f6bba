#pragma once
// LineLayouts: the rows of the text lines that the source view shows, laid out on demand and
// cached. A line is cut into segments of about kSegment characters laid out separately, so a
// line of megabytes costs no more than the part on screen; wrapping happens inside a segment and
// a segment boundary is always a row break. Nothing here walks the whole text: rows are reached
// from a known row by stepping, and the cache is dropped per edited line.
#include <cstdint>
#include <map>
#include <utility>

#include <QFont>
#include <QList>
#include <QString>
#include <QTextLayout>

#include "TextStore.h"

class LineLayouts {
 public:
  static constexpr int64_t kSegment = 2048;
  // A segment ends after the last blank of this many characters before its nominal end, so a
  // forced row break falls between words where it can.
  static constexpr int64_t kBlankWindow = 128;

  // A row: the row-th wrapped row of segment seg of a text line.
  struct Row {
    int64_t line = 0;
    int64_t seg = 0;
    int row = 0;
    auto operator<=>(const Row&) const = default;
  };

  struct Entry {
    QTextLayout layout;
    int64_t start = 0;  // offsets of the segment in its line
    int64_t end = 0;
    int preeditAt = -1;  // layout index of the input method's preedit text, -1 when none
    int preeditLength = 0;
    QList<QTextLayout::FormatRange> formats;
    qreal width = 0;
    uint64_t used = 0;
  };

  // The store is read where it lies; it must outlive this object.
  explicit LineLayouts(const TextStore* store);

  void setFont(const QFont& font);
  // A width <= 0 lays lines out unwrapped.
  void setWrapWidth(qreal width);
  qreal wrapWidth() const { return wrapWidth_; }
  int rowHeight() const { return rowHeight_; }
  // The preedit text shown at pos; an empty text removes it.
  void setPreedit(int64_t pos, const QString& text);

  int64_t segmentCount(int64_t line) const;
  std::pair<int64_t, int64_t> segmentBounds(int64_t line, int64_t seg) const;
  // The segment holding an offset of the line; an offset on a boundary starts the next one.
  int64_t segmentOf(int64_t line, int64_t offset) const;

  Entry& entry(int64_t line, int64_t seg);
  int rowCount(int64_t line, int64_t seg) { return entry(line, seg).layout.lineCount(); }

  Row first() const { return Row{}; }
  Row last();
  // The row holding pos; a position where a row wraps belongs to the next row.
  Row rowOf(int64_t pos);
  int64_t rowStart(const Row& row);
  int64_t rowEnd(const Row& row);  // before the row's trailing blank when it wraps
  bool next(Row& row);
  bool prev(Row& row);
  // Steps n rows down (up when negative), stopping at the ends; counts the steps taken.
  Row advance(Row row, int64_t n, int64_t* taken = nullptr);
  Row clamp(Row row);

  // Between offsets of a line and indices of a segment's layout (which hold the preedit text).
  int layoutIndex(const Entry& e, int64_t offset) const;
  int64_t offsetOf(const Entry& e, int index) const;

  // The lines firstLine..lastOldLine became firstLine..lastNewLine.
  void replaced(int64_t firstLine, int64_t lastOldLine, int64_t lastNewLine);
  void clear();
  // Colours change no geometry, but a layout takes new formats only by being laid out again.
  void setFormats(Entry& e, const QList<QTextLayout::FormatRange>& formats);

  // Marks a new paint; entries not used for a while go when the cache grows large.
  void newFrame();
  qreal widest() const { return widest_; }
  void resetWidest() { widest_ = 0; }

 private:
  int64_t boundary(int64_t line, int64_t k, int64_t length) const;
  void layOut(Entry& e);

  const TextStore* store_;
  QFont font_;
  qreal wrapWidth_ = 0;
  int rowHeight_ = 1;
  int64_t preeditPos_ = -1;
  QString preedit_;
  std::map<std::pair<int64_t, int64_t>, Entry> cache_;
  uint64_t frame_ = 0;
  qreal widest_ = 0;
};
