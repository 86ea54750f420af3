#include "app/HandOverPackage.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

#include "app/PeriodSelection.h"
#include "base/KvErrors.h"
#include "base/KvVersion.h"
#include "platform/File.h"
#include "platform/OsError.h"
#include "platform/WholeFile.h"

namespace {

constexpr size_t kChunk = 1 << 20;

[[noreturn]] void Fail(const std::string& file, const std::string& why) {
  throw EKvIo("Hand-over package: \"" + file + "\": " + why);
}

// SHA-256 over the bytes fed in, as 64 lowercase hex digits.
class tSha256 {
 public:
  tSha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1) throw std::bad_alloc();
  }
  void Add(const char* data, size_t size) { EVP_DigestUpdate(ctx_.get(), data, size); }
  std::string Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(ctx_.get(), digest, &size);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
      hex += kDigits[digest[i] >> 4];
      hex += kDigits[digest[i] & 15];
    }
    return hex;
  }

 private:
  struct Free {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> ctx_;
};

struct tFileFacts {
  std::string Name;
  uint64_t Size = 0;
  uint64_t Lines = 0;
  std::string Sha256;
};

// Reads path in chunks, handing each to sink; the facts of the file.
template <typename Sink>
tFileFacts ReadFile(const std::string& path, std::string name, Sink&& sink) {
  platform::File file;
  if (int error = file.Open(path, platform::File::OpenMode::kRead); error != 0) {
    Fail(path, platform::OsErrorText(error));
  }
  tFileFacts facts;
  facts.Name = std::move(name);
  tSha256 sha;
  auto buffer = std::make_unique<char[]>(kChunk);
  for (;;) {
    size_t got = 0;
    if (int error = file.Read(buffer.get(), kChunk, &got); error != 0) {
      Fail(path, platform::OsErrorText(error));
    }
    if (got == 0) break;
    sha.Add(buffer.get(), got);
    facts.Size += got;
    facts.Lines += static_cast<uint64_t>(std::count(buffer.get(), buffer.get() + got, '\n'));
    sink(buffer.get(), got);
  }
  facts.Sha256 = sha.Hex();
  return facts;
}

// libarchive writes the ZIP through this callback into a WholeFile, hashed
// on the way.
struct tZipOut {
  platform::WholeFile File;
  tSha256 Sha;
};

la_ssize_t WriteZipBytes(struct archive*, void* client, const void* data, size_t size) {
  auto* out = static_cast<tZipOut*>(client);
  out->File.Append({static_cast<const char*>(data), size});
  out->Sha.Add(static_cast<const char*>(data), size);
  return out->File.error() == 0 ? static_cast<la_ssize_t>(size) : -1;
}

time_t ModificationTime(const std::string& path) {
  struct stat facts {};
  return ::stat(path.c_str(), &facts) == 0 ? facts.st_mtime : 0;
}

struct tArchiveFree {
  void operator()(struct archive* a) const { archive_write_free(a); }
};
struct tEntryFree {
  void operator()(struct archive_entry* e) const { archive_entry_free(e); }
};

void Commit(platform::WholeFile& file, bool replace) {
  const auto mode =
      replace ? platform::WholeFile::Replace::kYes : platform::WholeFile::Replace::kNo;
  if (int error = file.Commit(mode, platform::WholeFile::SyncFolder::kYes); error != 0) {
    Fail(file.name(), platform::OsErrorText(error));
  }
}

// Packs the files into <name>.zip; their facts in packing order.
std::vector<tFileFacts> WriteZip(const tHandOverInput& input, const std::string& zipPath,
                                 std::string& zipSha) {
  tZipOut zip;
  if (int error = zip.File.Open(zipPath); error != 0) Fail(zipPath, platform::OsErrorText(error));
  std::unique_ptr<struct archive, tArchiveFree> archive(archive_write_new());
  if (!archive) throw std::bad_alloc();
  auto check = [&](int status) {
    if (status >= ARCHIVE_WARN) return;
    if (zip.File.error() != 0) Fail(zipPath, platform::OsErrorText(zip.File.error()));
    const char* why = archive_error_string(archive.get());
    Fail(zipPath, why != nullptr ? why : "cannot be packed");
  };
  check(archive_write_set_format_zip(archive.get()));
  check(archive_write_set_options(archive.get(), "zip:compression=deflate"));
  check(archive_write_set_bytes_in_last_block(archive.get(), 1));
  check(archive_write_open2(archive.get(), &zip, nullptr, WriteZipBytes, nullptr, nullptr));
  std::vector<tFileFacts> files;
  for (const std::string& name : input.Files) {
    const std::string path = input.Folder + name;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) Fail(path, ec.message());
    std::unique_ptr<struct archive_entry, tEntryFree> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
    archive_entry_set_mtime(entry.get(), ModificationTime(path), 0);
    check(archive_write_header(archive.get(), entry.get()));
    files.push_back(ReadFile(path, name, [&](const char* data, size_t got) {
      if (archive_write_data(archive.get(), data, got) < 0) check(ARCHIVE_FATAL);
    }));
    if (files.back().Size != size) Fail(path, "changed while it was packed");
  }
  check(archive_write_close(archive.get()));
  archive.reset();
  Commit(zip.File, input.Replace);
  zipSha = zip.Sha.Hex();
  return files;
}

