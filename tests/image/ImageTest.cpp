#include "image/Image.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "stelox_atomic.h"

namespace {

bool isAligned32(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

bool allBytesZero(const void* p, std::size_t bytes)
{
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < bytes; ++i)
    if (b[i] != 0)
      return false;
  return true;
}

template <typename T>
void expectOwnAllocation(int rows, int cols, int expectedRowIncrement)
{
  SCOPED_TRACE(std::to_string(sizeof(T)) + "-byte element, " + std::to_string(rows) + " x " + std::to_string(cols));
  Image<T> image(rows, cols);
  EXPECT_EQ(image.nRowInc(), expectedRowIncrement);
  EXPECT_EQ(image.nRowInc() * sizeof(T) % 32, 0u);
  EXPECT_TRUE(isAligned32(image.bufferptr()));
  EXPECT_EQ(image.size(), (ImageDim{rows, cols}));
  EXPECT_EQ(image.offset(), (ImageDim{0, 0}));
  EXPECT_EQ(image.maxSize(), (ImageDim{rows, cols}));
  EXPECT_EQ(image.pixelBuffer().nRows(), rows);
  EXPECT_EQ(image.pixelBuffer().nCols(), expectedRowIncrement);
  EXPECT_TRUE(allBytesZero(image.bufferptr(), static_cast<std::size_t>(rows) * image.nRowInc() * sizeof(T)));
  // The padding after the last column is usable by vector loads and stores.
  image.bufferptr()[static_cast<std::size_t>(rows) * image.nRowInc() - 1] = T{};
}

TEST(ImageAllocation, RowsArePaddedTo32BytesAlignedAndZeroed)
{
  expectOwnAllocation<unsigned char>(480, 642, 672);
  expectOwnAllocation<unsigned char>(3, 32, 32);
  expectOwnAllocation<unsigned char>(1, 1, 32);
  expectOwnAllocation<unsigned short>(2, 3, 16);
  expectOwnAllocation<unsigned short>(5, 17, 32);
  expectOwnAllocation<unsigned int>(7, 9, 16);
  expectOwnAllocation<int>(2, 8, 8);
  expectOwnAllocation<double>(3, 5, 8);
  expectOwnAllocation<Pixel8x4>(3, 9, 16);
  expectOwnAllocation<Pixel16x4>(4, 5, 8);
  expectOwnAllocation<Pixel8x8>(2, 4, 4);
  expectOwnAllocation<Pixel16x8>(1, 3, 4);
  expectOwnAllocation<unsigned char>(0, 10, 32);
  expectOwnAllocation<unsigned char>(10, 0, 0);
}

TEST(ImageAllocation, ScratchTagAllocatesAlike)
{
  FastScratchMemory scratch;
  Image<unsigned short> image(ImageDim{3, 17}, scratch);
  EXPECT_EQ(image.nRowInc(), 32);
  EXPECT_TRUE(isAligned32(image.bufferptr()));
}

TEST(ImageAllocation, BadSizesThrowWithoutLeaking)
{
  int pixels[4] = {};
  EXPECT_THROW(Image<unsigned char>(-1, 10), std::bad_array_new_length);
  EXPECT_THROW(Image<unsigned char>(10, -1), std::bad_array_new_length);
  EXPECT_THROW(Image<double>(1 << 30, 1 << 30), std::bad_array_new_length);
  EXPECT_THROW(Image<int>(-1, 2, pixels), std::bad_array_new_length);
  EXPECT_THROW(Image<int>(1, 2, -4, pixels), std::bad_array_new_length);
  EXPECT_THROW(Image<int>::constImage(-3, 2, 0), std::bad_array_new_length);
  EXPECT_THROW(Image<int>(2, 2, static_cast<int*>(nullptr)), std::invalid_argument);
  EXPECT_NO_THROW(Image<int>(0, 0, static_cast<int*>(nullptr)));
}

TEST(ImageSharing, CopiesSharePixelsAndCountReferences)
{
  Image<unsigned char> first(4, 5);
  EXPECT_EQ(first.pixelBuffer().referenceCount(), 1);
  first[2][3] = 42;
  {
    Image<unsigned char> copy(first);
    ImageRow<unsigned char> rows(first);
    Image<unsigned char> assigned;
    assigned = copy;
    EXPECT_EQ(first.pixelBuffer().referenceCount(), 4);
    EXPECT_EQ(copy.bufferptr(), first.bufferptr());
    EXPECT_EQ(assigned[2][3], 42);
    assigned = assigned;
    EXPECT_EQ(first.pixelBuffer().referenceCount(), 4);
  }
  EXPECT_EQ(first.pixelBuffer().referenceCount(), 1);
}

TEST(ImageSharing, CopyOutlivesTheOriginal)
{
  Image<Pixel16x4> survivor;
  {
    Image<Pixel16x4> original(3, 3);
    original[1][1].channel[2] = 777;
    survivor = original.region(1, 1, 2, 2);
  }
  EXPECT_EQ(survivor.pixelBuffer().referenceCount(), 1);
  EXPECT_EQ(survivor[0][0].channel[2], 777);
}

TEST(ImageSharing, AssignmentReleasesTheOldBuffer)
{
  Image<int> kept(2, 2);
  Image<int> other(3, 3);
  Image<int> view(kept);
  EXPECT_EQ(kept.pixelBuffer().referenceCount(), 2);
  view = other;
  EXPECT_EQ(kept.pixelBuffer().referenceCount(), 1);
  EXPECT_EQ(other.pixelBuffer().referenceCount(), 2);
  // Reusing a view object for a rectangle of another image releases what it held.
  Image<int>::makeImage(view, kept, {0, 1, 2, 1}, true);
  EXPECT_EQ(other.pixelBuffer().referenceCount(), 1);
  EXPECT_EQ(kept.pixelBuffer().referenceCount(), 2);
  // A view may become a rectangle of itself.
  Image<int>::makeImage(view, view, {1, 0, 1, 1}, true);
  EXPECT_EQ(view.offset(), (ImageDim{1, 1}));
  EXPECT_EQ(kept.pixelBuffer().referenceCount(), 2);
}

TEST(ImageSharing, DefaultImagesShareOneEmptyBuffer)
{
  Image<double> a;
  Image<double> b;
  EXPECT_TRUE(a.overlap(b));
  EXPECT_TRUE(a.overlap(Image<double>::defaultImage()));
  EXPECT_EQ(a.size(), (ImageDim{0, 0}));
  EXPECT_EQ(a.bufferptr(), nullptr);
  EXPECT_GE(a.pixelBuffer().referenceCount(), 3);

  Image<double> fresh(static_cast<double*>(nullptr));
  EXPECT_FALSE(fresh.overlap(a));
  EXPECT_EQ(fresh.pixelBuffer().referenceCount(), 1);
  EXPECT_EQ(fresh.size(), (ImageDim{0, 0}));
}

TEST(ImageSharing, BorrowedMemoryIsUsedInPlaceAndNeverFreed)
{
  // Memory on the stack: freeing it would be caught by the sanitizer build.
  unsigned short pixels[3 * 8] = {};
  {
    Image<unsigned short> image(3, 5, 8, pixels);
    Image<unsigned short> copy(image);
    EXPECT_FALSE(copy.pixelBuffer().ownsMemory());
    EXPECT_EQ(image.bufferptr(), pixels);
    EXPECT_EQ(image.nRowInc(), 8);
    copy[2][4] = 1234;
    Image<unsigned short> dense(ImageDim{2, 4}, pixels);
    EXPECT_EQ(dense.nRowInc(), 4);
  }
  EXPECT_EQ(pixels[2 * 8 + 4], 1234);
}

TEST(ImageSharing, ConcurrentCopiesKeepTheCountExact)
{
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  Image<unsigned char> image(8, 8);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      while (!go)
        std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        Image<unsigned char> copy(image);
        Image<unsigned char> part = copy.region(1, 1, 2, 2);
        ImageRow<unsigned char> rows(part);
        part = image;
      }
    });
  }
  go = true;
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(image.pixelBuffer().referenceCount(), 1);
}

