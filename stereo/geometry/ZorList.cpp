#include "ZorList.h"

#include <algorithm>
#include <climits>
#include <new>

ZorList::ZorList(int capacity, int step) : m_step(step) { reallocate(std::max(0, capacity)); }

ZorList::ZorList(const ZorList& other) : m_step(other.m_step), m_ordered(other.m_ordered) {
  reallocate(other.m_capacity);
  std::copy(other.m_elements.get(), other.m_elements.get() + other.m_size, m_elements.get());
  m_size = other.m_size;
}

ZorList& ZorList::operator=(const ZorList& other) {
  if (this != &other) {
    ZorList copy(other);
    std::swap(m_elements, copy.m_elements);
    std::swap(m_capacity, copy.m_capacity);
    std::swap(m_size, copy.m_size);
    m_step = other.m_step;
    m_ordered = other.m_ordered;
  }
  return *this;
}

ZorList::~ZorList() = default;

void ZorList::reallocate(int capacity) {
  std::unique_ptr<void*[]> fresh;
  if (capacity > 0) fresh = std::make_unique<void*[]>(static_cast<size_t>(capacity));
  const int kept = std::min(m_size, capacity);
  if (kept > 0) std::copy(m_elements.get(), m_elements.get() + kept, fresh.get());
  m_elements = std::move(fresh);
  m_capacity = capacity;
  m_size = kept;
}

int ZorList::addElement(void* p) {
  if (!p) return -1;
  if (m_size == m_capacity) {
    const long long grown = m_step > 0 ? static_cast<long long>(m_capacity) + m_step
                                       : std::max(1LL, 2LL * m_capacity);
    if (m_capacity == INT_MAX) throw std::bad_alloc();
    reallocate(static_cast<int>(std::min<long long>(grown, INT_MAX)));
  }
  m_elements[m_size] = p;
  return m_size++;
}

bool ZorList::removeElementAt(int i) {
  if (i < 0 || i >= m_size) return false;
  if (m_ordered)
    std::copy(m_elements.get() + i + 1, m_elements.get() + m_size, m_elements.get() + i);
  else
    m_elements[i] = m_elements[m_size - 1];
  --m_size;
  return true;
}

int ZorList::indexOf(const void* p) const {
  for (int i = 0; i < m_size; ++i)
    if (m_elements[i] == p) return i;
  return -1;
}

void* ZorList::elementAt(int i) const { return (i < 0 || i >= m_size) ? nullptr : m_elements[i]; }

void ZorList::empty() { m_size = 0; }

void ZorList::trim() {
  if (m_capacity != m_size) reallocate(m_size);
}
