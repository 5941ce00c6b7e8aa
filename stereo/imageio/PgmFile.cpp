#include "imageio/PgmFile.h"

#include "imageio/ImageIOMgr.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdint>

namespace {

constexpr std::uint64_t kMaxPixels = ImageIOMgr::kMaxPixels;

// Closes the file when asked, whatever the outcome.
class CloseWhenAsked {
public:
  CloseWhenAsked(std::FILE* file, bool close) : m_file(file), m_close(close) {}
  ~CloseWhenAsked()
  {
    if (m_close && m_file != nullptr)
      std::fclose(m_file);
  }
  CloseWhenAsked(const CloseWhenAsked&) = delete;
  CloseWhenAsked& operator=(const CloseWhenAsked&) = delete;

private:
  std::FILE* m_file;
  bool m_close;
};

// An unsigned decimal after optional white space. value saturates at 2^32
// (enough to refuse any header number beyond the limits); low8 is the exact
// low 8 bits of the number. The character after the number is left unread.
bool readDecimal(std::FILE* file, std::uint64_t& value, unsigned char& low8)
{
  int c = std::fgetc(file);
  while (c != EOF && std::isspace(c))
    c = std::fgetc(file);
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF)
      std::ungetc(c, file);
    return false;
  }
  constexpr std::uint64_t kSaturated = std::uint64_t(1) << 32;
  value = 0;
  low8 = 0;
  for (; c != EOF && std::isdigit(c); c = std::fgetc(file)) {
    const unsigned digit = static_cast<unsigned>(c - '0');
    value = value >= kSaturated ? kSaturated : value * 10 + digit;
    low8 = static_cast<unsigned char>(low8 * 10 + digit);
  }
  if (c != EOF)
    std::ungetc(c, file);
  return true;
}

// A header number; a "#" where a number should start skips the rest of that
// line (at most 1023 characters) and the number is read after it.
bool readHeaderNumber(std::FILE* file, std::uint64_t& value)
{
  unsigned char low8 = 0;
  while (!readDecimal(file, value, low8)) {
    if (std::fgetc(file) != '#')
      return false;
    char line[1024];
    if (std::fgets(line, sizeof line, file) == nullptr)
      return false;
  }
  return true;
}

// Bytes left in a regular file from the current position; the largest value
// when the stream's size is unknown (a pipe, say).
std::uint64_t bytesLeft(std::FILE* file)
{
  struct stat status;
  const long position = std::ftell(file);
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode) || position < 0)
    return UINT64_MAX;
  return status.st_size > position ? static_cast<std::uint64_t>(status.st_size - position) : 0;
}

}  // namespace

bool save_pgm(std::FILE* file, const Image<unsigned char>& image, bool close)
{
  const CloseWhenAsked closer(file, close);
  if (file == nullptr || image.nRows() <= 0 || image.nCols() <= 0)
    return false;
  if (std::fprintf(file, "P5\n#2cam\n%u %u\n255\n", static_cast<unsigned>(image.nCols()),
                   static_cast<unsigned>(image.nRows())) < 0)
    return false;
  const std::size_t cols = static_cast<std::size_t>(image.nCols());
  for (int row = 0; row < image.nRows(); ++row)
    if (std::fwrite(image[row].data(), 1, cols, file) != cols)
      return false;
  return std::fflush(file) == 0;
}

bool load_pgm(std::FILE* file, Image<unsigned char>& image, bool close)
{
  const CloseWhenAsked closer(file, close);
  if (file == nullptr || std::fgetc(file) != 'P')
    return false;
  const int kind = std::fgetc(file);
  if (kind != '2' && kind != '5')
    return false;
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint64_t maxValue = 0;
  if (!readHeaderNumber(file, width) || !readHeaderNumber(file, height) || !readHeaderNumber(file, maxValue))
    return false;
  std::fgetc(file);

  // Checked before allocating: nothing is allocated on the word of a header
  // the file cannot back. A P2 sample takes a digit and a separator, bar the
  // last one.
  if (width == 0 || height == 0 || width > kMaxPixels || height > kMaxPixels || width * height > kMaxPixels)
    return false;
  const std::uint64_t samples = width * height;
  if (bytesLeft(file) < (kind == '5' ? samples : 2 * samples - 1))
    return false;

  Image<unsigned char> loaded(static_cast<int>(height), static_cast<int>(width));
  for (int row = 0; row < loaded.nRows(); ++row) {
    if (std::feof(file) || std::ferror(file))
      return false;
    unsigned char* pixels = loaded[row].data();
    if (kind == '5') {
      if (std::fread(pixels, 1, width, file) != width)
        return false;
      continue;
    }
    for (std::uint64_t col = 0; col < width; ++col) {
      std::uint64_t value = 0;
      if (!readDecimal(file, value, pixels[col]))
        return false;
    }
  }
  image = loaded;
  return true;
}

bool save_pgm(const char* fileName, const Image<unsigned char>& image)
{
  if (fileName == nullptr || image.nRows() <= 0 || image.nCols() <= 0)
    return false;
  std::FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr)
    return false;
  if (save_pgm(file, image, true))
    return true;
  std::remove(fileName);
  return false;
}

bool load_pgm(const char* fileName, Image<unsigned char>& image)
{
  return fileName != nullptr && load_pgm(std::fopen(fileName, "rb"), image, true);
}
