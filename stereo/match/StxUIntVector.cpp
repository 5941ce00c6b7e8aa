#include "match/StxUIntVector.h"

#include <algorithm>

StxUIntVector::StxUIntVector(unsigned capacity, unsigned step)
    : m_data(std::make_unique<unsigned[]>(capacity)), m_capacity(capacity),
      m_step(std::max(step, 1u)) {}

StxUIntVector::~StxUIntVector() = default;

void StxUIntVector::resize(unsigned n) {
  if (n <= m_capacity) return;
  const unsigned steps = (n - m_capacity + m_step - 1) / m_step;
  const unsigned capacity = m_capacity + m_step * steps;
  std::unique_ptr<unsigned[]> grown = std::make_unique<unsigned[]>(capacity);
  std::copy(m_data.get(), m_data.get() + m_capacity, grown.get());
  m_data = std::move(grown);
  m_capacity = capacity;
}
