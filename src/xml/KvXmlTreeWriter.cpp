#include "xml/KvXmlTreeWriter.h"

#include <cassert>

void tKvXmlTreeWriter::Start(std::string_view name) {
  open_.push_back(xml_.AddNode(Parent(), name));
}

void tKvXmlTreeWriter::TextElement(std::string_view name, std::string_view text) {
  xml_.AddTextNode(Parent(), name, text);
}

void tKvXmlTreeWriter::EmptyElement(std::string_view name) { xml_.AddNode(Parent(), name); }

void tKvXmlTreeWriter::End() {
  assert(!open_.empty());
  open_.pop_back();
}
