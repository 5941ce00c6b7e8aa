/*
 * ZorList.h - growable list of untyped element pointers.
 *
 * The list never owns what its elements point to. When full it grows by its
 * step, or doubles when the step is 0 or less. An ordered list keeps the order
 * of its elements on removal; an unordered one fills the hole with the last
 * element.
 */
#ifndef ZOR_LIST_H
#define ZOR_LIST_H

#include <memory>

#include "stelox.h"

class STELOX_API ZorList {
 public:
  /* Negative capacities count as 0. */
  explicit ZorList(int capacity = 1000, int step = 1000);
  ZorList(const ZorList& other);
  ZorList& operator=(const ZorList& other);
  virtual ~ZorList();

  /* Appends p and returns its index; -1 for a null pointer. */
  virtual int addElement(void* p);
  /* False for an index outside 0 ... size - 1. */
  virtual bool removeElementAt(int i);
  /* Index of the first element equal to p, -1 when absent. */
  int indexOf(const void* p) const;
  /* Null for an index outside 0 ... size - 1. */
  void* elementAt(int i) const;
  /* Size 0; the memory is kept. */
  virtual void empty();
  /* Capacity = size. */
  void trim();

  bool getOrdered() const { return m_ordered; }
  void setOrdered(bool ordered) { m_ordered = ordered; }
  int size() const { return m_size; }
  int capacity() const { return m_capacity; }
  int step() const { return m_step; }

 private:
  void reallocate(int capacity);

  std::unique_ptr<void*[]> m_elements;
  int m_capacity = 0;
  int m_step = 1000;
  int m_size = 0;
  bool m_ordered = true;
};

#endif
