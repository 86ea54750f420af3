#include "gen/NativeWriter.h"

#include <cassert>
#include <charconv>
#include <cstdlib>

namespace jgen {
namespace {

void AppendInt(std::string& s, int64_t v) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, res.ptr);
}

void Append2(std::string& s, int v) {
  s += static_cast<char>('0' + v / 10 % 10);
  s += static_cast<char>('0' + v % 10);
}

void AppendHex(std::string& s, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
}

}  // namespace

void NativeWriter::AppendQuoted(std::string& line, std::string_view text) {
  bool open = false;
  char prev = 0;
  for (const char c : text) {
    const auto b = static_cast<uint8_t>(c);
    // Printable ASCII goes inside quotes; a "/" after a "/" would start a
    // comment even there, so it is written by its code like any other byte.
    if (b >= 32 && b < 127 && !(c == '/' && prev == '/')) {
      if (!open) line += '"';
      open = true;
      line += c;
      if (c == '"') line += '"';
    } else {
      if (open) line += '"';
      open = false;
      line += '#';
      AppendInt(line, b);
    }
    prev = c;
  }
  if (open) {
    line += '"';
  } else if (text.empty()) {
    line += "\"\"";
  }
}

void NativeWriter::AppendDateTime(std::string& line, DateTime dt) {
  const CivilTime t = SplitDateTime(dt);
  Append2(line, t.Day);
  line += '.';
  Append2(line, t.Month);
  line += '.';
  AppendInt(line, t.Year);
  line += '/';
  Append2(line, t.Hour);
  line += ':';
  Append2(line, t.Minute);
  line += ':';
  Append2(line, t.Second);
}

void NativeWriter::AppendDecimal(std::string& line, Decimal d) {
  if (d.Mantissa < 0) line += '-';
  const uint64_t magnitude =
      d.Mantissa < 0 ? 0 - static_cast<uint64_t>(d.Mantissa) : static_cast<uint64_t>(d.Mantissa);
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, magnitude);
  const std::string_view digits(buf, static_cast<size_t>(res.ptr - buf));
  if (d.Scale <= 0) {
    line += digits;
    line.append(static_cast<size_t>(-d.Scale), '0');
    return;
  }
  const auto scale = static_cast<size_t>(d.Scale);
  if (digits.size() <= scale) {
    line += "0.";
    line.append(scale - digits.size(), '0');
    line += digits;
  } else {
    line += digits.substr(0, digits.size() - scale);
    line += '.';
    line += digits.substr(digits.size() - scale);
  }
}

std::string& NativeWriter::StartLine(int level) {
  std::string& s = out_.Buffer();
  const int moves = std::abs(level - level_);
  const int pad = 2 * level - moves;
  if (pad > 0) s.append(static_cast<size_t>(pad), ' ');
  s.append(static_cast<size_t>(moves), level > level_ ? '(' : ')');
  level_ = level;
  return s;
}

void NativeWriter::EndLine() {
  out_.Buffer() += "\r\n";
  out_.MaybeFlush();
}

void NativeWriter::BeginBlock(const BlockHeader& b) {
  std::string& s = StartLine(0);
  s += "Hdr: 1=1; 10=";
  AppendInt(s, b.EcrNoSuppl);
  s += "\r\nVer: 1=1\r\nBlk: ID=";
  AppendInt(s, b.Id);
  s += "; EcrAddr=";
  AppendInt(s, b.EcrAddr);
  s += "; DateTime=";
  AppendInt(s, b.Created);
  s += "; RegEndDT=";
  AppendInt(s, b.RegEnd);
  s += "; EcrNr=";
  s += b.EcrNo;
  s += "; SerNr=";
  AppendInt(s, b.SerNo);
  s += "; EcrName=";
  s += b.EcrName;
  s += "; HwID=";
  AppendInt(s, b.HwId);
  s += "; FiscJnlType=";
  AppendInt(s, b.FiscJnlType);
  s += "; SwVer=";
  s += b.SwVer;
  s += "; DataSign=; RegStartDT=";
  AppendInt(s, b.RegStart);
  EndLine();
}

void NativeWriter::BeginEntry(const EntryInfo& e) {
  std::string& s = StartLine(0);
  s += "Jnl: Type=";
  AppendInt(s, e.Type);
  s += "; Ver=";
  AppendInt(s, e.Ver);
  s += "; VerMin=";
  AppendInt(s, e.VerMin);
  s += "; CP=";
  AppendInt(s, e.Codepage);
  EndLine();
}

void NativeWriter::Record(int32_t type, int level) {
  assert(level >= 1 && level <= 24 && type > 0);
  std::string& s = StartLine(level);
  s += "Cmd: R=";
  AppendInt(s, type);
  EndLine();
}

void NativeWriter::Field(int32_t id, int level, const Value& v) {
  assert(level >= 1 && level <= 24 && id >= 0);
  std::string& s = StartLine(level);
  s += "Fld: ";
  AppendInt(s, id);
  switch (v.Kind) {
    case ValueKind::Int:
      s += "=INT: ";
      AppendInt(s, v.Num);
      break;
    case ValueKind::Bcd:
      s += "=BCD: ";
      AppendDecimal(s, v.Dec);
      break;
    case ValueKind::BcdFix:
      s += "=BCDF: ";
      s += v.Str;
      break;
    case ValueKind::Text:
      s += "=TX: ";
      AppendQuoted(s, v.Str);
      break;
    case ValueKind::Time:
      s += "=TI: ";
      AppendDateTime(s, v.Num);
      break;
    case ValueKind::Binary:
      s += "=BIN: ";
      AppendHex(s, v.Str);
      break;
  }
  s += ';';
  EndLine();
}

void NativeWriter::EndEntry() {
  StartLine(0) += "EoE";
  EndLine();
}

void NativeWriter::EndBlock() { out_.MaybeFlush(); }

void NativeWriter::Comment(std::string_view text) {
  std::string& s = out_.Buffer();
  s.append(static_cast<size_t>(2 * level_), ' ');
  s += "// ";
  s += text;
  EndLine();
}

}  // namespace jgen
