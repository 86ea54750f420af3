#include "check/ExportCheck.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "base/KvErrors.h"
#include "check/PackageCheck.h"
#include "platform/File.h"
#include "platform/OsError.h"

namespace check {

namespace {

constexpr size_t kMaxIndexBytes = size_t{64} << 20;  // far beyond any real index
constexpr size_t kMaxDtdBytes = size_t{1} << 20;

using tDigest = std::array<unsigned char, 32>;

tDigest Sha256(std::string_view data) {
  tDigest digest{};
  unsigned int size = 0;
  if (EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1) {
    throw EKvMisc("SHA-256 is not available");
  }
  return digest;
}

// The whole of a file of the file system (a DTD given by name), at most maxBytes.
std::string ReadFile(const std::string& name, size_t maxBytes) {
  platform::File file;
  if (const int error = file.Open(name, platform::File::OpenMode::kRead); error != 0) {
    throw EKvIo("cannot open " + name + ": " + platform::OsErrorText(error));
  }
  std::string text;
  char buffer[16384];
  for (;;) {
    size_t got = 0;
    if (const int error = file.Read(buffer, sizeof buffer, &got); error != 0) {
      throw EKvIo("cannot read " + name + ": " + platform::OsErrorText(error));
    }
    if (got == 0) return text;
    if (text.size() + got > maxBytes)
      throw EKvIo("cannot read " + name + ": larger than it can be");
    text.append(buffer, got);
  }
}

// Reads a small file of the export; nullopt when it is larger than maxBytes.
std::optional<std::string> ReadSmall(tExportSource& source, const std::string& name,
                                     size_t maxBytes) {
  const std::unique_ptr<tEntryReader> reader = source.Open(name);
  if (!reader) return std::nullopt;
  std::string text;
  char buffer[16384];
  while (const size_t got = reader->Read(buffer, sizeof buffer)) {
    if (text.size() + got > maxBytes) return std::nullopt;
    text.append(buffer, got);
  }
  return text;
}

tCheckResult Unreadable(tCheckResult result, std::string reason) {
  result.Verdict = tVerdict::kUnreadable;
  result.Reason = std::move(reason);
  return result;
}

// The DTD to validate against: --dtd's, else the one the index names from
// the export, compared with the known standard one (C203, C204).
class tDtdChooser {
 public:
  tDtdChooser(tExportSource& source, const tCheckOptions& options, tFindings& findings)
      : source_(source), options_(options), findings_(findings) {}

  std::optional<tDtdText> operator()(const std::string& entry) const {
    std::optional<tDtdText> beside;
    if (!entry.empty()) {
      if (auto text = ReadSmall(source_, entry, kMaxDtdBytes)) {
        beside = tDtdText{entry, std::move(*text)};
        CompareWithKnown(*beside);
      } else {
        findings_.Add({tCode::kDtdMissing,
                       kIndexName,
                       1,
                       0,
                       {},
                       entry,
                       "no DTD " + entry + " beside the index"});
      }
    }
    if (!options_.DtdFile.empty())
      return tDtdText{options_.DtdFile, ReadFile(options_.DtdFile, kMaxDtdBytes)};
    return beside;
  }

 private:
  void CompareWithKnown(const tDtdText& dtd) const {
    if (options_.KnownDtdFile.empty()) return;
    if (Sha256(dtd.Text) == Sha256(ReadFile(options_.KnownDtdFile, kMaxDtdBytes))) return;
    findings_.Add({tCode::kDtdAltered,
                   dtd.Name,
                   0,
                   0,
                   {},
                   {},
                   "differs from the standard DTD " +
                       std::filesystem::path(options_.KnownDtdFile).filename().string()});
  }

  tExportSource& source_;
  const tCheckOptions& options_;
  tFindings& findings_;
};

bool LooksLikeZip(const std::string& path) {
  platform::File file;
  if (file.Open(path, platform::File::OpenMode::kRead) != 0) return false;
  char head[4] = {};
  size_t got = 0;
  if (file.Read(head, sizeof head, &got) != 0 || got < 4) return false;
  return head[0] == 'P' && head[1] == 'K' &&
         ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
}

}  // namespace

tCheckResult CheckSource(tExportSource& source, const tCheckOptions& options) {
  tCheckResult result{tVerdict::kClean, {}, tFindings(options.MaxExamples)};
  tFindings& findings = result.Findings;
  std::vector<std::string> entries = source.Entries();
  std::erase_if(entries, [&options](const std::string& entry) {
    return std::find(options.NotPartOfExport.begin(), options.NotPartOfExport.end(), entry) !=
           options.NotPartOfExport.end();
  });
  if (!FindIndex(entries, findings)) {
    return Unreadable(std::move(result), findings.Counts().begin()->first.second == tCode::kNoIndex
                                             ? "the export holds no index.xml"
                                             : "index.xml lies only below a sub-folder");
  }
  const auto xml = ReadSmall(source, kIndexName, kMaxIndexBytes);
  if (!xml) return Unreadable(std::move(result), "index.xml is larger than 64 MB");
  tIndexRead read = ReadIndex(*xml, kIndexName, tDtdChooser(source, options, findings), findings);
  if (!read.Index) return Unreadable(std::move(result), read.Reason);
  CheckPackage(*read.Index, entries, findings);
  CheckTables(*read.Index, source, options.Tables, findings);
  result.Verdict = findings.HasErrors() ? tVerdict::kErrors : tVerdict::kClean;
  return result;
}

tCheckResult CheckExport(const std::string& path, const tCheckOptions& options) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  std::unique_ptr<tExportSource> source;
  try {
    if (fs::is_directory(status)) {
      source = tExportSource::OpenFolder(path);
    } else if (!fs::exists(status)) {
      throw EKvIo("no such file or folder: " + path);
    } else if (LooksLikeZip(path)) {
      source = tExportSource::OpenZip(path);
    } else if (fs::path(path).filename() == kIndexName) {
      const fs::path folder = fs::path(path).parent_path();
      source = tExportSource::OpenFolder(folder.empty() ? "." : folder.string());
    } else {
      throw EKvIo(path + " is neither a folder, an index.xml nor a ZIP file");
    }
  } catch (const EKvIo& e) {
    return Unreadable(tCheckResult{tVerdict::kClean, {}, tFindings(options.MaxExamples)}, e.what());
  }
  return CheckSource(*source, options);
}

}  // namespace check
