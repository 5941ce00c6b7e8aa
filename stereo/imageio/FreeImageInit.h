// FreeImage is initialised once per process, on the first use of an image
// file function, and de-initialised when the process ends. A function-local
// static rather than a namespace-scope object: its construction is
// thread-safe and cannot run before the objects it depends on.
#ifndef STELOX_IMAGEIO_FREEIMAGEINIT_H
#define STELOX_IMAGEIO_FREEIMAGEINIT_H

class FreeImageInit {
public:
  // Initialises FreeImage the first time it is called, from any thread.
  static void ensure();

  FreeImageInit(const FreeImageInit&) = delete;
  FreeImageInit& operator=(const FreeImageInit&) = delete;

private:
  FreeImageInit();
  ~FreeImageInit();
};

#endif
