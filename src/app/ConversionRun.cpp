#include "app/ConversionRun.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#include "app/FiscalDataParserNative.h"
#include "app/FiscalStreamEvalWriteLog.h"
#include "app/FiscalStreamWriterTypeDependent.h"
#include "app/AuditReports.h"
#include "app/HandOverPackage.h"
#include "app/JorvexMain.h"
#include "app/Log.h"
#include "app/OwnExportCheck.h"
#include "app/PeriodSelection.h"
#include "app/RunScope.h"
#include "audit/AuditLedger.h"
#include "base/KvErrors.h"
#include "base/KvIniFile.h"
#include "base/KvText.h"
#include "eval/FiscalDataParserAsciiInt.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "eval/KvFiscalStreamEval.h"
#include "eval/KvFiscalStreamEvalExt.h"
#include "eval/KvFiscalStreamEvalWriteJnlView.h"
#include "idea/FiscalStreamEvalIDEAXML.h"
#include "insika/FiscalStreamEvalInsikaXmlExport.h"
#include "platform/Console.h"
#include "platform/File.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kIniName = "Jorvex.ini";
constexpr std::string_view kLogName = "ExportInfo.txt";
constexpr std::string_view kDefaultDtd = "gdpdu-01-05-2004.dtd";
constexpr std::string_view kDefaultInsikaName = "INSIKA.xml";

std::string Cut(std::string text, size_t capacity) {
  if (text.size() > capacity) text.resize(capacity);
  return text;
}

// The folder of the executable with a trailing "/".
std::string ProgramFolder() { return platform::ExecutableDir(); }

std::string FullFolder(std::string_view folder) {
  return platform::IncludeTrailingPathDelimiter(
      platform::ExpandFileName(folder.empty() ? std::string_view(".") : folder));
}

void CreateFolder(const std::string& folder) {
  if (!platform::DirectoryExists(folder) && !platform::ForceDirectories(folder)) {
    throw EKvIo("Error creating destination directory: \"" + folder + "\"");
  }
}

// How the large files that grow with the journal (the INSIKA document, the
// journal view) use the page cache. Only the hand-over package reads them
// back in the run: otherwise each is made durable step by step as it is
// written and leaves the cache, so that the sync at its end has little to
// wait for and the pages it leaves serve its next writes (on a virtual
// machine, memory the system has not touched for a while is dear to take).
platform::WholeFile::Cache LargeOutputCache() {
  using tCache = platform::WholeFile::Cache;
  return Settings.Package ? tCache::kKeep : tCache::kDropBehind;
}

// Puts the exporter of the mode in front of the chain. It assembles the
// records for every output of the run: returned for those that share them.
tKvFiscalStreamEvalExt& AddExporter(std::unique_ptr<tKvFiscalStreamEval>& chain, uint8_t exportMode,
                                    const std::string& exportFolder, tLog& log) {
  std::unique_ptr<tKvFiscalStreamEvalExt> exporter;
  if (exportMode == kExportModeInsika) {
    const std::string signDefFolder = ReadSignatureDefFolder(IniFileName(), log);
    exporter = std::make_unique<tFiscalStreamEvalInsikaXmlExport>(
        Settings.DestPath, signDefFolder, LargeOutputCache(), log, std::move(chain));
  } else {
    const tSupplierRec supplier = ReadSupplierRec(IniFileName());
    exporter = std::make_unique<tFiscalStreamEvalIDEAXML>(
        exportFolder, supplier, Settings.ColumnHeaders, log, std::move(chain));
  }
  tKvFiscalStreamEvalExt& records = *exporter;
  chain = std::move(exporter);
  return records;
}

// With /V the journal view joins at the head of the chain, in front of the
// exporter, whose records it shares. A failure leaves the chain as it was.
void AddJournalView(std::unique_ptr<tKvFiscalStreamEval>& chain, const std::string& exportFolder,
                    tKvFiscalStreamEvalExt& records) {
  if (!Settings.WriteJournalView) return;
  auto view = std::make_unique<tFiscalStreamEvalWriteJnlView>(exportFolder, std::move(chain),
                                                              LargeOutputCache());
  records.ShareRecords(view->picker());
  chain = std::move(view);
}

