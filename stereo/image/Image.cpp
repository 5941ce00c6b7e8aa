#include "image/Image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace {

void checkRectangle(const ImageROI& roi, int parentRows, int parentCols)
{
  const bool inside = roi.row >= 0 && roi.col >= 0 && roi.rows >= 0 && roi.cols >= 0 &&
                      roi.rows <= parentRows - roi.row && roi.cols <= parentCols - roi.col;
  if (!inside)
    throw std::out_of_range("image rectangle (" + std::to_string(roi.row) + ", " + std::to_string(roi.col) + ") " +
                            std::to_string(roi.rows) + " x " + std::to_string(roi.cols) + " lies outside a " +
                            std::to_string(parentRows) + " x " + std::to_string(parentCols) + " image");
}

}

template <typename T>
Image<T>::Image() : Image(defaultImage())
{
}

template <typename T>
Image<T>::Image(T*)
{
  adopt(std::make_unique<PixelBuffer<T>>(), 0, 0);
}

template <typename T>
Image<T>::Image(int rows, int cols)
{
  adopt(std::make_unique<PixelBuffer<T>>(rows, cols), rows, cols);
}

template <typename T>
Image<T>::Image(const ImageDim& size) : Image(size.rows, size.cols)
{
}

template <typename T>
Image<T>::Image(int rows, int cols, const FastScratchMemory&) : Image(rows, cols)
{
}

template <typename T>
Image<T>::Image(const ImageDim& size, const FastScratchMemory&) : Image(size.rows, size.cols)
{
}

template <typename T>
Image<T>::Image(int rows, int cols, T* data) : Image(rows, cols, cols, data)
{
}

template <typename T>
Image<T>::Image(const ImageDim& size, T* data) : Image(size.rows, size.cols, size.cols, data)
{
}

template <typename T>
Image<T>::Image(int rows, int cols, int rowIncrement, T* data)
{
  if (rows < 0 || cols < 0 || rowIncrement < 0)
    throw std::bad_array_new_length();
  if (!data && rows > 0 && cols > 0)
    throw std::invalid_argument("null pixel pointer for a non-empty image");
  adopt(std::make_unique<PixelBuffer<T>>(rows, rowIncrement, data, cols), rows, cols);
}

template <typename T>
Image<T>::Image(const Image& other)
    : m_data(other.m_data),
      m_rowIncrement(other.m_rowIncrement),
      m_rows(other.m_rows),
      m_cols(other.m_cols),
      m_rowOffset(other.m_rowOffset),
      m_colOffset(other.m_colOffset),
      m_maxRows(other.m_maxRows),
      m_maxCols(other.m_maxCols),
      m_buffer(other.m_buffer)
{
  m_buffer->link();
}

template <typename T>
Image<T>::Image(const Image& parent, const ImageROI& roi, bool keepOrigin) : Image(parent)
{
  makeImage(*this, parent, roi, keepOrigin);
}

template <typename T>
Image<T>::Image(Image& parent, const ImageROI& roi, bool keepOrigin, const T& fill) : Image(parent)
{
  makeImage(*this, parent, roi, keepOrigin, fill);
}

template <typename T>
Image<T>::~Image()
{
  release();
}

template <typename T>
Image<T>& Image<T>::operator=(const Image& other)
{
  if (this == &other)
    return *this;
  // Link before releasing: other may hold the last other reference to our buffer.
  other.m_buffer->link();
  release();
  m_data = other.m_data;
  m_rowIncrement = other.m_rowIncrement;
  m_rows = other.m_rows;
  m_cols = other.m_cols;
  m_rowOffset = other.m_rowOffset;
  m_colOffset = other.m_colOffset;
  m_maxRows = other.m_maxRows;
  m_maxCols = other.m_maxCols;
  m_buffer = other.m_buffer;
  return *this;
}

template <typename T>
const Image<T>& Image<T>::defaultImage()
{
  // A function-local static is built on first use, so images with static
  // storage elsewhere never see it unconstructed, and it outlives them.
  static const Image instance(static_cast<T*>(nullptr));
  return instance;
}

