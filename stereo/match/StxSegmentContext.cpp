#include "match/StxSegmentContext.h"

#include "match/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

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

// Disparities differ by at most 65535: a larger threshold joins everything.
int disparityThreshold(double difference) {
  return static_cast<int>(std::min(similarityThreshold(16.0 * difference), 65535LL));
}

void startTables(StxUIntVector& equivalence, StxUIntVector& sizes) {
  equivalence.clear();
  sizes.clear();
  equivalence[0] = 0;
  sizes[0] = 0;
  equivalence.setCount(1);
  sizes.setCount(1);
}

// Room for one new label per pixel of a row.
void growForRow(StxUIntVector& equivalence, StxUIntVector& sizes, int rowIncrement) {
  equivalence.resize(static_cast<unsigned>(rowIncrement) + equivalence.count());
  sizes.resize(equivalence.capacity());
}

unsigned newLabel(StxUIntVector& equivalence, StxUIntVector& sizes) {
  const unsigned label = equivalence.count();
  equivalence[label] = label;
  sizes[label] = 1;
  equivalence.setCount(label + 1);
  sizes.setCount(label + 1);
  return label;
}

// Joins the surfaces of two labels; the larger root takes the smaller as its
// parent, which is returned. Parents therefore always carry smaller numbers.
unsigned join(unsigned* parent, unsigned first, unsigned second) {
  while (parent[first] != first) first = parent[first];
  while (parent[second] != second) second = parent[second];
  const unsigned smaller = first < second ? first : second;
  const unsigned larger = first < second ? second : first;
  parent[larger] = smaller;
  return smaller;
}

// compressLabels, where the labels listed in provisional (ascending) are
// resolved and measured like the others but neither reported in the table
// statistics nor counted as marked.
unsigned compress(StxUIntVector& equivalence, StxUIntVector& sizes, unsigned minimumSize,
                  const std::vector<unsigned>& provisional) {
  const unsigned labels = equivalence.count();
  recordTableSize(labels - static_cast<unsigned>(provisional.size()));
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
  auto next = provisional.begin();
  for (unsigned l = 1; l < labels; ++l) {
    const bool counted = next == provisional.end() || *next != l;
    if (!counted) ++next;
    if (sizes[equivalence[l]] >= minimumSize)
      equivalence[l] = 0;
    else if (counted)
      ++marked;
  }
  return marked;
}

// Labels the pixels first .. end-1 of one row of disparities. Without a row
// above, or left of column 0, a pixel has no neighbour there: it counts as
// different. With `provisional`, the row's labels above are not known yet (the
// first row of a band after the first): a pixel that would take the label
// from above gets a label of its own, listed there, and is joined to the
// pixel above later.
void labelDisparityRow(const unsigned short* row, const unsigned short* above, unsigned* labelRow,
                       const unsigned* labelAbove, int first, int end, int threshold,
                       StxUIntVector& equivalence, StxUIntVector& sizes,
                       std::vector<unsigned>* provisional) {
  unsigned* const parent = equivalence.data();
  unsigned* const size = sizes.data();
  unsigned next = equivalence.count();
  // The left neighbour's label and value stay in registers.
  unsigned left = first > 0 ? labelRow[first - 1] : 0;
  int leftValue = first > 0 ? row[first - 1] : 0;
  for (int x = first; x < end; ++x) {
    const int v = row[x];
    if (v > 65519) {
      labelRow[x] = left = 0;
      leftValue = v;
      continue;
    }
    const bool differentLeft = x == 0 || std::abs(v - leftValue) > threshold;
    const bool differentUp = above == nullptr || std::abs(v - above[x]) > threshold;
    leftValue = v;
    if (differentLeft && (differentUp || provisional != nullptr)) {
      parent[next] = next;
      size[next] = 1;
      if (!differentUp) provisional->push_back(next);
      labelRow[x] = left = next++;
      continue;
    } else if (differentLeft) {
      left = labelAbove[x];
    } else if (differentUp || provisional != nullptr) {
    } else if (left != labelAbove[x]) {
      left = join(parent, left, labelAbove[x]);
    }
    ++size[left];
    labelRow[x] = left;
  }
  equivalence.setCount(next);
  sizes.setCount(next);
}

