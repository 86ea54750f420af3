#include "platform/WholeFile.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <utility>

#include "platform/Interrupt.h"
#include "platform/Paths.h"

namespace platform {

namespace {

std::atomic<int64_t> g_fault_budget{-1};
std::atomic<int> g_fault_error{0};
std::string g_fault_suffix;

// Bytes of size that may still be written, and the error once none may:
// the test hook's full device.
size_t FaultAllowance(size_t size, int* error) {
  *error = 0;
  int64_t budget = g_fault_budget.load(std::memory_order_relaxed);
  for (;;) {
    if (budget < 0) return size;
    const int64_t granted = std::min<int64_t>(budget, static_cast<int64_t>(size));
    if (g_fault_budget.compare_exchange_weak(budget, budget - granted)) {
      if (granted < static_cast<int64_t>(size)) *error = g_fault_error.load();
      return static_cast<size_t>(granted);
    }
  }
}

// "<name>.XXXXXX.tmp": unique enough that a clash (retried) is rare.
std::string TempName(const std::string& name, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const unsigned long mix = static_cast<unsigned long>(::getpid()) * 2654435761u +
                            counter.fetch_add(1, std::memory_order_relaxed) * 40503u + attempt;
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string out = name + ".";
  unsigned long rest = mix;
  for (int i = 0; i < 6; ++i, rest /= 36) out += kDigits[rest % 36];
  return out + ".tmp";
}

constexpr unsigned kTempAttempts = 100;

bool LacksUnnamedFiles(int code) { return code == EOPNOTSUPP || code == EISDIR || code == EINVAL; }

}  // namespace

WholeFile::~WholeFile() { Discard(); }

int WholeFile::Open(std::string name) {
  assert(!IsOpen());
  name_ = std::move(name);
  temp_name_.clear();
  error_ = 0;
  used_ = 0;
  flushed_ = 0;
  faulty_ = name_.ends_with(g_fault_suffix);
  int code = file_.OpenUnnamed(ExtractFilePath(name_));
  for (unsigned attempt = 0; LacksUnnamedFiles(code) && attempt < kTempAttempts; ++attempt) {
    temp_name_ = TempName(name_, attempt);
    code = file_.Open(temp_name_, File::OpenMode::kCreateNew);
    if (code != EEXIST) break;
  }
  if (code != 0) {
    temp_name_.clear();
    return code;
  }
  if (cache_ == Cache::kDropBehind) file_.DropBehind();
  return 0;
}

void WholeFile::AppendSlow(std::string_view data) {
  WriteOut(buffer_.get(), used_);
  used_ = 0;
  if (data.size() >= buffer_size_) {
    WriteOut(data.data(), data.size());
  } else {
    std::memcpy(buffer_.get(), data.data(), data.size());
    used_ = data.size();
  }
}

void WholeFile::WriteOut(const char* data, size_t size) {
  flushed_ += size;
  if (error_ != 0 || size == 0) return;
  if (!file_.IsOpen()) {
    error_ = EBADF;
    return;
  }
  int fault = 0;
  const size_t allowed = faulty_ ? FaultAllowance(size, &fault) : size;
  if (int code = file_.Write(data, allowed); code != 0) {
    error_ = code;
  } else {
    error_ = fault;
  }
}

int WholeFile::Commit(Replace replace, SyncFolder syncFolder) {
  if (!file_.IsOpen()) return EBADF;
  WriteOut(buffer_.get(), used_);
  used_ = 0;
  int code = error_;
  if (code == 0 && Interrupted()) code = ECANCELED;
  if (code == 0) code = file_.Sync();
  if (code == 0) code = Publish(replace);
  if (code != 0) {
    Discard();
    return code;
  }
  file_.Close();
  temp_name_.clear();
  if (syncFolder == SyncFolder::kYes) return SyncDirectory(ExtractFilePath(name_));
  return 0;
}

int WholeFile::Publish(Replace replace) {
  if (!temp_name_.empty()) {
    // Closed first: a name under which the data stands is the last step.
    if (int code = file_.Close(); code != 0) return code;
    return replace == Replace::kYes ? ReplaceFile(temp_name_, name_) : RenameFile(temp_name_, name_);
  }
  if (replace == Replace::kNo) return file_.LinkUnnamed(name_);
  // A link cannot replace: the file gets a name of its own first, which
  // then replaces the old file in one rename.
  for (unsigned attempt = 0; attempt < kTempAttempts; ++attempt) {
    const std::string linked = TempName(name_, attempt);
    const int code = file_.LinkUnnamed(linked);
    if (code == EEXIST) continue;
    if (code != 0) return code;
    temp_name_ = linked;
    return ReplaceFile(temp_name_, name_);
  }
  return EEXIST;
}

void WholeFile::Discard() noexcept {
  file_.Close();
  if (!temp_name_.empty()) DeleteFile(temp_name_);
  temp_name_.clear();
  used_ = 0;
}

void SetWholeFileFaultForTesting(int64_t budget, int error, std::string suffix) {
  g_fault_suffix = std::move(suffix);
  g_fault_error.store(error);
  g_fault_budget.store(budget);
}

}  // namespace platform
