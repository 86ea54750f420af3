#include "app/JorvexMain.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "app/Comline.h"
#include "base/KvText.h"
#include "platform/Console.h"
#include "platform/Paths.h"

tJorvexSettings Settings;

namespace {

// A progress text stands on the console line without a line end after it.
bool g_progress_pending = false;

constexpr std::array<std::string_view, 19> kHelpLines = {
    "Call:",
    "  Jorvex.exe infile [destpath] [options] [switches]",
    "Purpose:",
    "  Converts the fiscal journal Korvath native format to German IDEA format.",
    "Parameters:",
    "  infile    - Name of file to convert.",
    "  destpath  - IDEA: Name of destination path.",
    "              If not specified, the export path will be the same path as the",
    "              \"infile\" path.",
    "Options:",
    "  /L        - Write log file with detailed export information.",
    "              The resulting filename will be \"ExportInfo.txt\".",
    "  /V        - Write file containing journal view format.",
    "              The resulting filename will be \"JournalView.txt\".",
    "  /Q        - Quiet operation.",
    "  /?        - Show this help.",
    "Switches (<switch>=ON|OFF):",
    "  /CH       - IDEA: Write column headers (default=off).",
    "  /DT       - IDEA: A new sub directory will be created for each export, named",
};
constexpr std::string_view kHelpLastLine = "              by current date and time. (default=on)";
// Listed after the help text above, which stays as it is.
constexpr std::array<std::string_view, 11> kHelpMoreLines = {
    "  /RC       - Exit status for scripts: 0 no errors, 1 errors in the log,",
    "              3 conversion failed (default=off).",
    "  /CHECK    - IDEA: Check the written export as jorvex-check does; the",
    "              verdict goes to the console, the findings into the log.",
    "  /ZIP      - Pack the export (or the INSIKA file) into <name>.zip beside it,",
    "              with its checksums <name>.sha256 and cover note <name>.txt.",
    "  /AUDIT    - Reconcile the journal with its closings: AuditReport.txt,",
    "              .json and .html beside the log file.",
    "  /FROM=DD.MM.YYYY, /TO=DD.MM.YYYY - Only the registration periods whose",
    "              closing falls on these days (either end may stay open).",
    "  --help    - Show this help; --version shows the version (exit status 0).",
};

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

// A switch given with a "/" or, failing that, with a "-".
bool Switch(std::string_view name) {
  return ComlineSwitch("/" + std::string(name)) || ComlineSwitch("-" + std::string(name));
}

bool Option(std::string_view name, std::string& value) {
  return ComlineOption("/" + std::string(name), value) ||
         ComlineOption("-" + std::string(name), value);
}

// The number in text: the whole text as a decimal integer or, when it is
// invalid from its second character on, the valid part before that. False
// when the text is empty or already its first character is invalid.
bool ParseLeadingInteger(std::string_view text, long long* number) {
  size_t pos = (!text.empty() && (text.front() == '+' || text.front() == '-')) ? 1 : 0;
  const size_t first = pos;
  long long magnitude = 0;
  bool overflow = false;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (magnitude > (std::numeric_limits<long long>::max() - 9) / 10) overflow = true;
    if (!overflow) magnitude = magnitude * 10 + (text[pos] - '0');
  }
  if (pos == first) return false;
  // An overflowing number is still a number, just none of the known ones.
  *number = overflow ? -1 : (text.front() == '-' ? -magnitude : magnitude);
  return true;
}

void ShowHelp() {
  for (std::string_view line : kHelpLines) ConsoleLine(line);
  ConsoleLine(kHelpLastLine);
  for (std::string_view line : kHelpMoreLines) ConsoleLine(line);
}

void ShowBanner() {
  platform::ConsoleWrite("## " + std::string(kLongTitle) + " " + std::string(kVersion) + " ##\n\n");
}

// The Linux habits, only as the sole argument and before CMDLINE.CFG is read,
// so that they never start a conversion. -1: not one of them.
int LinuxHabit(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return -1;
  if (arguments[0] == "--version") {
    platform::ConsoleWrite("jorvex " + std::string(kVersion) + "\n");
    return kExitOk;
  }
  if (arguments[0] != "--help" && arguments[0] != "-h") return -1;
  ShowBanner();
  ShowHelp();
  return kExitOk;
}

