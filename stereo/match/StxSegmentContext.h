// Surface validation: joins neighbouring pixels whose values differ by at most
// a set amount into surfaces (one raster pass with a union-find table, one
// compression pass, one marking pass) and marks every surface smaller than a
// set size. The tables are reused from run to run; one run uses a context
// exclusively.
#ifndef STELOX_MATCH_STXSEGMENTCONTEXT_H
#define STELOX_MATCH_STXSEGMENTCONTEXT_H

#include "image/Image.h"
#include "match/StxUIntVector.h"
#include "stelox.h"

extern "C" {
// Labels of the last run and the most any run has used; written by every run
// on whichever thread runs it (relaxed atomic updates).
STELOX_API extern int g_nLastTableSize;
STELOX_API extern int g_nPeakTableSize;
}

class StxSegmentContext {
public:
  StxSegmentContext();
  virtual ~StxSegmentContext();

  // Disparity images: values above 0xFFEF (invalid codes) are skipped; two
  // values are similar when they differ by at most difference (in disparity
  // pixels, 16 steps each). Only rows and columns f .. size-f-1 are labelled,
  // f = border / 2 rounded up; the row and column just outside that area still
  // take part in the comparisons. Pixels of surfaces below minimumSize become
  // `code`; pixels joined to the unlabelled border keep their values.
  // Returns the number of labels left marked.
  unsigned SegmentIntoRegions(Image<unsigned short> disparity, Image<unsigned int> labels,
                              double difference, unsigned minimumSize, unsigned short code,
                              unsigned border);

  // 8-bit images: only pixels with low <= value <= high take part; every
  // pixel of a surface below minimumSize becomes `value`.
  unsigned SegmentIntoRegions(Image<unsigned char> image, Image<unsigned int> labels,
                              double difference, unsigned char low, unsigned char high,
                              unsigned minimumSize, unsigned char value);

  // Resolves every label to its root and sums the sizes into the roots; then
  // entry l becomes 0 when l's surface has at least minimumSize pixels.
  // Returns the number of labels that stay marked.
  static unsigned compressLabels(StxUIntVector& equivalence, StxUIntVector& sizes,
                                 unsigned minimumSize);

  unsigned smallRegionCount() const { return m_smallRegions; }

private:
  // Starts a run: empty tables with the background label 0.
  void startRun();
  unsigned newLabel();
  void take(unsigned label) { ++m_sizes[label]; }
  // Joins the surfaces of two labels; returns the smaller root.
  unsigned join(unsigned first, unsigned second);

  StxUIntVector m_equivalence;
  StxUIntVector m_sizes;
  unsigned m_smallRegions = 0;
};

#endif
