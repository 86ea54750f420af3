// Whole table exports of the sample journal and of a generated one: the
// index validates against the shipped DTD and declares exactly the files in
// the folder; every line has its declared number of fields, numbers use the
// declared symbols and decimals, dates are valid; both input forms give the
// same bytes; a run that fails part-way, also on a full device, leaves no
// temporary file and publishes only whole files.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "LogTestHelp.h"
#include "app/JorvexMain.h"
#include "gen/AsciiWriter.h"
#include "gen/GenOutput.h"
#include "gen/NativeWriter.h"
#include "gen/Shop.h"
#include "gen/TeeSink.h"
#include "platform/TempDir.h"
#include "platform/WholeFile.h"
#include "stream/KvTypes.h"

namespace {

constexpr size_t npos = std::string::npos;
using testing_support::TempDir;
namespace fs = std::filesystem;
using tFiles = std::map<std::string, std::string>;

// A table read back: its column names and its rows of fields.
struct tTable {
  std::vector<std::string> Names;
  std::vector<std::vector<std::string>> Rows;
  // The values of a column (none when the table lacks it).
  std::set<std::string> Column(const std::string& name) const {
    std::set<std::string> values;
    for (size_t i = 0; i < Names.size(); ++i) {
      if (Names[i] != name) continue;
      for (const auto& row : Rows) values.insert(row[i]);
    }
    return values;
  }
};
using tTables = std::map<std::string, tTable>;

const std::string kSource = JORVEX_SOURCE_DIR;
const std::string kDtd = kSource + "/data/gdpdu-01-09-2004.dtd";
constexpr const char* kStamp = "2016-06-22_07-49-19";

// libxml2's messages: the DTD's content model for Media is one it calls
// non-deterministic, on every validation; the results are what the tests check.
void Silent(void*, const char*, ...) {}

std::string NodeText(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

std::vector<xmlNodePtr> Children(xmlNodePtr node, const char* name = nullptr) {
  std::vector<xmlNodePtr> out;
  for (xmlNodePtr c = node->children; c != nullptr; c = c->next) {
    if (c->type == XML_ELEMENT_NODE &&
        (name == nullptr || xmlStrcmp(c->name, reinterpret_cast<const xmlChar*>(name)) == 0)) {
      out.push_back(c);
    }
  }
  return out;
}

// Fields of a CSV line; ";" inside quotes belongs to the field.
std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

class IdeaExportTest : public log_test::RunFixture {
 protected:
  IdeaExportTest() { program_.Write("Jorvex.ini", "[GENERAL]\nDTD=" + kDtd + "\nSuppName=Test\n"); }

  // Converts journal into a fresh folder and returns the export's files.
  tFiles Convert(const std::string& journal, bool ascii, const char* extra = "/Q",
                 const char* extra2 = "/Q") {
    const std::string dest = dir_.Path("run" + std::to_string(++runs_));
    std::vector<std::string> args = {journal, dest, "/Q", extra, extra2};
    if (ascii) args.push_back("/S=1");
    EXPECT_EQ(JorvexMain(args), kExitOk);
    tFiles files;
    if (!fs::exists(dest + "/" + kStamp)) return files;
    for (const auto& entry : fs::directory_iterator(dest + "/" + kStamp)) {
      files[entry.path().filename().string()] = TempDir::ReadFile(entry.path().string());
    }
    last_log_ = TempDir::ReadFile(dest + "/ExportInfo.txt");
    return files;
  }

  // The checks every export must pass; returns the tables read back.
  static tTables CheckExport(const tFiles& files) {
    tTables tables;
    xmlSetGenericErrorFunc(nullptr, Silent);
    EXPECT_TRUE(files.count("index.xml"));
    if (!files.count("index.xml")) return tables;
    EXPECT_TRUE(files.count("gdpdu-01-09-2004.dtd"));
    const std::string& index = files.at("index.xml");
    xmlDocPtr doc = xmlReadMemory(index.data(), static_cast<int>(index.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
    xmlDtdPtr dtd = xmlParseDTD(nullptr, reinterpret_cast<const xmlChar*>(kDtd.c_str()));
    if (doc == nullptr || dtd == nullptr) {
      ADD_FAILURE() << "index.xml or the DTD does not parse";
      return tables;
    }
    xmlValidCtxtPtr valid = xmlNewValidCtxt();
    valid->error = nullptr;
    valid->warning = nullptr;
    EXPECT_EQ(xmlValidateDtd(valid, doc, dtd), 1) << "index.xml does not follow the DTD";
    xmlFreeValidCtxt(valid);
    xmlFreeDtd(dtd);

    std::set<std::string> declared;
    const xmlNodePtr media = Children(xmlDocGetRootElement(doc), "Media").at(0);
    for (xmlNodePtr table : Children(media, "Table")) {
      const std::string url = NodeText(Children(table, "URL").at(0));
      declared.insert(url);
      EXPECT_TRUE(files.count(url)) << url;
      if (!files.count(url)) continue;
      tTable& read = tables[url];
      EXPECT_EQ(NodeText(Children(table, "DecimalSymbol").at(0)), ",");
      std::vector<xmlNodePtr> columns = Children(Children(table, "VariableLength").at(0));
      std::erase_if(columns, [](xmlNodePtr c) { return xmlStrcmp(c->name, BAD_CAST "ForeignKey") == 0; });
      for (xmlNodePtr column : columns)
        read.Names.push_back(NodeText(Children(column, "Name").at(0)));
      const std::string& csv = files.at(url);
      EXPECT_FALSE(csv.empty()) << url;
      size_t start = 0;
      for (size_t end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = csv.substr(start, end - start);
        const std::vector<std::string> fields = Split(line);
        EXPECT_EQ(fields.size(), columns.size()) << url << ": " << line;
        if (fields.size() != columns.size()) continue;
        for (size_t i = 0; i < fields.size(); ++i) CheckField(url, columns[i], fields[i]);
        read.Rows.push_back(fields);
      }
      EXPECT_EQ(start, csv.size()) << url << " ends without a line end";
    }
    xmlFreeDoc(doc);
    for (const auto& [name, content] : files) {
      if (name.ends_with(".csv")) {
        EXPECT_TRUE(declared.count(name)) << name << " not declared";
      }
      EXPECT_FALSE(name.ends_with(".tmp")) << name;
    }
    CheckKeys(tables);
    return tables;
  }

  // Keys are unique, and every link finds its parent row.
  static void CheckKeys(const tTables& tables) {
    auto keys = [&](const std::string& file, const std::string& column) {
      auto it = tables.find(file);
      return it == tables.end() ? std::set<std::string>() : it->second.Column(column);
    };
    for (const auto& [file, table] : tables) {
      for (const char* key : {"DOC_KEY", "BLK_KEY", "REG_KEY", "INFO_KEY"}) {
        EXPECT_EQ(table.Column(key).size(), table.Column(key).empty() ? 0 : table.Rows.size())
            << file << ": " << key << " not unique";
      }
      // TransactDetail.csv links to TransactHead.csv, BookMemMedia.csv to BookMemHead.csv.
      std::string prefix;
      for (const std::string suffix : {"Head.csv", "Detail.csv", "Media.csv"}) {
        if (file.ends_with(suffix)) prefix = file.substr(0, file.size() - suffix.size());
      }
      const std::pair<std::string, std::set<std::string>> parents[] = {
          {"BLK_KEY_LINK", keys("BlockInfo.csv", "BLK_KEY")},
          {"REG_KEY_LINK", keys("Register.csv", "REG_KEY")},
          {"DOC_KEY_LINK", keys(prefix + "Head.csv", "DOC_KEY")}};
      for (const auto& [link, targets] : parents) {
        for (const std::string& value : table.Column(link)) {
          EXPECT_TRUE(targets.count(value)) << file << ": " << link << " " << value << " unmatched";
        }
      }
    }
  }

  static void CheckField(const std::string& url, xmlNodePtr column, const std::string& field) {
    if (field.empty()) return;
    static const std::regex kNumber("-?([0-9]{1,3}(\\.[0-9]{3})*|[0-9]+)(,([0-9]+))?");
    static const std::regex kDate("([0-9]{2})\\.([0-9]{2})\\.([0-9]{4})");
    const std::string name = NodeText(Children(column, "Name").at(0));
    std::smatch m;
    if (!Children(column, "Numeric").empty()) {
      EXPECT_TRUE(std::regex_match(field, m, kNumber)) << url << " " << name << ": " << field;
      const std::vector<xmlNodePtr> accuracy = Children(Children(column, "Numeric")[0], "Accuracy");
      const size_t decimals = accuracy.empty() ? 0 : std::stoul(NodeText(accuracy[0]));
      EXPECT_LE(m[4].length(), static_cast<long>(decimals)) << url << " " << name << ": " << field;
    } else if (!Children(column, "Date").empty()) {
      EXPECT_TRUE(std::regex_match(field, m, kDate)) << url << " " << name << ": " << field;
      if (m.empty()) return;
      tKvDateTime date;
      EXPECT_TRUE(tKvDateTime::TryEncode(std::stoi(m[3]), std::stoi(m[2]), std::stoi(m[1]), 0, 0, 0,
                                         date))
          << url << " " << name << ": " << field;
    }
  }

  std::string last_log_;
  int runs_ = 0;
};

TEST_F(IdeaExportTest, SampleJournalInBothForms) {
  const tFiles native = Convert(kSource + "/examples/sample-native.txt", false);
  const tTables tables = CheckExport(native);
  for (const char* table : {"BlockInfo.csv", "Register.csv", "Report.csv", "TransactHead.csv",
                            "TransactDetail.csv", "TransactMedia.csv", "EcrEventInfo.csv"}) {
    EXPECT_TRUE(tables.count(table)) << table;
  }
  EXPECT_EQ(Convert(kSource + "/examples/sample-ascii.txt", true), native);
}

TEST_F(IdeaExportTest, GeneratedJournalInBothFormsAndDamaged) {
  jgen::StringOut nativeText, asciiText;
  {
    jgen::NativeWriter native(&nativeText);
    jgen::AsciiWriter ascii(&asciiText, 2);
    jgen::TeeSink tee(&native, &ascii);
    jgen::WriteRandom(&tee, 7, uint64_t{2} << 20);
  }
  dir_.Write("gen-native.txt", nativeText.Text());
  dir_.Write("gen-ascii.txt", asciiText.Text());
  const tFiles native = Convert(dir_.Path("gen-native.txt"), false);
  CheckExport(native);
  EXPECT_EQ(Convert(dir_.Path("gen-ascii.txt"), true), native);

  // Every fifth entry date nulled: no line may refer to a line that is missing.
  std::string undated = nativeText.Text();
  for (size_t at = 0, n = 0; (at = undated.find("Fld: 1=TI: ", at + 1)) != std::string::npos;) {
    if (++n % 5 == 0) undated.replace(at + 11, 19, "00.00.0000/00:00:00");
  }
  dir_.Write("gen-undated.txt", undated);
  CheckExport(Convert(dir_.Path("gen-undated.txt"), false));

  // A block in the middle whose data is damaged: the run reports the failure
  // and publishes no temporary file.
  std::string damaged = asciiText.Text();
  const size_t middle = damaged.find(";D:", damaged.size() / 2);
  ASSERT_NE(middle, std::string::npos);
  damaged.replace(middle + 3, 40, std::string(40, 'F'));
  dir_.Write("gen-damaged.txt", damaged);
  const tFiles partial = Convert(dir_.Path("gen-damaged.txt"), true);
  EXPECT_NE(last_log_.find("[ERROR]"), std::string::npos);
  for (const auto& [name, content] : partial) EXPECT_FALSE(name.ends_with(".tmp")) << name;

  // A device that fills part way (all files, or one table's): every file
  // under a final name is whole, each line one of the run without the
  // fault; the index declares exactly the published tables; no view.
  const auto lines = [](const std::string& text) {
    std::set<std::string> out;
    for (size_t start = 0, end; (end = text.find('\n', start)) != npos; start = end + 1) {
      out.insert(text.substr(start, end - start));
    }
    return out;
  };
  const std::pair<int64_t, std::string> faults[] = {
      {0, ""}, {20'000, ""}, {150'000, ""}, {900'000, ""}, {9'000, "TransactDetail.csv"}};
  for (const auto& [budget, only] : faults) {
    for (const bool ascii : {false, true}) {
      SCOPED_TRACE(std::to_string(budget) + only + (ascii ? " ascii" : " native"));
      platform::SetWholeFileFaultForTesting(budget, ENOSPC, only);
      const tFiles full = Convert(dir_.Path(ascii ? "gen-ascii.txt" : "gen-native.txt"), ascii, "/V");
      platform::SetWholeFileFaultForTesting(-1, 0);
      EXPECT_NE(last_log_.find("(No space left on device) (line "), npos);
      EXPECT_EQ(full.count("JournalView.txt") + full.count(only), 0u);
      EXPECT_TRUE(only.empty() || full.count("TransactHead.csv"));  // no table dropped for it
      if (full.count("index.xml")) CheckExport(full);
      for (const auto& [name, content] : full) {
        if (name == "index.xml") continue;
        const std::set<std::string> wanted = lines(native.at(name));
        for (const std::string& line : lines(content)) ASSERT_TRUE(wanted.count(line)) << line;
      }
    }
  }
}

// /FROM and /TO: the export of the periods whose closing falls in the range
// holds, table by table, a run of the full export's lines (keys aside, which
// count from 1 in every export), the same from both forms; a range without a
// closing gives an export without tables, and says so.
TEST_F(IdeaExportTest, PeriodSelection) {
  jgen::StringOut nativeText, asciiText;
  {
    jgen::NativeWriter native(&nativeText);
    jgen::AsciiWriter ascii(&asciiText, 2);
    jgen::TeeSink tee(&native, &ascii);
    jgen::WriteRandom(&tee, 3, uint64_t{4} << 20);
  }
  dir_.Write("n.txt", nativeText.Text());
  dir_.Write("a.txt", asciiText.Text());
  const tTables full = CheckExport(Convert(dir_.Path("n.txt"), false));
  std::vector<std::string> closings;  // the days of the registration ends, in order
  const tTable& reg = full.at("Register.csv");
  for (const auto& row : reg.Rows) {
    if (row[5] == "4") closings.push_back(row[2]);
  }
  ASSERT_GE(closings.size(), 4u);
  const std::string from = "/FROM=" + closings[1], to = "/TO=" + closings[2];
  const tFiles selected = Convert(dir_.Path("n.txt"), false, from.c_str(), to.c_str());
  EXPECT_EQ(Convert(dir_.Path("a.txt"), true, from.c_str(), to.c_str()), selected);
  const tTables part = CheckExport(selected);
  const auto withoutKeys = [](const tTable& table) {
    std::vector<std::string> lines;
    for (const auto& row : table.Rows) {
      std::string line;
      for (size_t i = 0; i < row.size(); ++i) {
        if (!table.Names[i].ends_with("_KEY") && !table.Names[i].ends_with("_KEY_LINK")) line += row[i] + ";";
      }
      lines.push_back(line);
    }
    return lines;
  };
  for (const auto& [name, table] : part) {
    const std::vector<std::string> all = withoutKeys(full.at(name)), some = withoutKeys(table);
    EXPECT_NE(std::search(all.begin(), all.end(), some.begin(), some.end()), all.end()) << name;
  }
  std::vector<std::string> selectedClosings;
  for (const auto& row : part.at("Register.csv").Rows) {
    if (row[5] == "4") selectedClosings.push_back(row[2]);
  }
  EXPECT_EQ(selectedClosings, (std::vector<std::string>{closings[1], closings[2]}));
  EXPECT_NE(last_log_.find("Periods selected: 2, left out: "), npos);

  const tFiles none = Convert(dir_.Path("n.txt"), false, "/FROM=01.01.1990", "/TO=02.01.1990");
  EXPECT_EQ(none.size(), 2u);  // index.xml and the DTD
  EXPECT_NE(last_log_.find("No period lies in the period asked for: the export holds no table."), npos);
}

}  // namespace
