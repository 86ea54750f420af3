// The hand-over package (/ZIP): what a run hands to the auditor, packed and
// provable. Beside the export folder (IDEA) or the document (INSIKA), all
// named after it (<name> = the folder's name, or the document's name
// without its extension):
//
//   <name>.zip     the export's files at its root, deflated, index.xml
//                  first (ZIP64 where a file or the whole passes 4 GB)
//   <name>.sha256  the format of sha256sum -c: a line for the ZIP and one
//                  per packed file as "<name>/<file>" (IDEA; the document's
//                  own name in INSIKA mode), so that sha256sum -c run in the
//                  destination proves both
//   <name>.txt     the cover note (Windows-1252, CR LF, like the log):
//                  program, journal (name, size, SHA-256, input form),
//                  registers, scope, per file its lines and SHA-256, and the
//                  verdict of /CHECK when it ran
//
// Each file is published whole (platform::WholeFile), the ZIP first and the
// note last, so a note under its name means a whole package. The files are
// read once each (packed, hashed and counted in one pass); the journal is
// read again for its hash. Failure (a file that cannot be read, a full disk,
// no permission) raises EKvIo naming the file; the export itself stays as it
// is. Runs on the main thread after the conversion's chain was released.
#pragma once

#include <string>
#include <vector>

#include "app/RunScope.h"

struct tHandOverInput {
  std::string Folder;              // holds the packed files; ends with "/"
  std::string Name;                // <name> of the package's files
  std::string PackageFolder;       // where the package goes; ends with "/"
  std::vector<std::string> Files;  // names in Folder, in packing order (index.xml first)
  bool FilesInSubfolder = true;    // checksum lines name "<name>/<file>" (IDEA) or "<file>"
  std::string Journal;             // path of the converted journal
  std::string InputForm;           // e.g. "native export text"
  const tRunScope* Scope = nullptr;
  std::string CheckVerdict;  // empty when /CHECK did not run
  std::string Period;        // the period asked for, as text
  // Whether the package replaces one of the same name (INSIKA, whose
  // document does too); its old cover note goes first, so that a note under
  // its name always belongs to the ZIP beside it.
  bool Replace = false;
};

// Writes the three files; returns the ZIP's path.
std::string WriteHandOverPackage(const tHandOverInput& input);

// The names of the export folder's files in packing order: index.xml, then
// the others by name; what is not part of the export (notPart) is left out.
std::vector<std::string> ExportFilesInPackingOrder(const std::string& folder,
                                                   const std::vector<std::string>& notPart);
