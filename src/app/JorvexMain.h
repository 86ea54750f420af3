// The main unit: the program-wide settings, the version texts, the three
// console channels every part of the program prints through, and the start-up
// sequence (banner, help, options and switches, parameter check, InFile and
// DestPath) that ends in the conversion run. The settings are fixed before the
// conversion run starts and only read afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/PeriodSelection.h"
#include <string_view>
#include <vector>

#include "base/KvClass.h"
#include "base/KvVersion.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitParameterError = 2;
inline constexpr int kExitHelp = 9999;
// With /RC=ON: the run finished but its log holds errors; the run failed.
inline constexpr int kExitLogErrors = 1;
inline constexpr int kExitRunFailed = 3;

// Longest InFile and DestPath accepted.
inline constexpr size_t kMaxPathLength = 255;

enum : uint8_t {
  kExportModeIdea = 0,
  kExportModeInsika = 1,
};
enum : uint8_t {
  kSourceKindAsciiInterface = 0,
  kSourceKindExchangeFile = 1,
  kSourceKindNativeExport = 2,
};
inline constexpr std::array<std::string_view, 2> kExportModeNames = {"IDEA", "INSIKA"};
inline constexpr std::array<std::string_view, 3> kSourceKindNames = {
    "ASCII interface", "Exchangefile", "Native export"};

struct tJorvexSettings {
  bool WriteLog = false;                         // /L
  bool WriteJournalView = false;                 // /V
  bool Quiet = false;                            // /Q
  bool NoProgress = false;                       // /INT
  uint8_t SourceKind = kSourceKindNativeExport;  // /S=n
  uint8_t ExportMode = kExportModeIdea;          // /IDEA, /INSIKA
  bool ColumnHeaders = false;                    // /CH=ON
  bool ReturnCodes = false;                      // /RC=ON: an exit status scripts can act on
  bool CheckExport = false;                      // /CHECK: IDEA: check the export when written
  bool Package = false;                          // /ZIP: the hand-over package beside the export
  bool Audit = false;                            // /AUDIT: the audit report beside the log
  bool SelectPeriod = false;                     // /FROM or /TO given
  tPeriodRange Period;                           // /FROM=DD.MM.YYYY, /TO=DD.MM.YYYY
  std::string InFile;                            // full path of the journal file
  std::string DestPath;                          // destination as given, or the folder of InFile
};

// "DD.MM.YYYY - DD.MM.YYYY" of the period asked for ("..." for an open end).
std::string PeriodText();

// The settings in force for this process.
extern tJorvexSettings Settings;

// Writes text and a line end to the console unless Quiet is set.
void ConsoleLine(std::string_view text);
// Writes a carriage return and text without line end, so that successive
// progress texts overwrite one console line; silent with Quiet or NoProgress.
void ConsoleProgress(std::string_view text);
// Ends the console line of a progress text that no line end has followed
// yet, so that output written directly (an exception line) starts on a line
// of its own; nothing otherwise.
void ConsoleEndProgress();
// Writes "Jorvex: " + message + " (" + code + ")" whatever Quiet says (not
// when code is 0) and ends the program with exit code code. It does so by
// raising tProcessExit, which JorvexMain turns into its result: it must only
// be called below JorvexMain, and nothing may swallow that exception.
[[noreturn]] void FatalExit(std::string_view message, int code);

// The request to end the program raised by FatalExit. Deliberately outside
// the EKvRoot family and std::exception, so that a catch of every failure
// (catch std::exception, never "...") lets it pass.
class tProcessExit final : public tKvClass {
 public:
  explicit tProcessExit(int code) : code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// How a conversion run ended, as far as the exit status tells it.
enum class tRunOutcome : uint8_t {
  kClean,      //!< finished, the log holds no error entry
  kLogErrors,  //!< finished, but the log holds error entries
  kFailed,     //!< ended by an exception: the export is incomplete or missing
};
// The exit status of a run that ended so: 0 unless /RC=ON asks for the
// outcome (0, kExitLogErrors or kExitRunFailed).
int ExitStatusFor(tRunOutcome outcome);

// The conversion run, called once the settings, InFile and DestPath are
// fixed. dateTimeStamp is the /DT switch: whether an INSIKA file name gets
// the date-time stamp. Returns the process exit code. Defined with the run
// itself (ConversionRun.cpp).
int RunConversion(bool dateTimeStamp);

// The whole program for the given command-line arguments (without the
// program name): resets the settings, runs the start-up sequence and then
// conversionRun (tests pass their own), and returns the process exit code
// (0, 2 or 9999; 1 and 3 with /RC=ON; 128 + the signal after SIGINT or
// SIGTERM, see platform/Interrupt.h). "--help" or "-h" as the only argument
// shows the help and "--version" the version line, each with exit code 0 and
// before anything else is read.
using tConversionRun = std::function<int(bool dateTimeStamp)>;
int JorvexMain(std::vector<std::string> arguments,
               const tConversionRun& conversionRun = RunConversion);
