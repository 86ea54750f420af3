#include "app/JorvexMain.h"

#include <gtest/gtest.h>

#include <optional>

#include "app/Comline.h"
#include "platform/Console.h"
#include "platform/TempDir.h"

namespace {

using testing_support::CurrentDirGuard;
using testing_support::TempDir;
using Args = std::vector<std::string>;

const char kBanner[] = "## Nexo Center Fiscal Export (Germany) 1.2.1.2 ##\n\n";
const char kHelp[] =
    "Call:\n"
    "  Jorvex.exe infile [destpath] [options] [switches]\n"
    "Purpose:\n"
    "  Converts the fiscal journal Korvath native format to German IDEA format.\n"
    "Parameters:\n"
    "  infile    - Name of file to convert.\n"
    "  destpath  - IDEA: Name of destination path.\n"
    "              If not specified, the export path will be the same path as the\n"
    "              \"infile\" path.\n"
    "Options:\n"
    "  /L        - Write log file with detailed export information.\n"
    "              The resulting filename will be \"ExportInfo.txt\".\n"
    "  /V        - Write file containing journal view format.\n"
    "              The resulting filename will be \"JournalView.txt\".\n"
    "  /Q        - Quiet operation.\n"
    "  /?        - Show this help.\n"
    "Switches (<switch>=ON|OFF):\n"
    "  /CH       - IDEA: Write column headers (default=off).\n"
    "  /DT       - IDEA: A new sub directory will be created for each export, named\n"
    "              by current date and time. (default=on)\n";
const char kParameterError[] = "Jorvex: !! Error: parameter (2)\n";

// Runs the program in a fresh current folder with the console captured; the
// conversion run is replaced by one that records how it was called.
class JorvexMainTest : public testing::Test {
 protected:
  JorvexMainTest() : cwd_(dir_.Path()), folder_(std::filesystem::current_path().string() + "/") {
    platform::SetConsoleSinkForTest(&console_);
  }
  ~JorvexMainTest() override {
    platform::SetConsoleSinkForTest(nullptr);
    ComlineSetArguments({});
    Settings = tJorvexSettings{};
  }

  int Run(Args args) {
    console_.clear();
    date_time_stamp_.reset();
    return JorvexMain(std::move(args), [this](bool dateTimeStamp) {
      date_time_stamp_ = dateTimeStamp;
      return 0;
    });
  }

