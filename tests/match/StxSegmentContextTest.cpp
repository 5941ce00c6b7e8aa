// Surface validation against its worked examples and a flood-fill reference.
#include "match/StxSegmentContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr unsigned short kInvalid = 0xFFFD;
constexpr unsigned short kSurfaceCode = 0xFFFC;

Image<unsigned short> filled(int rows, int cols, unsigned short value) {
  Image<unsigned short> image(rows, cols);
  image.init(value);
  return image;
}

void paint(Image<unsigned short>& image, int row, int col, int rows, int cols,
           unsigned short value) {
  for (int r = row; r < row + rows; ++r)
    for (int c = col; c < col + cols; ++c) image[r][c] = value;
}

Image<unsigned short> validate(Image<unsigned short> image, double difference, unsigned minimum,
                               unsigned border) {
  StxSegmentContext context;
  Image<unsigned int> labels(image.nRows(), image.nCols());
  context.SegmentIntoRegions(image, labels, difference, minimum, kSurfaceCode, border);
  return image;
}

// Components of the graph whose edges join each processed pixel with its left
// and upper neighbour when they are similar. A left or upper neighbour outside
// the processed area, or holding an invalid code, is the background: a
// component joined to it is never marked.
std::vector<unsigned short> floodFillReference(const std::vector<unsigned short>& in, int rows,
                                               int cols, double difference, unsigned minimum,
                                               unsigned border) {
  const int f = static_cast<int>(border / 2 + border % 2);
  const long long u = static_cast<long long>(std::trunc(16 * difference + 0.5));
  auto value = [&](int r, int c) { return static_cast<long long>(in[r * cols + c]); };
  auto inArea = [&](int r, int c) { return r >= f && r < rows - f && c >= f && c < cols - f; };
  auto node = [&](int r, int c) { return inArea(r, c) && value(r, c) <= 65519; };
  auto similar = [&](int r1, int c1, int r2, int c2) {
    return std::llabs(value(r1, c1) - value(r2, c2)) <= u;
  };
  std::vector<unsigned short> out = in;
  std::vector<char> seen(in.size(), 0);
  for (int r0 = 0; r0 < rows; ++r0)
    for (int c0 = 0; c0 < cols; ++c0) {
      if (!node(r0, c0) || seen[r0 * cols + c0]) continue;
      std::vector<std::pair<int, int>> component{{r0, c0}}, stack{{r0, c0}};
      seen[r0 * cols + c0] = 1;
      bool background = false;
      while (!stack.empty()) {
        const auto [r, c] = stack.back();
        stack.pop_back();
        // Left and up: edges of this pixel; right and down: edges of those.
        const int dr[] = {0, -1, 0, 1}, dc[] = {-1, 0, 1, 0};
        for (int k = 0; k < 4; ++k) {
          const int nr = r + dr[k], nc = c + dc[k];
          if (nr < 0 || nc < 0 || nr >= rows || nc >= cols) continue;
          if (k < 2) {
            if (!similar(r, c, nr, nc)) continue;
            if (!node(nr, nc)) {
              background = true;
              continue;
            }
          } else if (!node(nr, nc) || !similar(nr, nc, r, c)) {
            continue;
          }
          if (seen[nr * cols + nc]) continue;
          seen[nr * cols + nc] = 1;
          component.push_back({nr, nc});
          stack.push_back({nr, nc});
        }
      }
      if (!background && component.size() < minimum)
        for (const auto& [r, c] : component) out[r * cols + c] = kSurfaceCode;
    }
  return out;
}

}  // namespace

TEST(StxSegmentContext, SmallPatchIsMarkedBelowTheMinimumSize) {
  Image<unsigned short> image = filled(9, 9, kInvalid);
  paint(image, 3, 3, 3, 3, 160);
  EXPECT_EQ(validate(image, 1.0, 10, 2)[4][4], kSurfaceCode);
  image = filled(9, 9, kInvalid);
  paint(image, 3, 3, 3, 3, 160);
  EXPECT_EQ(validate(image, 1.0, 9, 2)[4][4], 160);
}

TEST(StxSegmentContext, DifferenceOfOneDisparityJoinsSixteenSteps) {
  for (const auto& [right, joined] : {std::pair<int, bool>{176, true}, {177, false}}) {
    Image<unsigned short> image = filled(9, 9, kInvalid);
    paint(image, 3, 3, 3, 1, 160);
    paint(image, 3, 4, 3, 1, static_cast<unsigned short>(right));
    const Image<unsigned short> out = validate(image, 1.0, 6, 2);
    EXPECT_EQ(out[4][3], joined ? 160 : kSurfaceCode) << right;
  }
}

TEST(StxSegmentContext, UShapeIsOneSurface) {
  Image<unsigned short> image = filled(10, 10, kInvalid);
  paint(image, 2, 3, 3, 1, 200);  // left arm
  paint(image, 2, 5, 3, 1, 200);  // right arm
  paint(image, 5, 3, 1, 3, 200);  // bottom joins them
  const Image<unsigned short> out = validate(image, 1.0, 9, 2);
  EXPECT_EQ(out[2][3], 200);
  EXPECT_EQ(out[2][5], 200);
}

