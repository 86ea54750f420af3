// tKvXmlTreeWriter: writes elements (KvXmlElementWriter.h) as libxml2 nodes
// appended to a tKvXml document's root, which is then saved whole. Only the
// tests use it: libxml2's serialisation of the tree is the reference for the
// bytes the document's stream writes directly (KvXmlStream.h).
//
// The document is borrowed and must outlive the writer; the nodes belong to
// the document. Failures raise EKvXml as tKvXml does (e.g. the name of an
// element that cannot be created). One thread at a time.
#pragma once

#include <string_view>
#include <vector>

#include "xml/KvXml.h"
#include "xml/KvXmlElementWriter.h"

class tKvXmlTreeWriter final : public tKvXmlElementWriter {
 public:
  explicit tKvXmlTreeWriter(tKvXml& xml) : xml_(xml) {}
  tKvXmlTreeWriter(const tKvXmlTreeWriter&) = delete;
  tKvXmlTreeWriter& operator=(const tKvXmlTreeWriter&) = delete;

  void Start(std::string_view name) override;
  void TextElement(std::string_view name, std::string_view text) override;
  void EmptyElement(std::string_view name) override;
  void End() override;

 private:
  tKvXmlNode Parent() const { return open_.empty() ? xml_.Root() : open_.back(); }

  tKvXml& xml_;
  std::vector<tKvXmlNode> open_;  // the open elements, innermost last
};