  TempDir dir_;
  CurrentDirGuard cwd_;
  std::string folder_;  // the current folder with a trailing "/"
  std::string console_;
  std::optional<bool> date_time_stamp_;  // set when the conversion run was called
};

TEST_F(JorvexMainTest, NoParametersShowTheHelp) {
  EXPECT_EQ(Run({}), 9999);
  EXPECT_EQ(console_, std::string(kBanner) + kHelp);
  EXPECT_FALSE(date_time_stamp_);
}

TEST_F(JorvexMainTest, HelpSwitchWinsOverEverythingElse) {
  for (const Args& args :
       {Args{"/?"}, Args{"-?"}, Args{"in.txt", "/Q", "/?"}, Args{"a", "b", "c", "d", "-?"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_EQ(Run(args), 9999);
    EXPECT_EQ(console_, std::string(kBanner) + kHelp);  // /Q is not yet evaluated
  }
}

TEST_F(JorvexMainTest, PositionalParameterCheck) {
  const struct {
    Args args;
    int exit_code;
  } cases[] = {
      {{"/L"}, 2},  // counted before the options, so no help; then nothing is left
      {{"/Q", "/V", "-INT"}, 2},
      {{"/Dummy", "/HEAPDEBUG=1"}, 9999},  // dropped before counting
      {{"a", "b", "c", "d"}, 2},
      {{"a", "b", "c", "d", "/Q"}, 2},  // the error line ignores Quiet
      {{"a"}, 0},
      {{"a", "b", "c"}, 0},
      {{"a", "/IDEA", "b", "/INSIKA", "c"}, 2},  // /INSIKA is left as a fourth parameter
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(Run(c.args), c.exit_code);
    if (c.exit_code == 2) {
      EXPECT_EQ(console_, std::string(kBanner) + kParameterError);
      EXPECT_FALSE(date_time_stamp_);
    } else if (c.exit_code == 0) {
      EXPECT_EQ(console_, kBanner);
      EXPECT_TRUE(date_time_stamp_);
    }
  }
}

TEST_F(JorvexMainTest, SwitchesAndOptions) {
  const struct {
    Args args;
    bool log, view, quiet, no_progress;
    int mode;
    bool headers, stamp;
    const char* dest;
  } cases[] = {
      {{"in"}, false, false, false, false, 0, false, true, ""},
      {{"in", "/L", "/V", "/Q", "/INT"}, true, true, true, true, 0, false, true, ""},
      {{"-l", "-v", "in", "-q", "-int"}, true, true, true, true, 0, false, true, ""},
      {{"in", "/LOG"}, false, false, false, false, 0, false, true, "/LOG"},
      {{"in", "/INSIKA"}, false, false, false, false, 1, false, false, ""},
      {{"in", "-insika", "/DT=OFF"}, false, false, false, false, 1, false, false, ""},
      {{"in", "/INSIKA", "/DT=on"}, false, false, false, false, 1, false, true, ""},
      {{"in", "/IDEA", "/INSIKA"}, false, false, false, false, 0, false, true, "/INSIKA"},
      {{"in", "/DT"}, false, false, false, false, 0, false, false, ""},
      {{"in", "/DT=YES"}, false, false, false, false, 0, false, false, ""},
      {{"in", "/ch=on"}, false, false, false, false, 0, true, true, ""},
      {{"in", "-CH:On"}, false, false, false, false, 0, true, true, ""},
      {{"in", "/CH=ON"}, false, false, false, false, 0, true, true, ""},
      {{"in", "/CH"}, false, false, false, false, 0, false, true, ""},
      {{"in", "/CH=OFF"}, false, false, false, false, 0, false, true, ""},
      {{"in", "/L", "-L"}, true, false, false, false, 0, false, true, "-L"},  // "-" only when "/"
                                                                              // failed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    ASSERT_EQ(Run(c.args), 0) << console_;
    EXPECT_EQ(Settings.WriteLog, c.log);
    EXPECT_EQ(Settings.WriteJournalView, c.view);
    EXPECT_EQ(Settings.Quiet, c.quiet);
    EXPECT_EQ(Settings.NoProgress, c.no_progress);
    EXPECT_EQ(Settings.ExportMode, c.mode);
    EXPECT_EQ(Settings.ColumnHeaders, c.headers);
    EXPECT_EQ(date_time_stamp_, c.stamp);
    EXPECT_EQ(Settings.InFile, folder_ + "in");
    EXPECT_EQ(Settings.DestPath, *c.dest ? c.dest : folder_);
  }
}

TEST_F(JorvexMainTest, SourceKindNumber) {
  const struct {
    const char* option;
    int kind;
  } cases[] = {
      {"/S=1", 0},     {"/S=2", 1},  {"/S=3", 2},
      {"-s:1", 0},     {"/S=3x", 2}, {"/S=1x", 0},
      {"/S=2.5", 1},   {"/S=+1", 0}, {"/S=01", 0},
      {"/S=x", 2},     {"/S=7", 2},  {"/S=0", 2},
      {"/S=-1", 2},    {"/S=", 2},   {"/S", 2},
      {"/S= 1", 2},    {"/S=-", 2},  {"/S=99999999999999999999999", 2},
      {"/S=1\xE4", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    ASSERT_EQ(Run({"in", c.option}), 0);
    EXPECT_EQ(Settings.SourceKind, c.kind);
    EXPECT_EQ(Settings.DestPath, folder_);  // the option was consumed
  }
  // The default is the native export; a rejected number keeps what was set.
  ASSERT_EQ(Run({"in", "/S=1", "-S=2"}), 0);
  EXPECT_EQ(Settings.SourceKind, 0);
  EXPECT_EQ(Settings.DestPath, "-S=2");
}

TEST_F(JorvexMainTest, Paths) {
  ASSERT_EQ(Run({"sub/../journal.txt", "out/dir", "third"}), 0);
  EXPECT_EQ(Settings.InFile, folder_ + "journal.txt");
  EXPECT_EQ(Settings.DestPath, "out/dir");  // as given; completed by the conversion run

  ASSERT_EQ(Run({"/data/in/journal.txt", "   "}), 0);
  EXPECT_EQ(Settings.InFile, "/data/in/journal.txt");
  EXPECT_EQ(Settings.DestPath, "/data/in/");

  // Longer paths are refused, not cut.
  const std::string longest = "/" + std::string(254, 'n');  // 255 characters
  EXPECT_EQ(Run({longest}), 0);
  EXPECT_EQ(Run({longest + "n"}), 2);
  EXPECT_EQ(console_, std::string(kBanner) + kParameterError);
  EXPECT_EQ(Run({"in", longest}), 0);
  EXPECT_EQ(Run({"in", longest + "n"}), 2);
}

TEST_F(JorvexMainTest, ParametersFromConfigAndResponseFiles) {
  dir_.Write("CMDLINE.CFG", "; defaults\r\n/L\r\n/S=1\r\n");
  dir_.Write("opts.txt", "/V\r\nout folder\r\n/CH=ON\r\n");
  ASSERT_EQ(Run({"journal.txt", "@@opts.txt"}), 0);
  EXPECT_TRUE(Settings.WriteLog);
  EXPECT_TRUE(Settings.WriteJournalView);
  EXPECT_TRUE(Settings.ColumnHeaders);
  EXPECT_EQ(Settings.SourceKind, 0);
  EXPECT_EQ(Settings.InFile, folder_ + "journal.txt");
  EXPECT_EQ(Settings.DestPath, "out folder");

  // The configuration's lines stand before the real arguments.
  dir_.Write("CMDLINE.CFG", "first.txt\r\n");
  ASSERT_EQ(Run({"second.txt"}), 0);
  EXPECT_EQ(Settings.InFile, folder_ + "first.txt");
  EXPECT_EQ(Settings.DestPath, "second.txt");

  // A configuration alone is enough to skip the help.
  ASSERT_EQ(Run({}), 0);
  EXPECT_EQ(Settings.InFile, folder_ + "first.txt");
}

TEST_F(JorvexMainTest, SettingsStartFromTheirInitialValues) {
  ASSERT_EQ(Run({"in", "/L", "/INSIKA", "/S=1", "/CH=ON", "/Q"}), 0);
  ASSERT_EQ(Run({"in"}), 0);
  EXPECT_FALSE(Settings.WriteLog);
  EXPECT_FALSE(Settings.Quiet);
  EXPECT_EQ(Settings.ExportMode, kExportModeIdea);
  EXPECT_EQ(Settings.SourceKind, kSourceKindNativeExport);
  EXPECT_FALSE(Settings.ColumnHeaders);
}

TEST_F(JorvexMainTest, ConsoleChannels) {
  Settings = tJorvexSettings{};
  console_.clear();
  ConsoleLine("line");
  ConsoleProgress("Reading...  5%");
  ConsoleProgress("Completed.");
  EXPECT_EQ(console_, "line\n\rReading...  5%\rCompleted.");

  console_.clear();
  Settings.NoProgress = true;
  ConsoleLine("still");
  ConsoleProgress("hidden");
  Settings.NoProgress = false;
  Settings.Quiet = true;
  ConsoleLine("hidden");
  ConsoleProgress("hidden");
  EXPECT_EQ(console_, "still\n");

  console_.clear();
  try {
    FatalExit("!! Error: parameter", 2);
  } catch (const tProcessExit& exit) {
    EXPECT_EQ(exit.Code(), 2);
  }
  EXPECT_EQ(console_, kParameterError);  // whatever Quiet says
  console_.clear();
  EXPECT_THROW(FatalExit("silent", 0), tProcessExit);
  EXPECT_EQ(console_, "");
}

}  // namespace
