// tKvXml: one XML document, built element by element and saved to a file.
// The exporters use it for the index of the table export and for the
// signed-transaction document. Texts enter as Windows-1252 (element names
// are ASCII) and are converted once, on entry; the file is saved in the
// encoding its declaration names. The object owns its document and every
// node in it; nodes handed out are borrowed and live as long as the object.
//
// Bytes that XML 1.0 forbids in content (the control bytes other than tab,
// line feed and carriage return) are entered as U+FFFD, the replacement
// character, so that no journal text can make a document malformed.
//
// Failures raise EKvXml: "Error initializing XMLDOM object!" when no
// document can be made, "Error initializing XML document!" for a text that
// does not parse, the element name for an element that cannot be created
// (a name that is not an XML name, such as one with a blank), "XML-Node not
// assigned." for a missing node, and the file name with the system's error
// text when saving fails. A saved file appears whole (platform::WholeFile).
// A large document can be written as it grows instead (KvXmlStream.h).
//
// Threads: a document is used by one thread at a time, e.g. made where an
// exporter is built and filled on the thread that drives the evaluator
// chain. The layer sets none of libxml2's per-thread defaults (error
// handlers, indentation, blank handling), so a document comes out the same
// whichever thread writes it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/KvClass.h"
#include "base/KvErrors.h"
#include "platform/WholeFile.h"

struct _xmlDoc;
struct _xmlNode;

// A node of a tKvXml document; borrowed from the document.
using tKvXmlNode = _xmlNode*;

class EKvXml : public EKvRoot {
 public:
  using EKvRoot::EKvRoot;
};

class tKvXml : public tKvClass {
 public:
  // An empty document with the declaration <?xml version="..."
  // encoding="..."?> and one root element rootName.
  static std::unique_ptr<tKvXml> CreateNew(std::string_view version, std::string_view encoding,
                                           std::string_view rootName);
  // A document parsed from a complete XML text (Windows-1252 bytes). A
  // DOCTYPE is kept as written; no external DTD or entity is opened. The
  // root is the text's document element.
  static std::unique_ptr<tKvXml> CreateFromText(std::string_view text);

  tKvXml(const tKvXml&) = delete;
  tKvXml& operator=(const tKvXml&) = delete;
  ~tKvXml() override;

  // Appends a new element name as the last child of parent and returns it.
  tKvXmlNode AddNode(tKvXmlNode parent, std::string_view name);
  // The same with one text child (also for an empty text).
  void AddTextNode(tKvXmlNode parent, std::string_view name, std::string_view text);
  // Saves the whole document in its declared encoding (UTF-8 when it names
  // none) as fileName, replacing a file of that name when replace says so.
  void SaveToFile(const std::string& fileName, platform::WholeFile::Replace replace);
  // The serialised form of one element of the document in the document's
  // encoding (no declaration), for writing a large document piece by piece.
  std::string NodeText(tKvXmlNode node) const;
  // The bytes SaveToFile writes.
  std::string Text() const;
  // The same, split before the end tag of the root:
  // head (declaration, root start tag, the root's children) and tail (the
  // root's end tag and what follows it). The root is never written as an
  // empty-element tag here, so that children can be written between.
  void SplitText(std::string& head, std::string& tail);

  // Raises EKvXml with message ("XML-Node not assigned." when empty) when
  // node is missing.
  static void CheckNode(tKvXmlNode node, std::string_view message);

  tKvXmlNode Root() const { return root_; }
  // The encoding the declaration names ("UTF-8" when none).
  const std::string& Encoding() const { return encoding_; }

 private:
  struct DocFree {
    void operator()(_xmlDoc* doc) const;
  };
  explicit tKvXml(_xmlDoc* doc);
  // A new element name, not yet in the tree.
  tKvXmlNode NewNode(std::string_view name);

  std::unique_ptr<_xmlDoc, DocFree> doc_;
  tKvXmlNode root_ = nullptr;
  std::string encoding_;
  std::string utf8_;  // reused for every converted text
};

// Appends the UTF-8 form of a Windows-1252 text for an XML document: the
// bytes XML 1.0 forbids become U+FFFD.
void AppendXmlTextAsUtf8(std::string& out, std::string_view win1252);
