// fuzz-links: jorvex_check
// The export check on an arbitrary export held in memory. The input is cut
// at every "\n@@@\n": the first piece is index.xml, each further piece a
// file whose first line is its name and the rest its contents. The first
// byte of the input chooses:
//   bit 0  the standard DTD lies in the export too (gdpdu-01-09-2004.dtd,
//          which the build copies beside this executable)
//   bit 1  one example per code and file instead of 20
// Checked: the check and both reports end without an exception, a crash or
// a sanitizer report, whatever the export holds.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/CheckReport.h"
#include "check/ExportCheck.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kSeparator = "\n@@@\n";
constexpr char kDtdName[] = "gdpdu-01-09-2004.dtd";

const std::string& StandardDtd() {
  static const std::string text = [] {
    std::ifstream in(platform::ExecutableDir() + kDtdName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::pair<std::string, std::string>> files;
  for (bool first = true;; first = false) {
    const size_t cut = input.find(kSeparator);
    const std::string_view piece = input.substr(0, cut);
    if (first) {
      files.emplace_back("index.xml", piece);
    } else {
      const size_t eol = piece.find('\n');
      files.emplace_back(piece.substr(0, eol),
                         eol == std::string_view::npos ? "" : piece.substr(eol + 1));
    }
    if (cut == std::string_view::npos) break;
    input.remove_prefix(cut + kSeparator.size());
  }
  if (flags & 1) files.emplace_back(kDtdName, StandardDtd());

  check::tCheckOptions options;
  options.KnownDtdFile = platform::ExecutableDir() + kDtdName;
  options.MaxExamples = (flags & 2) ? 1 : 20;
  auto source = check::tExportSource::OpenMemory(std::move(files));
  const check::tCheckResult result = check::CheckSource(*source, options);
  (void)check::TextReport("export", result, false);
  (void)check::JsonReport("export", result);
  return 0;
}
