#include "insika/FiscJnlSignDef.h"

#include <utility>

#include "base/KvIniFile.h"
#include "base/KvText.h"
#include "platform/File.h"
#include "platform/Paths.h"

namespace {

// An id that keeps the file name inside the folder.
bool IsSafeId(std::string_view id) {
  if (id == "." || id == "..") return false;
  for (const char c : id) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

}  // namespace

bool ReadSignDef(std::string_view folder, std::string_view id, int32_t cardNr, tSignDefRec& rec) {
  rec = tSignDefRec{};
  if (!IsSafeId(id)) return false;
  const std::string dir = IsBlank(folder) ? platform::ExecutableDir()
                                           : platform::IncludeTrailingPathDelimiter(folder);
  const std::string fileName = dir + std::string(id) + "-" + std::to_string(cardNr) + ".kvd";
  if (!platform::FileExists(fileName)) return false;
  const tKvIniFile ini(fileName);
  if (ini.SectionExists("STATUS")) {
    rec.HasStatus = true;
    rec.TimVersion = ini.ReadString("STATUS", "Version", "").substr(0, tSignDefRec::kMaxVersion);
  }
  std::string certificate;
  if (ini.SectionExists("CERTIFICATE")) {
    for (int key = 1;; ++key) {
      const std::string piece = ini.ReadString("CERTIFICATE", std::to_string(key), "");
      if (IsBlank(piece)) break;
      certificate += piece;
    }
  }
  if (IsBlank(certificate)) return false;
  rec.Certificate = std::move(certificate);
  return true;
}
