#include "app/Log.h"

#include <cstdio>
#include <exception>
#include <limits>

#include "app/JorvexMain.h"
#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "base/KvText.h"
#include "platform/File.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kDefaultName = "ExportInfo.txt";
constexpr size_t kLabelWidth = 40;
// Lines collected in memory before they go to the section file.
constexpr size_t kSpillSize = 64 * 1024;

// text padded with blanks, or cut, to exactly kLabelWidth characters.
std::string Label(std::string_view text) {
  std::string out(text.substr(0, kLabelWidth));
  out.resize(kLabelWidth, ' ');
  return out;
}

// value right-aligned in 7 characters (wider values are not cut).
std::string Count7(int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%7d", static_cast<int>(value));
  return buffer;
}

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

void Increment(int32_t& counter) {
  if (counter < std::numeric_limits<int32_t>::max()) ++counter;
}

}  // namespace

tLog::tLog(std::string_view fileName, bool enabled) : Enabled(enabled) {
  const std::string folder = platform::ExtractFilePath(fileName);
  if (!folder.empty() && !platform::DirectoryExists(folder) &&
      !platform::ForceDirectories(folder)) {
    throw EKvRoot(ReplaceParams("Error creating destination directory: \"%1\"", folder));
  }
  std::string name = platform::ExtractFileName(fileName);
  if (IsBlankOrControl(name)) name = kDefaultName;
  file_name_ = folder + name;
  if (int code = File.Open(file_name_, platform::File::OpenMode::kAppendCreate); code != 0) {
    throw EKvIo(this, code, "File: " + file_name_ + "; Mode: AppendRewrite");
  }
  // Without unnamed files the section stays in memory.
  (void)Section.OpenUnnamed(folder);
  Pending.reserve(kSpillSize);

  Start = platform::Now();
  const std::string date =
      TwoDigits(Start.Day) + "." + TwoDigits(Start.Month) + "." + std::to_string(Start.Year);
  const std::string time =
      TwoDigits(Start.Hour) + ":" + TwoDigits(Start.Minute) + ":" + TwoDigits(Start.Second);
  BeginSection(
      ReplaceParams("===== %1  %2  [%3 - %4]", date + '\r' + time + '\r' + std::string(kLongTitle) +
                                                   '\r' + std::string(kVersion)),
      kPlain);
}

tLog::~tLog() {
  try {
    Close();
  } catch (...) {
    // Reached only when the owner did not close the log itself, that is
    // while an earlier failure is already being reported.
  }
}

bool tLog::IsWritten(int kind) const {
  return Enabled || !(kind == kEntry || kind == kHint || kind == kWarning || kind > kError);
}

void tLog::BeginSection(std::string_view text, int kind) {
  if (!IsWritten(kind)) return;
  std::string line = "> ";
  line += text;
  Add(line, kind);
  if (Indent.size() + 2 <= kMaxIndent) Indent += "  ";
}

void tLog::EndSection(std::string_view text, int kind) {
  if (!IsWritten(kind)) return;
  if (Indent.size() >= 2) Indent.resize(Indent.size() - 2);
  std::string line = "< ";
  line += text;
  Add(line, kind);
}

void tLog::Add(std::string_view text, int kind) {
  if (!IsWritten(kind)) return;
  if (IsBlankOrControl(text)) {
    WriteRaw({});
    return;
  }
  line_.assign(Indent);
  line_.append(text);
  switch (kind) {
    case kHint:
      line_ += " [HINT]";
      Increment(Hints);
      break;
    case kWarning:
      line_ += " [WARNING]";
      Increment(Warnings);
      break;
    case kError:
      line_ += " [ERROR]";
      Increment(Errors);
      break;
    default:
      break;
  }
  WriteRaw(line_);
}

void tLog::Close() {
  if (!File.IsOpen()) return;
  // The section is appended whatever the summary meets; the first failure wins.
  std::exception_ptr failure;
  try {
    WriteSummary();
  } catch (...) {
    failure = std::current_exception();
  }
  const int32_t result = AppendSection();
  Section.Close();
  File.Close();
  if (failure) std::rethrow_exception(failure);
  if (result != 0) throw EKvIo(this, result, "Write error");
}

bool tLog::SpillPending() {
  if (!Section.IsOpen()) return true;
  if (Section.Write(Pending.data(), Pending.size()) != 0) return false;
  Pending.clear();
  return true;
}

int tLog::AppendSection() {
  if (!SpillPending()) return kErrFileWrite;
  if (int code = File.Lock(); code != 0) return code;
  if (Section.IsOpen()) {
    if (int code = Section.Rewind(); code != 0) return code;
    char buffer[kSpillSize];
    for (;;) {
      size_t got = 0;
      if (int code = Section.Read(buffer, sizeof buffer, &got); code != 0) return code;
      if (got == 0) break;
      if (int code = File.Write(buffer, got); code != 0) return code;
    }
  }
  return File.Write(Pending.data(), Pending.size());
}

void tLog::WriteSummary() {
  WriteRaw({});
  WriteRaw({});
  BeginSection("Summary:", kPlain);
  WriteRaw({});
  try {
    if (Errors > 0) {
      WriteRaw(Indent + Label("Errors: ") + Count7(Errors) + " [ERROR]");
    } else {
      WriteRaw(Indent + "No errors detected.");
    }
    if (Warnings > 0) WriteRaw(Indent + Label("Warnings: ") + Count7(Warnings) + " [WARNING]");
    if (Hints > 0) WriteRaw(Indent + Label("Hints: ") + Count7(Hints) + " [HINT]");
  } catch (...) {
    EndSection({}, kPlain);
    throw;
  }
  EndSection({}, kPlain);
  WriteRaw({});
  WriteRaw(Indent + Label("Elapsed time: ") + Stopwatch.ElapsedText());
  WriteRaw({});
  EndSection("=====", kPlain);
  WriteRaw({});
}

void tLog::WriteRaw(std::string_view line) {
  if (!File.IsOpen()) throw EKvIo(this, kErrFileWrite, "Write error");
  Pending.append(line);
  Pending.append("\r\n");
  if (Pending.size() >= kSpillSize && !SpillPending()) {
    throw EKvIo(this, kErrFileWrite, "Write error");
  }
}