// Damage that a pass reads past goes to the log. selection: /FROM, /TO (may
// be null), in front of the writer.
void ReadJournal(tKvKPosFiscalStreamWriter* writer, tPeriodSelection* selection, tLog& log) {
  tFiscalDataSourceTextFileDOS source(Settings.InFile);
  if (Settings.SourceKind == kSourceKindAsciiInterface) {
    tFiscalDataParserAsciiInt parser(&source, ConsoleProgress, 0);
    parser.set_log(&log);
    parser.Run(selection != nullptr ? selection : writer);
    if (selection != nullptr) selection->Finish();
  } else {
    tFiscalDataParserNative parser(&source, writer, ConsoleProgress);
    parser.set_log(&log);
    parser.set_pipelined(true);
    parser.set_selection(selection);
    parser.Execute();  // ends with the selection's Finish, while its pipe still delivers
  }
}

// The scope of /FROM and /TO in the log.
void LogSelection(const tPeriodFigures& figures, tLog& log) {
  const auto day = [](const tKvDateTime& d) { return PeriodDayText(d, "-"); };
  log.Add("", tLog::kPlain);
  log.Add("Period asked for: " + PeriodText(), tLog::kPlain);
  log.Add("Closings selected: " + day(figures.FirstClosingDay) + " (" +
              std::to_string(figures.FirstClosingNo) + ") - " + day(figures.LastClosingDay) + " (" +
              std::to_string(figures.LastClosingNo) + ")",
          tLog::kPlain);
  log.Add("Periods selected: " + std::to_string(figures.PeriodsSelected) +
              ", left out: " + std::to_string(figures.PeriodsLeftOut) +
              "; entries left out: " + std::to_string(figures.EntriesLeftOut),
          tLog::kPlain);
  if (figures.PeriodsSelected == 0) {
    log.Add("No period lies in the period asked for: the export holds no table.", tLog::kPlain);
  }
  if (figures.OpenPeriodSelected) {
    log.Add("The last period selected is not closed (no registration end yet).", tLog::kPlain);
  }
  if (figures.PeriodsDecidedEarly > 0) {
    log.Add(
        std::to_string(figures.PeriodsDecidedEarly) +
            " period(s) without a closing for too long: selected by the date of their first entry",
        tLog::kWarning);
  }
}

// /ZIP: the hand-over package of the export folder (IDEA) or of the
// document (INSIKA), beside it.
void WritePackage(const std::string& exportFolder, const std::string& view, const tRunScope& scope,
                  const std::string& verdict, tLog& log) {
  tHandOverInput input;
  input.Journal = Settings.InFile;
  input.InputForm = Settings.SourceKind == kSourceKindAsciiInterface ? "ASCII interface file"
                                                                     : "native export text";
  input.Scope = &scope;
  input.CheckVerdict = verdict;
  input.Period = Settings.SelectPeriod ? PeriodText() : "whole journal";
  if (Settings.ExportMode == kExportModeIdea) {
    input.Folder = exportFolder;
    const std::string folder = exportFolder.substr(0, exportFolder.size() - 1);
    input.Name = platform::ExtractFileName(folder);
    input.PackageFolder = platform::ExtractFilePath(folder);
    input.Files = ExportFilesInPackingOrder(exportFolder, {view});
  } else {
    input.Folder = platform::ExtractFilePath(Settings.DestPath);
    const std::string document = platform::ExtractFileName(Settings.DestPath);
    input.Name = document.substr(0, document.rfind('.'));
    input.PackageFolder = input.Folder;
    input.Files = {document};
    input.FilesInSubfolder = false;
    input.Replace = true;
  }
  const std::string zip = WriteHandOverPackage(input);
  ConsoleEndProgress();
  ConsoleLine("Package: " + zip);
  log.Add("Hand-over package: " + zip, tLog::kPlain);
}

