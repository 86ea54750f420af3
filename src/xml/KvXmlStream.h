// tKvXmlStream: a tKvXml document written to its file while it grows, so
// that memory holds no element of it. The elements below the root are
// written through the tKvXmlElementWriter interface straight into the
// file's buffer, escaped and encoded on the way; the first of them brings
// the declaration, the root's start tag and the children the root had when
// the stream opened (serialised by libxml2; they stay in the document), and
// Commit writes the root's end tag (or, when nothing was written, the whole
// document). The file then holds exactly the bytes that SaveToFile would
// write had the elements been added to the document's root.
//
// Encodings: elements can be written into documents declared UTF-8 or
// ISO-8859-1 (any case). In ISO-8859-1 the characters it lacks (the euro
// sign and the rest of Windows-1252's 0x80..0x9F, U+FFFD for the forbidden
// bytes) become decimal character references, as libxml2 writes them.
//
// The file appears whole: it is written through a platform::WholeFile, and
// Commit publishes it; with Cache::kDropBehind it is made durable step by
// step as it is written and leaves the page cache (for a large document
// that nothing reads back soon). A stream released without Commit removes
// its temporary file, so that a failed run leaves no document behind. The
// document is borrowed and must outlive the stream. Failures raise EKvXml
// "[tKvXml] Error saving XML document \"<name>\": <code text>" (checked
// whenever an element of the root is complete, and by Commit), and
// "Unsupported XML encoding: <encoding>" for the first element of a document
// in another encoding. One thread at a time.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvClass.h"
#include "platform/WholeFile.h"
#include "xml/KvXml.h"
#include "xml/KvXmlElementWriter.h"

class tKvXmlStream final : public tKvClass, public tKvXmlElementWriter {
 public:
  // Creates the temporary file of fileName.
  tKvXmlStream(tKvXml& xml, std::string fileName,
               platform::WholeFile::Cache cache = platform::WholeFile::Cache::kKeep);
  tKvXmlStream(const tKvXmlStream&) = delete;
  tKvXmlStream& operator=(const tKvXmlStream&) = delete;
  // Without Commit: the temporary file is removed.
  ~tKvXmlStream() override;

  // REQUIRES: not committed.
  void Start(std::string_view name) override;
  void TextElement(std::string_view name, std::string_view text) override;
  void EmptyElement(std::string_view name) override;
  void End() override;
  // Writes the root's end and publishes the file (with a sync of its
  // folder), replacing a file of that name when replace says so; once.
  // REQUIRES: no element open.
  void Commit(platform::WholeFile::Replace replace);

  const std::string& FileName() const { return file_.name(); }

 private:
  // Before the first element: the head, and the escape table.
  void BeginElement();
  void WriteHead();
  // The text escaped and encoded.
  void AppendText(std::string_view text);
  void Append(std::string_view bytes) { file_.Append(bytes); }
  // Raises the file's write failure, if any.
  void Check() const;
  [[noreturn]] void Fail(int code) const;

  tKvXml& xml_;
  platform::WholeFile file_;
  std::string head_;  // up to the root's end tag when opened; written by the first element
  std::string tail_;  // the root's end tag and what follows it
  bool head_written_ = false;
  // Per Windows-1252 byte: whether it is written other than as itself, and how.
  std::array<bool, 256> escaped_{};
  std::array<std::string, 256> escape_;
  std::vector<std::string> open_;  // names of the open elements, innermost at depth_ - 1
  size_t depth_ = 0;
  bool start_tag_open_ = false;  // the innermost open element's start tag lacks its ">"
  bool committed_ = false;
};
