#include "xml/KvXmlStream.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include <cassert>
#include <utility>

#include "base/KvErrorCodes.h"
#include "platform/Paths.h"

namespace {

// One system call per 64 KiB rather than per element.
constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

void tKvXmlStream::OutputFree::operator()(_xmlOutputBuffer* output) const {
  xmlOutputBufferClose(output);
}

tKvXmlStream::tKvXmlStream(tKvXml& xml, std::string fileName)
    : xml_(xml), file_name_(std::move(fileName)), tmp_name_(file_name_ + ".tmp") {
  xml_.SplitText(head_, tail_);
  buffer_.reserve(kBufferSize);
  // One output for all elements: the encoder is looked up once, and the
  // serialised bytes go straight into the buffer.
  xmlCharEncodingHandlerPtr encoder = xmlFindCharEncodingHandler(xml_.Encoding().c_str());
  if (encoder == nullptr) throw EKvXml(&xml_, "Unsupported XML encoding: " + xml_.Encoding());
  elements_.reset(xmlOutputBufferCreateIO(WriteElements, nullptr, this, encoder));
  if (!elements_) throw EKvXml(&xml_, "Error initializing XMLDOM object!");
  if (int code = file_.Open(tmp_name_, platform::File::OpenMode::kRewrite); code != 0) Fail(code);
}

tKvXmlStream::~tKvXmlStream() {
  elements_.reset();
  if (committed_) return;
  file_.Close();
  platform::DeleteFile(tmp_name_);
}

void tKvXmlStream::Put(tKvXmlNode node) {
  assert(!committed_ && node != nullptr && node->parent == xml_.Root());
  if (!head_written_) {
    head_written_ = true;
    Write(head_);
    head_ = std::string();
  }
  xmlNodeDumpOutput(elements_.get(), node->doc, node, 0, 0, xml_.Encoding().c_str());
  Check();
  xml_.FreeNode(node);
}

void tKvXmlStream::Commit() {
  if (committed_) return;
  xmlOutputBufferFlush(elements_.get());
  Check();
  Write(head_written_ ? tail_ : xml_.Text());
  Flush();
  Check();
  int code = file_.Sync();
  if (int closed = file_.Close(); code == 0) code = closed;
  if (code == 0) code = platform::ReplaceFile(tmp_name_, file_name_);
  if (code != 0) Fail(code);
  committed_ = true;
  platform::SyncDirectory(platform::ExtractFilePath(file_name_));
}

int tKvXmlStream::WriteElements(void* context, const char* data, int size) {
  return static_cast<tKvXmlStream*>(context)->Write({data, static_cast<size_t>(size)}) ? size : -1;
}

bool tKvXmlStream::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
  if (bytes.size() < kBufferSize) {
    buffer_.append(bytes);
  } else if (write_error_ == 0) {
    write_error_ = file_.Write(bytes.data(), bytes.size());
  }
  return write_error_ == 0;
}

bool tKvXmlStream::Flush() {
  if (write_error_ == 0 && !buffer_.empty()) write_error_ = file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return write_error_ == 0;
}

void tKvXmlStream::Check() const {
  if (write_error_ != 0) Fail(write_error_);
}

void tKvXmlStream::Fail(int code) const {
  throw EKvXml(&xml_, "Error saving XML document \"" + file_name_ + "\": " +
                          FormatErrorCode(code, ""));
}
