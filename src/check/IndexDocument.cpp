#include "check/IndexDocument.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <new>

namespace check {

namespace {

// One line of libxml2's message, without its line end.
std::string MessageOf(const xmlError& error) {
  std::string text = error.message != nullptr ? error.message : "unknown error";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

xmlParserInputPtr RefuseEntity(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

// While alive, libxml2's errors of this thread go to Collect (which keeps
// them for the caller) and no external entity is ever loaded.
class tLibxmlGuard {
 public:
  explicit tLibxmlGuard(void (*collect)(void*, xmlErrorPtr), void* context)
      : oldHandler_(xmlStructuredError),
        oldContext_(xmlStructuredErrorContext),
        oldLoader_(xmlGetExternalEntityLoader()) {
    xmlSetStructuredErrorFunc(context, collect);
    xmlSetExternalEntityLoader(RefuseEntity);
  }
  ~tLibxmlGuard() {
    xmlSetStructuredErrorFunc(oldContext_, oldHandler_);
    xmlSetExternalEntityLoader(oldLoader_);
  }
  tLibxmlGuard(const tLibxmlGuard&) = delete;
  tLibxmlGuard& operator=(const tLibxmlGuard&) = delete;

 private:
  xmlStructuredErrorFunc oldHandler_;
  void* oldContext_;
  xmlExternalEntityLoader oldLoader_;
};

struct tParseErrors {
  bool Have = false;
  int Code = 0;
  int Line = 0;
  std::string Message;
};

void KeepFirstError(void* context, xmlErrorPtr error) {
  auto& errors = *static_cast<tParseErrors*>(context);
  if (errors.Have || error == nullptr || error->level < XML_ERR_ERROR) return;
  errors.Have = true;
  errors.Code = error->code;
  errors.Line = error->line;
  errors.Message = MessageOf(*error);
}

struct tValidityErrors {
  tFindings* Findings;
  const std::string* File;
};

void AddValidityError(void* context, xmlErrorPtr error) {
  // The standard DTD's Media model is ambiguous (Command* on both sides of
  // Table*); libxml2 says so but still validates by it: no fault of the index.
  if (error == nullptr || error->level < XML_ERR_ERROR ||
      error->code == XML_DTD_CONTENT_NOT_DETERMINIST)
    return;
  auto& errors = *static_cast<tValidityErrors*>(context);
  uint64_t line = error->line > 0 ? static_cast<uint64_t>(error->line) : 0;
  if (line == 0 && error->node != nullptr) {
    const long nodeLine = xmlGetLineNo(static_cast<xmlNodePtr>(error->node));
    if (nodeLine > 0) line = static_cast<uint64_t>(nodeLine);
  }
  errors.Findings->Add({tCode::kIndexInvalid, *errors.File, line, 0, {}, {}, MessageOf(*error)});
}

bool IsEncodingError(int code) {
  return code == XML_ERR_UNSUPPORTED_ENCODING || code == XML_ERR_UNKNOWN_ENCODING ||
         code == XML_ERR_INVALID_ENCODING;
}

}  // namespace

tIndexDocument::tParsed tIndexDocument::Parse(std::string_view xmlText, const std::string& file,
                                              tFindings& findings) {
  tParsed parsed;
  if (xmlText.size() > static_cast<size_t>(INT_MAX)) {
    parsed.Reason = file + " is too large";
    return parsed;
  }
  tParseErrors errors;
  xmlDocPtr doc = nullptr;
  {
    const tLibxmlGuard guard(KeepFirstError, &errors);
    // No network, no DTD loaded, no entity substituted; line numbers beyond 65535.
    doc = xmlReadMemory(xmlText.data(), static_cast<int>(xmlText.size()), file.c_str(), nullptr,
                        XML_PARSE_NONET | XML_PARSE_BIG_LINES);
  }
  if (doc != nullptr && !errors.Have) {
    parsed.Document.reset(new tIndexDocument(doc));
    parsed.Document->file_ = file;
    return parsed;
  }
  if (doc != nullptr) xmlFreeDoc(doc);
  if (!errors.Have) errors.Message = "no document";
  const uint64_t line = errors.Line > 0 ? static_cast<uint64_t>(errors.Line) : 0;
  if (IsEncodingError(errors.Code)) {
    parsed.Reason = file + ": an encoding that cannot be read: " + errors.Message;
  } else {
    parsed.Reason =
        file + " is not well-formed (line " + std::to_string(line) + "): " + errors.Message;
  }
  findings.Add({tCode::kIndexNotWellFormed, file, line, 0, {}, {}, errors.Message});
  return parsed;
}

tIndexDocument::~tIndexDocument() { xmlFreeDoc(doc_); }

bool tIndexDocument::HasDoctype() const { return doc_->intSubset != nullptr; }

std::string tIndexDocument::SystemId() const {
  const xmlDtd* subset = doc_->intSubset;
  if (subset == nullptr || subset->SystemID == nullptr) return {};
  return reinterpret_cast<const char*>(subset->SystemID);
}

bool tIndexDocument::DeclaresEntities() const {
  const xmlDtd* subset = doc_->intSubset;
  if (subset == nullptr) return false;
  for (const xmlNode* node = subset->children; node != nullptr; node = node->next) {
    if (node->type == XML_ENTITY_DECL) return true;
  }
  return false;
}

bool tIndexDocument::Validate(std::string_view dtdText, const std::string& dtdName,
                              tFindings& findings) const {
  tParseErrors dtdErrors;
  xmlDtdPtr dtd = nullptr;
  if (dtdText.size() <= static_cast<size_t>(INT_MAX)) {
    const tLibxmlGuard guard(KeepFirstError, &dtdErrors);
    xmlParserInputBufferPtr input = xmlParserInputBufferCreateMem(
        dtdText.data(), static_cast<int>(dtdText.size()), XML_CHAR_ENCODING_NONE);
    if (input != nullptr)
      dtd = xmlIOParseDTD(nullptr, input, XML_CHAR_ENCODING_NONE);  // frees input
  }
  if (dtd == nullptr || dtdErrors.Have) {
    if (dtd != nullptr) xmlFreeDtd(dtd);
    findings.Add({tCode::kDtdUnreadable,
                  dtdName,
                  static_cast<uint64_t>(std::max(dtdErrors.Line, 0)),
                  0,
                  {},
                  {},
                  dtdErrors.Have ? dtdErrors.Message : "no DTD"});
    return false;
  }
  tValidityErrors errors{&findings, &file_};
  {
    const tLibxmlGuard guard(AddValidityError, &errors);
    xmlValidCtxtPtr context = xmlNewValidCtxt();
    if (context == nullptr) {
      xmlFreeDtd(dtd);
      throw std::bad_alloc();
    }
    // Errors come through the structured handler, not these.
    context->error = nullptr;
    context->warning = nullptr;
    xmlValidateDtd(context, doc_, dtd);
    xmlFreeValidCtxt(context);
  }
  xmlFreeDtd(dtd);
  return true;
}

xmlNode* tIndexDocument::Root() const { return xmlDocGetRootElement(doc_); }

}  // namespace check
