// tKvXmlElementWriter: the elements below a document's root, written in
// document order: start tags, elements that hold one text, empty elements
// and end tags. An exporter states its elements once through it, whatever
// writes them: the document's stream (KvXmlStream.h) writes them straight
// into the file; a tree (KvXmlTreeWriter.h) builds them with libxml2, the
// reference the stream is compared with.
//
// For "<a><b>x</b><c/></a>": Start("a"), TextElement("b", "x"),
// EmptyElement("c"), End(). An element started at the root's level is
// complete, and may be written out, with its End.
//
// Names are XML names (ASCII); texts are Windows-1252 bytes, any of the 256
// (the bytes XML 1.0 forbids become U+FFFD). Failures raise EKvXml. A writer
// is used by one thread at a time.
#pragma once

#include <string_view>

class tKvXmlElementWriter {
 public:
  virtual ~tKvXmlElementWriter() = default;

  // Opens an element below the innermost open one (or the root).
  virtual void Start(std::string_view name) = 0;
  // An element with one text child, "<name></name>" when text is empty.
  virtual void TextElement(std::string_view name, std::string_view text) = 0;
  // An element without children, "<name/>".
  virtual void EmptyElement(std::string_view name) = 0;
  // Closes the innermost open element.
  // REQUIRES: an element is open.
  virtual void End() = 0;
};
