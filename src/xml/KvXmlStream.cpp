#include "xml/KvXmlStream.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>

#include <cassert>
#include <utility>

#include "base/KvErrorCodes.h"

void tKvXmlStream::OutputFree::operator()(_xmlOutputBuffer* output) const {
  xmlOutputBufferClose(output);
}

tKvXmlStream::tKvXmlStream(tKvXml& xml, std::string fileName) : xml_(xml) {
  // Opened first: the output below writes into the file when released.
  if (int code = file_.Open(std::move(fileName)); code != 0) Fail(code);
  xml_.SplitText(head_, tail_);
  // One output for all elements: the encoder is looked up once, and the
  // serialised bytes go straight into the file's buffer.
  xmlCharEncodingHandlerPtr encoder = xmlFindCharEncodingHandler(xml_.Encoding().c_str());
  if (encoder == nullptr) throw EKvXml(&xml_, "Unsupported XML encoding: " + xml_.Encoding());
  elements_.reset(xmlOutputBufferCreateIO(WriteElements, nullptr, this, encoder));
  if (!elements_) throw EKvXml(&xml_, "Error initializing XMLDOM object!");
}

tKvXmlStream::~tKvXmlStream() = default;

void tKvXmlStream::Put(tKvXmlNode node) {
  assert(!committed_ && node != nullptr && node->parent == xml_.Root());
  if (!head_written_) {
    head_written_ = true;
    file_.Append(head_);
    head_ = std::string();
  }
  xmlNodeDumpOutput(elements_.get(), node->doc, node, 0, 0, xml_.Encoding().c_str());
  Check();
  xml_.FreeNode(node);
}

void tKvXmlStream::Commit(platform::WholeFile::Replace replace) {
  if (committed_) return;
  xmlOutputBufferFlush(elements_.get());
  Check();
  file_.Append(head_written_ ? tail_ : xml_.Text());
  if (int code = file_.Commit(replace, platform::WholeFile::SyncFolder::kYes); code != 0) {
    Fail(code);
  }
  committed_ = true;
}

int tKvXmlStream::WriteElements(void* context, const char* data, int size) {
  // Taken even by a poisoned file (which drops them): a refusal would make
  // libxml2 print its own message; the failure is raised by Check().
  static_cast<tKvXmlStream*>(context)->file_.Append({data, static_cast<size_t>(size)});
  return size;
}

void tKvXmlStream::Check() const {
  if (file_.error() != 0) Fail(file_.error());
}

void tKvXmlStream::Fail(int code) const {
  throw EKvXml(&xml_, "Error saving XML document \"" + file_.name() + "\": " +
                          FormatErrorCode(code, ""));
}
