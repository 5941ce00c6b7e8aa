// A small stand-alone reader and writer of PGM files for 8-bit images,
// independent of FreeImage. Exported for tools and tests that work on
// internal images.
//
// save_pgm writes "P5\n#2cam\n<cols> <rows>\n255\n" and the rows' bytes.
// load_pgm reads P2 (decimal samples, each stored as its low 8 bits) and P5
// (one byte per sample whatever the maximum value); "#" comments may stand
// where a header number is expected. Every function returns true on
// success; with close set, the file is closed on every outcome. A failed
// load leaves the image as it was; a header that announces more than 2^28
// pixels, or more than the file holds, fails without allocating.
#ifndef STELOX_IMAGEIO_PGMFILE_H
#define STELOX_IMAGEIO_PGMFILE_H

#include "image/Image.h"
#include "stelox.h"

#include <cstdio>

// False for a null file or an empty image, or when a write fails.
STELOX_API bool save_pgm(std::FILE* file, const Image<unsigned char>& image, bool close);
STELOX_API bool load_pgm(std::FILE* file, Image<unsigned char>& image, bool close);
// Open the file with "wb" ("rb") and close it again. A failed save removes
// the partial file.
STELOX_API bool save_pgm(const char* fileName, const Image<unsigned char>& image);
STELOX_API bool load_pgm(const char* fileName, Image<unsigned char>& image);

#endif
