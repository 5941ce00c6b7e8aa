// Point mapping between two images made of two warp splines (output row and
// output column) with small additive adjustments on input and output.
#ifndef STELOX_RECTIFY_WARPMAPFUNC_H
#define STELOX_RECTIFY_WARPMAPFUNC_H

#include "rectify/WarpSpline.h"

// The map's input is a pixel of the destination (output) image of a warp; its
// output is a position in the source image. The destination adjustment is
// subtracted from the input, the source adjustment added to the output, both in
// normalised units. Evaluation writes the splines' caches: one thread at a time.
class WarpMapFunc {
public:
  WarpMapFunc(const WarpSpline& rowSpline, const WarpSpline& colSpline, double focalLengthY,
              double focalLengthX, double sourceAdjustmentX, double sourceAdjustmentY,
              double destinationAdjustmentX, double destinationAdjustmentY);
  WarpMapFunc(const WarpMapFunc&) = default;
  WarpMapFunc& operator=(const WarpMapFunc&) = default;

  // A new map sharing both splines' tables, with all constants copied.
  virtual WarpMapFunc* clone() const;
  virtual ~WarpMapFunc();
  // Normalised mapping; inputs and outputs are clamped to [0, 1].
  virtual void map(float& outRow, float& outCol, float inRow, float inCol) const;

  // Pixel mapping from an inRows x inCols image to an outRows x outCols image.
  // Pixel (i, j) stands for the area centred on (i + 0.5, j + 0.5), so results
  // range from -0.5 to outRows - 0.5 (outCols - 0.5).
  void map(float& outRow, float& outCol, int outRows, int outCols, float inRow, float inCol,
           int inRows, int inCols) const;

  bool init(const WarpSpline& rowSpline, const WarpSpline& colSpline, double focalLengthY,
            double focalLengthX, double sourceAdjustmentX, double sourceAdjustmentY,
            double destinationAdjustmentX, double destinationAdjustmentY);

  void setSourceAdjustment(double x, double y);
  void setDestinationAdjustment(double x, double y);
  void getSourceAdjustment(double* x, double* y) const;
  void getDestinationAdjustment(double* x, double* y) const;

  double getFocalLengthX() const { return m_focalLengthX; }
  double getFocalLengthY() const { return m_focalLengthY; }

private:
  WarpSpline m_colSpline;
  WarpSpline m_rowSpline;
  // Carried with the map; the mapping does not use them.
  double m_focalLengthY;
  double m_focalLengthX;
  double m_sourceAdjustmentX;
  double m_sourceAdjustmentY;
  double m_destinationAdjustmentX;
  double m_destinationAdjustmentY;
};

#endif
