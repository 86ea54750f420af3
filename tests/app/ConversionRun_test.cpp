// Whole runs of the program: destination completion, INI handling, console
// lines, the log, and both input forms of the sample journal.
#include "app/ConversionRun.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "LogTestHelp.h"
#include "app/JorvexMain.h"
#include "check/ExportCheck.h"
#include "platform/Interrupt.h"
#include "platform/WholeFile.h"

namespace {

using testing_support::TempDir;
constexpr size_t npos = std::string::npos;

const std::string kSampleNative = std::string(JORVEX_SOURCE_DIR) + "/examples/sample-native.txt";
const std::string kSampleAscii = std::string(JORVEX_SOURCE_DIR) + "/examples/sample-ascii.txt";

class ConversionRunTest : public log_test::RunFixture {
 protected:
  void WriteIni() const {
    program_.Write("Jorvex.ini", "[GENERAL]\nSuppName=Test\n[KVD]\nPath=/kvd/\n");
  }
  int Run(std::vector<std::string> args) {
    console_.clear();
    return JorvexMain(std::move(args));
  }
  // The log without its header and elapsed-time lines, which carry the clock.
  static std::string StableLog(const std::string& path) {
    std::string text = TempDir::ReadFile(path);
    text = std::regex_replace(text, std::regex("> =====[^\n]*\n"), "");
    return std::regex_replace(text, std::regex("Elapsed time:[^\n]*\n"), "");
  }
};

class DestinationTest : public log_test::LogFixture {};

TEST_F(DestinationTest, CompletedForTheMode) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    uint8_t Mode;
    std::string Dest;
    bool Stamp;
    std::string Expected;
  } cases[] = {
      {kExportModeIdea, "/out", false, "/out/"},
      {kExportModeIdea, "/out/", true, "/out/"},
      {kExportModeIdea, "/a/./b/../out", false, "/a/out/"},
      {kExportModeIdea, "rel", false, cwd + "/rel/"},
      {kExportModeInsika, "/out/", false, "/out/INSIKA.xml"},
      {kExportModeInsika, "/out", false, "/out.xml"},
      {kExportModeInsika, "/out/ ", false, "/out/INSIKA.xml"},
      {kExportModeInsika, "/out/data.XML", false, "/out/data.XML"},
      {kExportModeInsika, "/out/data.v1.xml", true, "/out/data.v1_2016-06-22_07-49-19.xml"},
      {kExportModeInsika, "/out/", true, "/out/INSIKA_2016-06-22_07-49-19.xml"},
      {kExportModeInsika, "name", false, cwd + "/name.xml"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompleteDestination(c.Mode, c.Dest, c.Stamp), c.Expected)
        << int(c.Mode) << " " << c.Dest << " " << c.Stamp;
  }
}

// The stamp names every IDEA run's folder (the whole runs below).
TEST_F(DestinationTest, JournalTypesOfTheModes) {
  EXPECT_EQ(JournalTypesFor(kExportModeIdea), std::bitset<256>().set(1).set(5));
  EXPECT_EQ(JournalTypesFor(kExportModeInsika), std::bitset<256>().set(1));
}

TEST_F(ConversionRunTest, IdeaWithoutIniFailsAfterCreatingLogAndFolder) {
  const std::string dest = dir_.Path("new/dest");
  EXPECT_EQ(Run({kSampleNative, dest}), kExitOk);
  const std::string ini = program_.Path("Jorvex.ini");
  EXPECT_NE(console_.find("\nJorvex [EXCEPTION]: Datei \"" + ini + "\" nicht gefunden!\n"), npos)
      << console_;
  EXPECT_TRUE(std::filesystem::is_directory(dest + "/2016-06-22_07-49-19"));
  std::string log = TempDir::ReadFile(dest + "/ExportInfo.txt");
  EXPECT_NE(log.find("\r\n\r\n  Datei \"" + ini + "\" nicht gefunden! [ERROR]\r\n"), npos) << log;
  EXPECT_FALSE(std::filesystem::exists(ini));
}

