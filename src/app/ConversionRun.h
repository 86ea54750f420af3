// The conversion run: completes the destination for the export mode, creates
// the log, the export folder, the evaluator chain and the type-dependent
// writer, reads the journal through the pass that SourceKind selects, and
// releases everything in order (writer, evaluator chain, log), also after a
// failure. It is the program's single catch point: every failure ends up as
// one "[EXCEPTION]" console line and an error entry in the log, and the
// process ends with exit code 0 (with /RC=ON the status tells how it ended).
//
// The export folder is made by this run alone: when the date-time name is
// taken, "_2", "_3", ... is added. SIGINT and SIGTERM interrupt the run: the
// pass stops at the next entry (CheckInterrupt), nothing is published, the
// log says "The run was interrupted (<signal>)", and the exit code is
// 128 + the signal.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

#include "idea/XmlHdlIDEA.h"
#include "platform/Clock.h"
#include "platform/Interrupt.h"

class tLog;

// "YYYY-MM-DD_HH-MM-SS" of the given local time.
std::string DateTimeStamp(const platform::LocalTime& time);

// The destination completed for the export mode: IDEA a full folder path
// with a trailing "/", INSIKA a full file path ("INSIKA.xml" for a blank
// name, ".xml" added when the name has none, the date-time stamp before the
// extension when dateTimeStamp is set).
std::string CompleteDestination(uint8_t exportMode, std::string_view destPath, bool dateTimeStamp);

// "Jorvex.ini" in the folder of the executable.
std::string IniFileName();

// Reads the supplier record; a relative DTD path is taken relative to the
// program folder. A missing INI file raises EKvRoot
// "Datei \"<full INI path>\" nicht gefunden!".
tSupplierRec ReadSupplierRec(const std::string& iniFile);

// The signature-definition folder (section "KVD", key "Path"; default the
// program folder with a trailing "/"). A missing INI file is created with
// the default; when that fails, the log receives a hint and the default is
// used all the same.
std::string ReadSignatureDefFolder(const std::string& iniFile, tLog& log);

// "The run was interrupted (SIGINT)" (or SIGTERM, ...).
std::string InterruptedText();
[[noreturn]] void RaiseInterrupted();
// Raises EKvRoot InterruptedText() once the run was interrupted; called by
// the pass for every entry, on the thread that evaluates it.
inline void CheckInterrupt() {
  if (platform::Interrupted()) [[unlikely]]
    RaiseInterrupted();
}

// The export folder of a run into destFolder (a full path ending with "/",
// created when missing) at the given stamp: a new folder, never one that
// existed; EKvIo "Error creating destination directory: ..." otherwise.
std::string CreateExportFolder(const std::string& destFolder, const std::string& stamp);

// The fiscal journal types the mode exports, within the supported {1, 5}.
std::bitset<256> JournalTypesFor(uint8_t exportMode);
