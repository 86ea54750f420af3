#include "check/ExportIndex.h"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "check/ExportUrl.h"
#include "check/IndexDocument.h"
#include "check/IndexKeys.h"

namespace check {

namespace {

// ---- reading the DOM ------------------------------------------------------

bool Is(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

// The element children of node, in order.
std::vector<const xmlNode*> Elements(const xmlNode* node) {
  std::vector<const xmlNode*> elements;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) elements.push_back(child);
  }
  return elements;
}

const xmlNode* Child(const xmlNode* node, const char* name) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (Is(child, name)) return child;
  }
  return nullptr;
}

// The text of node (UTF-8): its text and CDATA children only, so that an
// entity reference is never expanded.
std::string Text(const xmlNode* node) {
  std::string text;
  if (node == nullptr) return text;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) &&
        child->content != nullptr) {
      text += reinterpret_cast<const char*>(child->content);
    }
  }
  return text;
}

uint64_t LineOf(const xmlNode* node) {
  const long line = xmlGetLineNo(node);
  return line > 0 ? static_cast<uint64_t>(line) : 0;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A non-negative integer (blanks around it allowed).
std::optional<uint64_t> ParseCount(std::string_view text) {
  text = Trim(text);
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

size_t Utf8Length(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Whether mask holds exactly one day, one month and one year (YY or YYYY).
bool IsDateMask(std::string_view mask) {
  int day = 0, month = 0, year = 0;
  for (size_t i = 0; i < mask.size();) {
    const std::string_view rest = mask.substr(i);
    if (rest.starts_with("YYYY")) {
      ++year;
      i += 4;
    } else if (rest.starts_with("YY")) {
      ++year;
      i += 2;
    } else if (rest.starts_with("DD")) {
      ++day;
      i += 2;
    } else if (rest.starts_with("MM")) {
      ++month;
      i += 2;
    } else {
      ++i;
    }
  }
  return day == 1 && month == 1 && year == 1;
}

bool IsTimeMask(std::string_view mask) {
  static constexpr std::array<std::string_view, 12> kMasks = {
      "HHMM",     "HH:MM",      "HHMMSS",  "HHMMTT",   "HH:MMTT",   "HH:MM:SS",
      "HHMMSSTT", "HH:MM:SSTT", "HHMM TT", "HH:MM TT", "HHMMSS TT", "HH:MM:SS TT"};
  return std::find(kMasks.begin(), kMasks.end(), mask) != kMasks.end();
}

// ---- the model --------------------------------------------------------------

class tModelReader {
 public:
  tModelReader(const std::string& file, tFindings& findings) : file_(file), findings_(findings) {}

  tExportIndex Read(const xmlNode* root) {
    tExportIndex index;
    if (root == nullptr || !Is(root, "DataSet")) return index;
    for (const xmlNode* node : Elements(root)) {
      if (Is(node, "Extension")) {
        const std::string url = Text(Child(node, "URL"));
        Report(tCode::kExtension, node, {}, url, "Extension " + Text(Child(node, "Name")));
        index.ExtensionUrls.push_back(url);
      } else if (Is(node, "Command")) {
        Report(tCode::kCommand, node, {}, Text(node), "the data set declares a Command");
      } else if (Is(node, "Media")) {
        ReadMedia(node, index);
      }
    }
    CheckTwice(index);
    return index;
  }

 private:
  // A finding on node; within a table, the message names the table.
  void Report(tCode code, const xmlNode* node, const std::string& column, std::string excerpt,
              std::string message) {
    if (!table_.empty()) message = "table " + table_ + ": " + message;
    findings_.Add({code, file_, node != nullptr ? LineOf(node) : 0, 0, column, std::move(excerpt),
                   std::move(message)});
  }

  // The count in node's text, or fallback after a C319 finding.
  uint64_t Count(const xmlNode* node, uint64_t fallback, const std::string& column = {}) {
    const std::string text = Text(node);
    if (const auto value = ParseCount(text)) return *value;
    Report(tCode::kScalarBad, node, column, text,
           reinterpret_cast<const char*>(node->name) + std::string(" is no non-negative integer"));
    return fallback;
  }

  void CheckDescription(const xmlNode* node, const std::string& column = {}) {
    const xmlNode* description = Child(node, "Description");
    if (description == nullptr) return;
    const std::string text = Text(description);
    if (const size_t length = Utf8Length(text); length > 255) {
      Report(tCode::kDescriptionLong, description, column, text,
             "Description of " + std::to_string(length) + " characters");
    }
  }

  void CheckName(const xmlNode* node, const std::string& name, const std::string& column) {
    if (name.find_first_of("\"&<>") != std::string::npos) {
      Report(tCode::kNameCharacter, node, column, name, "a name holding \" & < or >");
    }
  }

  void ReadMedia(const xmlNode* media, tExportIndex& index) {
    size_t tables = 0;
    bool acceptsNone = false;
    for (const xmlNode* node : Elements(media)) {
      if (Is(node, "Table")) {
        ++tables;
        index.Tables.push_back(ReadTable(node));
      } else if (Is(node, "Command")) {
        Report(tCode::kCommand, node, {}, Text(node),
               "Media " + Text(Child(media, "Name")) + " declares a Command");
      } else if (Is(node, "AcceptNoTables")) {
        acceptsNone = true;
      }
    }
    table_.clear();
    if (tables > 0) return;
    const std::string name = Text(Child(media, "Name"));
    if (acceptsNone) {
      Report(tCode::kMediaAcceptsEmpty, media, {}, name,
             "Media " + name + " declares no table, by AcceptNoTables");
    } else {
      Report(tCode::kMediaEmpty, media, {}, name, "Media " + name + " declares no table");
    }
  }

  void Unreadable(tTableDecl& table, const xmlNode* node, std::string why) {
    table.Readable = false;
    Report(tCode::kUnreadable, node, {}, table.Url, std::move(why));
  }

  tTableDecl ReadTable(const xmlNode* node) {
    tTableDecl table;
    table.IndexLine = LineOf(node);
    const xmlNode* url = Child(node, "URL");
    table.Url = Text(url);
    if (const xmlNode* name = Child(node, "Name")) {
      table.Name = Text(name);
      CheckName(name, table.Name, {});
    } else {
      table.Name = table.Url;
    }
    table_ = table.Name;
    CheckDescription(node);
    const xmlNode* layout = nullptr;
    for (const xmlNode* child : Elements(node)) {
      if (Is(child, "ANSI"))
        table.Encoding = tEncoding::kAnsi;
      else if (Is(child, "Macintosh"))
        table.Encoding = tEncoding::kMacintosh;
      else if (Is(child, "OEM"))
        table.Encoding = tEncoding::kOem;
      else if (Is(child, "UTF8"))
        table.Encoding = tEncoding::kUtf8;
      else if (Is(child, "UTF16"))
        table.Encoding = tEncoding::kUtf16;
      else if (Is(child, "UTF7"))
        table.Encoding = tEncoding::kUtf7;
      else if (Is(child, "DecimalSymbol"))
        table.DecimalSymbol = Text(child);
      else if (Is(child, "DigitGroupingSymbol"))
        table.DigitGroupingSymbol = Text(child);
      else if (Is(child, "SkipNumBytes"))
        table.SkipNumBytes = Count(child, 0);
      else if (Is(child, "Epoch"))
        table.Epoch = static_cast<uint32_t>(std::min<uint64_t>(Count(child, 30), 99));
      else if (Is(child, "Range"))
        ReadRange(child, table);
      else if (Is(child, "Validity"))
        CheckDateMask(Child(child, "Format"), {});
      else if (Is(child, "VariableLength") || Is(child, "FixedLength"))
        layout = child;
    }
    if (table.DecimalSymbol == table.DigitGroupingSymbol) {
      Report(tCode::kSymbolsEqual, node, {}, table.DecimalSymbol,
             "DecimalSymbol equals DigitGroupingSymbol");
    }
    if (url == nullptr || table.Url.empty()) Unreadable(table, node, "the table declares no URL");
    if (layout == nullptr) {
      Unreadable(table, node, "the table declares neither VariableLength nor FixedLength");
    } else if (Is(layout, "VariableLength")) {
      ReadVariable(layout, table);
    } else {
      ReadFixed(layout, table);
    }
    return table;
  }

  void ReadRange(const xmlNode* range, tTableDecl& table) {
    const xmlNode* from = Child(range, "From");
    if (from == nullptr) return;
    const std::string text(Trim(Text(from)));
    int64_t signedFrom = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), signedFrom);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size() &&
        signedFrom < 1) {
      Report(tCode::kRangeBelowOne, from, {}, text, "Range From below 1");
      table.RangeFrom = 1;
    } else {
      table.RangeFrom = std::max<uint64_t>(Count(from, 1), 1);
    }
    if (const xmlNode* to = Child(range, "To")) {
      table.RangeTo = Count(to, UINT64_MAX);
    } else if (const xmlNode* length = Child(range, "Length")) {
      const uint64_t count = Count(length, 0);
      if (count > 0) table.RangeTo = table.RangeFrom + count - 1;
    }
  }

  void CheckDateMask(const xmlNode* format, const std::string& column) {
    if (format == nullptr) return;
    const std::string mask = Text(format);
    if (!IsDateMask(mask))
      Report(tCode::kDateMaskBad, format, column, mask, "no date mask: " + mask);
  }

  tColumnDecl ReadColumn(const xmlNode* node, bool fixed) {
    tColumnDecl column;
    column.PrimaryKey = Is(node, "VariablePrimaryKey") || Is(node, "FixedPrimaryKey");
    const xmlNode* name = Child(node, "Name");
    column.Name = Text(name);
    if (name != nullptr) CheckName(name, column.Name, column.Name);
    CheckDescription(node, column.Name);
    for (const xmlNode* child : Elements(node)) {
      if (Is(child, "Numeric")) {
        column.Type = tColumnType::kNumeric;
        if (const xmlNode* accuracy = Child(child, "Accuracy")) {
          column.Accuracy =
              static_cast<uint32_t>(std::min<uint64_t>(Count(accuracy, 0, column.Name), 1000));
        } else if (const xmlNode* implied = Child(child, "ImpliedAccuracy")) {
          column.Accuracy =
              static_cast<uint32_t>(std::min<uint64_t>(Count(implied, 0, column.Name), 1000));
          column.ImpliedAccuracy = true;
        }
      } else if (Is(child, "AlphaNumeric")) {
        column.Type = tColumnType::kAlphaNumeric;
      } else if (Is(child, "Date")) {
        column.Type = tColumnType::kDate;
        column.DateFormat = "DD.MM.YYYY";
        if (const xmlNode* format = Child(child, "Format")) {
          CheckDateMask(format, column.Name);
          if (IsDateMask(Text(format))) column.DateFormat = Text(format);
        }
      } else if (Is(child, "MaxLength")) {
        const uint64_t length = Count(child, 0, column.Name);
        if (length == 0 && ParseCount(Text(child))) {
          Report(tCode::kScalarBad, child, column.Name, "0", "MaxLength 0 admits no value");
        }
        if (length > 0) column.MaxLength = length;
      } else if (Is(child, "Map")) {
        ReadMap(child, column);
      } else if (fixed && Is(child, "FixedRange")) {
        ReadFixedRange(child, column);
      }
    }
    return column;
  }

  void ReadMap(const xmlNode* map, tColumnDecl& column) {
    tMapDecl decl{Text(Child(map, "From")), Text(Child(map, "To"))};
    CheckDescription(map, column.Name);
    if (column.Type != tColumnType::kAlphaNumeric && column.Maps.empty()) {
      Report(tCode::kMapNotAlpha, map, column.Name, decl.From,
             "Map on a column that is not AlphaNumeric");
    }
    if (IsTimeMask(decl.From) && IsTimeMask(decl.To) && decl.From != decl.To) {
      Report(tCode::kTimeMask, map, column.Name, decl.From + " -> " + decl.To,
             "time map with two masks");
    }
    column.Maps.push_back(std::move(decl));
  }

  // FixedFrom/FixedLength of column; both 0 when the range is no span (C315).
  void ReadFixedRange(const xmlNode* range, tColumnDecl& column) {
    const auto from = ParseCount(Text(Child(range, "From")));
    std::optional<uint64_t> length;
    if (const xmlNode* to = Child(range, "To")) {
      const auto last = ParseCount(Text(to));
      if (from && last && *last >= *from) length = *last - *from + 1;
    } else if (const xmlNode* count = Child(range, "Length")) {
      length = ParseCount(Text(count));
    }
    if (!from || *from == 0 || !length || *length == 0 || *length > UINT64_MAX - *from) {
      Report(tCode::kFixedRangeBad, range, column.Name, {}, "FixedRange is no span of positions");
      return;
    }
    column.FixedFrom = *from;
    column.FixedLength = *length;
  }

  void ReadColumns(const xmlNode* layout, tTableDecl& table, bool fixed) {
    std::unordered_set<std::string> names;
    for (const xmlNode* child : Elements(layout)) {
      if (Is(child, "VariablePrimaryKey") || Is(child, "VariableColumn") ||
          Is(child, "FixedPrimaryKey") || Is(child, "FixedColumn")) {
        table.Columns.push_back(ReadColumn(child, fixed));
        const std::string& name = table.Columns.back().Name;
        if (!names.insert(name).second)
          Report(tCode::kColumnNameTwice, child, name, name, "a second column " + name);
      } else if (Is(child, "ForeignKey")) {
        tForeignKeyDecl key;
        key.IndexLine = LineOf(child);
        for (const xmlNode* part : Elements(child)) {
          if (Is(part, "Name"))
            key.Columns.push_back(Text(part));
          else if (Is(part, "References"))
            key.References = Text(part);
          else if (Is(part, "Alias"))
            key.Aliases.emplace_back(Text(Child(part, "From")), Text(Child(part, "To")));
        }
        table.ForeignKeys.push_back(std::move(key));
      }
    }
    if (table.Columns.empty()) Unreadable(table, layout, "the table declares no column");
  }

  void ReadVariable(const xmlNode* layout, tTableDecl& table) {
    table.Fixed = false;
    if (const xmlNode* node = Child(layout, "ColumnDelimiter")) table.ColumnDelimiter = Text(node);
    if (const xmlNode* node = Child(layout, "RecordDelimiter")) table.RecordDelimiter = Text(node);
    if (const xmlNode* node = Child(layout, "TextEncapsulator"))
      table.TextEncapsulator = Text(node);
    ReadColumns(layout, table, false);
    if (table.ColumnDelimiter.empty() || table.RecordDelimiter.empty()) {
      Unreadable(table, layout, "an empty ColumnDelimiter or RecordDelimiter");
      return;
    }
    const auto collide = [&](const std::string& a, const std::string& b, const char* what) {
      if (!a.empty() && a == b) Report(tCode::kDelimitersCollide, layout, {}, a, what);
    };
    collide(table.ColumnDelimiter, table.RecordDelimiter, "ColumnDelimiter equals RecordDelimiter");
    collide(table.ColumnDelimiter, table.TextEncapsulator,
            "ColumnDelimiter equals TextEncapsulator");
    collide(table.RecordDelimiter, table.TextEncapsulator,
            "RecordDelimiter equals TextEncapsulator");
  }

  void ReadFixed(const xmlNode* layout, tTableDecl& table) {
    table.Fixed = true;
    table.RecordDelimiter.clear();
    table.TextEncapsulator.clear();
    if (const xmlNode* length = Child(layout, "Length")) {
      if (const uint64_t value = Count(length, 0); value > 0) table.FixedRecordLength = value;
    } else if (const xmlNode* delimiter = Child(layout, "RecordDelimiter")) {
      table.RecordDelimiter = Text(delimiter);
    }
    ReadColumns(layout, table, true);
    if (std::any_of(table.Columns.begin(), table.Columns.end(),
                    [](const tColumnDecl& column) { return column.FixedLength == 0; })) {
      Unreadable(table, layout, "a column without a usable FixedRange");
      return;
    }
    CheckFixedSpans(layout, table);
  }

  void CheckFixedSpans(const xmlNode* layout, const tTableDecl& table) {
    std::vector<const tColumnDecl*> columns;
    for (const tColumnDecl& column : table.Columns) columns.push_back(&column);
    std::stable_sort(
        columns.begin(), columns.end(),
        [](const tColumnDecl* a, const tColumnDecl* b) { return a->FixedFrom < b->FixedFrom; });
    uint64_t end = 0;  // last position claimed so far
    const tColumnDecl* last = nullptr;
    for (const tColumnDecl* column : columns) {
      const uint64_t columnEnd = column->FixedFrom + column->FixedLength - 1;
      if (last != nullptr && column->FixedFrom <= end) {
        Report(tCode::kFixedOverlap, layout, column->Name, {}, "overlaps column " + last->Name);
      } else if (column->FixedFrom > end + 1) {
        Report(tCode::kFixedGap, layout, column->Name, {},
               "positions " + std::to_string(end + 1) + " to " +
                   std::to_string(column->FixedFrom - 1) + " belong to no column");
      }
      if (table.FixedRecordLength && columnEnd > *table.FixedRecordLength) {
        Report(tCode::kFixedBeyond, layout, column->Name, {},
               "ends at " + std::to_string(columnEnd) + ", the record at " +
                   std::to_string(*table.FixedRecordLength));
      }
      if (columnEnd > end) {
        end = columnEnd;
        last = column;
      }
    }
  }

  void CheckTwice(const tExportIndex& index) {
    std::unordered_map<std::string_view, const tTableDecl*> names;
    std::unordered_map<std::string_view, const tTableDecl*> urls;
    for (const tTableDecl& table : index.Tables) {
      if (const auto [it, added] = names.emplace(table.Name, &table); !added) {
        findings_.Add(
            {tCode::kTableNameTwice,
             file_,
             table.IndexLine,
             0,
             {},
             table.Name,
             "tables " + it->second->Url + " and " + table.Url + " share the Name " + table.Name});
      }
      if (const auto [it, added] = urls.emplace(table.Url, &table); !added) {
        findings_.Add({tCode::kTableUrlTwice,
                       file_,
                       table.IndexLine,
                       0,
                       {},
                       table.Url,
                       "two tables describe " + table.Url});
      }
    }
  }

  const std::string& file_;
  tFindings& findings_;
  std::string table_;  // the table being read, for messages
};

}  // namespace

