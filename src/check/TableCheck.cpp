#include "check/TableCheck.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "check/CodePage.h"
#include "check/KeyIndex.h"
#include "check/RecordScanner.h"
#include "check/TableFinding.h"
#include "check/ValueCheck.h"

namespace check {

namespace {

enum class tHeader { kNone, kInOrder, kOtherOrder, kMostly };

// Whether record 1 holds the declared column names, and in which order;
// kMostly: more than half of its fields are declared names (a header line
// whose names drifted from the declaration's).
class tHeaderMatch {
 public:
  explicit tHeaderMatch(const tTableDecl& table) {
    for (const tColumnDecl& column : table.Columns) {
      std::optional<std::string> name = FromUtf8(table.Encoding, column.Name);
      names_.push_back(name ? std::move(*name) : column.Name);
    }
    sorted_ = names_;
    std::sort(sorted_.begin(), sorted_.end());
  }

  tHeader Of(std::span<const std::string_view> fields) const {
    if (names_.empty()) return tHeader::kNone;
    if (fields.size() == names_.size()) {
      if (std::equal(fields.begin(), fields.end(), names_.begin())) return tHeader::kInOrder;
      std::vector<std::string_view> sorted(fields.begin(), fields.end());
      std::sort(sorted.begin(), sorted.end());
      if (std::equal(sorted.begin(), sorted.end(), sorted_.begin())) return tHeader::kOtherOrder;
    }
    const size_t named = static_cast<size_t>(
        std::count_if(fields.begin(), fields.end(), [&](std::string_view field) {
          return std::binary_search(sorted_.begin(), sorted_.end(), field);
        }));
    return named * 2 > names_.size() ? tHeader::kMostly : tHeader::kNone;
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> sorted_;
};

// True for a header line that Range declares data (reported once, not
// checked as values or keys).
bool IsUndeclaredHeader(const tTableDecl& table, const tRecordScanner& scanner,
                        const tHeaderMatch& header) {
  return scanner.Record() == 1 && table.RangeFrom == 1 &&
         header.Of(scanner.Fields()) != tHeader::kNone;
}

bool Decodable(const tTableDecl& table) { return table.Readable && IsDecodable(table.Encoding); }

// Whether the check can decode the table at all; C411 when the index gave a
// way to read it that this check does not decode.
bool CanDecode(const tTableDecl& table, tFindings& findings) {
  if (!table.Readable) return false;
  if (IsDecodable(table.Encoding)) return true;
  AddTableFinding(
      findings, table, tCode::kUnreadable, 0, 0, {},
      "the table's encoding is not decoded by this check; its contents are not checked");
  return false;
}

// Whether a record is one the keys see: data with the declared fields (a
// header line that Range declares data is not).
bool IsKeyRecord(const tTableDecl& table, const tRecordScanner& scanner) {
  return scanner.IsData() && scanner.Fields().size() == table.Columns.size();
}

// The first pass: structure, header line, values, and every data record to
// the keys (when given).
void CheckContents(const tTableDecl& table, tEntryReader& reader, tKeyIndex* keys,
                   tFindings& findings) {
  std::vector<tValueCheck> checks;
  for (const tColumnDecl& column : table.Columns) checks.emplace_back(column, table);
  const tHeaderMatch header(table);
  tRecordScanner scanner(table, reader, &findings);
  while (scanner.Next()) {
    const std::span<const std::string_view> fields = scanner.Fields();
    if (scanner.Record() == 1 && table.RangeFrom <= 2) {
      const tHeader kind = header.Of(fields);
      if (kind == tHeader::kOtherOrder && table.RangeFrom == 2) {
        AddTableFinding(findings, table, tCode::kHeaderOrder, 1, 0, fields.front(),
                        "the header line names the columns in another order than the index");
      }
      if (kind != tHeader::kNone && table.RangeFrom == 1) {
        AddTableFinding(findings, table, tCode::kHeaderNoRange, 1, 0, fields.front(),
                        "a header line read as data: the index declares no Range From 2");
        continue;
      }
    }
    if (!scanner.IsData() || fields.size() != checks.size()) continue;
    const bool ascii = IsAscii(scanner.Bytes());
    for (size_t i = 0; i < checks.size(); ++i) {
      if (std::optional<tValueFault> fault = checks[i].Check(fields[i], ascii)) [[unlikely]] {
        AddTableFinding(findings, table, fault->Code, scanner.Line(), static_cast<uint32_t>(i + 1),
                        fields[i], std::move(fault->Message));
      }
    }
    if (keys != nullptr) keys->Add(scanner.Line(), fields);
  }
  findings.SetLinesRead(table.Url, scanner.Lines());
}

// A pass for the keys alone, over a table whose contents are reported
// elsewhere.
void ReadKeys(const tTableDecl& table, tEntryReader& reader, tKeyIndex& keys) {
  const tHeaderMatch header(table);
  tRecordScanner scanner(table, reader, nullptr);
  while (scanner.Next()) {
    if (IsKeyRecord(table, scanner) && !IsUndeclaredHeader(table, scanner, header)) {
      keys.Add(scanner.Line(), scanner.Fields());
    }
  }
}

// The same, opening the table again.
void PassKeys(const tTableDecl& table, tExportSource& source, tKeyIndex& keys) {
  if (const std::unique_ptr<tEntryReader> reader = source.Open(table.Url)) {
    ReadKeys(table, *reader, keys);
  }
}

// Ends a table's first pass for the keys; the confirming pass follows when
// its fingerprints collide.
void EndFirstKeyPass(const tTableDecl& table, size_t t, tExportSource& source, tKeyIndex& keys) {
  if (!keys.EndTable()) return;
  keys.BeginConfirm(t);
  PassKeys(table, source, keys);
  keys.EndPass();
}

// The passes for references to tables read later (cycles).
void DeferredKeyPasses(const tExportIndex& index, tExportSource& source, tKeyIndex& keys) {
  for (const size_t t : keys.Deferred()) {
    keys.BeginDeferred(t);
    PassKeys(index.Tables[t], source, keys);
    keys.EndPass();
  }
}

// The keys alone, table by table in the key index's order (the second
// thread's share while the contents are checked).
void CheckKeys(const tExportIndex& index, tExportSource& source, tKeyIndex& keys) {
  for (const size_t t : keys.Order()) {
    const tTableDecl& table = index.Tables[t];
    const std::unique_ptr<tEntryReader> reader =
        Decodable(table) ? source.Open(table.Url) : nullptr;
    if (!reader) {
      keys.SkipTable(t);
      continue;
    }
    keys.BeginTable(t);
    ReadKeys(table, *reader, keys);
    EndFirstKeyPass(table, t, source, keys);
  }
  DeferredKeyPasses(index, source, keys);
}

// Contents and keys on two threads: this one reads every table for its
// contents, a second one reads them again for the keys, into findings of
// its own that join the others at the end.
void CheckTablesOnTwoThreads(const tExportIndex& index, tExportSource& source,
                             const tTableCheckOptions& options, tFindings& findings) {
  tFindings keyFindings(findings.MaxExamples());
  tKeyIndex keys(index, options.KeyMemoryLimit, keyFindings);
  const std::vector<size_t> order = keys.Order();
  std::exception_ptr keyFailure;
  std::thread keyThread([&index, &source, &keys, &keyFailure] {
    try {
      CheckKeys(index, source, keys);
    } catch (...) {
      keyFailure = std::current_exception();
    }
  });
  std::exception_ptr failure;
  try {
    for (const size_t t : order) {
      const tTableDecl& table = index.Tables[t];
      const std::unique_ptr<tEntryReader> reader =
          CanDecode(table, findings) ? source.Open(table.Url) : nullptr;
      if (reader) CheckContents(table, *reader, nullptr, findings);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  keyThread.join();
  if (failure) std::rethrow_exception(failure);
  if (keyFailure) std::rethrow_exception(keyFailure);
  findings.Merge(keyFindings);
}

}  // namespace

void CheckTables(const tExportIndex& index, tExportSource& source,
                 const tTableCheckOptions& options, tFindings& findings) {
  if (source.ReadsConcurrently() && options.Threads >= 2) {
    CheckTablesOnTwoThreads(index, source, options, findings);
    return;
  }
  tKeyIndex keys(index, options.KeyMemoryLimit, findings);
  for (const size_t t : keys.Order()) {
    const tTableDecl& table = index.Tables[t];
    const std::unique_ptr<tEntryReader> reader =
        CanDecode(table, findings) ? source.Open(table.Url) : nullptr;
    if (!reader) {  // a missing file is reported with the package
      keys.SkipTable(t);
      continue;
    }
    keys.BeginTable(t);
    CheckContents(table, *reader, &keys, findings);
    EndFirstKeyPass(table, t, source, keys);
  }
  DeferredKeyPasses(index, source, keys);
}

}  // namespace check
