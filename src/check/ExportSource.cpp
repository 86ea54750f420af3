#include "check/ExportSource.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "base/KvErrors.h"
#include "platform/File.h"
#include "platform/OsError.h"

namespace check {

namespace {

[[noreturn]] void RaiseIo(const std::string& what, const std::string& name,
                          const std::string& why) {
  throw EKvIo(what + " " + name + ": " + why);
}

// ---- a folder -------------------------------------------------------------

class tFileReader final : public tEntryReader {
 public:
  tFileReader(platform::File file, std::string name)
      : file_(std::move(file)), name_(std::move(name)) {}
  size_t Read(char* buffer, size_t size) override {
    size_t got = 0;
    if (const int error = file_.Read(buffer, size, &got); error != 0) {
      RaiseIo("cannot read", name_, platform::OsErrorText(error));
    }
    return got;
  }

 private:
  platform::File file_;
  std::string name_;
};

class tFolderSource final : public tExportSource {
 public:
  explicit tFolderSource(const std::string& folder) : root_(folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    // Symbolic links are neither followed nor listed: what they lead to may
    // lie outside the export.
    fs::recursive_directory_iterator it(root_, fs::directory_options::none, error);
    if (error) RaiseIo("cannot read the folder", folder, error.message());
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
      if (error) RaiseIo("cannot read the folder", folder, error.message());
      const fs::file_status status = it->symlink_status(error);
      if (error) RaiseIo("cannot read", it->path().string(), error.message());
      if (fs::is_regular_file(status))
        entries_.push_back(it->path().lexically_relative(root_).generic_string());
    }
    if (error) RaiseIo("cannot read the folder", folder, error.message());
    std::sort(entries_.begin(), entries_.end());
  }

  const std::vector<std::string>& Entries() const override { return entries_; }

  std::unique_ptr<tEntryReader> Open(std::string_view name) override {
    if (!std::binary_search(entries_.begin(), entries_.end(), name)) return nullptr;
    const std::string path = (root_ / std::string(name)).string();
    platform::File file;
    if (const int error = file.Open(path, platform::File::OpenMode::kRead); error != 0) {
      RaiseIo("cannot open", path, platform::OsErrorText(error));
    }
    return std::make_unique<tFileReader>(std::move(file), path);
  }
  bool ReadsConcurrently() const override { return true; }

 private:
  std::filesystem::path root_;
  std::vector<std::string> entries_;  // sorted
};

// ---- a ZIP file -----------------------------------------------------------

class tZipReader final : public tEntryReader {
 public:
  tZipReader(zip_file_t* file, std::string name) : file_(file), name_(std::move(name)) {}
  ~tZipReader() override { zip_fclose(file_); }
  tZipReader(const tZipReader&) = delete;
  tZipReader& operator=(const tZipReader&) = delete;

  size_t Read(char* buffer, size_t size) override {
    const zip_int64_t got = zip_fread(file_, buffer, size);
    if (got < 0) RaiseIo("cannot read the ZIP entry", name_, zip_file_strerror(file_));
    return static_cast<size_t>(got);
  }

 private:
  zip_file_t* file_;
  std::string name_;
};

class tZipSource final : public tExportSource {
 public:
  explicit tZipSource(const std::string& zipFile) : name_(zipFile) {
    int error = 0;
    archive_ = zip_open(zipFile.c_str(), ZIP_RDONLY, &error);
    if (archive_ == nullptr) {
      zip_error_t zipError;
      zip_error_init_with_code(&zipError, error);
      const std::string why = zip_error_strerror(&zipError);
      zip_error_fini(&zipError);
      RaiseIo("cannot open the ZIP file", zipFile, why);
    }
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* entry = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
      if (entry == nullptr) continue;
      std::string name = entry;
      if (name.empty() || name.back() == '/') continue;     // a folder
      byName_.emplace(name, static_cast<zip_uint64_t>(i));  // the first of a name
      entries_.push_back(std::move(name));
    }
  }
  ~tZipSource() override { zip_discard(archive_); }
  tZipSource(const tZipSource&) = delete;
  tZipSource& operator=(const tZipSource&) = delete;

  const std::vector<std::string>& Entries() const override { return entries_; }

  std::unique_ptr<tEntryReader> Open(std::string_view name) override {
    const auto it = byName_.find(std::string(name));
    if (it == byName_.end()) return nullptr;
    zip_file_t* file = zip_fopen_index(archive_, it->second, 0);
    if (file == nullptr)
      RaiseIo("cannot open the ZIP entry", std::string(name), zip_strerror(archive_));
    return std::make_unique<tZipReader>(file, name_ + ":" + std::string(name));
  }

 private:
  std::string name_;
  zip_t* archive_ = nullptr;
  std::vector<std::string> entries_;
  std::map<std::string, zip_uint64_t> byName_;  // entry -> its index in the archive
};

// ---- files in memory ------------------------------------------------------

class tMemoryReader final : public tEntryReader {
 public:
  explicit tMemoryReader(std::string_view data) : data_(data) {}
  size_t Read(char* buffer, size_t size) override {
    const size_t n = std::min(size, data_.size());
    std::copy_n(data_.data(), n, buffer);
    data_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view data_;
};

class tMemorySource final : public tExportSource {
 public:
  explicit tMemorySource(std::vector<std::pair<std::string, std::string>> files)
      : files_(std::move(files)) {
    for (const auto& file : files_) entries_.push_back(file.first);
  }
  const std::vector<std::string>& Entries() const override { return entries_; }
  std::unique_ptr<tEntryReader> Open(std::string_view name) override {
    for (const auto& file : files_) {
      if (file.first == name) return std::make_unique<tMemoryReader>(file.second);
    }
    return nullptr;
  }
  bool ReadsConcurrently() const override { return true; }

 private:
  std::vector<std::pair<std::string, std::string>> files_;
  std::vector<std::string> entries_;
};

}  // namespace

std::unique_ptr<tExportSource> tExportSource::OpenFolder(const std::string& folder) {
  return std::make_unique<tFolderSource>(folder);
}

std::unique_ptr<tExportSource> tExportSource::OpenZip(const std::string& zipFile) {
  return std::make_unique<tZipSource>(zipFile);
}

std::unique_ptr<tExportSource> tExportSource::OpenMemory(
    std::vector<std::pair<std::string, std::string>> files) {
  return std::make_unique<tMemorySource>(std::move(files));
}

std::string tExportSource::ReadWhole(std::string_view name, size_t maxBytes) {
  const std::unique_ptr<tEntryReader> reader = Open(name);
  if (!reader) RaiseIo("cannot open", std::string(name), "no such file in the export");
  std::string text;
  char buffer[16384];
  while (const size_t got = reader->Read(buffer, sizeof buffer)) {
    if (text.size() + got > maxBytes) {
      RaiseIo("cannot read", std::string(name),
              "larger than " + std::to_string(maxBytes) + " bytes");
    }
    text.append(buffer, got);
  }
  return text;
}

}  // namespace check
