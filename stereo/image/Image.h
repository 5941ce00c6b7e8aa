#ifndef STELOX_IMAGE_IMAGE_H
#define STELOX_IMAGE_IMAGE_H

#include <cstddef>

#include "image/PixelBuffer.h"
#include "image/PixelTypes.h"

// Image views over shared, reference-counted pixel buffers.
//
// An Image<T> is a small value: a rectangle (first pixel, row increment in
// elements, rows, cols) over one PixelBuffer<T>, plus where that rectangle sits
// inside its origin region (offset and maximum size), which the warpers use to
// pick the lookup-table entries of a sub-image. Copying an image copies the
// view, never the pixels; the last view of a buffer frees it.
//
// Rectangles handed to the view-making calls are checked against the parent
// view and rejected with std::out_of_range, so a view never reaches outside the
// memory of its parent. Row indices (operator[], ImageRow cursors, Row) are not
// checked: they are the per-pixel paths.
//
// Pixels are not protected: threads writing one buffer work on disjoint rows.
// Creating, copying and destroying views is safe from any threads at once.

struct ImageDim {
  int rows;
  int cols;
};

inline bool operator==(const ImageDim& a, const ImageDim& b) { return a.rows == b.rows && a.cols == b.cols; }
inline bool operator!=(const ImageDim& a, const ImageDim& b) { return !(a == b); }

// A rectangle: first row, first column, rows, cols.
struct ImageROI {
  int row;
  int col;
  int rows;
  int cols;
};

inline bool operator==(const ImageROI& a, const ImageROI& b)
{
  return a.row == b.row && a.col == b.col && a.rows == b.rows && a.cols == b.cols;
}
inline bool operator!=(const ImageROI& a, const ImageROI& b) { return !(a == b); }

// One row of pixels; owns nothing.
template <typename T>
class Row {
public:
  Row(T* data, int cols) : m_data(data), m_cols(cols) {}

  Row crop(int left, int right) const { return Row(m_data + left, m_cols - left - right); }
  Row region(int col, int n) const { return Row(m_data + col, n); }

  T& operator[](int i) const { return m_data[i]; }
  T* data() const { return m_data; }
  int nCols() const { return m_cols; }

private:
  T* m_data;
  int m_cols;
};

template <typename T>
class Image {
public:
  using value_type = T;

  // A view of defaultImage(): 0 x 0, sharing its empty buffer.
  Image();
  // A new empty image with a buffer of its own; the pointer is not used.
  explicit Image(T* unused);

  // Own allocation, zero-filled, 32-byte aligned rows. Throws
  // std::bad_array_new_length for a negative size.
  Image(int rows, int cols);
  explicit Image(const ImageDim& size);
  Image(int rows, int cols, const FastScratchMemory&);
  Image(const ImageDim& size, const FastScratchMemory&);

  // Borrowed memory (never freed; must outlive every view): row increment =
  // cols, or the given row increment in elements. Throws
  // std::bad_array_new_length for negative counts and std::invalid_argument
  // for a null pointer with pixels to show.
  Image(int rows, int cols, T* data);
  Image(const ImageDim& size, T* data);
  Image(int rows, int cols, int rowIncrement, T* data);

  // A view of the whole of other, keeping its origin.
  Image(const Image& other);
  // A view of a rectangle of parent; with keepOrigin the view reports its place
  // in the parent's origin region, without it the view is its own origin.
  Image(const Image& parent, const ImageROI& roi, bool keepOrigin);
  // The same, and then parent's pixels outside the rectangle are set to fill.
  Image(Image& parent, const ImageROI& roi, bool keepOrigin, const T& fill);

  ~Image();

  // Releases the old buffer and becomes a view of the whole of other, keeping
  // its origin.
  Image& operator=(const Image& other);

  // The empty image every default-constructed image views. It is created on
  // first use and lives until the library is unloaded.
  static const Image& defaultImage();

  // Turns view into the rectangle roi of parent (view and parent may be the
  // same object); view's previous buffer is released.
  static void makeImage(Image& view, const Image& parent, const ImageROI& roi, bool keepOrigin);
  // The same, after which parent's pixels outside the rectangle are set to fill.
  static void makeImage(Image& view, Image& parent, const ImageROI& roi, bool keepOrigin, const T& fill);
  // Turns view into a view of size at the first pixel of its own buffer, with
  // the buffer's row increment, offset 0, 0 and maximum size = size. Throws
  // std::out_of_range when size does not fit the buffer.
  static void makeImage(Image& view, const ImageDim& size);

  // A constant image: one allocated row of cols pixels set to value, shown as
  // rows rows with row increment 0, so every row is the same memory.
  static Image constImage(int rows, int cols, const T& value);
  static Image constImage(const ImageDim& size, const T& value);

  // Views sharing the buffer, each its own origin.
  Image crop(int top, int left, int bottom, int right) const;
  Image region(int row, int col, int rows, int cols) const;
  Image region(int row, int col, const ImageDim& size) const;

  // Rectangles only.
  ImageROI crop(const ImageDim& topLeft, const ImageDim& bottomRight) const;
  // The region on which a mask of maskSize centred on each pixel lies wholly
  // inside the image.
  ImageROI mask(const ImageDim& maskSize) const;