// Without an INI file an INSIKA run creates one with the default folder. An
// installed program's INI file is a link into /etc that an ordinary user may
// not create; the run then goes on all the same, with a hint in the log.
TEST_F(ConversionRunTest, InsikaWithoutIniCreatesItOrGoesOnWithAHint) {
  const std::string ini = program_.Path("Jorvex.ini");
  std::filesystem::create_symlink(program_.Path("missing/Jorvex.ini"), ini);
  EXPECT_EQ(Run({kSampleNative, dir_.Path("x") + "/", "/INSIKA", "/L"}), kExitOk);
  EXPECT_EQ(console_.find("[EXCEPTION]"), npos) << console_;
  const std::string log = dir_.Read("x/ExportInfo.txt");
  EXPECT_NE(log.find("INI file \"" + ini + "\" could not be written: "), npos) << log;
  EXPECT_NE(log.find("[HINT]\r\n"), npos) << log;
  EXPECT_TRUE(dir_.Exists("x/INSIKA.xml"));

  std::filesystem::remove(ini);
  EXPECT_EQ(Run({kSampleNative, dir_.Path("y") + "/", "/INSIKA"}), kExitOk);
  EXPECT_EQ(console_.find("[EXCEPTION]"), npos) << console_;
  EXPECT_NE(console_.find("Convert: " + kSampleNative + " -> " + dir_.Path("y/INSIKA.xml") +
                          "\nMode: INSIKA\n"),
            npos)
      << console_;
  EXPECT_NE(program_.Read("Jorvex.ini").find("[KVD]\r\nPath=" + program_.Path() + "/"), npos);
  EXPECT_TRUE(dir_.Exists("y/INSIKA.xml"));
  EXPECT_FALSE(dir_.Exists("y/INSIKA.xml.tmp"));
}

TEST_F(ConversionRunTest, InsikaDocumentOfTheSampleInBothForms) {
  program_.Write("Jorvex.ini", "[KVD]\nPath=" + std::string(JORVEX_SOURCE_DIR) + "/examples/kvd\n");
  EXPECT_EQ(Run({kSampleNative, dir_.Path("n") + "/", "/INSIKA", "/L"}), kExitOk);
  EXPECT_EQ(Run({kSampleAscii, dir_.Path("a") + "/", "/INSIKA", "/S=1"}), kExitOk);
  const std::string doc = dir_.Read("n/INSIKA.xml");
  EXPECT_TRUE(doc == dir_.Read("a/INSIKA.xml"));
  EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<insika>", 0), 0u);
  EXPECT_EQ(dir_.Read("n/ExportInfo.txt").find(" not found: "), std::string::npos);
  size_t transactions = 0;  // their contents: InsikaXmlExport_test
  for (size_t at = 0; (at = doc.find("<transaction>", at)) != npos; ++at) ++transactions;
  EXPECT_EQ(transactions, 7u);
}

TEST_F(ConversionRunTest, RelativeDtdSettingNamesAFileInTheProgramFolder) {
  const std::string folder = program_.Path() + "/";
  const struct {
    std::string Setting;
    std::string Expected;
  } cases[] = {
      {"", folder + "gdpdu-01-05-2004.dtd"},
      {"DTD=gdpdu-01-09-2004.dtd\n", folder + "gdpdu-01-09-2004.dtd"},
      {"DTD=/usr/share/x.dtd\n", "/usr/share/x.dtd"},
      {"DTD=\n", ""},
  };
  for (const auto& c : cases) {
    program_.Write("Jorvex.ini", "[GENERAL]\n" + c.Setting);
    EXPECT_EQ(ReadSupplierRec(program_.Path("Jorvex.ini")).DtdFile, c.Expected) << c.Setting;
  }
}

TEST_F(ConversionRunTest, ConsoleOfAWholeRun) {
  WriteIni();
  EXPECT_EQ(Run({kSampleNative, dir_.Path("d")}), kExitOk);
  EXPECT_EQ(console_.rfind("## ", 0), 0u);
  EXPECT_NE(console_.find(" ##\n\nConvert: " + kSampleNative + " -> " + dir_.Path("d") +
                          "/\nMode: IDEA\n\n\rConverting... "),
            npos)
      << console_;
  EXPECT_NE(console_.find("\rCompleted.              \n"), npos) << console_;
  EXPECT_EQ(console_.find("[EXCEPTION]"), npos) << console_;

  // Quiet: banner, Convert and Mode lines, nothing else.
  EXPECT_EQ(Run({kSampleNative, dir_.Path("q"), "/Q"}), kExitOk);
  EXPECT_EQ(console_.find("Converting"), npos) << console_;
  EXPECT_EQ(console_.substr(console_.find("Convert:")),
            "Convert: " + kSampleNative + " -> " + dir_.Path("q") + "/\nMode: IDEA\n");
}

