// stelox-run: the kit's main job on a built-in default.
#include "stelox.h"

#include <cstdio>

int main() {
  std::printf("%s\n", steloxVersion());
  return 0;
}
