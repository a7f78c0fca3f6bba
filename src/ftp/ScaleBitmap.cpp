#include "ScaleBitmap.h"

#include <cmath>
#include <numbers>
#include <vector>

#include <QImage>

namespace resample {

namespace {

float box(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float triangle(float x) {
  const float a = std::fabs(x);
  return a < 1.0f ? 1.0f - a : 0.0f;
}

float hermite(float x) {
  const float a = std::fabs(x);
  return a < 1.0f ? (2.0f * a - 3.0f) * a * a + 1.0f : 0.0f;
}

float bell(float x) {
  const float a = std::fabs(x);
  if (a < 0.5f) return 0.75f - a * a;
  if (a < 1.5f) {
    const float t = a - 1.5f;
    return 0.5f * t * t;
  }
  return 0.0f;
}

float bSpline(float x) {
  const float a = std::fabs(x);
  if (a < 1.0f) return a * a * a / 2.0f - a * a + 2.0f / 3.0f;
  if (a < 2.0f) {
    const float t = 2.0f - a;
    return t * t * t / 6.0f;
  }
  return 0.0f;
}

float lanczos3(float x) {
  const float a = std::fabs(x);
  return a < 3.0f ? SincValue(a) * SincValue(a / 3.0f) : 0.0f;
}

float mitchell(float x) {
  const float a = std::fabs(x);
  const float a2 = a * a;
  const float a3 = a2 * a;
  if (a < 1.0f) return (7.0f * a3 - 12.0f * a2 + 16.0f / 3.0f) / 6.0f;
  if (a < 2.0f) return (-7.0f * a3 / 3.0f + 12.0f * a2 - 20.0f * a + 32.0f / 3.0f) / 6.0f;
  return 0.0f;
}

const Filter kFilters[kFilterCount] = {
    {"Box", box, 0.5f},           {"Triangle", triangle, 1.0f}, {"Hermite", hermite, 1.0f},
    {"Bell", bell, 1.5f},         {"B-Spline", bSpline, 2.0f},  {"Lanczos3", lanczos3, 3.0f},
    {"Mitchell", mitchell, 2.0f},
};

struct Contributor {
  int source;
  float weight;
};
using Contributors = std::vector<std::vector<Contributor>>;

// Mirrors an index that falls off an edge; a source narrower than the filter's reach could
// still land outside after one mirror, so the result is clamped as well.
int mirror(int j, int size) {
  if (j < 0) j = -j;
  else if (j >= size) j = 2 * size - j - 1;
  return j < 0 ? 0 : (j >= size ? size - 1 : j);
}

Contributors contributors(int destinationSize, int sourceSize, FilterFunction filter, float support) {
  // A one-pixel destination from a larger source would make the scale 0; it is taken as the
  // plain ratio of the sizes instead, as for a one-pixel source.
  const float scale = (sourceSize == 1 || destinationSize == 1)
                          ? float(destinationSize) / float(sourceSize)
                          : float(destinationSize - 1) / float(sourceSize - 1);
  Contributors list(static_cast<size_t>(destinationSize));
  for (int i = 0; i < destinationSize; ++i) {
    const float center = float(i) / scale;
    std::vector<Contributor>& c = list[size_t(i)];
    if (scale >= 1.0f) {
      c.reserve(size_t(2.0f * support + 1.0f));
      const int left = int(std::floor(center - support));
      const int right = int(std::ceil(center + support));
      for (int j = left; j <= right; ++j) {
        const float weight = filter(center - float(j));
        if (weight != 0.0f) c.push_back({mirror(j, sourceSize), weight});
      }
    } else {
      const float width = support / scale;
      const float fscale = 1.0f / scale;
      c.reserve(size_t(2.0f * width + 1.0f));
      const int left = int(std::floor(center - width));
      const int right = int(std::ceil(center + width));
      for (int j = left; j <= right; ++j) {
        const float weight = filter((center - float(j)) / fscale) / fscale;
        if (weight != 0.0f) c.push_back({mirror(j, sourceSize), weight});
      }
    }
  }
  return list;
}

uint8_t clampRound(float sum) {
  if (sum > 255.0f) return 255;
  if (sum < 0.0f) return 0;
  return uint8_t(std::lrint(sum));  // the default rounding mode sends halves to the even neighbour
}

}  // namespace

const Filter& filter(int index) { return kFilters[index]; }

float SincValue(float x) {
  if (x == 0.0f) return 1.0f;
  const float px = std::numbers::pi_v<float> * x;
  return std::sin(px) / px;
}

void ScaleBitmap(const Bitmap24& source, const Bitmap24& destination, FilterFunction filter,
                 float support) {
  if (source.width < 1 || source.height < 1) throw TooSmall();
  if (destination.width < 1 || destination.height < 1) return;
  const int dw = destination.width;
  const int sh = source.height;

  std::vector<uint8_t> work(size_t(dw) * size_t(sh) * 3);
  const Contributors alongX = contributors(dw, source.width, filter, support);
  for (int y = 0; y < sh; ++y) {
    const uint8_t* in = source.row(y);
    uint8_t* out = work.data() + size_t(y) * size_t(dw) * 3;
    for (int i = 0; i < dw; ++i) {
      float b = 0, g = 0, r = 0;
      for (const Contributor& c : alongX[size_t(i)]) {
        const uint8_t* p = in + size_t(c.source) * 3;
        b += float(p[0]) * c.weight;
        g += float(p[1]) * c.weight;
        r += float(p[2]) * c.weight;
      }
      out[i * 3] = clampRound(b);
      out[i * 3 + 1] = clampRound(g);
      out[i * 3 + 2] = clampRound(r);
    }
  }

  const Contributors alongY = contributors(destination.height, sh, filter, support);
  for (int k = 0; k < dw; ++k) {
    for (int i = 0; i < destination.height; ++i) {
      float b = 0, g = 0, r = 0;
      for (const Contributor& c : alongY[size_t(i)]) {
        const uint8_t* p = work.data() + (size_t(c.source) * size_t(dw) + size_t(k)) * 3;
        b += float(p[0]) * c.weight;
        g += float(p[1]) * c.weight;
        r += float(p[2]) * c.weight;
      }
      uint8_t* out = destination.row(i) + size_t(k) * 3;
      out[0] = clampRound(b);
      out[1] = clampRound(g);
      out[2] = clampRound(r);
    }
  }
}

void ScaleBitmap(const QImage& source, QImage& destination, FilterFunction filter, float support) {
  if (source.width() < 1 || source.height() < 1) throw TooSmall();
  QImage in = source.convertToFormat(QImage::Format_BGR888);
  QImage out(destination.size(), QImage::Format_BGR888);
  if (!out.isNull()) {
    ScaleBitmap(Bitmap24{in.width(), in.height(), in.bits(), in.bytesPerLine()},
                Bitmap24{out.width(), out.height(), out.bits(), out.bytesPerLine()}, filter, support);
  }
  destination = out;
}

}  // namespace resample
