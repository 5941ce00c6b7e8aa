// The calling pattern of every context function of the C interface: a null
// context or one without an active configuration gives 34; the active
// context is owned for the duration of the call only; guarded calls turn
// every exception into a code so that none leaves the library.
#ifndef STELOX_CONTEXT_STELOXAPICALL_H
#define STELOX_CONTEXT_STELOXAPICALL_H

#include "context/MultiSteloxMgr.h"
#include "context/SteloxMgr.h"
#include "stelox.h"

#include <memory>
#include <new>

namespace SteloxApi {

// Thrown inside the library to carry an interface code out of deep calls.
struct SteloxException {
  SteloxError code;
};

inline MultiSteloxMgr* holder(SteloxContext context) { return static_cast<MultiSteloxMgr*>(context); }

// Allocation failures report 40 like the allocations that check themselves.
template <typename Work>
SteloxError guard(Work&& work) noexcept
{
  try {
    return work();
  } catch (const SteloxException& error) {
    return error.code;
  } catch (const std::bad_alloc&) {
    return SteloxErrorBadAlloc;
  } catch (...) {
    return SteloxErrorUnknown;
  }
}

template <typename Work>
SteloxError withContext(SteloxContext context, Work&& work)
{
  if (context == nullptr)
    return SteloxErrorInvalidContext;
  const std::shared_ptr<SteloxMgr> active = holder(context)->getActiveCameraConfigMgr().lock();
  if (!active)
    return SteloxErrorInvalidContext;
  return work(*active);
}

// A getter of the interface: writes read(context) to *out; a null output is 41.
template <typename T, typename Read>
SteloxError readInto(SteloxContext context, T* out, Read&& read)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (out == nullptr)
      return SteloxErrorNullBuffer;
    *out = read(mgr);
    return SteloxErrorOk;
  });
}

template <typename Work>
SteloxError withGuardedContext(SteloxContext context, Work&& work) noexcept
{
  return guard([&] { return withContext(context, work); });
}

}  // namespace SteloxApi

#endif
