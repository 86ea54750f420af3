// tIndexDocument: index.xml as libxml2 reads it, for the index reader
// (ExportIndex.cpp): parsed without network, without loading the DTD it
// names and without expanding entities; validated against a DTD given as
// text. Nothing here opens a file or a URL: while a document is parsed or
// validated, libxml2's loader of external entities refuses everything.
//
// Failure: Parse reports a document that is not well-formed as C201 (with
// libxml2's message and line) and returns no document; an encoding libxml2
// cannot decode too, with Reason naming it. The object owns its libxml2
// document. One thread at a time; it sets libxml2's error handler for the
// thread while it works and restores the previous one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "check/Findings.h"

struct _xmlDoc;
struct _xmlNode;

namespace check {

class tIndexDocument {
 public:
  struct tParsed;  // a document or why there is none

  // Parses xmlText (the contents of index.xml, file: its name for findings).
  static tParsed Parse(std::string_view xmlText, const std::string& file, tFindings& findings);

  tIndexDocument(const tIndexDocument&) = delete;
  tIndexDocument& operator=(const tIndexDocument&) = delete;
  ~tIndexDocument();

  // The DOCTYPE's system identifier; empty when there is no DOCTYPE.
  std::string SystemId() const;
  bool HasDoctype() const;
  // Whether the internal subset declares entities (general or parameter).
  bool DeclaresEntities() const;
  // Validates against dtdText; every validity error becomes a C202 finding
  // with its line. Returns false when dtdText is no DTD (C208 reported).
  bool Validate(std::string_view dtdText, const std::string& dtdName, tFindings& findings) const;
  // The root element; nullptr for a document without one.
  _xmlNode* Root() const;

 private:
  explicit tIndexDocument(_xmlDoc* doc) : doc_(doc) {}
  _xmlDoc* doc_;
  std::string file_;
};

struct tIndexDocument::tParsed {
  std::unique_ptr<tIndexDocument> Document;
  std::string Reason;  // when there is no document: why, one line
};

}  // namespace check
