// tKvXmlStream: a tKvXml document written to its file while it grows, so
// that memory holds only the element being built. The first Put writes the
// declaration, the root's start tag and the children the root had when the
// stream opened (they stay in the document), every Put writes one more
// child of the root and frees it, and Commit writes the root's end tag (or,
// when nothing was put, the whole document). The file then holds exactly
// the bytes that SaveToFile would write for the whole document had nothing
// been freed.
//
// The file appears whole: it is written through a platform::WholeFile, and
// Commit publishes it. A stream released without Commit removes its
// temporary file, so that a failed run leaves no document behind. The
// document is borrowed and must outlive the stream. Failures raise EKvXml
// "[tKvXml] Error saving XML document \"<name>\": <code text>".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "platform/WholeFile.h"
#include "xml/KvXml.h"

struct _xmlOutputBuffer;

class tKvXmlStream final : public tKvClass {
 public:
  // Creates the temporary file of fileName.
  tKvXmlStream(tKvXml& xml, std::string fileName);
  tKvXmlStream(const tKvXmlStream&) = delete;
  tKvXmlStream& operator=(const tKvXmlStream&) = delete;
  // Without Commit: the temporary file is removed.
  ~tKvXmlStream() override;

  // Writes node and frees it.
  // REQUIRES: node is a finished child of the root, appended after opening.
  void Put(tKvXmlNode node);
  // Writes the root's end and publishes the file (with a sync of its
  // folder), replacing a file of that name when replace says so; once.
  void Commit(platform::WholeFile::Replace replace);

  const std::string& FileName() const { return file_.name(); }

 private:
  // libxml2's output callback (context: the stream).
  static int WriteElements(void* context, const char* data, int size);
  // Raises the file's write failure, if any.
  void Check() const;
  [[noreturn]] void Fail(int code) const;

  struct OutputFree {
    void operator()(_xmlOutputBuffer* output) const;
  };

  tKvXml& xml_;
  platform::WholeFile file_;
  std::string head_;  // up to the root's end tag when opened; written by the first Put
  std::string tail_;  // the root's end tag and what follows it
  bool head_written_ = false;
  // Serialises the elements in the document's encoding into the file.
  std::unique_ptr<_xmlOutputBuffer, OutputFree> elements_;
  bool committed_ = false;
};
