// tExportSource: the files of an export, from a folder or from a ZIP file,
// listed and read in sequence. The check reads every file through it and
// never writes. The caller chooses the kind by opening it (OpenFolder,
// OpenZip); everything after that is the same for both.
//
// Names are relative to the export's root, '/' separated, as a URL in
// index.xml names them; a folder is listed recursively (symbolic links are
// not followed, nor listed: what they lead to may lie outside the export),
// a ZIP by its entries (directories left out, a name that
// occurs twice listed twice).
//
// Failure: Open* raise EKvIo when the folder or ZIP cannot be read at all
// (the check's exit 2); Read raises EKvIo on an I/O error or a damaged
// entry. Owned by the check run; one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace check {

// One file of the export, read from its start.
class tEntryReader {
 public:
  virtual ~tEntryReader() = default;
  // Reads up to size bytes into buffer; returns 0 at the end.
  virtual size_t Read(char* buffer, size_t size) = 0;
};

class tExportSource {
 public:
  virtual ~tExportSource() = default;

  // The export rooted at folder.
  static std::unique_ptr<tExportSource> OpenFolder(const std::string& folder);
  // The export held in the ZIP file zipFile (index.xml at its root).
  static std::unique_ptr<tExportSource> OpenZip(const std::string& zipFile);
  // The export made of files (name, contents), listed in the given order
  // (a name given twice is listed twice); for tests and the fuzz target.
  static std::unique_ptr<tExportSource> OpenMemory(
      std::vector<std::pair<std::string, std::string>> files);

  // Every file, in listing order.
  virtual const std::vector<std::string>& Entries() const = 0;
  // Opens the file name (exactly as listed); nullptr when there is none.
  virtual std::unique_ptr<tEntryReader> Open(std::string_view name) = 0;
  // Whether two threads may open and read files at the same time (each
  // reader used by one of them); a ZIP's entries share one archive handle.
  virtual bool ReadsConcurrently() const { return false; }
  // The whole of a small file (index.xml, a DTD), at most maxBytes; raises
  // EKvIo when it is larger or absent.
  std::string ReadWhole(std::string_view name, size_t maxBytes);
};

}  // namespace check