TEST(ImageSharing, ConcurrentLastReleasesFreeTheBufferOnce)
{
  // Every round, several threads drop the last views of one buffer at once;
  // a double free or a leak shows in the sanitizer build.
  for (int round = 0; round < 200; ++round) {
    std::vector<Image<int>> views;
    {
      Image<int> image(4, 4);
      views.assign(4, image);
    }
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (auto& view : views) {
      threads.emplace_back([&ready, &view] {
        ++ready;
        while (ready < 4)
          std::this_thread::yield();
        view = Image<int>();
      });
    }
    for (auto& thread : threads)
      thread.join();
  }
}

TEST(AtomicCounter, DecrementReportsZeroOnlyOnce)
{
  std::int32_t counter = 0;
  atomic_incr(&counter);
  atomic_incr(&counter);
  EXPECT_EQ(counter, 2);
  EXPECT_EQ(atomic_decr(&counter), 0);
  EXPECT_EQ(atomic_decr(&counter), 1);
  atomic_incr(nullptr);
  EXPECT_EQ(atomic_decr(nullptr), 0);

  constexpr int kThreads = 4;
  constexpr int kPerThread = 50000;
  counter = kThreads * kPerThread;
  std::atomic<int> zeros{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kPerThread; ++i)
        zeros += atomic_decr(&counter);
    });
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(zeros, 1);
}

