#include "stelox_atomic.h"

extern "C" {

STELOX_API void atomic_incr(int32_t* counter)
{
  if (counter)
    __atomic_add_fetch(counter, 1, __ATOMIC_SEQ_CST);
}

STELOX_API int atomic_decr(int32_t* counter)
{
  if (!counter)
    return 0;
  return __atomic_sub_fetch(counter, 1, __ATOMIC_SEQ_CST) == 0 ? 1 : 0;
}

}
