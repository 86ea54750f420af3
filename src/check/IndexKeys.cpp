#include "check/IndexKeys.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace check {

namespace {

// Per table, its columns by name (the first of a name).
using tColumnsByName = std::vector<std::unordered_map<std::string_view, size_t>>;

tColumnsByName IndexColumns(const tExportIndex& index) {
  tColumnsByName columns(index.Tables.size());
  for (size_t t = 0; t < index.Tables.size(); ++t) {
    for (size_t i = 0; i < index.Tables[t].Columns.size(); ++i)
      columns[t].emplace(index.Tables[t].Columns[i].Name, i);
  }
  return columns;
}

std::vector<size_t> KeyColumnsOf(const tTableDecl& table) {
  std::vector<size_t> keys;
  for (size_t i = 0; i < table.Columns.size(); ++i) {
    if (table.Columns[i].PrimaryKey) keys.push_back(i);
  }
  return keys;
}

const char* TypeName(tColumnType type) {
  switch (type) {
    case tColumnType::kNumeric:
      return "Numeric";
    case tColumnType::kAlphaNumeric:
      return "AlphaNumeric";
    case tColumnType::kDate:
      return "Date";
  }
  return "AlphaNumeric";
}

class tResolver {
 public:
  tResolver(const tExportIndex& index, const std::string& file, tFindings& findings)
      : index_(index), file_(file), findings_(findings), columns_(IndexColumns(index)) {
    for (size_t t = 0; t < index.Tables.size(); ++t) tables_.emplace(index.Tables[t].Name, t);
  }

  // Resolves key, a ForeignKey of table (the tableIndex-th); true when it resolved.
  bool Resolve(size_t tableIndex, tForeignKeyDecl& key) {
    const tTableDecl& table = index_.Tables[tableIndex];
    line_ = key.IndexLine;
    bool ok = true;
    std::vector<size_t> own;  // the key's columns in its table
    for (const std::string& name : key.Columns) {
      const auto column = ColumnOf(tableIndex, name);
      if (!column) {
        Report(tCode::kFkColumnUndeclared, name,
               "table " + table.Name + " declares no column " + name);
        ok = false;
      } else {
        own.push_back(*column);
      }
    }
    const auto target = FindTable(key.References);
    if (!target) return false;
    const tTableDecl& referenced = index_.Tables[*target];
    const std::vector<size_t> keys = KeyColumnsOf(referenced);
    if (keys.empty()) {
      Report(tCode::kFkTargetNoKey, {}, "table " + referenced.Name + " declares no primary key");
      return false;
    }
    auto mapped = MapColumns(key, *target, keys);
    if (!mapped) return false;
    if (key.Columns.size() != keys.size()) {
      Report(tCode::kFkArity, {},
             std::to_string(key.Columns.size()) + " columns reference the " +
                 std::to_string(keys.size()) + "-column primary key of " + referenced.Name);
      return false;
    }
    if (!ok) return false;
    for (size_t i = 0; i < own.size(); ++i) {
      const tColumnDecl& from = table.Columns[own[i]];
      const tColumnDecl& to = referenced.Columns[(*mapped)[i]];
      if (from.Type != to.Type) {
        Report(tCode::kFkType, from.Name,
               std::string(TypeName(from.Type)) + " column references " + TypeName(to.Type) +
                   " key column " + referenced.Name + "." + to.Name);
        ok = false;
      }
    }
    if (!ok) return false;
    key.Target = *target;
    key.TargetColumns = std::move(*mapped);
    return true;
  }

 private:
  std::optional<size_t> ColumnOf(size_t table, const std::string& name) const {
    const auto it = columns_[table].find(name);
    if (it == columns_[table].end()) return std::nullopt;
    return it->second;
  }

  void Report(tCode code, const std::string& column, std::string message) {
    findings_.Add({code, file_, line_, 0, column, {}, std::move(message)});
  }

  // The table references names: by Name (which is the URL when none is declared).
  std::optional<size_t> FindTable(const std::string& references) {
    const auto [first, last] = tables_.equal_range(references);
    const auto count = std::distance(first, last);
    if (count == 0) {
      Report(tCode::kFkNoTable, {}, "References " + references + ": no table of that name");
      return std::nullopt;
    }
    if (count > 1) {
      Report(tCode::kFkAmbiguous, {},
             "References " + references + ": " + std::to_string(count) + " tables");
      return std::nullopt;
    }
    return first->second;
  }

  // Per column of key, the key column of referenced it maps onto: the
  // Alias's To where one is given, else the key columns no alias claims,
  // in order.
  std::optional<std::vector<size_t>> MapColumns(const tForeignKeyDecl& key, size_t target,
                                                const std::vector<size_t>& keys) {
    const tTableDecl& referenced = index_.Tables[target];
    std::vector<std::optional<size_t>> byAlias(key.Columns.size());
    std::vector<bool> claimed(referenced.Columns.size(), false);
    std::unordered_map<std::string_view, size_t> positions;  // the first of a name
    for (size_t i = 0; i < key.Columns.size(); ++i) positions.emplace(key.Columns[i], i);
    bool ok = true;
    size_t aliased = 0;
    for (const auto& [from, to] : key.Aliases) {
      const auto position = positions.find(from);
      if (position == positions.end()) {
        Report(tCode::kAliasFrom, from, "Alias From " + from + " is no column of this ForeignKey");
        ok = false;
        continue;
      }
      const auto column = ColumnOf(target, to);
      if (!column || !referenced.Columns[*column].PrimaryKey) {
        Report(tCode::kAliasTo, from,
               "Alias To " + to + " is no primary key column of " + referenced.Name);
        ok = false;
        continue;
      }
      if (claimed[*column]) {
        Report(tCode::kAliasTwice, from, "two aliases map onto " + referenced.Name + "." + to);
        ok = false;
        continue;
      }
      claimed[*column] = true;
      auto& slot = byAlias[position->second];
      if (!slot) ++aliased;
      slot = *column;
    }
    if (!ok) return std::nullopt;
    if (aliased > 0 && aliased < key.Columns.size()) {
      Report(tCode::kAliasPartial, {},
             std::to_string(aliased) + " of " + std::to_string(key.Columns.size()) +
                 " columns aliased; the others are matched in order");
    }
    std::vector<size_t> mapped;
    size_t next = 0;
    for (const auto& slot : byAlias) {
      if (slot) {
        mapped.push_back(*slot);
        continue;
      }
      while (next < keys.size() && claimed[keys[next]]) ++next;
      if (next == keys.size()) break;  // more columns than key columns: the arity check says so
      mapped.push_back(keys[next++]);
    }
    return mapped;
  }

  const tExportIndex& index_;
  const std::string& file_;
  tFindings& findings_;
  tColumnsByName columns_;
  std::unordered_multimap<std::string_view, size_t> tables_;  // by Name
  uint64_t line_ = 0;
};

}  // namespace

void ResolveForeignKeys(tExportIndex& index, const std::string& file, tFindings& findings) {
  tResolver resolver(index, file, findings);
  for (size_t t = 0; t < index.Tables.size(); ++t) {
    for (tForeignKeyDecl& key : index.Tables[t].ForeignKeys) {
      key.Target.reset();
      key.TargetColumns.clear();
      resolver.Resolve(t, key);
    }
  }
}

}  // namespace check
