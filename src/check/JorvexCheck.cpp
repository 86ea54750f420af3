// jorvex-check: checks a GDPdU export (folder, index.xml or ZIP file) and
// prints a report; see packaging/jorvex-check.1. Exit codes: 0 no error,
// 1 the export has errors, 2 it cannot be read or the command line is
// wrong, 3 the tool itself failed. One thread.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/KvErrors.h"
#include "base/KvVersion.h"
#include "check/CheckReport.h"
#include "check/ExportCheck.h"
#include "platform/Paths.h"

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitUnreadable = 2;  // also a wrong command line
constexpr int kExitFailed = 3;

constexpr std::string_view kKnownDtd = "gdpdu-01-09-2004.dtd";

constexpr std::string_view kUsage =
    "Usage: jorvex-check [OPTIONS] EXPORT\n"
    "Checks a GDPdU export: an export folder, its index.xml, or a ZIP file holding one.\n"
    "\n"
    "  --json             the report as JSON on standard output\n"
    "  --dtd FILE         validate index.xml against FILE instead of the DTD it names\n"
    "  --max-examples N   examples kept per finding code and file (default 20)\n"
    "  -q, --quiet        print the verdict line only\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Exit status: 0 no error found, 1 the export has errors, 2 the export cannot be\n"
    "read (or a wrong command line), 3 the check itself failed.\n";

struct tArguments {
  bool Json = false;
  bool Quiet = false;
  bool Help = false;
  bool Version = false;
  check::tCheckOptions Options;
  std::string Export;
};

// A usage error: the message, and a hint at --help.
struct tUsageError {
  std::string Message;
};

std::optional<size_t> ParseSize(std::string_view text) {
  size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

tArguments ParseArguments(int argc, char** argv) {
  tArguments arguments;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> inlineValue;
    if (!optionsEnd && arg.starts_with("--") && arg.find('=') != std::string_view::npos) {
      inlineValue = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    // The value of an option that takes one.
    const auto value = [&]() -> std::string_view {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw tUsageError{"option '" + std::string(arg) + "' needs a value"};
      return argv[++i];
    };
    if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
      if (!arguments.Export.empty())
        throw tUsageError{"more than one export given: '" + std::string(arg) + "'"};
      arguments.Export = arg;
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (inlineValue && arg != "--dtd" && arg != "--max-examples") {
      throw tUsageError{"option '" + std::string(arg) + "' takes no value"};
    } else if (arg == "--json") {
      arguments.Json = true;
    } else if (arg == "--quiet" || arg == "-q") {
      arguments.Quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      arguments.Help = true;
    } else if (arg == "--version" || arg == "-V") {
      arguments.Version = true;
    } else if (arg == "--dtd") {
      arguments.Options.DtdFile = value();
      if (arguments.Options.DtdFile.empty()) throw tUsageError{"option '--dtd' needs a file"};
    } else if (arg == "--max-examples") {
      const std::string_view text = value();
      const auto count = ParseSize(text);
      if (!count)
        throw tUsageError{"invalid number for '--max-examples': '" + std::string(text) + "'"};
      arguments.Options.MaxExamples = *count;
    } else {
      throw tUsageError{"unknown option '" + std::string(arg) + "'"};
    }
  }
  if (!arguments.Help && !arguments.Version && arguments.Export.empty())
    throw tUsageError{"no export given"};
  return arguments;
}

// The standard DTD: beside the real executable (the build tree), else in
// ../share/jorvex/ from there (an installation); empty when neither.
std::string FindKnownDtd() {
  namespace fs = std::filesystem;
  const fs::path folder = platform::ExecutableDir();
  for (const fs::path& candidate :
       {folder / kKnownDtd, folder / ".." / "share" / "jorvex" / kKnownDtd}) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
  }
  return {};
}

int Run(int argc, char** argv) {
  tArguments arguments;
  try {
    arguments = ParseArguments(argc, argv);
  } catch (const tUsageError& e) {
    std::cerr << "jorvex-check: " << e.Message
              << "\nTry 'jorvex-check --help' for more information.\n";
    return kExitUnreadable;
  }
  if (arguments.Help) {
    std::cout << kUsage;
    return kExitClean;
  }
  if (arguments.Version) {
    std::cout << "jorvex-check " << kVersion << "\n";
    return kExitClean;
  }
  if (std::error_code error; !arguments.Options.DtdFile.empty() &&
                             !std::filesystem::is_regular_file(arguments.Options.DtdFile, error)) {
    std::cerr << "jorvex-check: no DTD file '" << arguments.Options.DtdFile << "'\n";
    return kExitUnreadable;
  }
  arguments.Options.KnownDtdFile = FindKnownDtd();
  if (arguments.Options.KnownDtdFile.empty()) {
    std::cerr << "jorvex-check: the standard DTD " << kKnownDtd
              << " is not installed; a DTD beside the index is not compared with it\n";
  }
  const check::tCheckResult result = check::CheckExport(arguments.Export, arguments.Options);
  if (arguments.Json) {
    std::cout << check::JsonReport(arguments.Export, result);
  } else {
    std::cout << check::TextReport(arguments.Export, result, arguments.Quiet);
  }
  std::cout.flush();
  switch (result.Verdict) {
    case check::tVerdict::kClean:
      return kExitClean;
    case check::tVerdict::kErrors:
      return kExitErrors;
    case check::tVerdict::kUnreadable:
      std::cerr << "jorvex-check: " << arguments.Export << ": " << result.Reason << "\n";
      return kExitUnreadable;
  }
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "jorvex-check: out of memory\n";
  } catch (const EKvRoot& e) {
    std::cerr << "jorvex-check: " << e.what() << "\n";
  }
  return kExitFailed;
}
