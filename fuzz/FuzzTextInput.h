// Shared by the fuzz targets of the journal text inputs: the input as a file
// that a line source can open by name (a memory file refilled for every run),
// the writer chain both inputs feed, and a log that takes every entry and
// keeps nothing.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/FiscalStreamWriterTypeDependent.h"
#include "base/KvLog.h"
#include "base/KvTextFile.h"
#include "eval/KvFiscalStreamEvalExt.h"

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

class tDiscardingLog final : public tKvLog {
 public:
  void BeginSection(std::string_view, int) override {}
  void EndSection(std::string_view, int) override {}
  void Add(std::string_view, int) override {}
  bool IsWritten(int) const override { return true; }
};

// The type filter for the IDEA types 1 and 5 in front of a record-assembling
// evaluator, and the log the passes report damage to.
struct tTextInputChain {
  static tFiscalStreamWriterTypeDependent::tTypeSet Types() {
    tFiscalStreamWriterTypeDependent::tTypeSet types;
    types.set(1);
    types.set(5);
    return types;
  }
  tDiscardingLog Log;
  tKvFiscalStreamEvalExt Eval{nullptr};
  tFiscalStreamWriterTypeDependent Writer{Types(), nullptr, true, &Eval, nullptr};
};

// An odd first byte makes lines above 256 bytes fail to read.
inline std::size_t MaxLineLength(const uint8_t* data, std::size_t size) {
  return size > 0 && (data[0] & 1) != 0 ? 256 : tKvTextFileDos::kDefaultMaxLineLength;
}

}  // namespace fuzz
