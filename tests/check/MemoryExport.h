// tMemoryExport: an export held in memory for the table check's tests; its
// readers hand out at most chunk bytes per Read, so that tests can split
// the input anywhere. Also the declaration of a small test table.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/ExportIndex.h"
#include "check/ExportSource.h"

namespace check::testing {

class tStringReader final : public tEntryReader {
 public:
  tStringReader(std::string_view text, size_t chunk) : text_(text), chunk_(chunk) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t n = std::min({size, chunk_, text_.size()});
    std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view text_;
  size_t chunk_;
};

class tMemoryExport final : public tExportSource {
 public:
  explicit tMemoryExport(std::map<std::string, std::string> files, size_t chunk = 1 << 16)
      : files_(std::move(files)), chunk_(chunk) {
    for (const auto& entry : files_) names_.push_back(entry.first);
  }
  const std::vector<std::string>& Entries() const override { return names_; }
  std::unique_ptr<tEntryReader> Open(std::string_view name) override {
    const auto it = files_.find(std::string(name));
    if (it == files_.end()) return nullptr;
    return std::make_unique<tStringReader>(it->second, chunk_);
  }

 private:
  std::map<std::string, std::string> files_;
  std::vector<std::string> names_;
  size_t chunk_;
};

// A table named name in name.csv with AlphaNumeric columns named by columns
// (a leading '*' marks a primary key column).
inline tTableDecl TestTable(const std::string& name, const std::vector<std::string>& columns) {
  tTableDecl table;
  table.Url = name + ".csv";
  table.Name = name;
  for (const std::string& column : columns) {
    tColumnDecl decl;
    decl.PrimaryKey = column.starts_with('*');
    decl.Name = decl.PrimaryKey ? column.substr(1) : column;
    table.Columns.push_back(decl);
  }
  return table;
}

}  // namespace check::testing