TEST(ImageViews, RegionsRememberTheirPlaceOnlyWithKeepOrigin)
{
  Image<unsigned char> frame(480, 640);
  const Image<unsigned char> band(frame, {100, 200, 50, 60}, true);
  EXPECT_EQ(band.offset(), (ImageDim{100, 200}));
  EXPECT_EQ(band.maxSize(), (ImageDim{480, 640}));
  EXPECT_EQ(band.bufferptr(), frame.bufferptr() + 100 * 640 + 200);
  EXPECT_EQ(band.nRowInc(), frame.nRowInc());

  const Image<unsigned char> own = band.region(10, 20, 5, 5);
  EXPECT_EQ(own.offset(), (ImageDim{0, 0}));
  EXPECT_EQ(own.maxSize(), (ImageDim{5, 5}));
  EXPECT_EQ(own.bufferptr(), band.bufferptr() + 10 * 640 + 20);

  const Image<unsigned char> kept(band, {10, 20, 5, 5}, true);
  EXPECT_EQ(kept.offset(), (ImageDim{110, 220}));
  EXPECT_EQ(kept.maxSize(), (ImageDim{480, 640}));
  EXPECT_EQ(Image<unsigned char>(kept).offset(), (ImageDim{110, 220}));

  Image<unsigned char> shrunk(kept);
  shrunk.shrinkROI();
  EXPECT_EQ(shrunk.offset(), (ImageDim{0, 0}));
  EXPECT_EQ(shrunk.maxSize(), (ImageDim{5, 5}));

  const Image<unsigned char> cropped = band.crop(1, 2, 3, 4);
  EXPECT_EQ(cropped.size(), (ImageDim{46, 54}));
  EXPECT_EQ(cropped.bufferptr(), band.bufferptr() + 640 + 2);
  EXPECT_EQ(band.region(3, 4, ImageDim{7, 8}).size(), (ImageDim{7, 8}));
}

TEST(ImageViews, RectangleFunctions)
{
  const Image<unsigned char> image(480, 640);
  EXPECT_EQ(image.mask({5, 7}), (ImageROI{2, 3, 476, 634}));
  EXPECT_EQ(image.mask({1, 1}), (ImageROI{0, 0, 480, 640}));
  EXPECT_EQ(image.crop(ImageDim{1, 2}, ImageDim{3, 4}), (ImageROI{1, 2, 476, 634}));
}

TEST(ImageViews, RectanglesOutsideTheParentAreRejected)
{
  const Image<unsigned short> image(10, 12);
  const Image<unsigned short> inner = image.region(2, 3, 4, 5);
  const ImageROI outside[] = {
      {-1, 0, 2, 2}, {0, -1, 2, 2}, {0, 0, -1, 2}, {0, 0, 2, -1}, {3, 0, 2, 2},
      {0, 4, 2, 2},  {5, 0, 0, 0},  {0, 0, 5, 1},  {0, 0, 1, 6},  {2147483647, 0, 1, 1},
  };
  for (const ImageROI& roi : outside) {
    SCOPED_TRACE(::testing::Message() << roi.row << ", " << roi.col << ", " << roi.rows << ", " << roi.cols);
    EXPECT_THROW(Image<unsigned short>(inner, roi, false), std::out_of_range);
    EXPECT_EQ(image.pixelBuffer().referenceCount(), 2);
  }
  EXPECT_THROW(inner.crop(-1, 0, 0, 0), std::out_of_range);
  EXPECT_THROW(inner.crop(0, 3, 0, 3), std::out_of_range);
  // A mask larger than the image has no inner region.
  const Image<unsigned short> small(2, 2);
  EXPECT_THROW(Image<unsigned short>(small, small.mask({5, 5}), false), std::out_of_range);
  EXPECT_NO_THROW(inner.region(4, 5, 0, 0));
  EXPECT_NO_THROW(inner.region(0, 0, 4, 5));
}

TEST(ImageViews, MakeImageShowsTheWholeBufferWithANewSize)
{
  Image<int> image(6, 10);
  Image<int> view = image.region(2, 3, 2, 2);
  Image<int>::makeImage(view, ImageDim{6, 16});
  EXPECT_EQ(view.bufferptr(), image.bufferptr());
  EXPECT_EQ(view.size(), (ImageDim{6, 16}));
  EXPECT_EQ(view.maxSize(), (ImageDim{6, 16}));
  EXPECT_THROW(Image<int>::makeImage(view, ImageDim{7, 1}), std::out_of_range);
  EXPECT_THROW(Image<int>::makeImage(view, ImageDim{6, 17}), std::out_of_range);
}

