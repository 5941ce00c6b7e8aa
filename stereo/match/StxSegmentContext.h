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

#include <memory>
#include <vector>

extern "C" {
// Labels of the last run and the most any run has used; written by every run
// on whichever thread runs it (relaxed atomic updates).
STELOX_API extern int g_nLastTableSize;
STELOX_API extern int g_nPeakTableSize;
}

class ThreadPool;

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

  // The same, with the rows cut into up to `bands` horizontal bands that are
  // labelled and marked at once on the pool's workers and the calling thread
  // (safe from inside a task of that pool). Surfaces are joined across the
  // band edges before they are measured, so the marked pixels, the returned
  // count and the table statistics equal those of the one-band run; only the
  // label numbers differ (each band numbers its own).
  unsigned SegmentIntoRegions(Image<unsigned short> disparity, Image<unsigned int> labels,
                              double difference, unsigned minimumSize, unsigned short code,
                              unsigned border, ThreadPool& pool, unsigned bands);

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
  // Work memory of one band after the first: its own tables, the labels it
  // made for pixels that continue a surface of the band above (joined at the
  // band edge, not counted as labels of their own), and where its labels
  // start in the joined table.
  struct BandTables {
    StxUIntVector equivalence;
    StxUIntVector sizes;
    std::vector<unsigned> provisional;
    unsigned offset = 0;
  };

  unsigned segmentBands(Image<unsigned short>& disparity, Image<unsigned int>& labels,
                        double difference, unsigned minimumSize, unsigned short code,
                        unsigned border, ThreadPool* pool, unsigned bands);

  StxUIntVector m_equivalence;
  StxUIntVector m_sizes;
  unsigned m_smallRegions = 0;
  std::vector<std::unique_ptr<BandTables>> m_bandTables;
  std::vector<unsigned> m_provisional;
};

#endif
