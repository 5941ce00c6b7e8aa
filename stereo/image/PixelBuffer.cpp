#include "image/PixelBuffer.h"

#include <fstream>
#include <limits>
#include <new>
#include <system_error>

#include "stelox_atomic.h"

namespace {

// rows x rowIncrement must be addressable with ptrdiff_t offsets and leave room
// for the alignment slack.
constexpr std::int64_t kMaxElements = std::numeric_limits<std::ptrdiff_t>::max() / 64;

}

template <typename T>
PixelBuffer<T>::PixelBuffer(int rows, int cols)
{
  if (rows < 0 || cols < 0)
    throw std::bad_array_new_length();
  const std::int64_t rowIncrement =
      (static_cast<std::int64_t>(cols) + kElementsPerAlignment - 1) / kElementsPerAlignment * kElementsPerAlignment;
  if (rowIncrement > std::numeric_limits<int>::max() || rows * rowIncrement > kMaxElements)
    throw std::bad_array_new_length();

  // The spare elements guarantee a 32-byte boundary inside the block. The
  // default allocation is aligned to at least the element size, so that
  // boundary falls on a whole element.
  static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ % sizeof(T) == 0, "allocation must align elements");
  const std::size_t elements = static_cast<std::size_t>(rows * rowIncrement) + kElementsPerAlignment - 1;
  m_ownedMemory = std::make_unique<T[]>(elements);  // value-initialised: zero bytes

  const auto address = reinterpret_cast<std::uintptr_t>(m_ownedMemory.get());
  const std::size_t misalignment = address % kAlignmentBytes;
  const std::size_t skip = misalignment == 0 ? 0 : (kAlignmentBytes - misalignment) / sizeof(T);
  m_data = m_ownedMemory.get() + skip;
  m_rows = rows;
  m_rowIncrement = static_cast<int>(rowIncrement);
  m_extent = static_cast<std::ptrdiff_t>(rows * rowIncrement);
}

template <typename T>
PixelBuffer<T>::PixelBuffer(int rows, int rowIncrement, T* data, int lastRowCols)
{
  if (rows < 0 || rowIncrement < 0 || lastRowCols < 0)
    throw std::bad_array_new_length();
  m_data = data;
  m_rows = rows;
  m_rowIncrement = rowIncrement;
  m_extent = rows == 0 ? 0 : static_cast<std::ptrdiff_t>(rows - 1) * rowIncrement + lastRowCols;
}

template <typename T>
T* PixelBuffer<T>::link()
{
  atomic_incr(&m_referenceCount);
  return m_data;
}

template <typename T>
bool PixelBuffer<T>::free() noexcept
{
  std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
  try {
    lock.lock();
  } catch (const std::system_error&) {
    // The atomic decrement below still lets exactly one releaser see zero;
    // the lock only serialises releases, so a release never throws.
  }
  return atomic_decr(&m_referenceCount) != 0;
}

template <typename T>
bool PixelBuffer<T>::write(const char* path) const
{
  if (!path)
    return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file)
    return false;
  file.write(reinterpret_cast<const char*>(m_data), static_cast<std::streamsize>(m_extent * sizeof(T)));
  file.close();
  return !file.fail();
}

template class PixelBuffer<unsigned char>;
template class PixelBuffer<unsigned short>;
template class PixelBuffer<unsigned int>;
template class PixelBuffer<int>;
template class PixelBuffer<double>;
template class PixelBuffer<Pixel8x4>;
template class PixelBuffer<Pixel16x4>;
template class PixelBuffer<Pixel8x8>;
template class PixelBuffer<Pixel16x8>;
