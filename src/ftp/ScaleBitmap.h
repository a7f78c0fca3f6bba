#pragma once
// ScaleBitmap: a filtered resize of a 24-bit bitmap in two separable passes (rows, then
// columns), for the 16 × 16 images of the transfer window. No widgets: pure arithmetic on rows.
#include <cstdint>
#include <stdexcept>

class QImage;

namespace resample {

using FilterFunction = float (*)(float);

struct Filter {
  const char* name;
  FilterFunction function;
  float support;  // half-width in source pixels
};

// Box, Triangle, Hermite, Bell, B-Spline, Lanczos3, Mitchell, in that order.
constexpr int kFilterCount = 7;
const Filter& filter(int index);
constexpr int kHermite = 2;  // the transfer window's filter

float SincValue(float x);

// Three bytes a pixel (blue, green, red); rows are stride bytes apart, and a negative stride
// (rows running upwards in memory) is allowed.
struct Bitmap24 {
  int width = 0;
  int height = 0;
  uint8_t* firstRow = nullptr;
  std::ptrdiff_t stride = 0;
  uint8_t* row(int y) const { return firstRow + std::ptrdiff_t(y) * stride; }
};

struct TooSmall : std::runtime_error {
  TooSmall() : std::runtime_error("Source bitmap too small") {}
};

// Resizes the whole source into the whole destination, whose size is the target size.
// Throws TooSmall when the source has no pixel.
void ScaleBitmap(const Bitmap24& source, const Bitmap24& destination, FilterFunction filter,
                 float support);

// The same on images: the source is taken as 24 bits a pixel; the destination keeps its size
// and becomes a 24-bit (blue, green, red) image.
void ScaleBitmap(const QImage& source, QImage& destination, FilterFunction filter, float support);

}  // namespace resample
