// Nearest-neighbour rectification lookup table, the base of the warper family.
#ifndef STELOX_RECTIFY_WARPER_H
#define STELOX_RECTIFY_WARPER_H

#include "image/Image.h"
#include "rectify/WarpMapFunc.h"

class BoxFilter;

// Warper kind requested from the warper cache: 0 builds a Warper3, any other
// value a BilinearWarper3. Contexts always request 0 with kernel size 5.
enum KernelType : int {
  KernelTypeBilinear = 0,
  KernelTypeBilinearWithHooks = 1
};

// For every pixel of the output (rectified) image the table stores the linear
// element offset of the raw pixel it comes from: source row * source row
// increment + source column. A raw image handed to a warp must have the size
// and row increment the table was built for.
//
// A built warper is read-only: several threads may warp with it at once when
// each writes different output rows. Clones share the tables.
class Warper {
public:
  // Largest box of the low-pass warp: its 16-bit sums are read as signed.
  static constexpr int maxLowpassArea = 128;

  Warper();
  Warper(const Warper&) = default;
  Warper& operator=(const Warper&) = delete;

  virtual ~Warper();
  virtual Warper* clone() const;

  // Low-pass warp: feeds the raw rows through the box filter just before the
  // table needs them and warps each output row from the box-filtered copy.
  // filtered is the raw image's size, with the row increment this table was
  // built for; filteredValid its view at (maskRows / 2, maskCols / 2) of
  // (raw rows - maskRows + 1) x (raw cols - maskCols + 1); columnSums the
  // accumulator the box filter was reset on for maskRows x maskCols; scale =
  // 65536 / (maskRows * maskCols). The mask area must lie in 2 ... 128 (its
  // sums are read as signed 16-bit values). Returns false, writing nothing,
  // when the mask or the images do not fit the table.
  virtual bool warp(Image<unsigned char>& out, const Image<unsigned char>& raw,
                    Image<unsigned char>& filtered, Image<unsigned char>& filteredValid,
                    Image<unsigned short>& columnSums, BoxFilter& boxFilter, int scale,
                    int maskRows, int maskCols) const;

  // Warps every row of out from raw. out may be a keepOrigin view of the
  // rectified frame: its offset selects the table entries. Returns false,
  // writing nothing, when out reaches outside the table or raw does not have
  // the row increment and size the table was built for.
  virtual bool warp(Image<unsigned char>& out, const Image<unsigned char>& raw) const;
  virtual bool warp(Image<unsigned short>& out, const Image<unsigned short>& raw) const;
  virtual bool warp(Image<Pixel8x4>& out, const Image<Pixel8x4>& raw) const;

  // Lowest and highest source row each output row reads.
  virtual void initRange();

  // Row warps: count output pixels from table entry (tableRow, tableCol) on;
  // raw points at the first pixel of the raw image. Nearest neighbour here.
  virtual void warp(unsigned char* out, const unsigned char* raw, int tableRow, int tableCol,
                    int count) const;
  virtual void warp(unsigned short* out, const unsigned short* raw, int tableRow, int tableCol,
                    int count) const;
  virtual void warp(Pixel8x4* out, const Pixel8x4* raw, int tableRow, int tableCol,
                    int count) const;

  // Nearest-neighbour table of outRows x outCols over the whole rectified
  // frame. Shifts are hundredths of a pixel, 0 ... 99 (other values count as
  // 0). Returns false for sizes no table can be built for.
  bool build(const WarpMapFunc& map, int sourceRows, int sourceCols, int sourceRowIncrement,
             int outRows, int outCols, int rowShiftPercent, int colShiftPercent, int kernelSize);

  // The kind of warper a request must name to be served by this one: 0 for
  // Warper and Warper3, any other value for BilinearWarper3.
  virtual KernelType kernelType() const;

  // True when this warper serves exactly this request.
  bool matches(int outRows, int outCols, int sourceRows, int sourceCols, int sourceRowIncrement,
               const ImageROI& roi, int rowShiftPercent, int colShiftPercent, KernelType kind,
               int kernelSize) const;

  ImageDim tableSize() const { return m_offsets.size(); }
  int sourceRows() const { return m_sourceRows; }
  int sourceCols() const { return m_sourceCols; }
  int sourceRowIncrement() const { return m_sourceRowIncrement; }
  const ImageROI& sourceRoi() const { return m_sourceRoi; }
  int rowShiftPercent() const { return m_rowShiftPercent; }
  int colShiftPercent() const { return m_colShiftPercent; }
  int kind() const { return m_kind; }
  int kernelSize() const { return m_kernelSize; }
  const Image<int>& offsets() const { return m_offsets; }
  // Row 0: lowest source row of each output row; row 1: highest (for the
  // bilinear warpers highest + 1, the cell's lower row).
  const Image<int>& rowRange() const { return m_rowRange; }

protected:
  // Stores the geometry of a table about to be filled.
  void setGeometry(int sourceRows, int sourceCols, int sourceRowIncrement, const ImageROI& roi,
                   int rowShiftPercent, int colShiftPercent, int kernelSize);
  // Row ranges from the offsets; extraRows is added to each maximum.
  void computeRange(int extraRows);

  // True when out lies inside the table and raw matches the table's source.
  template <typename T>
  bool fits(const Image<T>& out, const Image<T>& raw) const;
  template <typename T>
  bool warpImage(Image<T>& out, const Image<T>& raw) const;

  Image<int> m_offsets;
  Image<int> m_rowRange;
  int m_sourceRows = 0;
  int m_sourceCols = 0;
  int m_sourceRowIncrement = 0;
  ImageROI m_sourceRoi = {0, 0, 0, 0};
  int m_rowShiftPercent = 0;
  int m_colShiftPercent = 0;
  int m_kind = 0;
  int m_halfKernelSize = 0;
  int m_kernelSize = 0;
};

// Shifts outside 0 ... 99 count as 0.
int validShiftPercent(int shiftPercent);

#endif