TEST(ImageViews, RowIncrementInBytes)
{
  EXPECT_EQ(rowInc(Image<unsigned short>(2, 3)), 32);
  EXPECT_EQ(rowInc(Image<unsigned short>(0, 3)), 0);
  EXPECT_EQ(rowInc(Image<unsigned char>(3, 0)), 0);
  EXPECT_EQ(rowInc(Image<Pixel8x4>(1, 9)), 64);
  EXPECT_EQ(rowInc(Image<unsigned char>::constImage(3, 4, 1)), 0);
}

TEST(ImageViews, OverlapMeansSameBuffer)
{
  const Image<unsigned char> image(10, 10);
  EXPECT_TRUE(image.region(0, 0, 2, 2).overlap(image.region(5, 5, 2, 2)));
  EXPECT_FALSE(image.overlap(Image<unsigned char>(10, 10)));
}

TEST(ImageRowCursor, MovesAndRows)
{
  Image<int> image(5, 3);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 3; ++c)
      image[r][c] = 10 * r + c;
  const Image<int> part(image, {1, 0, 4, 3}, true);
  ImageRow<int> rows(part);
  EXPECT_EQ(rows.offset(), (ImageDim{1, 0}));
  EXPECT_EQ(rows.cursorRow(), 0);
  EXPECT_EQ(rows.pixels()[0], 10);
  rows += 2;
  EXPECT_EQ(*rows(), 30);
  EXPECT_EQ(rows.pixels(1)[2], 42);
  EXPECT_EQ(rows.row(-1)[1], 21);
  EXPECT_EQ(rows.row().nCols(), 3);
  rows.gotoLast();
  EXPECT_EQ(rows.cursorRow(), 3);
  rows.gotoPrev();
  rows -= 1;
  EXPECT_EQ(*rows(), 20);
  const ImageRow<int> copy(rows);
  EXPECT_EQ(copy.cursorRow(), 1);
  EXPECT_EQ(*copy(), 20);
  rows.Goto(3);
  rows.gotoNext(-3);
  EXPECT_EQ(*rows(), 10);
  rows.gotoFirst();
  EXPECT_EQ(rows.cursorRow(), 0);
  rows.gotoNext(2);
  rows = image;
  EXPECT_EQ(rows.cursorRow(), 0);
  EXPECT_EQ(*rows(), 0);
}

TEST(ImageRowType, CropAndRegion)
{
  int pixels[] = {0, 1, 2, 3, 4, 5, 6, 7};
  const Row<int> row(pixels, 8);
  const Row<int> cropped = row.crop(2, 1);
  EXPECT_EQ(cropped.nCols(), 5);
  EXPECT_EQ(cropped[0], 2);
  const Row<int> part = row.region(3, 2);
  EXPECT_EQ(part.nCols(), 2);
  EXPECT_EQ(part[1], 4);
  part[1] = 40;
  EXPECT_EQ(pixels[4], 40);
}

TEST(ImageFill, ConstImageSharesOneRow)
{
  Image<unsigned char> constant = Image<unsigned char>::constImage(4, 10, 7);
  EXPECT_EQ(constant.size(), (ImageDim{4, 10}));
  EXPECT_EQ(constant.maxSize(), (ImageDim{4, 10}));
  EXPECT_EQ(constant.nRowInc(), 0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 10; ++c)
      EXPECT_EQ(constant[r][c], 7);
  constant[0][3] = 5;
  for (int r = 0; r < 4; ++r)
    EXPECT_EQ(constant[r][3], 5);
  constant.init(9);
  EXPECT_EQ(constant[2][0], 7);

  const auto sums = Image<Pixel16x4>::constImage(ImageDim{3, 2}, Pixel16x4{{1, 2, 3, 4}});
  EXPECT_EQ(sums[2][1].channel[3], 4);
}

