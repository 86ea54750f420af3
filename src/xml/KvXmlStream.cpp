#include "xml/KvXmlStream.h"

#include <libxml/tree.h>

#include <cassert>
#include <utility>

#include "base/KvErrorCodes.h"
#include "platform/Paths.h"

namespace {

// One system call per 64 KiB rather than per element.
constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

tKvXmlStream::tKvXmlStream(tKvXml& xml, std::string fileName)
    : xml_(xml), file_name_(std::move(fileName)), tmp_name_(file_name_ + ".tmp") {
  xml_.SplitText(head_, tail_);
  buffer_.reserve(kBufferSize);
  if (int code = file_.Open(tmp_name_, platform::File::OpenMode::kRewrite); code != 0) Fail(code);
}

tKvXmlStream::~tKvXmlStream() {
  if (committed_) return;
  file_.Close();
  platform::DeleteFile(tmp_name_);
}

void tKvXmlStream::Put(tKvXmlNode node) {
  assert(!committed_ && node != nullptr && node->parent == xml_.Root());
  if (!head_written_) {
    Write(head_);
    head_written_ = true;
    head_ = std::string();
  }
  Write(xml_.NodeText(node));
  xml_.FreeNode(node);
}

void tKvXmlStream::Commit() {
  if (committed_) return;
  Write(head_written_ ? tail_ : xml_.Text());
  Flush();
  int code = file_.Sync();
  if (int closed = file_.Close(); code == 0) code = closed;
  if (code == 0) code = platform::ReplaceFile(tmp_name_, file_name_);
  if (code != 0) Fail(code);
  committed_ = true;
  platform::SyncDirectory(platform::ExtractFilePath(file_name_));
}

void tKvXmlStream::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) {
    if (int code = file_.Write(bytes.data(), bytes.size()); code != 0) Fail(code);
    return;
  }
  buffer_.append(bytes);
}

void tKvXmlStream::Flush() {
  if (buffer_.empty()) return;
  if (int code = file_.Write(buffer_.data(), buffer_.size()); code != 0) Fail(code);
  buffer_.clear();
}

void tKvXmlStream::Fail(int code) const {
  throw EKvXml(&xml_, "Error saving XML document \"" + file_name_ + "\": " +
                          FormatErrorCode(code, ""));
}
