#include "app/JorvexMain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>

#include "LogTestHelp.h"
#include "app/Comline.h"
#include "eval/EvalTestHelp.h"

namespace {

using testing_support::CurrentDirGuard;
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
    "              by current date and time. (default=on)\n"
    "  /RC       - Exit status for scripts: 0 no errors, 1 errors in the log,\n"
    "              3 conversion failed (default=off).\n"
    "  /CHECK    - IDEA: Check the written export as jorvex-check does; the\n"
    "              verdict goes to the console, the findings into the log.\n"
    "  /ZIP      - Pack the export (or the INSIKA file) into <name>.zip beside it,\n"
    "              with its checksums <name>.sha256 and cover note <name>.txt.\n"
    "  /AUDIT    - Reconcile the journal with its closings: AuditReport.txt,\n"
    "              .json and .html beside the log file.\n"
    "  /FROM=DD.MM.YYYY, /TO=DD.MM.YYYY - Only the registration periods whose\n"
    "              closing falls on these days (either end may stay open).\n"
    "  --help    - Show this help; --version shows the version (exit status 0).\n";
const char kParameterError[] = "Jorvex: !! Error: parameter (2)\n";

// Runs the program in a fresh current folder with the console captured; the
// conversion run is replaced by one that records how it was called.
class JorvexMainTest : public log_test::RunFixture {
 protected:
  JorvexMainTest() : cwd_(dir_.Path()), folder_(std::filesystem::current_path().string() + "/") {}
  ~JorvexMainTest() override {
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

  CurrentDirGuard cwd_;
  std::string folder_;                   // the current folder with a trailing "/"
  std::optional<bool> date_time_stamp_;  // set when the conversion run was called
};

// No parameters, /? or -? show banner and help and end with 9999, even
// with other parameters; /Q is not yet evaluated then.
TEST_F(JorvexMainTest, Help) {
  for (const Args& args : {Args{}, Args{"/?"}, Args{"-?"}, Args{"in.txt", "/Q", "/?"},
                           Args{"a", "b", "c", "d", "-?"}}) {
    EXPECT_EQ(Run(args), 9999) << testing::PrintToString(args);
    EXPECT_EQ(console_, std::string(kBanner) + kHelp) << testing::PrintToString(args);
    EXPECT_FALSE(date_time_stamp_);
  }
}

// --help, -h and --version, only alone, end at once with 0 and write nothing,
// before CMDLINE.CFG is read; with more they are parameters.
TEST_F(JorvexMainTest, LinuxHelpAndVersion) {
  dir_.Write("CMDLINE.CFG", "/Q\n");
  const std::pair<Args, std::string> cases[] = {
      {{"--help"}, std::string(kBanner) + kHelp},
      {{"-h"}, std::string(kBanner) + kHelp},
      {{"--version"}, "jorvex 1.2.1.2\n"},
  };
  for (const auto& [args, console] : cases) {
    EXPECT_EQ(Run(args), 0) << args[0];
    EXPECT_EQ(console_, console) << args[0];
    EXPECT_FALSE(date_time_stamp_);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
  EXPECT_EQ(Run({"--help", "x"}), 0);
  EXPECT_TRUE(date_time_stamp_);  // a file name like any other
}

TEST_F(JorvexMainTest, PositionalParameterCheck) {
  const std::pair<Args, int> cases[] = {
      {{"/L"}, 2},  // counted before the options, so no help; then nothing is left
      {{"/Q", "/V", "-INT"}, 2},
      {{"/Dummy", "/HEAPDEBUG=1"}, 9999},  // dropped before counting
      {{"a", "b", "c", "d", "/Q"}, 2},     // the error line ignores Quiet
      {{"a"}, 0},
      {{"a", "b", "c"}, 0},
      {{"a", "/IDEA", "b", "/INSIKA", "c"}, 2},  // /INSIKA is left as a fourth parameter
  };
  for (const auto& [args, exitCode] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_EQ(Run(args), exitCode);
    if (exitCode != 9999) {
      EXPECT_EQ(console_, std::string(kBanner) + (exitCode == 2 ? kParameterError : ""));
      EXPECT_EQ(date_time_stamp_.has_value(), exitCode == 0);
    }
  }
}

// Every run starts from the initial settings: a row after one that set
// everything sees the defaults again.
TEST_F(JorvexMainTest, SwitchesAndOptions) {
  const std::pair<Args, const char*> cases[] = {
      // log|view|quiet|no progress|mode|column headers|date-time stamp|destination
      {{"in", "/L", "/V", "/Q", "/INT", "/CH=ON", "/INSIKA"}, "1|1|1|1|1|1|0|"},
      {{"in"}, "0|0|0|0|0|0|1|"},
      {{"-l", "-v", "in", "-q", "-int"}, "1|1|1|1|0|0|1|"},
      {{"in", "/LOG"}, "0|0|0|0|0|0|1|/LOG"},
      {{"in", "-insika", "/DT=OFF"}, "0|0|0|0|1|0|0|"},
      {{"in", "/INSIKA", "/DT=on"}, "0|0|0|0|1|0|1|"},
      {{"in", "/IDEA", "/INSIKA"}, "0|0|0|0|0|0|1|/INSIKA"},
      {{"in", "/DT"}, "0|0|0|0|0|0|0|"},
      {{"in", "/DT=YES"}, "0|0|0|0|0|0|0|"},
      {{"in", "-CH:On"}, "0|0|0|0|0|1|1|"},
      {{"in", "/CH"}, "0|0|0|0|0|0|1|"},
      {{"in", "/CH=OFF"}, "0|0|0|0|0|0|1|"},
      {{"in", "/L", "-L"}, "1|0|0|0|0|0|1|-L"},  // "-" only when "/" found nothing
  };
  for (const auto& [args, expected] : cases) {
    ASSERT_EQ(Run(args), 0) << console_;
    const tJorvexSettings& s = Settings;
    const std::string dest = s.DestPath == folder_ ? "" : s.DestPath;
    EXPECT_EQ(eval_test::Row(s.WriteLog, s.WriteJournalView, s.Quiet, s.NoProgress, s.ExportMode,
                             s.ColumnHeaders, date_time_stamp_.value_or(false), dest),
              expected)
        << testing::PrintToString(args);
    EXPECT_EQ(s.InFile, folder_ + "in");
  }
}

// /S=n: the number in front of the first non-digit; 1 to 3 give the source
// kinds 0 to 2, anything else the default (2).
TEST_F(JorvexMainTest, SourceKindNumber) {
  const std::pair<const char*, int> cases[] = {
      {"/S=1", 0},     {"/S=2", 1},  {"/S=3", 2},
      {"-s:1", 0},     {"/S=3x", 2}, {"/S=1x", 0},
      {"/S=2.5", 1},   {"/S=+1", 0}, {"/S=01", 0},
      {"/S=x", 2},     {"/S=7", 2},  {"/S=0", 2},
      {"/S=-1", 2},    {"/S=", 2},   {"/S", 2},
      {"/S= 1", 2},    {"/S=-", 2},  {"/S=99999999999999999999999", 2},
      {"/S=1\xE4", 0},
  };
  for (const auto& [option, kind] : cases) {
    ASSERT_EQ(Run({"in", option}), 0);
    EXPECT_EQ(Settings.SourceKind, kind) << option;
    EXPECT_EQ(Settings.DestPath, folder_) << option;  // the option was consumed
  }
  ASSERT_EQ(Run({"in", "/S=1", "-S=2"}), 0);  // "-" only when "/" found nothing
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

// The configuration's lines stand before the real arguments and are enough
// to skip the help (how the lines are read: Comline_test).
TEST_F(JorvexMainTest, ParametersFromTheConfiguration) {
  dir_.Write("CMDLINE.CFG", "first.txt\r\n/L\r\n");
  ASSERT_EQ(Run({"second.txt"}), 0);
  EXPECT_EQ(eval_test::Row(Settings.WriteLog, Settings.InFile, Settings.DestPath),
            "1|" + folder_ + "first.txt|second.txt");
  ASSERT_EQ(Run({}), 0);
  EXPECT_EQ(Settings.InFile, folder_ + "first.txt");
}

// Progress texts overwrite one line (ended once) and are hidden by /INT and
// /Q; lines only by /Q. FatalExit with code 0 ends silently.
TEST_F(JorvexMainTest, ConsoleChannels) {
  for (const int mode : {0, 1, 2}) {
    Settings.NoProgress = mode == 1;
    Settings.Quiet = mode == 2;
    ConsoleLine("line");
    ConsoleEndProgress();
    ConsoleProgress("Reading...  5%");
    ConsoleProgress("Completed.");
    for (int i = 0; i < 2; ++i) ConsoleEndProgress();
  }
  EXPECT_EQ(console_, "line\n\rReading...  5%\rCompleted.\nline\n");
  console_.clear();
  EXPECT_THROW(FatalExit("silent", 0), tProcessExit);
  EXPECT_EQ(console_, "");
}

}  // namespace
