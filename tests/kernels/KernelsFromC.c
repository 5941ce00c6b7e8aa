/* Calls the exported kernels from C99 through the public header, so that the
 * header's C form and the C linkage of every declaration stay checked. */
#include "stelox_kernels.h"

int steloxKernelsFromC(void);

int steloxKernelsFromC(void) {
  unsigned short out[2] = {0, 0};
  const unsigned char add[2] = {5, 0};
  const unsigned char sub[2] = {1, 2};
  unsigned short minScore[1] = {100};
  unsigned char minDisp[1] = {0};
  const unsigned short score[1] = {50};
  const SteloxColorPixel pixel = {10, 20, 30, 40};
  unsigned char red = 0, green = 0, blue = 0;
  const short sums[1] = {9800};
  const unsigned char centre[1] = {200};
  unsigned char edge = 0;

  box_add_sub16(out, 10u, add, sub, 2, true);
  stereo_min(minScore, minDisp, score, 7, 1, false);
  extract_rgb(&red, &green, &blue, 1, (const struct Pixel8x4*)&pixel);
  row_bandpass_op(&edge, 1, centre, -32732, sums, 668);
  return out[0] == 14 && out[1] == 12 && minScore[0] == 50 && minDisp[0] == 7 && red == 30 &&
         green == 20 && blue == 10 && edge == 127;
}
