// Scratch folders, raw files and resource checks shared by the image-file
// tests.
#ifndef STELOX_TESTS_IMAGEIO_IMAGEFILETESTSUPPORT_H
#define STELOX_TESTS_IMAGEIO_IMAGEFILETESTSUPPORT_H

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace imageio_test {

// A folder removed with everything in it at the end of a test.
class ScratchFolder {
public:
  ScratchFolder()
  {
    char name[] = "/tmp/stelox-imageio-XXXXXX";
    m_path = mkdtemp(name);
  }
  ~ScratchFolder() { std::filesystem::remove_all(m_path); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path(const std::string& name) const { return m_path + "/" + name; }
  std::string write(const std::string& name, const std::string& bytes) const
  {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }

private:
  std::string m_path;
};

inline std::string readBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int openDescriptors()
{
  int count = 0;
  if (DIR* folder = opendir("/proc/self/fd")) {
    while (readdir(folder) != nullptr)
      ++count;
    closedir(folder);
  }
  return count;
}

// The process's peak resident memory so far, in MiB.
inline long peakResidentMiB()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace imageio_test

#endif
