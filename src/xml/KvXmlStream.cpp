#include "xml/KvXmlStream.h"

#include <cassert>
#include <strings.h>
#include <utility>

#include "base/KvErrorCodes.h"

namespace {

// The code point of a character in UTF-8 (one to three bytes).
uint32_t CodePoint(std::string_view utf8) {
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(utf8[i])); };
  if (utf8.size() == 1) return byte(0);
  if (utf8.size() == 2) return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
  return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
}

}  // namespace

tKvXmlStream::tKvXmlStream(tKvXml& xml, std::string fileName, platform::WholeFile::Cache cache)
    : xml_(xml), file_(platform::WholeFile::kLargeBufferSize, cache) {
  if (int code = file_.Open(std::move(fileName)); code != 0) Fail(code);
  xml_.SplitText(head_, tail_);
}

tKvXmlStream::~tKvXmlStream() = default;

void tKvXmlStream::WriteHead() {
  // What each byte becomes in the text of an element: the markup characters
  // and the carriage return as references, the rest in the document's
  // encoding, as a character reference where the encoding lacks it.
  const std::string& encoding = xml_.Encoding();
  const bool utf8 = strcasecmp(encoding.c_str(), "UTF-8") == 0;
  if (!utf8 && strcasecmp(encoding.c_str(), "ISO-8859-1") != 0) {
    throw EKvXml(&xml_, "Unsupported XML encoding: " + encoding);
  }
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    std::string& escape = escape_[static_cast<size_t>(b)];
    switch (c) {
      case '<': escape = "&lt;"; break;
      case '>': escape = "&gt;"; break;
      case '&': escape = "&amp;"; break;
      case '\r': escape = "&#13;"; break;
      default: {
        std::string character;
        AppendXmlTextAsUtf8(character, std::string_view(&c, 1));
        const uint32_t code = CodePoint(character);
        if (utf8) {
          escape = character;
        } else if (code < 0x100) {
          escape = std::string(1, static_cast<char>(code));
        } else {
          escape = "&#" + std::to_string(code) + ";";
        }
      }
    }
    escaped_[static_cast<size_t>(b)] = escape != std::string_view(&c, 1);
  }
  Append(head_);
  head_ = std::string();
  head_written_ = true;
}

void tKvXmlStream::BeginElement() {
  assert(!committed_);
  if (!head_written_) [[unlikely]] WriteHead();
  // The parent has a child: its start tag ends.
  if (start_tag_open_) Append(">");
  start_tag_open_ = false;
}

void tKvXmlStream::AppendText(std::string_view text) {
  const char* run = text.data();
  const char* const end = run + text.size();
  for (const char* p = run; p != end; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    if (!escaped_[b]) [[likely]] continue;
    Append({run, static_cast<size_t>(p - run)});
    Append(escape_[b]);
    run = p + 1;
  }
  Append({run, static_cast<size_t>(end - run)});
}

void tKvXmlStream::Start(std::string_view name) {
  BeginElement();
  Append("<");
  Append(name);
  start_tag_open_ = true;
  if (depth_ == open_.size()) open_.emplace_back();
  open_[depth_++].assign(name);
}

void tKvXmlStream::TextElement(std::string_view name, std::string_view text) {
  BeginElement();
  Append("<");
  Append(name);
  Append(">");
  AppendText(text);
  Append("</");
  Append(name);
  Append(">");
  if (depth_ == 0) Check();
}

void tKvXmlStream::EmptyElement(std::string_view name) {
  BeginElement();
  Append("<");
  Append(name);
  Append("/>");
  if (depth_ == 0) Check();
}

void tKvXmlStream::End() {
  assert(depth_ > 0);
  const std::string& name = open_[--depth_];
  if (start_tag_open_) {
    Append("/>");  // no children: an empty-element tag
    start_tag_open_ = false;
  } else {
    Append("</");
    Append(name);
    Append(">");
  }
  if (depth_ == 0) Check();
}

void tKvXmlStream::Commit(platform::WholeFile::Replace replace) {
  if (committed_) return;
  assert(depth_ == 0);
  Append(head_written_ ? tail_ : xml_.Text());
  if (int code = file_.Commit(replace, platform::WholeFile::SyncFolder::kYes); code != 0) {
    Fail(code);
  }
  committed_ = true;
}

void tKvXmlStream::Check() const {
  if (file_.error() != 0) Fail(file_.error());
}

void tKvXmlStream::Fail(int code) const {
  throw EKvXml(&xml_, "Error saving XML document \"" + file_.name() + "\": " +
                          FormatErrorCode(code, ""));
}