// Steps 2 to 9 of the run, with the log open. A failure reaches the log
// before the evaluators are released, so that it stands in the log where it
// happened, ahead of their closing lines.
void RunWithLog(tLog& log) {
  // Declared so that the writer is released before the evaluators it feeds,
  // and those before the audit ledger and the scope they feed.
  audit::tAuditLedger ledger;  // fed with /AUDIT only
  tRunScope scope;             // filled with /ZIP only
  tRunScopePicker scopeRecords(scope);
  std::unique_ptr<tKvFiscalStreamEval> chain;
  std::unique_ptr<tKvKPosFiscalStreamWriter> writer;
  std::string ownFolder;  // the folder this run created
  try {
    std::string exportFolder;
    if (Settings.ExportMode == kExportModeIdea) {
      exportFolder = CreateExportFolder(Settings.DestPath, DateTimeStamp(platform::Now()));
      ownFolder = exportFolder;
    } else {
      exportFolder = platform::ExtractFilePath(Settings.DestPath);
      CreateFolder(exportFolder);
    }
    // The exporters warn of the fields they do not handle; the log's
    // evaluator behind them needs no record path.
    chain = std::make_unique<tFiscalStreamEvalWriteLog>(
        &log, nullptr, tFiscalStreamEvalWriteLog::tRecordPath::kNotKept);
    tKvFiscalStreamEvalExt& records = AddExporter(chain, Settings.ExportMode, exportFolder, log);
    if (Settings.Package) records.ShareRecords(scopeRecords);
    AddJournalView(chain, exportFolder, records);
    if (Settings.Audit) records.ShareRecords(ledger);
    writer = std::make_unique<tFiscalStreamWriterTypeDependent>(
        JournalTypesFor(Settings.ExportMode), &log, true, chain.get(), nullptr);
    if (Settings.SelectPeriod) {
      tPeriodSelection selection(Settings.Period, *writer);
      ReadJournal(writer.get(), &selection, log);
      LogSelection(selection.figures(), log);
    } else {
      ReadJournal(writer.get(), nullptr, log);
    }
    // The regular end: writer, then the evaluator chain, whose final work
    // (closing blocks, saving documents) may still fail.
    writer.reset();
    chain->Close();
    chain.reset();
    CheckInterrupt();
    const std::string view = Settings.WriteJournalView
                                 ? std::string(tFiscalStreamEvalWriteJnlView::kFileName)
                                 : std::string();
    std::string verdict;
    if (Settings.CheckExport && Settings.ExportMode == kExportModeIdea) {
      verdict = CheckOwnExport(exportFolder, ReadSupplierRec(IniFileName()).DtdFile, view, log);
    }
    if (Settings.Audit) {
      WriteAuditReports(ledger.Finish(Settings.InFile),
                        platform::ExtractFilePath(Settings.DestPath), log);
    }
    if (Settings.Package) WritePackage(exportFolder, view, scope, verdict, log);
  } catch (const std::exception& failure) {
    log.Add("", tLog::kPlain);
    // After an interruption any later failure (a file that may no longer
    // be published) is its consequence.
    log.Add(platform::Interrupted() ? InterruptedText() : failure.what(), tLog::kError);
    if (!platform::Interrupted()) throw;
    writer.reset();
    chain.reset();
    // Empty once nothing was published; left alone otherwise.
    if (!ownFolder.empty()) (void)platform::RemoveDirectory(ownFolder);
    RaiseInterrupted();
  }
}

// A finished run: clean or with errors in its log.
tRunOutcome Run() {
  tLog log(platform::ExtractFilePath(Settings.DestPath) + std::string(kLogName), Settings.WriteLog);
  RunWithLog(log);
  log.Close();
  return log.errors() == 0 ? tRunOutcome::kClean : tRunOutcome::kLogErrors;
}

// A message as one console line: the carriage return that separates an I/O
// message from its code text would send the cursor back over the line.
std::string ConsoleText(std::string_view message) {
  std::string text(message);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string ExecutableTitle() {
  std::string name = platform::ExtractFileName(platform::ExecutablePath());
  return platform::ChangeFileExt(name, "");
}

}  // namespace

std::string DateTimeStamp(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d", t.Year % 10000, t.Month % 100,
                t.Day % 100, t.Hour % 100, t.Minute % 100, t.Second % 100);
  return text;
}

std::string CompleteDestination(uint8_t exportMode, std::string_view destPath, bool dateTimeStamp) {
  if (exportMode != kExportModeInsika) return FullFolder(destPath);
  std::string folder = FullFolder(platform::ExtractFilePath(destPath));
  std::string name = platform::ExtractFileName(destPath);
  if (IsBlank(name)) {
    name = kDefaultInsikaName;
  } else if (platform::ExtractFileExt(name).empty()) {
    name += ".xml";
  }
  if (dateTimeStamp) {
    std::string ext = platform::ExtractFileExt(name);
    name = platform::ChangeFileExt(name, "") + "_" + DateTimeStamp(platform::Now()) + ext;
  }
  return folder + name;
}

