#include "ScaleBitmap.h"

#include <cstring>
#include <random>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

using namespace resample;

namespace {

// A one-channel-grey, height-1 bitmap helper: each value goes into blue, green and red.
struct Row {
  std::vector<uint8_t> bytes;
  explicit Row(const std::vector<int>& values) {
    for (int v : values) bytes.insert(bytes.end(), 3, uint8_t(v));
  }
  explicit Row(int width) : bytes(size_t(width) * 3, 0) {}
  Bitmap24 bitmap() { return {int(bytes.size() / 3), 1, bytes.data(), std::ptrdiff_t(bytes.size())}; }
  std::vector<int> values() const {
    std::vector<int> v;
    for (size_t i = 0; i < bytes.size(); i += 3) v.push_back(bytes[i]);
    return v;
  }
};

std::vector<int> scaleRow(const std::vector<int>& in, int width, int filterIndex) {
  Row source(in), destination(width);
  ScaleBitmap(source.bitmap(), destination.bitmap(), filter(filterIndex).function,
              filter(filterIndex).support);
  return destination.values();
}

QImage uniform(int size, int value) {
  QImage image(size, size, QImage::Format_BGR888);
  image.fill(QColor(value, value, value));
  return image;
}

}  // namespace

TEST(ScaleBitmap, FilterTableHoldsTheSevenFiltersWithTheirSupportsAndShapes) {
  const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
  const float supports[] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  for (int i = 0; i < kFilterCount; ++i) {
    EXPECT_STREQ(filter(i).name, names[i]);
    EXPECT_EQ(filter(i).support, supports[i]);
    EXPECT_EQ(filter(i).function(filter(i).support + 0.01f), 0.0f) << names[i];
  }
  // The box is open on the left, closed on the right.
  EXPECT_EQ(filter(0).function(0.5f), 1.0f);
  EXPECT_EQ(filter(0).function(-0.5f), 0.0f);
  struct { int index; float x, expected; } points[] = {
      {1, 0.25f, 0.75f},       {1, -0.25f, 0.75f},    {2, 0.5f, 0.5f},         {2, 0.0f, 1.0f},
      {3, 0.0f, 0.75f},        {3, 1.0f, 0.125f},     {4, 0.0f, 2.0f / 3},     {4, 1.0f, 1.0f / 6},
      {5, 0.0f, 1.0f},         {5, 1.0f, 0.0f},       {5, 0.5f, 0.6079271f},   {6, 0.0f, 16.0f / 18},
      {6, 1.0f, 1.0f / 18},    {6, -1.5f, -0.0347222f},
  };
  for (const auto& p : points)
    EXPECT_NEAR(filter(p.index).function(p.x), p.expected, 1e-5f) << filter(p.index).name << " " << p.x;
  EXPECT_EQ(SincValue(0.0f), 1.0f);
}

TEST(ScaleBitmap, EmptySourceIsRefusedWithItsMessage) {
  QImage destination(16, 16, QImage::Format_BGR888);
  try {
    ScaleBitmap(QImage(0, 32, QImage::Format_BGR888), destination, filter(kHermite).function, 1.0f);
    FAIL() << "no exception";
  } catch (const TooSmall& e) {
    EXPECT_STREQ(e.what(), "Source bitmap too small");
  }
}

