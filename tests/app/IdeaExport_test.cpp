// Whole table exports of the sample journal and of a generated one: the
// index validates against the shipped DTD and declares exactly the files in
// the folder; every line has its declared number of fields, numbers use the
// declared symbols and decimals, dates are valid; both input forms give the
// same bytes; a run that fails part-way, also on a full device, leaves no
// temporary file and publishes only whole files.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LogTestHelp.h"
#include "app/JorvexMain.h"
#include "check/CheckReport.h"
#include "check/ExportCheck.h"
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
};
using tTables = std::map<std::string, tTable>;

const std::string kSource = JORVEX_SOURCE_DIR;
const std::string kDtd = kSource + "/data/gdpdu-01-09-2004.dtd";
constexpr const char* kStamp = "2016-06-22_07-49-19";

// libxml2's messages: the DTD's content model for Media is one it calls
// non-deterministic, on every validation; the results are what the tests check.
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

  // Every export checks without error or warning (the export check reads
  // the files as an auditor's import would); returns the tables read back.
  static tTables CheckExport(const tFiles& files) {
    tTables tables;
    std::vector<std::pair<std::string, std::string>> entries(files.begin(), files.end());
    std::erase_if(entries, [](const auto& entry) { return entry.first == "JournalView.txt"; });
    check::tCheckOptions options;
    options.KnownDtdFile = kDtd;
    const check::tCheckResult result = check::CheckSource(*check::tExportSource::OpenMemory(entries), options);
    EXPECT_EQ(result.Findings.Count(check::tSeverity::kError) + result.Findings.Count(check::tSeverity::kWarning), 0u)
        << check::TextReport("export", result, false);
    if (!files.count("index.xml")) return tables;
    const std::string& index = files.at("index.xml");
    xmlDocPtr doc = xmlReadMemory(index.data(), static_cast<int>(index.size()), nullptr, nullptr, XML_PARSE_NONET);
    const xmlNodePtr media = Children(xmlDocGetRootElement(doc), "Media").at(0);
    for (xmlNodePtr table : Children(media, "Table")) {
      const std::string url = NodeText(Children(table, "URL").at(0));
      tTable& read = tables[url];
      for (xmlNodePtr column : Children(Children(table, "VariableLength").at(0))) {
        if (xmlStrcmp(column->name, BAD_CAST "ForeignKey") != 0) {
          read.Names.push_back(NodeText(Children(column, "Name").at(0)));
        }
      }
      const std::string& csv = files.at(url);
      for (size_t start = 0, end; (end = csv.find("\r\n", start)) != npos; start = end + 2) {
        read.Rows.push_back(Split(csv.substr(start, end - start)));
      }
    }
    xmlFreeDoc(doc);
    return tables;
  }

  // A random journal of about size bytes in both forms.
  static void Generate(uint64_t seed, uint64_t size, jgen::StringOut& nativeText, jgen::StringOut& asciiText) {
    jgen::NativeWriter native(&nativeText);
    jgen::AsciiWriter ascii(&asciiText, 2);
    jgen::TeeSink tee(&native, &ascii);
    jgen::WriteRandom(&tee, seed, size);
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
  CheckExport(Convert(kSource + "/examples/sample-native.txt", false, "/CH=ON"));
}

TEST_F(IdeaExportTest, GeneratedJournalInBothFormsAndDamaged) {
  jgen::StringOut nativeText, asciiText;
  Generate(7, uint64_t{2} << 20, nativeText, asciiText);
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
      {0, ""}, {20'000, ""}, {150'000, ""}, {900'000, ""}, {9'000, "TransactDetail.csv"},
      {9'000, "JournalView.txt"}};
  for (const auto& [budget, only] : faults) {
    for (const bool ascii : {false, true}) {
      SCOPED_TRACE(std::to_string(budget) + only + (ascii ? " ascii" : " native"));
      platform::SetWholeFileFaultForTesting(budget, ENOSPC, only);
      const tFiles full = Convert(dir_.Path(ascii ? "gen-ascii.txt" : "gen-native.txt"), ascii, "/V");
      platform::SetWholeFileFaultForTesting(-1, 0);
      // Raised while the journal is read (with its line), or when the files
      // are written out at the end: the view writes a megabyte at a time.
      EXPECT_NE(last_log_.find("(No space left on device)"), npos) << last_log_;
      EXPECT_EQ(full.count("JournalView.txt") + full.count(only), 0u);
      EXPECT_TRUE(only.empty() || full.count("TransactHead.csv"));  // no table dropped for it
      if (full.count("index.xml")) CheckExport(full);
      for (const auto& [name, content] : full) {
        if (name == "index.xml") continue;
        const std::set<std::string> wanted = lines(native.at(name));
        for (const std::string& line : lines(content)) ASSERT_TRUE(wanted.count(line)) << name << ": " << line;
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
  Generate(3, uint64_t{4} << 20, nativeText, asciiText);
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