// Failures end in an error entry and one console line of their own, also
// after progress texts; damage read past is an error entry of a finished run.
TEST_F(ConversionRunTest, FailuresAndDamageAreReported) {
  WriteIni();
  const std::string missing = dir_.Path("nothing.txt");
  EXPECT_EQ(Run({missing, dir_.Path("d"), "/Q"}), kExitOk);
  const std::string expected = "File: " + missing + "; Mode: Reset";
  EXPECT_NE(console_.find("Jorvex [EXCEPTION]: [tKvTextFileDos] " + expected + " Code: 2 ("), npos)
      << console_;
  std::string log = dir_.Read("d/ExportInfo.txt");
  EXPECT_NE(log.find(expected + "\rCode: 2 ("), npos) << log;
  EXPECT_NE(log.find("Errors:"), npos) << log;

  dir_.Write("file", "x");
  EXPECT_EQ(Run({kSampleNative, dir_.Path("file/sub"), "/Q"}), kExitOk);
  EXPECT_NE(console_.find("Jorvex [EXCEPTION]: "), npos) << console_;

  const std::string sample = TempDir::ReadFile(kSampleNative);
  dir_.Write("bad.txt", sample + "Foo: 1\r\n");
  EXPECT_EQ(Run({dir_.Path("bad.txt"), dir_.Path("bad")}), kExitOk);
  EXPECT_NE(console_.find("%\nJorvex [EXCEPTION]: "), npos) << console_;

  dir_.Write("cut.txt", sample.substr(0, sample.find("Fld: 1=BIN", sample.rfind("Jnl:"))));
  EXPECT_EQ(Run({dir_.Path("cut.txt"), dir_.Path("cut"), "/Q"}), kExitOk);
  log = dir_.Read("cut/ExportInfo.txt");
  EXPECT_NE(log.find("\n  => Error: The journal ends inside the entry that begins in line 1139! "
                     "[ERROR]\r\n"),
            npos)
      << log;
  EXPECT_NE(log.find("Errors:" + std::string(33, ' ') + "      1 [ERROR]"), npos) << log;
}

// The exit status: 0 whatever happened, unless /RC=ON asks for the outcome.
TEST_F(ConversionRunTest, ExitStatusWithAndWithoutRc) {
  WriteIni();
  const std::string sample = TempDir::ReadFile(kSampleNative);
  dir_.Write("cut.txt", sample.substr(0, sample.find("Fld: 1=BIN", sample.rfind("Jnl:"))));
  dir_.Write("file", "x");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int withRc;
    int64_t fullAfter = -1;  // bytes the destination takes before it is full
  };
  const Case cases[] = {
      {"clean sample", {kSampleNative, dir_.Path("clean")}, kExitOk},
      {"error in the log", {dir_.Path("cut.txt"), dir_.Path("cut")}, kExitLogErrors},
      {"missing input", {dir_.Path("nothing.txt"), dir_.Path("missing")}, kExitRunFailed},
      {"unusable destination", {kSampleNative, dir_.Path("file/sub")}, kExitRunFailed},
      {"full destination", {kSampleNative, dir_.Path("full")}, kExitRunFailed, 1000},
      {"bad parameters", {"a", "b", "c", "d"}, kExitParameterError},
  };
  for (const Case& c : cases) {
    for (bool rc : {false, true}) {
      std::vector<std::string> args = c.args;
      args.push_back("/Q");
      if (rc) args.push_back("-rc:on");
      if (rc) args[1] += "-rc";  // a destination of its own
      const int expected = rc || c.withRc == kExitParameterError ? c.withRc : kExitOk;
      platform::SetWholeFileFaultForTesting(c.fullAfter, ENOSPC);
      EXPECT_EQ(Run(args), expected) << c.what << (rc ? " with /RC=ON" : "");
      platform::SetWholeFileFaultForTesting(-1, 0);
    }
  }
}