// Results worked out by hand from the contributor rule, the mirrored edges and the rounding.
TEST(ScaleBitmap, HandComputedRows) {
  // Enlarging 2 → 3 with the triangle: the middle pixel is half of each neighbour, and halves
  // go to the even neighbour (127.5 → 128, 0.5 → 0, 2.5 → 2).
  EXPECT_EQ(scaleRow({0, 255}, 3, 1), (std::vector<int>{0, 128, 255}));
  EXPECT_EQ(scaleRow({0, 1}, 3, 1), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(scaleRow({2, 3}, 3, 1), (std::vector<int>{2, 2, 3}));
  // Reducing 3 → 2 with the triangle (scale ½, reach 2, weights ¼ ½ ¼): both ends mirror.
  EXPECT_EQ(scaleRow({10, 20, 40}, 2, 1), (std::vector<int>{15, 35}));
  // Box enlarging 2 → 4 (scale 3): centres 0, ⅓, ⅔, 1; the box takes the nearer pixel. From
  // 2 → 3 the middle centre is ½ from both: distance ½ is inside the box, −½ outside.
  EXPECT_EQ(scaleRow({50, 200}, 4, 0), (std::vector<int>{50, 50, 200, 200}));
  EXPECT_EQ(scaleRow({50, 200}, 3, 0), (std::vector<int>{50, 50, 200}));
  // Hermite at distance ½ weighs ½ on both sides.
  EXPECT_EQ(scaleRow({100, 201}, 3, 2), (std::vector<int>{100, 150, 201}));
}

TEST(ScaleBitmap, NegativeLobesAreClampedNotWrapped) {
  for (int f : {5, 6}) {
    const std::vector<int> out = scaleRow({0, 0, 0, 255, 255, 255}, 11, f);
    // Beside the step the filters overshoot below 0 and above 255; clamping keeps the ends.
    EXPECT_EQ(out.front(), 0) << filter(f).name;
    EXPECT_EQ(out.back(), 255) << filter(f).name;
    for (size_t i = 0; i + 1 < out.size(); ++i)
      EXPECT_LE(out[i], out[i + 1] + 40) << filter(f).name << " at " << i;  // no wrap-around jump
  }
}

TEST(ScaleBitmap, EqualSizesReproduceTheSourceWithHermite) {
  std::mt19937 random(7);
  QImage source(13, 9, QImage::Format_BGR888);
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.bytesPerLine(); ++x) source.scanLine(y)[x] = uint8_t(random());
  QImage destination(13, 9, QImage::Format_RGB32);
  ScaleBitmap(source, destination, filter(kHermite).function, 1.0f);
  ASSERT_EQ(destination.format(), QImage::Format_BGR888);
  for (int y = 0; y < source.height(); ++y)
    EXPECT_EQ(std::memcmp(source.scanLine(y), destination.scanLine(y), size_t(13 * 3)), 0) << y;
}

TEST(ScaleBitmap, WindowReductionKeepsUniformColoursWithinTheUnnormalisedWeights) {
  struct { int value, low, high; } cases[] = {{255, 252, 255}, {128, 126, 128}, {0, 0, 0}};
  for (const auto& c : cases) {
    QImage destination(16, 16, QImage::Format_BGR888);
    ScaleBitmap(uniform(32, c.value), destination, filter(kHermite).function, 1.0f);
    ASSERT_EQ(destination.size(), QSize(16, 16));
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16 * 3; ++x) {
        const int v = destination.scanLine(y)[x];
        EXPECT_GE(v, c.low);
        EXPECT_LE(v, c.high);
      }
  }
}

TEST(ScaleBitmap, RowsRunningUpwardsGiveTheSameResult) {
  std::mt19937 random(3);
  const int w = 8, h = 6;
  std::vector<uint8_t> down(size_t(w * h * 3));
  for (uint8_t& b : down) b = uint8_t(random());
  std::vector<uint8_t> up(down.size());
  for (int y = 0; y < h; ++y)  // row y of the bitmap is stored at memory row h - 1 - y
    std::memcpy(&up[size_t((h - 1 - y) * w * 3)], &down[size_t(y * w * 3)], size_t(w * 3));
  std::vector<uint8_t> a(size_t(5 * 4 * 3)), b(a.size());
  ScaleBitmap({w, h, down.data(), w * 3}, {5, 4, a.data(), 15}, filter(3).function, 1.5f);
  ScaleBitmap({w, h, up.data() + (h - 1) * w * 3, -w * 3}, {5, 4, b.data() + 45, -15},
              filter(3).function, 1.5f);
  for (int y = 0; y < 4; ++y)
    EXPECT_EQ(std::memcmp(&a[size_t(y * 15)], &b[size_t((3 - y) * 15)], 15), 0) << y;
}

TEST(ScaleBitmap, SizesOutsideTheWindowsUseStayInsideTheSource) {
  // A one-pixel destination and a source narrower than the filter's reach: no read outside.
  EXPECT_EQ(scaleRow({90, 10, 50}, 1, 2).size(), 1u);
  EXPECT_EQ(scaleRow({90}, 7, 5), (std::vector<int>(7, 90)));
  EXPECT_EQ(scaleRow({10, 20}, 9, 5).size(), 9u);
}