// /FROM and /TO: real dates, FROM not after TO; else a parameter error.
void ReadPeriod(std::string& value) {
  const std::pair<const char*, tKvDateTime*> ends[] = {{"FROM", &Settings.Period.From},
                                                       {"TO", &Settings.Period.To}};
  for (const auto& [name, day] : ends) {
    if (!Option(name, value)) continue;
    *day = ParsePeriodDay(value);
    if (day->IsNull()) {
      FatalExit("!! Error: parameter /" + std::string(name) + "=" + value +
                    " is no date DD.MM.YYYY (1980 to 9999)",
                kExitParameterError);
    }
    Settings.SelectPeriod = true;
  }
  if (!Settings.Period.From.IsNull() && !Settings.Period.To.IsNull() &&
      Settings.Period.From.Value > Settings.Period.To.Value) {
    FatalExit("!! Error: parameter /FROM is after /TO", kExitParameterError);
  }
}

int StartUp(const tConversionRun& conversionRun) {
  ShowBanner();

  if (ComlineParamCount() == 0 || ComlineSwitch("/?") || ComlineSwitch("-?")) {
    ShowHelp();
    return kExitHelp;
  }

  Settings.WriteLog = Switch("L");
  Settings.WriteJournalView = Switch("V");
  Settings.Quiet = Switch("Q");
  Settings.NoProgress = Switch("INT");
  Settings.CheckExport = Switch("CHECK");
  Settings.Package = Switch("ZIP");
  Settings.Audit = Switch("AUDIT");
  std::string value;
  if (long long number = 0; Option("S", value) && ParseLeadingInteger(value, &number)) {
    if (number >= 1 && number <= 3) Settings.SourceKind = static_cast<uint8_t>(number - 1);
  }
  if (Switch("IDEA")) {
    Settings.ExportMode = kExportModeIdea;
  } else if (Switch("INSIKA")) {
    Settings.ExportMode = kExportModeInsika;
  }
  if (Option("CH", value)) Settings.ColumnHeaders = EqualsNoCase(value, "ON");
  if (Option("RC", value)) Settings.ReturnCodes = EqualsNoCase(value, "ON");
  bool dateTimeStamp = Settings.ExportMode == kExportModeIdea;
  if (Option("DT", value)) dateTimeStamp = EqualsNoCase(value, "ON");
  ReadPeriod(value);

  int count = ComlineParamCount();
  if (count < 1 || count > 3) FatalExit("!! Error: parameter", kExitParameterError);

  // Longer paths are refused rather than cut: a cut path would name another
  // file or folder.
  Settings.InFile = platform::ExpandFileName(ComlineParam(1));
  Settings.DestPath = ComlineParam(2);
  if (Settings.InFile.size() > kMaxPathLength || Settings.DestPath.size() > kMaxPathLength) {
    FatalExit("!! Error: parameter", kExitParameterError);
  }
  if (IsBlankOrControl(Settings.DestPath))
    Settings.DestPath = platform::ExtractFilePath(Settings.InFile);

  return conversionRun(dateTimeStamp);
}

}  // namespace

std::string PeriodText() {
  return PeriodDayText(Settings.Period.From, "...") + " - " +
         PeriodDayText(Settings.Period.To, "...");
}

void ConsoleLine(std::string_view text) {
  if (Settings.Quiet) return;
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text).push_back('\n');
  platform::ConsoleWrite(line);
  g_progress_pending = false;
}

void ConsoleProgress(std::string_view text) {
  if (Settings.Quiet || Settings.NoProgress) return;
  std::string line;
  line.reserve(text.size() + 1);
  line.push_back('\r');
  line.append(text);
  platform::ConsoleWrite(line);
  g_progress_pending = true;
}

void ConsoleEndProgress() {
  if (!g_progress_pending) return;
  platform::ConsoleWrite("\n");
  g_progress_pending = false;
}

void FatalExit(std::string_view message, int code) {
  if (code != 0) {
    ConsoleEndProgress();
    platform::ConsoleWrite("Jorvex: " + std::string(message) + " (" + std::to_string(code) + ")\n");
  }
  throw tProcessExit(code);
}

int ExitStatusFor(tRunOutcome outcome) {
  if (!Settings.ReturnCodes) return kExitOk;
  switch (outcome) {
    case tRunOutcome::kClean:
      return kExitOk;
    case tRunOutcome::kLogErrors:
      return kExitLogErrors;
    case tRunOutcome::kFailed:
      return kExitRunFailed;
  }
  return kExitRunFailed;
}

int JorvexMain(std::vector<std::string> arguments, const tConversionRun& conversionRun) {
  Settings = tJorvexSettings{};
  g_progress_pending = false;
  if (int habit = LinuxHabit(arguments); habit >= 0) return habit;
  ComlineSetArguments(std::move(arguments));
  try {
    return StartUp(conversionRun);
  } catch (const tProcessExit& exit) {
    return exit.Code();
  }
}

// The conversion run is not there yet: the program ends once the paths are known.
