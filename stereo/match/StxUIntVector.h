// Growable array of unsigned 32-bit values whose memory only ever grows, so a
// stream of frames of one size stops allocating after the first.
#ifndef STELOX_MATCH_STXUINTVECTOR_H
#define STELOX_MATCH_STXUINTVECTOR_H

#include <memory>

class StxUIntVector {
public:
  StxUIntVector(unsigned capacity = 1000, unsigned step = 1000);
  virtual ~StxUIntVector();

  // Count 0; the memory stays.
  void clear() { m_count = 0; }
  // Makes room for n entries: the capacity grows by whole steps, the entries
  // are kept and the count does not change.
  void resize(unsigned n);

  unsigned count() const { return m_count; }
  void setCount(unsigned n) { m_count = n; }
  unsigned capacity() const { return m_capacity; }
  unsigned* data() { return m_data.get(); }
  unsigned& operator[](unsigned i) { return m_data[i]; }
  unsigned operator[](unsigned i) const { return m_data[i]; }

private:
  std::unique_ptr<unsigned[]> m_data;
  unsigned m_count = 0;
  unsigned m_capacity;
  unsigned m_step;
};

#endif