TEST(StxSegmentContext, BorderRowsAndColumns) {
  // Border 6: rows and columns 0 .. 2 and the last three are never marked;
  // row and column 2 still join what touches them to the background.
  Image<unsigned short> image = filled(14, 14, kInvalid);
  for (int r = 0; r < 14; ++r)
    for (int c = 0; c < 14; ++c)
      if ((r + c) % 2 == 0) image[r][c] = static_cast<unsigned short>(16 * (r * 14 + c));
  image[2][6] = 500, image[3][6] = 505;  // similar to the unlabelled row 2
  image[8][2] = 900, image[8][3] = 901;  // similar to the unlabelled column 2
  const Image<unsigned short> out = validate(image, 1.0, 2, 6);
  for (int r = 0; r < 14; ++r)
    for (int c = 0; c < 14; ++c) {
      const bool outer = r < 3 || c < 3 || r > 10 || c > 10;
      if (outer) {
        EXPECT_EQ(out[r][c], image[r][c]) << r << "," << c;
      } else if (image[r][c] != kInvalid && !(r == 3 && c == 6) && !(r == 8 && c == 3)) {
        EXPECT_EQ(out[r][c], kSurfaceCode) << r << "," << c;
      }
    }
  EXPECT_EQ(out[3][6], 505);
  EXPECT_EQ(out[8][3], 901);
}

TEST(StxSegmentContext, InvalidCodesAreUntouchedButLowCodesAreDisparities) {
  Image<unsigned short> image = filled(7, 7, kInvalid);
  image[2][2] = 0xFF00;  // mapping 0: disparity 4080
  image[2][4] = 0xFFF0;
  image[4][3] = 0xFFEF;  // just below the invalid codes, a lone disparity
  const Image<unsigned short> out = validate(image, 0.0, 2, 2);
  EXPECT_EQ(out[2][2], kSurfaceCode);
  EXPECT_EQ(out[2][4], 0xFFF0);
  EXPECT_EQ(out[4][3], kSurfaceCode);
  EXPECT_EQ(out[0][0], kInvalid);
}

TEST(StxSegmentContext, RandomMapsMatchFloodFill) {
  std::mt19937 rng(99);
  struct Case {
    int rows, cols;
    double difference;
    unsigned minimum, border;
  };
  const Case cases[] = {{30, 41, 1.0, 5, 6}, {25, 33, 0.5, 12, 3},
                        {17, 50, 2.0, 3, 1}, {40, 40, 1.0, 25, 10}, {12, 12, 0.0, 2, 0}};
  for (const Case& c : cases) {
    std::vector<unsigned short> map(static_cast<size_t>(c.rows) * c.cols);
    // Smooth ramps broken by steps and invalid pixels make surfaces of many sizes.
    std::uniform_int_distribution<int> step(0, 9), jitter(-20, 20);
    int level = 400;
    for (auto& v : map) {
      const int s = step(rng);
      if (s == 0) level = 200 + 40 * step(rng);
      v = s == 1 ? 0xFFF0 + step(rng) % 16 : static_cast<unsigned short>(level + jitter(rng));
    }
    Image<unsigned short> image(c.rows, c.cols);
    for (int r = 0; r < c.rows; ++r)
      for (int col = 0; col < c.cols; ++col) image[r][col] = map[r * c.cols + col];
    StxSegmentContext context;
    Image<unsigned int> labels(c.rows, c.cols);
    // Run twice on one context: the reused tables must not change the result.
    for (int run = 0; run < 2; ++run) {
      Image<unsigned short> copy(c.rows, c.cols);
      copy.init(image);
      context.SegmentIntoRegions(copy, labels, c.difference, c.minimum, kSurfaceCode, c.border);
      const std::vector<unsigned short> expected =
          floodFillReference(map, c.rows, c.cols, c.difference, c.minimum, c.border);
      for (int r = 0; r < c.rows; ++r)
        for (int col = 0; col < c.cols; ++col)
          ASSERT_EQ(copy[r][col], expected[r * c.cols + col])
              << r << "," << col << " border " << c.border;
    }
    EXPECT_GE(g_nPeakTableSize, g_nLastTableSize);
    EXPECT_GT(g_nLastTableSize, 1);
  }
}

TEST(StxSegmentContext, EightBitImagesWithAValueWindow) {
  // 0 and 255 are outside the window [10, 200]; the 2-pixel blob is marked,
  // the 6-pixel one stays, out-of-window pixels stay.
  const unsigned char pixels[4][6] = {{50, 50, 0, 120, 121, 122},
                                      {0, 0, 0, 120, 121, 122},
                                      {255, 255, 0, 0, 0, 0},
                                      {255, 90, 0, 0, 0, 0}};
  Image<unsigned char> image(4, 6);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c) image[r][c] = pixels[r][c];
  Image<unsigned int> labels(4, 6);
  StxSegmentContext context;
  EXPECT_EQ(context.SegmentIntoRegions(image, labels, 1.0, 10, 200, 3, 7), 2u);
  EXPECT_EQ(image[0][0], 7);
  EXPECT_EQ(image[0][1], 7);
  EXPECT_EQ(image[3][1], 7);
  EXPECT_EQ(image[0][3], 120);
  EXPECT_EQ(image[1][5], 122);
  EXPECT_EQ(image[2][0], 255);
  EXPECT_EQ(image[1][0], 0);
}

TEST(StxUIntVector, GrowsInWholeStepsAndKeepsEntries) {
  StxUIntVector table;
  table[999] = 42;
  table.setCount(1000);
  table.resize(2500);
  EXPECT_EQ(table.capacity(), 3000u);
  EXPECT_EQ(table[999], 42u);
  EXPECT_EQ(table.count(), 1000u);
  table.resize(10);
  EXPECT_EQ(table.capacity(), 3000u);
  table.clear();
  EXPECT_EQ(table.count(), 0u);
  EXPECT_EQ(table.capacity(), 3000u);
}
