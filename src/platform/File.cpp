#include "platform/File.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

namespace {

// Written bytes after which the write-out is started.
constexpr size_t kStartWriteOut = size_t{2} << 20;
// DropBehind: the steps in which the data is made durable and dropped
// from the cache; the last step's data stays cached.
constexpr int64_t kDropDistance = int64_t{8} << 20;

}  // namespace

// DropBehind's syncs, on a thread of their own. The writer hands over how
// far the data is settled; the thread makes everything written so far
// durable and then drops the settled part from the cache. Steps handed over
// while a sync is under way are taken together by the next one.
class File::tStepSync {
 public:
  // Raises std::system_error when no thread can be started.
  explicit tStepSync(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  tStepSync(const tStepSync&) = delete;
  tStepSync& operator=(const tStepSync&) = delete;
  ~tStepSync() { Finish(); }

  // The data before settled may leave the cache once durable. Returns a
  // failure of an earlier sync not yet reported (0: none).
  int Hand(int64_t settled) {
    std::lock_guard lock(mutex_);
    settled_ = settled;
    wake_.notify_one();
    return std::exchange(error_, 0);
  }
  // Waits for the sync under way and ends the thread; steps not yet begun
  // are left to the caller's own sync. Returns the failure not yet reported.
  int Finish() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
    return std::exchange(error_, 0);
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || settled_ > dropped_; });
      if (stop_) return;
      const int64_t from = dropped_, to = settled_;
      lock.unlock();
      // Durable, not only written out: the storage's own cache is emptied
      // as well (on a virtual machine, the host's), so that the sync that
      // publishes the file has only the last steps to wait for.
      const int error = ::fdatasync(fd_) == 0 ? 0 : errno;
      if (error == 0) (void)::posix_fadvise(fd_, from, to - from, POSIX_FADV_DONTNEED);  // a hint
      lock.lock();
      // The sync advanced the descriptor's error mark, so a later sync
      // would not see this failure: it is kept until reported.
      if (error_ == 0) error_ = error;
      dropped_ = to;
    }
  }

  const int fd_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int64_t settled_ = 0;  // handed over by the writer
  int64_t dropped_ = 0;  // synced (or tried) and dropped
  int error_ = 0;
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is set
};

File::File() = default;

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      write_out_(std::exchange(other.write_out_, {})),
      step_sync_(std::move(other.step_sync_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    write_out_ = std::exchange(other.write_out_, {});
    step_sync_ = std::move(other.step_sync_);
  }
  return *this;
}

File::~File() { Close(); }

int File::Open(const std::string& name, OpenMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kRewrite:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kAppend:
      flags |= O_WRONLY | O_APPEND;
      break;
    case OpenMode::kCreateNew:
      flags |= O_WRONLY | O_CREAT | O_EXCL;
      break;
    case OpenMode::kAppendCreate:
      flags |= O_WRONLY | O_APPEND | O_CREAT;
      break;
  }
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  if (mode == OpenMode::kRead) {
    // open() accepts a folder for reading; refuse it here so that the
    // failure names the open and not the first read.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return EISDIR;
    }
  }
  fd_ = fd;
  return 0;
}

int File::OpenUnnamed(const std::string& folder) {
  Close();
  int fd;
  do {
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  fd_ = fd;
  return 0;
}

int File::LinkUnnamed(const std::string& name) {
  if (fd_ < 0) return EBADF;
  // linkat with AT_EMPTY_PATH needs a capability; the descriptor's entry
  // under /proc does not.
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                           : errno;
}

int File::Read(char* buffer, size_t capacity, size_t* got) {
  *got = 0;
  if (fd_ < 0) return EBADF;
  ssize_t n;
  do {
    n = ::read(fd_, buffer, capacity);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  *got = static_cast<size_t>(n);
  return 0;
}

int File::Write(const char* data, size_t size) {
  if (fd_ < 0) return EBADF;
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
    write_out_.Unstarted += static_cast<size_t>(n);
    write_out_.Written += n;
  }
  return write_out_.Unstarted >= kStartWriteOut ? WriteOut() : 0;
}

int File::WriteOut() {
  // Only a hint: the pages not yet under write-out start now, without
  // waiting; a failure here changes nothing (Sync reports what counts).
  ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  write_out_.Unstarted = 0;
  const int64_t settled = write_out_.Written - kDropDistance;
  if (!step_sync_ || settled - write_out_.Settled < kDropDistance) return 0;
  write_out_.Settled = settled;
  return step_sync_->Hand(settled);
}

void File::DropBehind() {
  if (fd_ < 0 || step_sync_) return;
  try {
    step_sync_ = std::make_unique<tStepSync>(fd_);
  } catch (const std::system_error&) {
    // Without a thread the file is written as any other: only the cache
    // and the final sync notice.
  }
}

int File::EndStepSync() {
  if (!step_sync_) return 0;
  const int error = step_sync_->Finish();
  step_sync_.reset();
  return error;
}

int64_t File::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int File::Sync() {
  if (fd_ < 0) return EBADF;
  if (const int error = EndStepSync(); error != 0) return error;
  return ::fsync(fd_) == 0 ? 0 : errno;
}

int File::Lock() {
  if (fd_ < 0) return EBADF;
  int result;
  do {
    result = ::flock(fd_, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

int File::Rewind() {
  if (fd_ < 0) return EBADF;
  return ::lseek(fd_, 0, SEEK_SET) == 0 ? 0 : errno;
}

int File::Close() {
  if (fd_ < 0) return 0;
  (void)EndStepSync();  // before the descriptor goes; a failure no longer counts
  write_out_ = {};
  int fd = std::exchange(fd_, -1);
  // Linux releases the descriptor even when close() reports EINTR: never retry.
  return ::close(fd) == 0 ? 0 : errno;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return DirectoryExists(path);
}

int DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int RenameFile(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing atomically: check first.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int ReplaceFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int SyncDirectory(const std::string& path) {
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return result;
}

int CreateNewDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int RemoveDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0 ? 0 : errno; }

std::string GetCurrentDir() {
  std::error_code ec;
  auto cwd = std::filesystem::current_path(ec);
  return ec ? std::string() : cwd.string();
}

int SetCurrentDir(const std::string& path) { return ::chdir(path.c_str()) == 0 ? 0 : errno; }

}  // namespace platform