template <typename T>
void Image<T>::makeImage(Image& view, const Image& parent, const ImageROI& roi, bool keepOrigin)
{
  checkRectangle(roi, parent.m_rows, parent.m_cols);
  // Everything is read from parent before view changes: they may be one object.
  T* const data = parent.m_data + static_cast<std::ptrdiff_t>(roi.row) * parent.m_rowIncrement + roi.col;
  const int rowIncrement = parent.m_rowIncrement;
  const ImageDim offset = keepOrigin ? ImageDim{parent.m_rowOffset + roi.row, parent.m_colOffset + roi.col}
                                     : ImageDim{0, 0};
  const ImageDim maxSize = keepOrigin ? parent.maxSize() : ImageDim{roi.rows, roi.cols};
  if (view.m_buffer != parent.m_buffer) {
    parent.m_buffer->link();
    view.release();
    view.m_buffer = parent.m_buffer;
  }
  view.m_data = data;
  view.m_rowIncrement = rowIncrement;
  view.m_rows = roi.rows;
  view.m_cols = roi.cols;
  view.m_rowOffset = offset.rows;
  view.m_colOffset = offset.cols;
  view.m_maxRows = maxSize.rows;
  view.m_maxCols = maxSize.cols;
}

template <typename T>
void Image<T>::makeImage(Image& view, Image& parent, const ImageROI& roi, bool keepOrigin, const T& fill)
{
  makeImage(view, parent, roi, keepOrigin);
  parent.border(fill, roi.row, roi.col, parent.m_rows - roi.row - roi.rows, parent.m_cols - roi.col - roi.cols);
}

template <typename T>
void Image<T>::makeImage(Image& view, const ImageDim& size)
{
  const PixelBuffer<T>& buffer = *view.m_buffer;
  const bool fits =
      size.rows >= 0 && size.cols >= 0 && size.rows <= buffer.nRows() &&
      (size.rows == 0 || size.cols == 0 ||
       static_cast<std::int64_t>(size.rows - 1) * buffer.nCols() + size.cols <= buffer.extent());
  if (!fits)
    throw std::out_of_range("image size " + std::to_string(size.rows) + " x " + std::to_string(size.cols) +
                            " does not fit its buffer");
  view.m_data = buffer.data();
  view.m_rowIncrement = buffer.nCols();
  view.m_rows = size.rows;
  view.m_cols = size.cols;
  view.shrinkROI();
}

template <typename T>
Image<T> Image<T>::constImage(int rows, int cols, const T& value)
{
  if (rows < 0)
    throw std::bad_array_new_length();
  Image image(1, cols);
  std::fill_n(image.m_data, cols, value);
  image.m_rowIncrement = 0;
  image.m_rows = rows;
  image.m_maxRows = rows;
  return image;
}

template <typename T>
Image<T> Image<T>::constImage(const ImageDim& size, const T& value)
{
  return constImage(size.rows, size.cols, value);
}

template <typename T>
Image<T> Image<T>::crop(int top, int left, int bottom, int right) const
{
  return Image(*this, {top, left, m_rows - top - bottom, m_cols - left - right}, false);
}

template <typename T>
Image<T> Image<T>::region(int row, int col, int rows, int cols) const
{
  return Image(*this, {row, col, rows, cols}, false);
}

template <typename T>
Image<T> Image<T>::region(int row, int col, const ImageDim& size) const
{
  return Image(*this, {row, col, size.rows, size.cols}, false);
}

template <typename T>
ImageROI Image<T>::crop(const ImageDim& topLeft, const ImageDim& bottomRight) const
{
  return {topLeft.rows, topLeft.cols, m_rows - topLeft.rows - bottomRight.rows,
          m_cols - topLeft.cols - bottomRight.cols};
}

template <typename T>
ImageROI Image<T>::mask(const ImageDim& maskSize) const
{
  return {maskSize.rows / 2, maskSize.cols / 2, m_rows - maskSize.rows + 1, m_cols - maskSize.cols + 1};
}