std::string InterruptedText() {
  const int signal = platform::InterruptSignal();
  const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : nullptr;
  return "The run was interrupted (" +
         (name != nullptr ? std::string(name) : "signal " + std::to_string(signal)) + ")";
}

void RaiseInterrupted() { throw EKvRoot(InterruptedText()); }

std::string CreateExportFolder(const std::string& destFolder, const std::string& stamp) {
  CreateFolder(destFolder);
  // Another run of the same second owns the name: the next free suffix.
  constexpr int kMaxSuffix = 1000;
  for (int n = 1;; ++n) {
    const std::string folder =
        destFolder + stamp + (n == 1 ? "" : "_" + std::to_string(n)) + platform::kPathSeparator;
    const int code = platform::CreateNewDirectory(folder);
    if (code == 0) return folder;
    if (code != EEXIST || n == kMaxSuffix) {
      throw EKvIo("Error creating destination directory: \"" + folder + "\"");
    }
  }
}

std::string IniFileName() { return ProgramFolder() + std::string(kIniName); }

tSupplierRec ReadSupplierRec(const std::string& iniFile) {
  if (!platform::FileExists(iniFile)) {
    throw EKvRoot("Datei \"" + iniFile + "\" nicht gefunden!");
  }
  tKvIniFile ini(iniFile);
  tSupplierRec rec;
  rec.DtdFile = Cut(ini.ReadString("GENERAL", "DTD", ProgramFolder() + std::string(kDefaultDtd)),
                    kMaxSupplierText);
  // A relative DTD path names a file beside the INI file, wherever the run
  // was started from.
  if (!IsBlank(rec.DtdFile) && rec.DtdFile.front() != platform::kPathSeparator) {
    rec.DtdFile = ProgramFolder() + rec.DtdFile;
  }
  rec.Name = Cut(ini.ReadString("GENERAL", "SuppName", "<SuppName (INI)>"), kMaxSupplierText);
  rec.Location =
      Cut(ini.ReadString("GENERAL", "SuppLocation", "<SuppLocation (INI)>"), kMaxSupplierText);
  rec.Comment = Cut(ini.ReadString("GENERAL", "SuppComment", ""), kMaxSupplierText);
  return rec;
}

std::string ReadSignatureDefFolder(const std::string& iniFile, tLog& log) {
  const std::string folder = ProgramFolder();
  tKvIniFile ini(iniFile);
  if (platform::FileExists(iniFile)) {
    return Cut(ini.ReadString("KVD", "Path", folder), kMaxPathLength);
  }
  // Writing the default only saves the next run a step; the run needs
  // nothing from it, so a program folder that may not be written (an
  // installed program run by an ordinary user) does not end it.
  try {
    ini.WriteString("KVD", "Path", folder);
  } catch (const EKvRoot& failure) {
    log.Add("INI file \"" + iniFile + "\" could not be written: " + std::string(failure.what()),
            tLog::kHint);
  }
  return folder;
}

// The fiscal journal types (national variants) this program converts: both
// are Germany's; the signed document knows only the first.
constexpr size_t kJournalTypeGermany = 1;
constexpr size_t kJournalTypeGermany2 = 5;

std::bitset<256> JournalTypesFor(uint8_t exportMode) {
  std::bitset<256> supported;
  supported.set(kJournalTypeGermany).set(kJournalTypeGermany2);
  std::bitset<256> wanted;
  wanted.set(kJournalTypeGermany);
  if (exportMode != kExportModeInsika) wanted.set(kJournalTypeGermany2);
  return wanted & supported;
}

int RunConversion(bool dateTimeStamp) {
  platform::InstallInterruptHandlers();
  Settings.DestPath = CompleteDestination(Settings.ExportMode, Settings.DestPath, dateTimeStamp);
  platform::ConsoleWrite("Convert: " + Settings.InFile + " -> " + Settings.DestPath + "\n");
  platform::ConsoleWrite("Mode: " + std::string(kExportModeNames[Settings.ExportMode]) + "\n");
  ConsoleLine("");
  tRunOutcome outcome = tRunOutcome::kFailed;
  try {
    outcome = Run();
  } catch (const std::exception& failure) {
    ConsoleEndProgress();
    platform::ConsoleWrite(ExecutableTitle() + " [EXCEPTION]: " + ConsoleText(failure.what()) +
                           "\n");
  }
  ConsoleLine("");
  if (platform::Interrupted()) return platform::InterruptExitStatus();
  return ExitStatusFor(outcome);
}