void fillRows(Image<unsigned int>& labels, int first, int end) {
  for (int y = first; y < end; ++y) std::fill_n(labels[y].data(), labels.nRowInc(), 0u);
}

}  // namespace

StxSegmentContext::StxSegmentContext() = default;
StxSegmentContext::~StxSegmentContext() = default;

unsigned StxSegmentContext::compressLabels(StxUIntVector& equivalence, StxUIntVector& sizes,
                                           unsigned minimumSize) {
  return compress(equivalence, sizes, minimumSize, {});
}

unsigned StxSegmentContext::SegmentIntoRegions(Image<unsigned short> disparity,
                                               Image<unsigned int> labels, double difference,
                                               unsigned minimumSize, unsigned short code,
                                               unsigned border) {
  return segmentBands(disparity, labels, difference, minimumSize, code, border, nullptr, 1);
}

unsigned StxSegmentContext::SegmentIntoRegions(Image<unsigned short> disparity,
                                               Image<unsigned int> labels, double difference,
                                               unsigned minimumSize, unsigned short code,
                                               unsigned border, ThreadPool& pool,
                                               unsigned bands) {
  return segmentBands(disparity, labels, difference, minimumSize, code, border, &pool, bands);
}

// Each band labels its rows with tables of its own. The first row of a band
// after the first compares with the row above as usual, but that row's labels
// belong to the band above and are not known yet: a pixel that would take the
// label from above gets a provisional label instead, and once all bands are
// done every pixel of such a row that is similar to the pixel above is joined
// to it. The bands' tables are then appended to the first band's, so one
// compression measures whole surfaces.
unsigned StxSegmentContext::segmentBands(Image<unsigned short>& disparity,
                                         Image<unsigned int>& labels, double difference,
                                         unsigned minimumSize, unsigned short code,
                                         unsigned border, ThreadPool* pool, unsigned bands) {
  const int rows = disparity.nRows(), cols = disparity.nCols();
  const int rowIncrement = labels.nRowInc();
  const int f = static_cast<int>(border / 2 + border % 2);
  const int firstRow = std::min(f, rows), endRow = std::max(firstRow, rows - f);
  const int firstCol = std::min(f, cols), endCol = std::max(firstCol, cols - f);
  const int threshold = disparityThreshold(difference);

  const int processedRows = endRow - firstRow;
  const int count = std::max(1, std::min(static_cast<int>(std::max(bands, 1u)), processedRows));
  const int height = std::max(processedRows / count, 1);
  const auto bandBegin = [&](int band) { return std::min(firstRow + band * height, endRow); };
  const auto bandEnd = [&](int band) { return band == count - 1 ? endRow : bandBegin(band + 1); };
  while (m_bandTables.size() + 1 < static_cast<size_t>(count))
    m_bandTables.push_back(std::make_unique<BandTables>());

  const auto forEachBand = [&](const std::function<void(unsigned)>& body) {
    if (pool != nullptr && count > 1)
      pool->forEach(static_cast<unsigned>(count), body);
    else
      for (int band = 0; band < count; ++band) body(static_cast<unsigned>(band));
  };

  forEachBand([&](unsigned band) {
    BandTables* own = band == 0 ? nullptr : m_bandTables[band - 1].get();
    StxUIntVector& equivalence = own ? own->equivalence : m_equivalence;
    StxUIntVector& sizes = own ? own->sizes : m_sizes;
    if (own) own->provisional.clear();
    startTables(equivalence, sizes);
    const int begin = bandBegin(static_cast<int>(band)), end = bandEnd(static_cast<int>(band));
    if (band == 0) fillRows(labels, 0, firstRow);
    if (static_cast<int>(band) == count - 1) fillRows(labels, endRow, labels.nRows());

    for (int y = begin; y < end; ++y) {
      growForRow(equivalence, sizes, rowIncrement);
      unsigned* labelRow = labels[y].data();
      std::fill(labelRow, labelRow + firstCol, 0u);
      std::fill(labelRow + endCol, labelRow + rowIncrement, 0u);
      labelDisparityRow(disparity[y].data(), y > 0 ? disparity[y - 1].data() : nullptr, labelRow,
                        y > 0 ? labels[y - 1].data() : nullptr, firstCol, endCol, threshold,
                        equivalence, sizes, own != nullptr && y == begin ? &own->provisional : nullptr);
    }
  });

  // One table: label l of a band after the first becomes its offset + l. Its
  // label 0 becomes a spare entry at the offset that belongs to the background
  // (parent 0) and, like the provisional labels, is neither reported nor
  // counted; so every band looks its labels up at its offset alone.
  m_provisional.clear();
  unsigned total = m_equivalence.count();
  for (int band = 1; band < count; ++band) {
    BandTables& own = *m_bandTables[band - 1];
    const unsigned offset = total;
    const unsigned n = own.equivalence.count();
    own.offset = offset;
    m_equivalence.resize(total + n);
    m_sizes.resize(m_equivalence.capacity());
    m_equivalence[offset] = 0;
    m_sizes[offset] = 0;
    m_provisional.push_back(offset);
    for (unsigned l = 1; l < n; ++l) {
      m_equivalence[offset + l] = own.equivalence[l] == 0 ? 0 : offset + own.equivalence[l];
      m_sizes[offset + l] = own.sizes[l];
    }
    m_sizes[0] += own.sizes[0];
    for (unsigned label : own.provisional) m_provisional.push_back(offset + label);
    total += n;
  }
  m_equivalence.setCount(total);
  m_sizes.setCount(total);
  const auto offsetOf = [&](int band) { return band == 0 ? 0u : m_bandTables[band - 1]->offset; };
  for (int band = 1; band < count; ++band) {
    const int y = bandBegin(band);
    const unsigned short* row = disparity[y].data();
    const unsigned short* above = disparity[y - 1].data();
    const unsigned* labelRow = labels[y].data();
    const unsigned* labelAbove = labels[y - 1].data();
    for (int x = firstCol; x < endCol; ++x) {
      const int v = row[x];
      if (v > 65519 || std::abs(v - above[x]) > threshold) continue;
      const unsigned here = offsetOf(band) + labelRow[x], up = offsetOf(band - 1) + labelAbove[x];
      if (here != up) join(m_equivalence.data(), here, up);
    }
  }

  m_smallRegions = compress(m_equivalence, m_sizes, minimumSize, m_provisional);
  // Only small surfaces hold labels whose entry is not 0, and each of them
  // has a counted label.
  if (m_smallRegions == 0) return 0;
  forEachBand([&](unsigned band) {
    const unsigned* marked = m_equivalence.data() + offsetOf(static_cast<int>(band));
    const int first = firstCol, end = endCol;
    const unsigned short value = code;
    for (int y = bandBegin(static_cast<int>(band)); y < bandEnd(static_cast<int>(band)); ++y) {
      unsigned short* row = disparity[y].data();
      const unsigned* labelRow = labels[y].data();
      for (int x = first; x < end; ++x)
        if (marked[labelRow[x]] != 0) row[x] = value;
    }
  });
  return m_smallRegions;
}

unsigned StxSegmentContext::SegmentIntoRegions(Image<unsigned char> image,
                                               Image<unsigned int> labels, double difference,
                                               unsigned char low, unsigned char high,
                                               unsigned minimumSize, unsigned char value) {
  startTables(m_equivalence, m_sizes);
  labels.init(0u);
  const int rows = image.nRows(), cols = image.nCols();
  const long long threshold = similarityThreshold(difference);
  auto different = [threshold](int a, int b) { return std::abs(a - b) > threshold; };

  for (int y = 0; y < rows; ++y) {
    growForRow(m_equivalence, m_sizes, labels.nRowInc());
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
        labelRow[x] = newLabel(m_equivalence, m_sizes);
        continue;
      } else if (differentLeft) {
        label = labelAbove[x];
      } else if (differentUp) {
        label = labelRow[x - 1];
      } else if (labelRow[x - 1] == labelAbove[x]) {
        label = labelRow[x - 1];
      } else {
        label = join(m_equivalence.data(), labelRow[x - 1], labelAbove[x]);
      }
      ++m_sizes[label];
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
