#ifndef STELOX_IMAGE_PIXELTYPES_H
#define STELOX_IMAGE_PIXELTYPES_H

#include <type_traits>

// Multi-channel pixels: plain arrays of channels, packed without padding, so
// that an image row of them is a dense run of bytes the row kernels can load.

// Packed colour pixel. Channel 0 is blue, 1 green, 2 red; channel 3 is a
// fourth byte the filters never read. Same layout as SteloxColorPixel.
struct Pixel8x4 {
  unsigned char channel[4];
};

// Four 16-bit sums, one per channel of a Pixel8x4 (colour column sums, and the
// score groups of the correlation core).
struct Pixel16x4 {
  unsigned short channel[4];
};

struct Pixel8x8 {
  unsigned char channel[8];
};

struct Pixel16x8 {
  unsigned short channel[8];
};

static_assert(sizeof(Pixel8x4) == 4, "Pixel8x4 must be packed");
static_assert(sizeof(Pixel16x4) == 8, "Pixel16x4 must be packed");
static_assert(sizeof(Pixel8x8) == 8, "Pixel8x8 must be packed");
static_assert(sizeof(Pixel16x8) == 16, "Pixel16x8 must be packed");
static_assert(std::is_trivial<Pixel8x4>::value && std::is_trivial<Pixel16x4>::value &&
                  std::is_trivial<Pixel8x8>::value && std::is_trivial<Pixel16x8>::value,
              "pixels are plain values");

#endif