// Both forms (also saved with a UTF-8 byte-order mark) and both native kinds
// give the same log and the same journal view.
TEST_F(ConversionRunTest, BothInputFormsGiveTheSameLogAndView) {
  WriteIni();
  dir_.Write("bom-native.txt", "\xEF\xBB\xBF" + TempDir::ReadFile(kSampleNative));
  dir_.Write("bom-ascii.txt", "\xEF\xBB\xBF" + TempDir::ReadFile(kSampleAscii));
  const std::pair<std::string, const char*> inputs[] = {{kSampleNative, "/S=3"},
                                                        {kSampleAscii, "/S=1"},
                                                        {kSampleNative, "/S=2"},
                                                        {dir_.Path("bom-native.txt"), "/S=3"},
                                                        {dir_.Path("bom-ascii.txt"), "/S=1"}};
  const std::string view = "/2016-06-22_07-49-19/JournalView.txt";
  for (const char* detail : {"/L", "/Q"}) {
    std::string first, firstView;
    for (size_t i = 0; i < std::size(inputs); ++i) {
      const std::string dest = dir_.Path(detail + 1 + std::to_string(i));
      EXPECT_EQ(Run({inputs[i].first, dest, detail, inputs[i].second, "/V"}), kExitOk);
      if (i == 0) first = StableLog(dest + "/ExportInfo.txt");
      if (i == 0) firstView = TempDir::ReadFile(dest + view);
      EXPECT_EQ(StableLog(dest + "/ExportInfo.txt"), first) << detail << " " << inputs[i].first;
      EXPECT_EQ(TempDir::ReadFile(dest + view), firstView) << detail << " " << inputs[i].first;
      EXPECT_FALSE(std::filesystem::exists(dest + view + ".tmp"));
    }
    EXPECT_EQ(first.find("[ERROR]"), npos) << first;
    EXPECT_NE(first.find("Processed blocks:"), npos) << first;
    EXPECT_EQ(
        firstView.rfind("Fiscal journal type: Deutschland (1)\r\n\r\n\r\nRegistrierungs-Start", 0),
        0u);
  }
}

// The document and the view appear whole or not at all on a device that
// fills part way. An
// interrupted run publishes nothing, removes its empty folder, logs the
// interruption and ends with 128 + the signal. An existing date-time folder
// is never written into: the run takes the next free suffix.
TEST_F(ConversionRunTest, FullDeviceInterruptionAndTakenFolder) {
  WriteIni();
  const std::vector<std::string> args = {kSampleNative, dir_.Path("d/"), "/INSIKA", "/V", "/Q"};
  EXPECT_EQ(Run(args), kExitOk);
  const std::string document = dir_.Read("d/INSIKA.xml"), view = dir_.Read("d/JournalView.txt");
  const auto entries = [&](const char* folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path(folder))) {
      names.push_back(e.path().filename().string());
    }
    return names;
  };
  const int64_t total = static_cast<int64_t>(document.size() + view.size());
  for (const int64_t budget : {int64_t{0}, total / 4, total / 2, total - 1}) {
    std::filesystem::remove_all(dir_.Path("d"));
    platform::SetWholeFileFaultForTesting(budget, ENOSPC);
    EXPECT_EQ(Run(args), kExitOk);
    platform::SetWholeFileFaultForTesting(-1, 0);
    EXPECT_NE(console_.find("Jorvex [EXCEPTION]: "), npos) << budget;
    for (const std::string& name : entries("d")) {
      const std::string content = dir_.Read("d/" + name);
      EXPECT_TRUE(name == "ExportInfo.txt" || (name == "INSIKA.xml" && content == document) ||
                  (name == "JournalView.txt" && content == view))
          << name << " " << budget;
    }
  }
  for (const int signal : {SIGINT, SIGTERM}) {
    for (const char* mode : {"/IDEA", "/INSIKA"}) {
      std::filesystem::remove_all(dir_.Path("i"));
      platform::SetInterruptForTesting(signal);
      EXPECT_EQ(Run({kSampleNative, dir_.Path("i/"), mode, "/V", "/Q"}), 128 + signal);
      platform::SetInterruptForTesting(0);
      EXPECT_NE(dir_.Read("i/ExportInfo.txt").find("The run was interrupted (SIG"), npos);
      EXPECT_EQ(entries("i"), std::vector<std::string>{"ExportInfo.txt"});
    }
  }
  const std::string taken = "t/2016-06-22_07-49-19/";
  std::filesystem::create_directories(dir_.Path(taken));
  dir_.Write(taken + "Foo.csv", "old");
  EXPECT_EQ(Run({kSampleNative, dir_.Path("t"), "/Q"}), kExitOk);
  EXPECT_EQ(entries(taken.c_str()), std::vector<std::string>{"Foo.csv"});
  EXPECT_TRUE(dir_.Exists("t/2016-06-22_07-49-19_2/index.xml"));
}