template <typename T>
void Image<T>::init(const T& value)
{
  if (m_rowIncrement == 0 || m_rows <= 0)
    return;
  // A sub-view that reaches the buffer's last row would run past its end.
  const std::ptrdiff_t available = m_buffer->data() + m_buffer->extent() - m_data;
  const std::ptrdiff_t count = std::min(static_cast<std::ptrdiff_t>(m_rows) * m_rowIncrement, available);
  if (count > 0)
    std::fill_n(m_data, count, value);
}

template <typename T>
void Image<T>::init(const Image& other)
{
  if (other.m_data == m_data && other.m_rowIncrement == m_rowIncrement)
    return;
  if (other.m_rows < m_rows || other.m_cols < m_cols)
    throw std::out_of_range("cannot copy a " + std::to_string(other.m_rows) + " x " + std::to_string(other.m_cols) +
                            " image into a " + std::to_string(m_rows) + " x " + std::to_string(m_cols) + " view");
  if (m_rows <= 0 || m_cols <= 0)
    return;
  static_assert(std::is_trivially_copyable<T>::value, "pixels are copied as bytes");
  const std::size_t rowBytes = static_cast<std::size_t>(m_cols) * sizeof(T);
  // Views of one buffer may overlap: copy in the direction that reads each
  // source row before it is overwritten.
  const bool bottomUp = m_data > other.m_data;
  for (int i = 0; i < m_rows; ++i) {
    const int r = bottomUp ? m_rows - 1 - i : i;
    std::memmove(m_data + static_cast<std::ptrdiff_t>(r) * m_rowIncrement,
                 other.m_data + static_cast<std::ptrdiff_t>(r) * other.m_rowIncrement, rowBytes);
  }
}

template <typename T>
void Image<T>::border(const T& value, int top, int left, int bottom, int right)
{
  if (m_rows <= 0 || m_cols <= 0)
    return;
  left = std::clamp(left, 0, m_cols);
  right = std::clamp(right, 0, m_cols - left);
  if (m_rowIncrement == 0) {
    if (top > 0 || bottom > 0) {
      std::fill_n(m_data, m_cols, value);
    } else {
      std::fill_n(m_data, left, value);
      std::fill_n(m_data + m_cols - right, right, value);
    }
    return;
  }
  top = std::clamp(top, 0, m_rows);
  bottom = std::clamp(bottom, 0, m_rows - top);
  for (int r = 0; r < m_rows; ++r) {
    T* row = m_data + static_cast<std::ptrdiff_t>(r) * m_rowIncrement;
    if (r < top || r >= m_rows - bottom) {
      std::fill_n(row, m_cols, value);
    } else {
      std::fill_n(row, left, value);
      std::fill_n(row + m_cols - right, right, value);
    }
  }
}

template <typename T>
void Image<T>::shrinkROI()
{
  m_rowOffset = 0;
  m_colOffset = 0;
  m_maxRows = m_rows;
  m_maxCols = m_cols;
}

template <typename T>
void Image<T>::adopt(std::unique_ptr<PixelBuffer<T>> buffer, int rows, int cols)
{
  m_data = buffer->link();
  m_buffer = buffer.release();
  m_rowIncrement = m_buffer->nCols();
  m_rows = rows;
  m_cols = cols;
  shrinkROI();
}

template <typename T>
void Image<T>::release() noexcept
{
  if (m_buffer->free())
    std::default_delete<PixelBuffer<T>>()(m_buffer);
  m_buffer = nullptr;
}

template class Image<unsigned char>;
template class Image<unsigned short>;
template class Image<unsigned int>;
template class Image<int>;
template class Image<double>;
template class Image<Pixel8x4>;
template class Image<Pixel16x4>;
template class Image<Pixel8x8>;
template class Image<Pixel16x8>;

template class ImageRow<unsigned char>;
template class ImageRow<unsigned short>;
template class ImageRow<unsigned int>;
template class ImageRow<int>;
template class ImageRow<double>;
template class ImageRow<Pixel8x4>;
template class ImageRow<Pixel16x4>;
template class ImageRow<Pixel8x8>;
template class ImageRow<Pixel16x8>;
