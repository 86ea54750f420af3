// WholeFile: a file that appears under its name whole or not at all. Bytes
// are appended through a buffer (64 KiB unless the owner asks for more) to
// a temporary file that belongs to this object alone; Commit writes the
// rest out, syncs the data and gives the file its name; Discard (or
// releasing the object without Commit) removes it.
// Every file the program writes goes through this unit. The object owns its
// temporary file; it is used by one thread at a time.
//
// The temporary has no name while it is written (O_TMPFILE, linked to its
// name by Commit), so no other process can open it and a run that is killed
// leaves nothing behind. Where the file system does not support that (some
// network and older file systems), it is created under a unique name
// "<name>.XXXXXX.tmp" with O_EXCL instead; such a file is only ever left by a
// run that was killed (SIGKILL, a power loss).
//
// Failure: the first failed write poisons the file: nothing more is written
// to it, error() reports the failure, and Commit refuses and discards. After
// an interruption of the run (platform/Interrupt.h) Commit also refuses
// (ECANCELED), so an interrupted run publishes nothing. Operations return an
// errno value (0 = success) and never throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/File.h"

namespace platform {

class WholeFile {
 public:
  //!< Whether Commit may replace a file already under the name.
  enum class Replace : bool { kNo, kYes };
  //!< Whether Commit also makes the folder's entry durable (fsync of the folder).
  enum class SyncFolder : bool { kNo, kYes };
  //!< Whether the written data stays in the page cache, or is made durable
  //!< and dropped step by step (File::DropBehind).
  enum class Cache : bool { kKeep, kDropBehind };

  static constexpr size_t kBufferSize = 64 * 1024;
  // For the files that grow with the journal to a hundred megabytes and
  // more: fewer, larger writes.
  static constexpr size_t kLargeBufferSize = 1024 * 1024;

  // bufferSize: the bytes collected before each write to the file; cache:
  // kDropBehind for a file that nothing reads back soon.
  explicit WholeFile(size_t bufferSize = kBufferSize, Cache cache = Cache::kKeep)
      : buffer_size_(bufferSize), cache_(cache), buffer_(std::make_unique<char[]>(bufferSize)) {}
  WholeFile(const WholeFile&) = delete;
  WholeFile& operator=(const WholeFile&) = delete;
  // Discard() unless committed.
  ~WholeFile();

  // Creates the temporary file in the folder of name (which must exist).
  // REQUIRES: not open.
  int Open(std::string name);

  // Appends data; a failure is kept (error()), never raised here. Inline:
  // the table export appends every line through it.
  void Append(std::string_view data) {
    if (data.size() <= buffer_size_ - used_) [[likely]] {
      std::memcpy(buffer_.get() + used_, data.data(), data.size());
      used_ += data.size();
      return;
    }
    AppendSlow(data);
  }
  // Append(data), then Append(end) (a literal such as a line end): the
  // buffer's room checked once, end copied with its fixed size.
  template <size_t N>
  void Append(std::string_view data, const char (&end)[N]) {
    constexpr size_t kEnd = N - 1;
    if (data.size() + kEnd <= buffer_size_ - used_) [[likely]] {
      char* at = buffer_.get() + used_;
      std::memcpy(at, data.data(), data.size());
      std::memcpy(at + data.size(), end, kEnd);
      used_ += data.size() + kEnd;
      return;
    }
    AppendSlow(data);
    Append(std::string_view(end, kEnd));
  }

  // Writes out the buffer, syncs the data, closes the file and gives it its
  // name. On failure (also a poisoned file, or a name taken when replace is
  // kNo: EEXIST) the temporary is discarded and the error returned. Once.
  int Commit(Replace replace, SyncFolder syncFolder);
  // Closes and removes the temporary; nothing when closed already.
  void Discard() noexcept;

  bool IsOpen() const { return file_.IsOpen(); }
  // The first write failure; 0 while the file is whole.
  int error() const { return error_; }
  const std::string& name() const { return name_; }
  // Bytes appended so far (also those a failure kept from the file).
  uint64_t size() const { return flushed_ + used_; }

 private:
  void AppendSlow(std::string_view data);
  // Writes data to the file unless poisoned; poisons on failure.
  void WriteOut(const char* data, size_t size);
  // Gives the closed temporary its name.
  int Publish(Replace replace);

  std::string name_;
  std::string temp_name_;  // empty: the temporary has no name (O_TMPFILE)
  File file_;
  const size_t buffer_size_;
  const Cache cache_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  uint64_t flushed_ = 0;
  int error_ = 0;
  bool faulty_ = false;  // subject to the test hook
};

// Test hook: after budget more bytes written by all WholeFiles together
// (only those opened afterwards whose name ends with suffix, when given),
// writes fail with error; as on a full device, the write that crosses the
// budget is written in part. A negative budget switches the fault off.
// REQUIRES: no file is being opened meanwhile.
void SetWholeFileFaultForTesting(int64_t budget, int error, std::string suffix = {});

}  // namespace platform