// /ZIP: the package beside the export proves itself with sha256sum -c and
// leaves the journal view out; one that cannot be written fails the run and
// leaves the export whole.
TEST_F(ConversionRunTest, HandOverPackage) {
  WriteIni();
  EXPECT_EQ(Run({kSampleNative, dir_.Path("p/"), "/ZIP", "/V", "/Q"}), kExitOk);
  std::string stamp;
  for (const auto& e : std::filesystem::directory_iterator(dir_.Path("p"))) {
    if (e.is_directory()) stamp = e.path().filename().string();
  }
  const std::string sums = dir_.Read("p/" + stamp + ".sha256");
  EXPECT_EQ(sums.find("JournalView"), npos);
  EXPECT_NE(sums.find(stamp + "/index.xml\n"), npos);
  const std::string verify = "cd '" + dir_.Path("p") + "' && sha256sum -c --quiet " + stamp + ".sha256";
  EXPECT_EQ(std::system(verify.c_str()), 0);
  const auto report = [](const std::string& path) {
    check::tCheckOptions options;
    options.NotPartOfExport = {"JournalView.txt"};
    return check::CheckExport(path, options).Findings.Counts();
  };
  EXPECT_EQ(report(dir_.Path("p/" + stamp + ".zip")), report(dir_.Path("p/" + stamp)));
  const std::string note = dir_.Read("p/" + stamp + ".txt");
  for (const char* line : {"Journal: sample-native.txt\r\n", "  101  serial number 4711001  Kasse 1\r\n",
                           "  Business days: 02.01.2024 - 04.01.2024\r\n", "Export check: not run\r\n"}) {
    EXPECT_NE(note.find(line), npos) << line;
  }
  EXPECT_EQ(Run({kSampleNative, dir_.Path("i/"), "/INSIKA", "/ZIP", "/Q"}), kExitOk);
  EXPECT_NE(dir_.Read("i/INSIKA.sha256").find("  INSIKA.xml\n"), npos);

  platform::SetWholeFileFaultForTesting(0, ENOSPC, ".zip");
  EXPECT_EQ(Run({kSampleNative, dir_.Path("f/"), "/ZIP", "/Q"}), kExitOk);
  platform::SetWholeFileFaultForTesting(-1, 0);
  EXPECT_NE(console_.find(".zip\": No space left on device"), npos) << console_;
  for (const auto& e : std::filesystem::directory_iterator(dir_.Path("f"))) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "ExportInfo.txt" || (e.is_directory() && dir_.Exists("f/" + name + "/index.xml")))
        << name;
  }
}

// A /FROM or /TO that is no date, or FROM after TO, ends the run before
// anything is written.
TEST_F(ConversionRunTest, BadPeriodIsAParameterError) {
  WriteIni();
  for (const char* bad : {"/FROM=31.02.2024", "/TO=2024-01-01", "/FROM=", "/FROM=1.1.2024"}) {
    EXPECT_EQ(Run({kSampleNative, dir_.Path("b/"), bad}), kExitParameterError) << bad;
    EXPECT_NE(console_.find(bad), npos) << console_;
  }
  EXPECT_EQ(Run({kSampleNative, dir_.Path("b/"), "/FROM=02.01.2024", "/TO=01.01.2024"}), kExitParameterError);
  EXPECT_FALSE(dir_.Exists("b"));
}

}  // namespace
