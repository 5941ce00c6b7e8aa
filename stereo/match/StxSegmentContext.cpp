#include "match/StxSegmentContext.h"

#include <cmath>
#include <cstdlib>

extern "C" {
int g_nLastTableSize = 0;
int g_nPeakTableSize = 0;
}

namespace {

void recordTableSize(unsigned labels) {
  const int size = static_cast<int>(labels);
  __atomic_store_n(&g_nLastTableSize, size, __ATOMIC_RELAXED);
  int peak = __atomic_load_n(&g_nPeakTableSize, __ATOMIC_RELAXED);
  while (size > peak &&
         !__atomic_compare_exchange_n(&g_nPeakTableSize, &peak, size, true, __ATOMIC_RELAXED,
                                      __ATOMIC_RELAXED)) {
  }
}

// trunc(scale * difference + 0.5), kept inside a range where the comparisons
// cannot overflow.
long long similarityThreshold(double scaled) {
  const double rounded = std::trunc(scaled + 0.5);
  if (!(rounded > -1.0)) return -1;  // negative or NaN: nothing is similar
  return rounded > 1e9 ? 1000000000LL : static_cast<long long>(rounded);
}

}  // namespace

StxSegmentContext::StxSegmentContext() = default;
StxSegmentContext::~StxSegmentContext() = default;

void StxSegmentContext::startRun() {
  m_equivalence.clear();
  m_sizes.clear();
  m_equivalence[0] = 0;
  m_sizes[0] = 0;
  m_equivalence.setCount(1);
  m_sizes.setCount(1);
}

unsigned StxSegmentContext::newLabel() {
  const unsigned label = m_equivalence.count();
  m_equivalence[label] = label;
  m_sizes[label] = 1;
  m_equivalence.setCount(label + 1);
  m_sizes.setCount(label + 1);
  return label;
}

unsigned StxSegmentContext::join(unsigned first, unsigned second) {
  while (m_equivalence[first] != first) first = m_equivalence[first];
  while (m_equivalence[second] != second) second = m_equivalence[second];
  const unsigned smaller = first < second ? first : second;
  const unsigned larger = first < second ? second : first;
  m_equivalence[larger] = smaller;
  return smaller;
}

unsigned StxSegmentContext::compressLabels(StxUIntVector& equivalence, StxUIntVector& sizes,
                                           unsigned minimumSize) {
  const unsigned labels = equivalence.count();
  recordTableSize(labels);
  if (labels < 2) return 0;
  // Parents always carry smaller numbers, so theirs are final already.
  for (unsigned l = 1; l < labels; ++l) {
    if (equivalence[l] == l) continue;
    const unsigned root = equivalence[equivalence[l]];
    equivalence[l] = root;
    sizes[root] += sizes[l];
    sizes[l] = 0;
  }
  unsigned marked = 0;
  for (unsigned l = 1; l < labels; ++l) {
    if (sizes[equivalence[l]] >= minimumSize)
      equivalence[l] = 0;
    else
      ++marked;
  }
  return marked;
}

unsigned StxSegmentContext::SegmentIntoRegions(Image<unsigned short> disparity,
                                               Image<unsigned int> labels, double difference,
                                               unsigned minimumSize, unsigned short code,
                                               unsigned border) {
  startRun();
  labels.init(0u);
  const int rows = disparity.nRows(), cols = disparity.nCols();
  const int f = static_cast<int>(border / 2 + border % 2);
  const long long threshold = similarityThreshold(16.0 * difference);
  auto different = [threshold](long long a, long long b) { return std::llabs(a - b) > threshold; };

  for (int y = f; y < rows - f; ++y) {
    m_equivalence.resize(static_cast<unsigned>(labels.nRowInc()) + m_equivalence.count());
    m_sizes.resize(m_equivalence.capacity());
    const unsigned short* row = disparity[y].data();
    // Without a row above or a column to the left (f = 0) a pixel has no
    // neighbour there: it counts as different.
    const unsigned short* above = y > 0 ? disparity[y - 1].data() : nullptr;
    unsigned* labelRow = labels[y].data();
    const unsigned* labelAbove = y > 0 ? labels[y - 1].data() : nullptr;
    for (int x = f; x < cols - f; ++x) {
      const unsigned short v = row[x];
      if (v > 65519) continue;
      const bool differentLeft = x == 0 || different(v, row[x - 1]);
      const bool differentUp = above == nullptr || different(v, above[x]);
      unsigned label;
      if (differentLeft && differentUp) {
        labelRow[x] = newLabel();
        continue;
      } else if (differentLeft) {
        label = labelAbove[x];
      } else if (differentUp) {
        label = labelRow[x - 1];
      } else if (labelRow[x - 1] == labelAbove[x]) {
        label = labelRow[x - 1];
      } else {
        label = join(labelRow[x - 1], labelAbove[x]);
      }
      take(label);
      labelRow[x] = label;
    }
  }
  m_smallRegions = compressLabels(m_equivalence, m_sizes, minimumSize);
  for (int y = f; y < rows - f; ++y) {
    unsigned short* row = disparity[y].data();
    const unsigned* labelRow = labels[y].data();
    for (int x = f; x < cols - f; ++x)
      if (m_equivalence[labelRow[x]] != 0) row[x] = code;
  }
  return m_smallRegions;
}

unsigned StxSegmentContext::SegmentIntoRegions(Image<unsigned char> image,
                                               Image<unsigned int> labels, double difference,
                                               unsigned char low, unsigned char high,
                                               unsigned minimumSize, unsigned char value) {
  startRun();
  labels.init(0u);
  const int rows = image.nRows(), cols = image.nCols();
  const long long threshold = similarityThreshold(difference);
  auto different = [threshold](int a, int b) { return std::abs(a - b) > threshold; };

  for (int y = 0; y < rows; ++y) {
    m_equivalence.resize(static_cast<unsigned>(labels.nRowInc()) + m_equivalence.count());
    m_sizes.resize(m_equivalence.capacity());
    const unsigned char* row = image[y].data();
    const unsigned char* above = y > 0 ? image[y - 1].data() : nullptr;
    unsigned* labelRow = labels[y].data();
    const unsigned* labelAbove = y > 0 ? labels[y - 1].data() : nullptr;
    for (int x = 0; x < cols; ++x) {
      const unsigned char v = row[x];
      if (v < low || v > high) continue;
      const bool differentLeft = x == 0 || different(v, row[x - 1]);
      const bool differentUp = y == 0 || different(v, above[x]);
      unsigned label;
      if (differentLeft && differentUp) {
        labelRow[x] = newLabel();
        continue;
      } else if (differentLeft) {
        label = labelAbove[x];
      } else if (differentUp) {
        label = labelRow[x - 1];
      } else if (labelRow[x - 1] == labelAbove[x]) {
        label = labelRow[x - 1];
      } else {
        label = join(labelRow[x - 1], labelAbove[x]);
      }
      take(label);
      labelRow[x] = label;
    }
  }
  m_smallRegions = compressLabels(m_equivalence, m_sizes, minimumSize);
  for (int y = 0; y < rows; ++y) {
    unsigned char* row = image[y].data();
    const unsigned* labelRow = labels[y].data();
    for (int x = 0; x < cols; ++x)
      if (m_equivalence[labelRow[x]] != 0) row[x] = value;
  }
  return m_smallRegions;
}