tIndexRead ReadIndex(std::string_view xmlText, const std::string& file, const tDtdLoader& loadDtd,
                     tFindings& findings) {
  tIndexRead read;
  auto parsed = tIndexDocument::Parse(xmlText, file, findings);
  if (!parsed.Document) {
    read.Reason = std::move(parsed.Reason);
    return read;
  }
  const tIndexDocument& document = *parsed.Document;
  const std::string systemId = document.SystemId();
  std::string dtdEntry;
  if (systemId.empty()) {
    findings.Add({tCode::kNoDoctype, file, 1, 0, {}, {}, "no DOCTYPE names the DTD"});
  } else if (ResolveUrl(systemId, &dtdEntry) != tUrlKind::kInside) {
    dtdEntry.clear();
    findings.Add(
        {tCode::kDtdOutside, file, 1, 0, {}, systemId, "the DTD " + systemId + " is not opened"});
  }
  if (document.DeclaresEntities()) {
    findings.Add(
        {tCode::kIndexEntities, file, 1, 0, {}, {}, "the internal subset declares entities"});
  }
  if (const auto dtd = loadDtd(dtdEntry)) document.Validate(dtd->Text, dtd->Name, findings);

  tExportIndex index = tModelReader(file, findings).Read(document.Root());
  index.DtdName = systemId;
  ResolveForeignKeys(index, file, findings);
  read.Index = std::move(index);
  return read;
}

}  // namespace check
