#pragma once
// The coloured runs that the colouring hands to the source view at paint time: it is asked for
// the runs of the positions on screen only, so colouring never costs more than the screen.
#include <cstdint>
#include <functional>
#include <vector>

#include <QColor>

struct ColourRun {
  int64_t start = 0;  // text positions, end excluded
  int64_t end = 0;
  QColor foreground;  // invalid: the text colour
  QColor background;  // invalid: the text area's background
  bool underline = false;
  // Left plain by the view when it lies on one row, and handed to the view's drawOwnRun.
  bool ownerDraws = false;
};

// Called with the visible range [from, to) of text positions; runs may reach outside it and
// should not overlap (where they do, the later one wins).
using ColourProvider = std::function<std::vector<ColourRun>(int64_t from, int64_t to)>;
