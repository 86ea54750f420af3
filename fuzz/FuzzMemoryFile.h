// Shared by the fuzz targets of the journal text inputs: the input as a file
// that a line source can open by name, a memory file refilled for every run.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class tMemoryFile {
 public:
  explicit tMemoryFile(const char* name)
      : fd_(::memfd_create(name, 0)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
  void Fill(const uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) __builtin_trap();
    if (size > 0 && ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) __builtin_trap();
  }
  const std::string& Path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace fuzz
