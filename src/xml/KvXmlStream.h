// tKvXmlStream: a tKvXml document written to its file while it grows, so
// that memory holds only the element being built. The first Put writes the
// declaration, the root's start tag and the children the root had when the
// stream opened (they stay in the document), every Put writes one more
// child of the root and frees it, and Commit writes the root's end tag (or,
// when nothing was put, the whole document). The file then holds exactly
// the bytes that SaveToFile would write for the whole document had nothing
// been freed.
//
// The file appears whole: it is written, through a 64 KiB buffer, under its
// name + ".tmp", and Commit syncs it and renames it to its name, replacing
// a file of that name. A stream released without Commit removes the
// temporary file, so that a failed run leaves neither file behind. The
// document is borrowed and must outlive the stream. Failures raise EKvXml
// "[tKvXml] Error saving XML document \"<name>\": <code text>".
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "platform/File.h"
#include "xml/KvXml.h"

struct _xmlOutputBuffer;

class tKvXmlStream final : public tKvClass {
 public:
  // Creates fileName + ".tmp".
  tKvXmlStream(tKvXml& xml, std::string fileName);
  tKvXmlStream(const tKvXmlStream&) = delete;
  tKvXmlStream& operator=(const tKvXmlStream&) = delete;
  // Without Commit: the temporary file is closed and removed.
  ~tKvXmlStream() override;

  // Writes node and frees it.
  // REQUIRES: node is a finished child of the root, appended after opening.
  void Put(tKvXmlNode node);
  // Writes the root's end, syncs the file and gives it its name; once.
  void Commit();

  const std::string& FileName() const { return file_name_; }

 private:
  // Appends to the buffer, writing it to the file when full; a failure is
  // kept in write_error_ and reported by the caller (Fail).
  bool Write(std::string_view bytes);
  bool Flush();
  // libxml2's output callback (context: the stream).
  static int WriteElements(void* context, const char* data, int size);
  // Raises the kept write failure, if any.
  void Check() const;
  [[noreturn]] void Fail(int code) const;

  struct OutputFree {
    void operator()(_xmlOutputBuffer* output) const;
  };

  tKvXml& xml_;
  std::string file_name_;
  std::string tmp_name_;
  platform::File file_;
  std::string buffer_;
  std::string head_;  // up to the root's end tag when opened; written by the first Put
  std::string tail_;  // the root's end tag and what follows it
  bool head_written_ = false;
  int write_error_ = 0;  // the first failure of a write from libxml2's buffer
  // Serialises the elements in the document's encoding into Write.
  std::unique_ptr<_xmlOutputBuffer, OutputFree> elements_;
  bool committed_ = false;
};