  int nRows() const { return m_rows; }
  int nCols() const { return m_cols; }
  // Elements between row starts; 0 for a constant image.
  int nRowInc() const { return m_rowIncrement; }
  ImageDim size() const { return {m_rows, m_cols}; }
  ImageDim offset() const { return {m_rowOffset, m_colOffset}; }
  ImageDim maxSize() const { return {m_maxRows, m_maxCols}; }
  T* bufferptr() const { return m_data; }
  const T* bufferconstptr() const { return m_data; }
  Row<T> operator[](int row) const { return Row<T>(m_data + static_cast<std::ptrdiff_t>(row) * m_rowIncrement, m_cols); }

  // Sets rowIncrement x rows elements from the first pixel to value, row
  // padding included, stopping at the end of the buffer. A constant image is
  // left unchanged.
  void init(const T& value);
  // Copies other's pixels into this view (rows x cols of this view). Copying
  // an image onto itself does nothing. Throws std::out_of_range when other is
  // smaller than this view, copying nothing.
  void init(const Image& other);
  // Sets the top and bottom rows over the full width, and the first left and
  // last right pixels of the rows between. Counts of zero or less set nothing;
  // counts beyond the image stop at its edge. A constant image has a single
  // row: filled whole when top or bottom is positive, else only at its ends.
  void border(const T& value, int top, int left, int bottom, int right);

  // Makes the view its own origin.
  void shrinkROI();
  // True when both views hold the same buffer, whether or not they intersect.
  bool overlap(const Image& other) const { return m_buffer == other.m_buffer; }
  // Writes the whole buffer, not only this view (see PixelBuffer::write).
  bool write(const char* path) const { return m_buffer->write(path); }

  const PixelBuffer<T>& pixelBuffer() const { return *m_buffer; }

private:
  // Takes the first reference on a new buffer and views all of it as
  // rows x cols.
  void adopt(std::unique_ptr<PixelBuffer<T>> buffer, int rows, int cols);
  void release() noexcept;

  T* m_data = nullptr;
  int m_rowIncrement = 0;
  int m_rows = 0;
  int m_cols = 0;
  int m_rowOffset = 0;
  int m_colOffset = 0;
  int m_maxRows = 0;
  int m_maxCols = 0;
  PixelBuffer<T>* m_buffer = nullptr;  // never null once constructed; holds one reference
};

// An image view with a row cursor. Cursor moves are not checked.
template <typename T>
class ImageRow : public Image<T> {
public:
  // A view of the whole of image, keeping its origin, cursor at row 0.
  explicit ImageRow(const Image<T>& image) : Image<T>(image), m_cursorData(image.bufferptr()) {}
  ImageRow(const ImageRow&) = default;
  ImageRow& operator=(const ImageRow&) = default;
  // Becomes a view of the whole of image with the cursor at row 0.
  ImageRow& operator=(const Image<T>& image)
  {
    Image<T>::operator=(image);
    Goto(0);
    return *this;
  }

  int cursorRow() const { return m_cursorRow; }

  void gotoFirst() { Goto(0); }
  void gotoLast() { Goto(this->nRows() - 1); }
  void gotoNext(int n = 1) { Goto(m_cursorRow + n); }
  void gotoPrev(int n = 1) { Goto(m_cursorRow - n); }
  void Goto(int row)
  {
    m_cursorRow = row;
    m_cursorData = this->bufferptr() + static_cast<std::ptrdiff_t>(row) * this->nRowInc();
  }
  ImageRow& operator+=(int n)
  {
    gotoNext(n);
    return *this;
  }
  ImageRow& operator-=(int n)
  {
    gotoPrev(n);
    return *this;
  }

  // The row i rows after the cursor.
  T* pixels(int i = 0) const { return m_cursorData + static_cast<std::ptrdiff_t>(i) * this->nRowInc(); }
  T* operator()(int i = 0) const { return pixels(i); }
  Row<T> row(int i = 0) const { return Row<T>(pixels(i), this->nCols()); }

private:
  int m_cursorRow = 0;
  T* m_cursorData;
};

// The row increment in bytes, or 0 when the image has no rows or no columns.
template <typename T>
int rowInc(const Image<T>& image)
{
  if (image.nRows() == 0 || image.nCols() == 0)
    return 0;
  return image.nRowInc() * static_cast<int>(sizeof(T));
}

extern template class Image<unsigned char>;
extern template class Image<unsigned short>;
extern template class Image<unsigned int>;
extern template class Image<int>;
extern template class Image<double>;
extern template class Image<Pixel8x4>;
extern template class Image<Pixel16x4>;
extern template class Image<Pixel8x8>;
extern template class Image<Pixel16x8>;

extern template class ImageRow<unsigned char>;
extern template class ImageRow<unsigned short>;
extern template class ImageRow<unsigned int>;
extern template class ImageRow<int>;
extern template class ImageRow<double>;
extern template class ImageRow<Pixel8x4>;
extern template class ImageRow<Pixel16x4>;
extern template class ImageRow<Pixel8x8>;
extern template class ImageRow<Pixel16x8>;

#endif