TEST(ImageFill, InitFillsRowsWithPaddingButStopsAtTheBufferEnd)
{
  Image<unsigned char> image(3, 5);
  image.init(3);
  for (int i = 0; i < 3 * 32; ++i)
    ASSERT_EQ(image.bufferptr()[i], 3) << i;

  // A sub-view touching the last row fills to the buffer's end, not past it
  // (the sanitizer build checks the "not past").
  image.region(1, 2, 2, 3).init(8);
  EXPECT_EQ(image[1][1], 3);
  EXPECT_EQ(image[1][2], 8);
  EXPECT_EQ(image[2][0], 8);
  EXPECT_EQ(image.bufferptr()[3 * 32 - 1], 8);

  // Borrowed memory: the caller only vouches up to the last column of the last row.
  int pixels[2 * 6 + 1];
  pixels[2 * 6 - 2] = -1;
  pixels[2 * 6] = -2;
  Image<int> borrowed(2, 4, 6, pixels);
  borrowed.init(5);
  EXPECT_EQ(pixels[6 + 3], 5);
  EXPECT_EQ(pixels[6 + 4], -1);
  EXPECT_EQ(pixels[2 * 6], -2);
}

TEST(ImageFill, BorderLeavesTheInteriorAlone)
{
  Image<unsigned char> image(4, 6);
  image.init(1);
  image.border(0, 1, 2, 1, 2);
  const unsigned char expected[4][6] = {
      {0, 0, 0, 0, 0, 0}, {0, 0, 1, 1, 0, 0}, {0, 0, 1, 1, 0, 0}, {0, 0, 0, 0, 0, 0}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c)
      EXPECT_EQ(image[r][c], expected[r][c]) << r << ", " << c;

  // Counts of zero, negative or beyond the image.
  Image<int> other(3, 4);
  other.init(1);
  other.border(2, -1, 0, -5, 0);
  EXPECT_EQ(other[0][0], 1);
  other.border(2, 0, 9, 0, 9);
  EXPECT_EQ(other[1][3], 2);
  other.border(3, 7, 0, 7, 0);
  EXPECT_EQ(other[2][2], 3);
  EXPECT_EQ(other.bufferptr()[other.nRowInc() * 2 + 4], 1);

  // A constant image has one row.
  Image<int> constant = Image<int>::constImage(5, 4, 1);
  constant.border(0, 0, 1, 0, 1);
  EXPECT_EQ(constant[3][0], 0);
  EXPECT_EQ(constant[3][1], 1);
  EXPECT_EQ(constant[3][3], 0);
  constant.border(6, 0, 0, 1, 0);
  EXPECT_EQ(constant[0][1], 6);
}

TEST(ImageFill, ViewWithFillSetsTheParentBorder)
{
  Image<unsigned short> parent(5, 5);
  parent.init(1);
  const Image<unsigned short> centre(parent, {1, 2, 3, 2}, true, 9);
  EXPECT_EQ(centre.offset(), (ImageDim{1, 2}));
  int filled = 0;
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 5; ++c) {
      const bool inside = r >= 1 && r < 4 && c >= 2 && c < 4;
      EXPECT_EQ(parent[r][c], inside ? 1 : 9) << r << ", " << c;
      filled += parent[r][c] == 9;
    }
  EXPECT_EQ(filled, 25 - 6);
}

TEST(ImageFill, InitFromAnotherImage)
{
  Image<int> source(4, 5);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c)
      source[r][c] = 10 * r + c;

  Image<int> target(3, 4);
  target.init(source);
  EXPECT_EQ(target[2][3], 23);

  target.init(target);
  EXPECT_EQ(target[2][3], 23);
  EXPECT_THROW(source.init(target), std::out_of_range);
  EXPECT_EQ(source[3][4], 34);

  // Overlapping views of one buffer, shifted down and up by one row.
  Image<int> shifted = source.region(0, 0, 3, 5);
  source.region(1, 0, 3, 5).init(shifted);
  EXPECT_EQ(source[3][4], 24);
  EXPECT_EQ(source[1][0], 0);
  source.region(0, 0, 3, 5).init(source.region(1, 0, 3, 5));
  EXPECT_EQ(source[0][2], 2);
  EXPECT_EQ(source[2][4], 24);

  // A constant image copies into every row.
  Image<int> rows(3, 2);
  rows.init(Image<int>::constImage(3, 2, 6));
  EXPECT_EQ(rows[2][1], 6);
}

TEST(ImageFile, WriteDumpsTheWholeBuffer)
{
  Image<unsigned short> image(2, 3);
  image.init(0x0102);
  const std::string path = ::testing::TempDir() + "stelox_image_write.raw";
  ASSERT_TRUE(image.region(1, 1, 1, 1).write(path.c_str()));
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 2u * 16 * sizeof(unsigned short));
  EXPECT_EQ(bytes[0], 0x02);
  EXPECT_EQ(bytes[1], 0x01);
  std::remove(path.c_str());

  EXPECT_FALSE(image.write("/nonexistent-folder/image.raw"));
  EXPECT_FALSE(image.pixelBuffer().write(nullptr));
}

}
