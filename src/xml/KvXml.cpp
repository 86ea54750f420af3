#include "xml/KvXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>

#include "base/KvCodepage.h"
#include "xml/KvXmlStream.h"

namespace {

const xmlChar* Chars(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

// U+FFFD in UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool ForbiddenInXml(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

int AppendToString(void* context, const char* data, int size) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(size));
  return size;
}

// An output buffer that collects the serialised bytes, transcoded to
// encoding, in out. Characters the encoding lacks become character
// references.
xmlOutputBufferPtr StringOutput(std::string& out, const std::string& encoding) {
  xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str());
  if (handler == nullptr) throw EKvXml("Unsupported XML encoding: " + encoding);
  return xmlOutputBufferCreateIO(AppendToString, nullptr, &out, handler);
}

// The name as an XML element name, or nullptr when it is none.
bool IsElementName(const std::string& name) {
  return !name.empty() && xmlValidateName(Chars(name), 0) == 0;
}

}  // namespace

void AppendXmlTextAsUtf8(std::string& out, std::string_view win1252) {
  size_t start = 0;
  for (size_t i = 0; i < win1252.size(); ++i) {
    if (!ForbiddenInXml(static_cast<unsigned char>(win1252[i]))) continue;
    AppendWin1252AsUtf8(out, win1252.substr(start, i - start));
    out += kReplacement;
    start = i + 1;
  }
  AppendWin1252AsUtf8(out, win1252.substr(start));
}

void tKvXml::DocFree::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

tKvXml::tKvXml(_xmlDoc* doc) : doc_(doc) {
  if (doc_ == nullptr) throw EKvXml(this, "Error initializing XMLDOM object!");
  encoding_ = doc_->encoding != nullptr ? reinterpret_cast<const char*>(doc_->encoding) : "UTF-8";
}

tKvXml::~tKvXml() = default;

std::unique_ptr<tKvXml> tKvXml::CreateNew(std::string_view version, std::string_view encoding,
                                          std::string_view rootName) {
  const std::string versionText(version);
  std::unique_ptr<tKvXml> xml(new tKvXml(xmlNewDoc(Chars(versionText))));
  xml->encoding_ = std::string(encoding);
  xml->doc_->encoding = xmlStrdup(Chars(xml->encoding_));
  // Element names interned once rather than copied into every element.
  xml->doc_->dict = xmlDictCreate();
  const std::string name(rootName);
  tKvXmlNode root = IsElementName(name) ? xmlNewDocNode(xml->doc_.get(), nullptr, Chars(name), nullptr)
                                        : nullptr;
  CheckNode(root, rootName);
  xmlDocSetRootElement(xml->doc_.get(), root);
  xml->root_ = root;
  return xml;
}

std::unique_ptr<tKvXml> tKvXml::CreateFromText(std::string_view text) {
  std::string utf8;
  AppendXmlTextAsUtf8(utf8, text);
  // No network, no external DTD, no entity expansion from outside, and no
  // messages on the console: a failure is reported by the exception alone.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  xmlDocPtr doc =
      xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options);
  if (doc == nullptr) throw EKvXml("Error initializing XML document!");
  std::unique_ptr<tKvXml> xml(new tKvXml(doc));
  xml->root_ = xmlDocGetRootElement(doc);
  CheckNode(xml->root_, "");
  return xml;
}

tKvXmlNode tKvXml::NewNode(std::string_view name) {
  const std::string nameText(name);
  tKvXmlNode node =
      IsElementName(nameText) ? xmlNewDocNode(doc_.get(), nullptr, Chars(nameText), nullptr) : nullptr;
  CheckNode(node, name);
  return node;
}

tKvXmlNode tKvXml::AddNode(tKvXmlNode parent, std::string_view name) {
  CheckNode(parent, "");
  tKvXmlNode node = NewNode(name);
  xmlAddChild(parent, node);
  return node;
}

void tKvXml::AddTextNode(tKvXmlNode parent, std::string_view name, std::string_view text) {
  CheckNode(parent, "");
  tKvXmlNode node = NewNode(name);
  utf8_.clear();
  AppendXmlTextAsUtf8(utf8_, text);
  xmlNodePtr textNode = xmlNewDocTextLen(doc_.get(), reinterpret_cast<const xmlChar*>(utf8_.data()),
                                         static_cast<int>(utf8_.size()));
  if (textNode == nullptr) {
    xmlFreeNode(node);
    CheckNode(nullptr, name);
  }
  xmlAddChild(node, textNode);
  xmlAddChild(parent, node);
}

void tKvXml::SaveToFile(const std::string& fileName, platform::WholeFile::Replace replace) {
  tKvXmlStream out(*this, fileName);
  out.Commit(replace);
}

std::string tKvXml::Text() const {
  std::string bytes;
  xmlOutputBufferPtr out = StringOutput(bytes, encoding_);
  if (out == nullptr || xmlSaveFormatFileTo(out, doc_.get(), encoding_.c_str(), 0) < 0) {
    throw EKvXml(this, "Error serialising the XML document");
  }
  return bytes;
}

void tKvXml::SplitText(std::string& head, std::string& tail) {
  // An empty text child makes libxml2 write a start and an end tag instead
  // of "<root/>"; it is removed again before anything else happens.
  struct Placeholder {
    xmlNodePtr Node = nullptr;
    ~Placeholder() {
      if (Node == nullptr) return;
      xmlUnlinkNode(Node);
      xmlFreeNode(Node);
    }
  } placeholder;
  if (root_->children == nullptr) {
    placeholder.Node = xmlNewDocText(doc_.get(), Chars(std::string()));
    if (placeholder.Node == nullptr || xmlAddChild(root_, placeholder.Node) == nullptr) {
      throw EKvXml(this, "Error serialising the XML document");
    }
  }
  std::string text = Text();
  const std::string endTag = "</" + std::string(reinterpret_cast<const char*>(root_->name)) + ">";
  const size_t end = text.rfind(endTag);
  if (end == std::string::npos) throw EKvXml(this, "Error serialising the XML document");
  tail = text.substr(end);
  text.resize(end);
  head = std::move(text);
}

std::string tKvXml::NodeText(tKvXmlNode node) const {
  CheckNode(node, "");
  std::string bytes;
  xmlOutputBufferPtr out = StringOutput(bytes, encoding_);
  if (out == nullptr) throw EKvXml(this, "Error initializing XMLDOM object!");
  xmlNodeDumpOutput(out, doc_.get(), node, 0, 0, encoding_.c_str());
  if (xmlOutputBufferClose(out) < 0) throw EKvXml(this, "Error serialising an XML element");
  return bytes;
}

void tKvXml::CheckNode(tKvXmlNode node, std::string_view message) {
  if (node != nullptr) return;
  throw EKvXml(message.empty() ? std::string("XML-Node not assigned.") : std::string(message));
}
