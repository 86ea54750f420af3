// CheckOwnExport: /CHECK, the check of the export folder an IDEA run has
// just published, with the same code as jorvex-check (check/ExportCheck.h).
// The console gets one verdict line; the log a short section: the verdict,
// then every finding kept as an example, errors as error entries and
// warnings as warning entries (information is left out), so that the
// log's summary counts them and /RC=ON reports an export with errors as
// "errors in the log". A check that cannot run (the folder unreadable, out
// of memory) is one error entry; it never fails the run. Runs on the main
// thread after the conversion's chain was released.
#pragma once

#include <string>

class tLog;

// exportFolder ends with "/". journalView: the view the run wrote into the
// folder (not part of the export), empty when none. Returns the verdict line.
std::string CheckOwnExport(const std::string& exportFolder, const std::string& knownDtdFile,
                           const std::string& journalView, tLog& log);
