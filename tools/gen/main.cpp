// jorvex-gen: writes synthetic fiscal journals in either input form of jorvex.
//
//   jorvex-gen --form native|ascii --size-mb N [--seed S] [--stream 1|2] --out FILE [--twin FILE]
//   jorvex-gen --form native|ascii --sample [--stream 1|2] --out FILE
//   ... [--fault NAME [--fault-day N] [--fault-note FILE]]
//
// The same seed gives the same journal; both forms of one seed carry the same
// events (the larger form stops earlier in the journal). The journal ends with
// a complete business day once the file has reached N MB (1 MB = 1048576 bytes).
// Every closing agrees with its receipts, unless --fault injects one fault on
// business day N (default 2) of an otherwise unchanged journal; --fault-note
// writes what was injected as key=value lines (fault, day, closing, and
// difference where the fault alters an amount).
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "gen/AsciiWriter.h"
#include "gen/Fault.h"
#include "gen/GenOutput.h"
#include "gen/NativeWriter.h"
#include "gen/Shop.h"
#include "gen/TeeSink.h"

namespace {

constexpr const char* kUsage =
    "usage: jorvex-gen --form native|ascii (--size-mb N [--seed S] | --sample)\n"
    "                  [--stream 1|2] --out FILE [--twin FILE]\n"
    "                  [--fault NAME [--fault-day N] [--fault-note FILE]]\n"
    "  --form      native export text or ASCII interface file\n"
    "  --size-mb   size to reach in MB (1048576 bytes); the last day is completed\n"
    "  --seed      seed of the random journal (default 1)\n"
    "  --sample    the small fixed sample journal instead of a random one\n"
    "  --stream    binary stream version inside an ASCII interface file (default 2)\n"
    "  --out       output file\n"
    "  --twin      also write the same journal in the other form to this file\n"
    "              (the size still steers --out)\n"
    "  --fault     inject one fault: receipt-deleted, payment-altered,\n"
    "              closing-tax-altered, grand-total-reset, closing-number-skipped,\n"
    "              timestamp-set-back, training-receipt or no-sale-drawer\n"
    "  --fault-day the business day (block) of the fault, from 1 (default 2)\n"
    "  --fault-note write what was injected to this file (key=value lines)\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "jorvex-gen: %s\n%s", message.c_str(), kUsage);
  return 2;
}

bool ParseNumber(std::string_view text, uint64_t& value) {
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  std::string form, out, twin, faultNote;
  uint64_t sizeMb = 0, seed = 1, stream = 2, faultDay = 2;
  jgen::FaultPlan fault;
  bool haveSize = false, sample = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto next = [&](std::string_view& value) {
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    std::string_view value;
    if (arg == "--sample") {
      sample = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--form" && next(value)) {
      form = value;
    } else if (arg == "--out" && next(value)) {
      out = value;
    } else if (arg == "--twin" && next(value)) {
      twin = value;
    } else if (arg == "--size-mb" && next(value)) {
      if (!ParseNumber(value, sizeMb) || sizeMb > (uint64_t{1} << 24)) {
        return Fail("invalid size: " + std::string(value));
      }
      haveSize = true;
    } else if (arg == "--fault" && next(value)) {
      const auto kind = jgen::ParseFault(value);
      if (!kind) return Fail("unknown fault: " + std::string(value));
      fault.Kind = *kind;
    } else if (arg == "--fault-day" && next(value)) {
      if (!ParseNumber(value, faultDay) || faultDay < 1 || faultDay > 100000) {
        return Fail("invalid fault day: " + std::string(value));
      }
    } else if (arg == "--fault-note" && next(value)) {
      faultNote = value;
    } else if (arg == "--seed" && next(value)) {
      if (!ParseNumber(value, seed)) return Fail("invalid seed: " + std::string(value));
    } else if (arg == "--stream" && next(value)) {
      if (!ParseNumber(value, stream) || (stream != 1 && stream != 2)) {
        return Fail("invalid stream version: " + std::string(value));
      }
    } else {
      return Fail("unknown or incomplete argument: " + std::string(arg));
    }
  }
  if (form != "native" && form != "ascii") return Fail("--form must be native or ascii");
  if (out.empty()) return Fail("--out is missing");
  if (sample == haveSize) return Fail("give either --size-mb or --sample");
  if (fault.Kind == jgen::FaultKind::kNone && !faultNote.empty()) {
    return Fail("--fault-note needs --fault");
  }
  fault.Day = static_cast<int>(faultDay);

  try {
    const auto writer = [stream](const std::string& which,
                                 jgen::FileOut* to) -> std::unique_ptr<jgen::JournalSink> {
      if (which == "native") return std::make_unique<jgen::NativeWriter>(to);
      return std::make_unique<jgen::AsciiWriter>(to, static_cast<int>(stream));
    };
    jgen::FileOut file(out);
    std::unique_ptr<jgen::JournalSink> sink = writer(form, &file);
    std::unique_ptr<jgen::FileOut> twinFile;
    std::unique_ptr<jgen::JournalSink> twinSink, tee;
    if (!twin.empty()) {
      twinFile = std::make_unique<jgen::FileOut>(twin);
      twinSink = writer(form == "native" ? "ascii" : "native", twinFile.get());
      tee = std::make_unique<jgen::TeeSink>(sink.get(), twinSink.get());
    }
    jgen::JournalSink* target = tee ? tee.get() : sink.get();
    const jgen::FaultNote note = sample ? jgen::WriteSampleWith(target, fault)
                                        : jgen::WriteRandomWith(target, seed, sizeMb << 20, fault);
    file.Close();
    if (twinFile) twinFile->Close();
    if (fault.Kind != jgen::FaultKind::kNone && !note.Injected) {
      std::fprintf(stderr, "jorvex-gen: the journal has no business day %d for the fault\n",
                   fault.Day);
      return 1;
    }
    if (!faultNote.empty()) {
      jgen::FileOut noteFile(faultNote);
      noteFile.Buffer() = jgen::FaultNoteText(fault.Kind, note);
      noteFile.Close();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "jorvex-gen: %s\n", e.what());
    return 1;
  }
  return 0;
}
