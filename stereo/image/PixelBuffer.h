#ifndef STELOX_IMAGE_PIXELBUFFER_H
#define STELOX_IMAGE_PIXELBUFFER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "image/PixelTypes.h"

// Tag for the constructors that historically took memory from a scratch pool;
// they allocate exactly like the constructors without it.
struct FastScratchMemory {};

// Storage of one image: a block of rows x rowIncrement pixels, either allocated
// here (zero-filled, 32-byte aligned, rows padded to whole 32-byte multiples) or
// borrowed from the caller (never freed). The views (Image<T>) that use the
// buffer count themselves in referenceCount; the view that drops the count to
// zero deletes the buffer.
//
// Thread rules: link() and free() may run on any threads at once. link() is
// only legal for a caller that already holds a reference (or the first view).
template <typename T>
class PixelBuffer {
  static_assert(32 % sizeof(T) == 0, "element size must divide the 32-byte alignment");

public:
  static constexpr int kAlignmentBytes = 32;
  static constexpr int kElementsPerAlignment = kAlignmentBytes / static_cast<int>(sizeof(T));

  // Empty buffer: no pixels, nothing allocated.
  PixelBuffer() = default;

  // Own allocation of rows x cols pixels (row increment rounded up to whole
  // 32-byte multiples). Throws std::bad_array_new_length for a negative or
  // unrepresentable size and std::bad_alloc when memory runs out.
  PixelBuffer(int rows, int cols);
  PixelBuffer(int rows, int cols, const FastScratchMemory&) : PixelBuffer(rows, cols) {}

  // Borrowed memory: data stays the caller's and must outlive every view.
  // rowIncrement is in elements. The caller vouches for rows x rowIncrement
  // elements, or for (rows - 1) x rowIncrement + lastRowCols when the last row
  // ends at the last column of its image. Throws std::bad_array_new_length for
  // negative counts.
  PixelBuffer(int rows, int rowIncrement, T* data) : PixelBuffer(rows, rowIncrement, data, rowIncrement) {}
  PixelBuffer(int rows, int rowIncrement, T* data, int lastRowCols);

  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  // Adds a reference and returns the first pixel.
  T* link();
  // Removes a reference under the buffer's mutex; true when it was the last.
  bool free() noexcept;

  void lock_mutex() { m_mutex.lock(); }
  void unlock_mutex() { m_mutex.unlock(); }

  int nRows() const { return m_rows; }
  // The row pitch in elements; the buffer does not know any view's width.
  int nCols() const { return m_rowIncrement; }
  T* data() const { return m_data; }
  bool ownsMemory() const { return m_ownedMemory != nullptr; }
  // Elements addressable from data(): rows x rowIncrement for an own
  // allocation, what the caller vouched for when borrowed.
  std::ptrdiff_t extent() const { return m_extent; }
  int referenceCount() const { return __atomic_load_n(&m_referenceCount, __ATOMIC_SEQ_CST); }

  // Writes the whole buffer (extent() elements from the first pixel) to path,
  // truncating the file. Returns false when the file cannot be opened or
  // fully written.
  bool write(const char* path) const;

private:
  T* m_data = nullptr;
  int m_rows = 0;
  int m_rowIncrement = 0;
  std::ptrdiff_t m_extent = 0;
  std::int32_t m_referenceCount = 0;
  std::unique_ptr<T[]> m_ownedMemory;
  std::mutex m_mutex;
};

extern template class PixelBuffer<unsigned char>;
extern template class PixelBuffer<unsigned short>;
extern template class PixelBuffer<unsigned int>;
extern template class PixelBuffer<int>;
extern template class PixelBuffer<double>;
extern template class PixelBuffer<Pixel8x4>;
extern template class PixelBuffer<Pixel16x4>;
extern template class PixelBuffer<Pixel8x8>;
extern template class PixelBuffer<Pixel16x8>;

#endif
