#include "base/KvIniFile.h"

#include <cerrno>
#include <utility>

#include "base/KvErrors.h"
#include "base/KvTextFile.h"

namespace {

constexpr size_t npos = std::string::npos;

// Blanks as the profile functions see them: white space and the DOS end-of-file mark.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

enum class LineKind { kOther, kSection, kKey };

// Classifies one line; name and value are views into it.
LineKind Classify(std::string_view line, std::string_view* name, std::string_view* value) {
  std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return LineKind::kOther;
  if (text.front() == '[') {
    if (size_t close = text.rfind(']'); close != npos) {
      *name = Trim(text.substr(1, close - 1));
      return LineKind::kSection;
    }
  }
  size_t eq = text.find('=');
  if (eq == npos) return LineKind::kOther;
  *name = Trim(text.substr(0, eq));
  *value = Trim(text.substr(eq + 1));
  return name->empty() ? LineKind::kOther : LineKind::kKey;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != npos; }

}  // namespace

tKvIniFile::tKvIniFile(std::string fileName) : file_name_(std::move(fileName)) {
  std::unique_ptr<tKvTextFileDos> file;
  try {
    file = std::make_unique<tKvTextFileDos>(file_name_, tKvTextFileDos::kModeReset);
  } catch (const EKvIo& e) {
    if (e.Code() == ENOENT) return;  // a missing file holds no settings
    throw;
  }
  std::string line;
  while (!file->Eof()) {
    if (int32_t code = file->ReadLine(line); code != 0) {
      throw EKvIo(this, code, "Read error: " + file_name_);
    }
    lines_.push_back(line);
  }
}

tKvIniFile::Found tKvIniFile::Find(std::string_view section, std::string_view key) const {
  Found found{npos, npos, npos};
  std::string_view name, value;
  size_t i = 0;
  for (; i < lines_.size(); ++i) {
    if (Classify(lines_[i], &name, &value) == LineKind::kSection && SameName(name, Trim(section))) {
      found.SectionLine = i;
      found.InsertLine = i + 1;
      break;
    }
  }
  if (found.SectionLine == npos) return found;
  for (++i; i < lines_.size(); ++i) {
    LineKind kind = Classify(lines_[i], &name, &value);
    if (kind == LineKind::kSection) break;
    if (kind != LineKind::kKey) continue;
    found.InsertLine = i + 1;
    if (found.KeyLine == npos && SameName(name, Trim(key))) found.KeyLine = i;
  }
  return found;
}

std::string tKvIniFile::ReadString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
  Found found = Find(section, key);
  if (found.KeyLine == npos) return std::string(defaultValue);
  std::string_view name, value;
  Classify(lines_[found.KeyLine], &name, &value);
  return std::string(StripQuotes(value));
}

bool tKvIniFile::SectionExists(std::string_view section) const {
  return Find(section, {}).SectionLine != npos;
}

bool tKvIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key).KeyLine != npos;
}

void tKvIniFile::WriteString(std::string_view section, std::string_view key,
                             std::string_view value) {
  std::string_view sectionName = Trim(section);
  std::string_view keyName = Trim(key);
  if (HasLineBreak(section) || sectionName.find(']') != npos || HasLineBreak(key) ||
      keyName.empty() || keyName.find('=') != npos || keyName.front() == ';' ||
      keyName.front() == '[' || HasLineBreak(value)) {
    throw EKvParam(this, "WriteString: invalid section, key or value");
  }
  std::string line = std::string(keyName) + "=" + std::string(value);
  Found found = Find(sectionName, keyName);
  if (found.KeyLine != npos) {
    lines_[found.KeyLine] = std::move(line);
  } else if (found.SectionLine != npos) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(found.InsertLine), std::move(line));
  } else {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(sectionName) + "]");
    lines_.push_back(std::move(line));
  }
  Save();
}

void tKvIniFile::Save() const {
  tKvTextFileDos file(file_name_, tKvTextFileDos::kModeRewrite);
  for (const std::string& line : lines_) {
    if (int32_t code = file.WriteLine(line); code != 0) {
      throw EKvIo(this, code, "Write error: " + file_name_);
    }
  }
  if (int32_t code = file.Close(); code != 0) throw EKvIo(this, code, "Write error: " + file_name_);
}