void AddLine(std::string& note, const std::string& line) {
  note += line;
  note += "\r\n";
}

std::string CoverNote(const tHandOverInput& input, const tFileFacts& journal,
                      const std::vector<tFileFacts>& files, const std::string& zipName,
                      const std::string& zipSha) {
  std::string note;
  AddLine(note, std::string(kLongTitle) + " - " + std::string(kVersion));
  AddLine(note, "Hand-over package: " + zipName);
  AddLine(note, "");
  AddLine(note, "Journal: " + journal.Name);
  AddLine(note, "  Size: " + std::to_string(journal.Size) + " bytes");
  AddLine(note, "  SHA-256: " + journal.Sha256);
  AddLine(note, "  Input form: " + input.InputForm);
  AddLine(note, "");
  AddLine(note, "Registers:");
  const tRunScope& scope = *input.Scope;
  for (const tRunScope::tRegister& reg : scope.Registers) {
    AddLine(note, "  " + reg.Number + "  serial number " + std::to_string(reg.SerialNo) + "  " +
                      reg.Name);
  }
  AddLine(note, "");
  AddLine(note, "Scope:");
  AddLine(note, "  Period asked for: " + input.Period);
  AddLine(note, "  Business days: " + PeriodDayText(scope.FirstBusinessDay, "-") + " - " +
                    PeriodDayText(scope.LastBusinessDay, "-"));
  AddLine(note, "  Closings: " + std::to_string(scope.Closings) + ", numbers " +
                    std::to_string(scope.FirstClosingNo) + " - " +
                    std::to_string(scope.LastClosingNo));
  AddLine(note, "  Transactions: " + std::to_string(scope.Transactions) + ", receipt numbers " +
                    std::to_string(scope.FirstReceiptNo) + " - " +
                    std::to_string(scope.LastReceiptNo));
  AddLine(note, "");
  AddLine(note, "Files (name, lines, SHA-256):");
  AddLine(note, "  " + zipName + "  -  " + zipSha);
  for (const tFileFacts& file : files) {
    AddLine(note, "  " + file.Name + "  " + std::to_string(file.Lines) + "  " + file.Sha256);
  }
  AddLine(note, "");
  AddLine(note, "Export check: " +
                    (input.CheckVerdict.empty() ? std::string("not run") : input.CheckVerdict));
  return note;
}

void PublishText(const std::string& path, const std::string& text, bool replace) {
  platform::WholeFile file;
  if (int error = file.Open(path); error != 0) Fail(path, platform::OsErrorText(error));
  file.Append(text);
  Commit(file, replace);
}

}  // namespace

std::vector<std::string> ExportFilesInPackingOrder(const std::string& folder,
                                                   const std::vector<std::string>& notPart) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    if (name == "index.xml" || std::find(notPart.begin(), notPart.end(), name) != notPart.end())
      continue;
    names.push_back(std::move(name));
  }
  if (ec) Fail(folder, ec.message());
  std::sort(names.begin(), names.end());
  names.insert(names.begin(), "index.xml");
  return names;
}

std::string WriteHandOverPackage(const tHandOverInput& input) {
  const std::string base = input.PackageFolder + input.Name;
  if (std::error_code ignored; input.Replace) std::filesystem::remove(base + ".txt", ignored);
  std::string zipSha;
  const std::vector<tFileFacts> files = WriteZip(input, base + ".zip", zipSha);
  const std::string zipName = input.Name + ".zip";
  std::string sums = zipSha + "  " + zipName + "\n";
  for (const tFileFacts& file : files) {
    sums += file.Sha256 + "  " + (input.FilesInSubfolder ? input.Name + "/" : std::string()) +
            file.Name + "\n";
  }
  PublishText(base + ".sha256", sums, input.Replace);
  const tFileFacts journal =
      ReadFile(input.Journal, std::filesystem::path(input.Journal).filename().string(),
               [](const char*, size_t) {});
  PublishText(base + ".txt", CoverNote(input, journal, files, zipName, zipSha), input.Replace);
  return base + ".zip";
}
