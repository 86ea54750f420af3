// tKvIniFile: a sections-and-keys settings file ("[Section]" lines followed by
// "Key=Value" lines) read and written the way the Windows profile functions do.
// The object holds the file's lines; WriteString changes them and saves the
// file at once. A missing file reads as empty; a file that exists but cannot
// be read, or cannot be saved, raises EKvIo naming the file.
//
// Reading rules: section and key names are compared without regard to case
// (ASCII letters); names and values are trimmed; a line whose first non-blank
// character is ";" is a comment; there are no inline comments ("a=1 ;x" has the
// value "1 ;x") and no line continuation; a value enclosed in a pair of single
// or double quotes loses them; only the first section of a name is searched,
// and in it the first of duplicate keys wins. A UTF-8 byte-order mark at the
// start of the file is skipped. Texts are bytes: no code-page conversion.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/KvClass.h"

class tKvIniFile : public tKvClass {
 public:
  explicit tKvIniFile(std::string fileName);

  const std::string& FileName() const { return file_name_; }

  // The value of key in section, or defaultValue when either is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;

  // Sets key in section to value and saves the file (creating it when
  // missing). An existing key keeps its place; a new key goes after the last
  // key of the section; a new section is appended at the end of the file.
  // Names or values that could not be read back as given (line breaks, "]" in
  // a section name, "=" in a key, an empty key) raise EKvParam.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

 private:
  struct Found {
    size_t SectionLine;  // index of the "[section]" line, npos when missing
    size_t KeyLine;      // index of the first "key=" line in it, npos when missing
    size_t InsertLine;   // where a new key of that section goes
  };
  Found Find(std::string_view section, std::string_view key) const;
  void Save() const;

  std::string file_name_;
  std::vector<std::string> lines_;
};
