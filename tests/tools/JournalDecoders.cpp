#include "tools/JournalDecoders.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <string_view>

namespace jgen_test {
namespace {

constexpr int64_t kUnixOffset = 315446400;

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

// A decimal as "<sign><digits>e<exp>" with value 0.digits × 10^exp, digits
// without leading or trailing zeros; zero is "0".
std::string CanonicalDecimal(bool negative, std::string digits, int64_t exp) {
  while (!digits.empty() && digits.front() == '0') {
    digits.erase(0, 1);
    --exp;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return "0";
  return (negative ? "-" : "") + digits + "e" + std::to_string(exp);
}

std::string CanonicalDigits(std::string digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (const char c : bytes) {
    s += kDigits[static_cast<uint8_t>(c) >> 4];
    s += kDigits[static_cast<uint8_t>(c) & 15];
  }
  return s;
}

// --- native export text ------------------------------------------------------

// Scans to `sep` outside quote and bracket groups; returns the trimmed piece
// and removes it and the separator from `rest`.
std::string Take(std::string_view& rest, char sep) {
  size_t i = 0;
  int depth = 0;
  while (i < rest.size()) {
    const char c = rest[i];
    if (c == '"' || c == '\'') {
      const size_t close = rest.find(c, i + 1);
      i = close == std::string_view::npos ? rest.size() : close + 1;
      continue;
    }
    if (c == '(' || c == '[' || c == '{') ++depth;
    if ((c == ')' || c == ']' || c == '}') && depth > 0) --depth;
    if (c == sep && depth == 0) break;
    ++i;
  }
  std::string piece = Trim(rest.substr(0, i));
  rest = i < rest.size() ? rest.substr(i + 1) : std::string_view();
  return piece;
}

std::string DecodeTx(std::string_view v) {
  std::string out;
  size_t i = 0;
  while (i < v.size()) {
    const char c = v[i];
    if (c == '"' || c == '\'') {
      ++i;
      while (i < v.size()) {
        if (v[i] == c) {
          if (i + 1 < v.size() && v[i + 1] == c) {
            out += c;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += v[i++];
      }
    } else if (c == '#' && i + 1 < v.size() && std::isdigit(static_cast<uint8_t>(v[i + 1]))) {
      size_t j = i + 1;
      int code = 0;
      while (j < v.size() && std::isdigit(static_cast<uint8_t>(v[j]))) code = code * 10 + (v[j++] - '0');
      EXPECT_LE(code, 255) << std::string(v);
      out += static_cast<char>(code);
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

// "DD.MM.YYYY/HH:MM:SS" as a journal date-time (seconds, day 1 = 1.1.1980).
int64_t ParseNativeTime(const std::string& v) {
  int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0;
  EXPECT_EQ(std::sscanf(v.c_str(), "%d.%d.%d/%d:%d:%d", &d, &mo, &y, &h, &mi, &s), 6) << v;
  using namespace std::chrono;
  const sys_days days{year{y} / month{static_cast<unsigned>(mo)} / day{static_cast<unsigned>(d)}};
  return days.time_since_epoch().count() * 86400LL + h * 3600 + mi * 60 + s - kUnixOffset;
}

std::string NativeDecimal(const std::string& v) {
  bool negative = false;
  std::string_view t = v;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  const size_t dot = t.find('.');
  std::string digits(t.substr(0, dot));
  const auto exp = static_cast<int64_t>(digits.size());
  if (dot != std::string_view::npos) digits += t.substr(dot + 1);
  return CanonicalDecimal(negative, digits, exp);
}

}  // namespace

std::vector<std::string> DecodeNative(const std::string& text) {
  std::vector<std::string> events;
  int level = 0, lastLevel = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 2;
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && (line.front() == '(' || line.front() == ')')) {
      level += line.front() == '(' ? 1 : -1;
      line.remove_prefix(1);
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    }
    if (const size_t c = line.find("//"); c != std::string_view::npos) line = line.substr(0, c);
    if (Trim(line).empty()) continue;
    const std::string key = Take(line, ' ');
    if (key == "Fld:") {
      if (level < lastLevel) {
        events.push_back("Rec 0@" + std::to_string(level));
        lastLevel = level;
      }
      std::string_view idTag = line;
      const std::string head = Take(idTag, ' ');
      line = idTag;
      std::string_view h = head;
      const std::string id = Take(h, '=');
      const std::string tag(h);
      const std::string value = Take(line, ';');
      std::string v;
      if (tag == "INT:") {
        v = "I:" + value;
      } else if (tag == "BCD:") {
        v = "B:" + NativeDecimal(value);
      } else if (tag == "BCDF:") {
        v = "F:" + CanonicalDigits(value);
      } else if (tag == "TX:") {
        v = "S:" + DecodeTx(value);
      } else if (tag == "TI:") {
        v = "T:" + std::to_string(ParseNativeTime(value));
      } else if (tag == "BIN:") {
        v = "X:" + value;
      } else {
        ADD_FAILURE() << "unexpected field tag " << tag;
      }
      events.push_back("Fld " + id + "=" + v);
    } else if (key == "Cmd:") {
      const std::string itemText = Take(line, ' ');
      std::string_view item(itemText);
      Take(item, '=');
      events.push_back("Rec " + std::string(item) + "@" + std::to_string(level));
      lastLevel = level;
    } else if (key == "Ver:") {
      const std::string itemText = Take(line, ';');
      std::string_view item(itemText);
      const std::string index = Take(item, '=');
      events.push_back("Ver " + index + "=" + std::string(item));
    } else if (key == "Hdr:") {
      std::string first, second;
      while (!line.empty()) {
        const std::string itemText = Take(line, ';');
        std::string_view item(itemText);
        const std::string id = Take(item, '=');
        if (id == "1") first = item;
        if (id == "10") second = item;
      }
      events.push_back("Hdr " + first + " " + second);
    } else if (key == "Blk:") {
      std::string blk = "Blk";
      for (int n = 1; !line.empty(); ++n) {
        const std::string itemText = Take(line, ';');
        std::string_view item(itemText);
        Take(item, '=');
        if (n == 11) continue;  // data signature: not read
        blk += (n == 1 ? " " : ",") + (n == 5 ? CanonicalDigits(std::string(item)) : std::string(item));
      }
      events.push_back(blk);
    } else if (key == "Jnl:") {
      std::string jnl = "Jnl ";
      for (int n = 1; !line.empty(); ++n) {
        const std::string itemText = Take(line, ';');
        std::string_view item(itemText);
        Take(item, '=');
        jnl += (n == 1 ? "" : ",") + std::string(item);
      }
      events.push_back(jnl);
    } else if (key == "EoE") {
      events.push_back("EoE");
    } else {
      ADD_FAILURE() << "unknown keyword " << key;
    }
  }
  return events;
}

// --- ASCII interface file and binary stream -----------------------------------

namespace {

class BinaryReader {
 public:
  BinaryReader(std::string_view block, bool lengthPrefixed, std::vector<std::string>& events,
               int& links)
      : b_(block), prefixed_(lengthPrefixed), events_(events), links_(links) {}

  void Run() {
    while (pos_ < b_.size() && ok_) Step();
    EXPECT_EQ(pos_, b_.size()) << "block overrun";
    if (prefixed_ && lengthDue_ && lastLength_ > 0) {
      EXPECT_EQ(pos_, expectedEntryEnd_) << "length value does not match the last entry";
    }
  }

 private:
  // The value of one element, rendered; Multi elements are flattened into `items`.
  struct Element {
    std::vector<std::string> Items;
  };

  uint8_t Byte() {
    if (pos_ >= b_.size()) {
      if (ok_) ADD_FAILURE() << "read past the end of the block";
      ok_ = false;
      return 0;
    }
    return static_cast<uint8_t>(b_[pos_++]);
  }
  uint32_t Le(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  std::string Bytes(size_t n) {
    if (pos_ + n > b_.size()) {
      ok_ = false;
      ADD_FAILURE() << "read past the end of the block";
      return {};
    }
    std::string s(b_.substr(pos_, n));
    pos_ += n;
    return s;
  }

  void ReadElement(std::vector<std::string>& items) {
    const uint8_t id = Byte();
    if (id >= 1 && id <= 17) {
      items.push_back("I:" + std::to_string(id - 1));
    } else if (id >= 18 && id <= 21) {
      const uint32_t v = Le(id - 17);
      items.push_back("I:" + std::to_string(id == 21 ? static_cast<int64_t>(static_cast<int32_t>(v)) : v));
    } else if (id == 22) {
      items.push_back("B:0");
    } else if (id >= 23 && id <= 31) {
      const int n = id - 21;
      uint8_t bcd[10] = {};
      bcd[0] = Byte();
      for (int i = 10 - (n - 1); i <= 9; ++i) bcd[i] = Byte();
      std::string digits;
      for (int i = 9; i >= 1; --i) {
        digits += static_cast<char>('0' + (bcd[i] >> 4));
        digits += static_cast<char>('0' + (bcd[i] & 15));
      }
      const int exp = (bcd[0] & 0x7F);
      items.push_back("B:" + (exp == 0 ? std::string("0")
                                        : CanonicalDecimal((bcd[0] & 0x80) != 0, digits, exp - 63)));
    } else if (id >= 32 && id <= 42) {
      std::string digits;
      for (const char c : Bytes(id - 32u)) {
        digits += static_cast<char>('0' + (static_cast<uint8_t>(c) >> 4));
        digits += static_cast<char>('0' + (static_cast<uint8_t>(c) & 15));
      }
      items.push_back("F:" + CanonicalDigits(digits));
    } else if (id == 54) {
      items.push_back("S:");
    } else if (id == 55 || id == 56) {
      const std::string s = Bytes(Le(id == 55 ? 1 : 2));
      for (const char c : s) {
        if (static_cast<uint8_t>(c) < 32) ADD_FAILURE() << "control byte in a text";
      }
      items.push_back("S:" + s);
    } else if (id == 58) {
      items.push_back("T:0");
    } else if (id == 59) {
      const auto raw = static_cast<int32_t>(Le(4));
      EXPECT_GT(raw, kUnixOffset) << "time without date";
      items.push_back("T:" + std::to_string(static_cast<int64_t>(raw) - kUnixOffset));
    } else if (id == 103) {
      ReadElement(items);
      ReadElement(items);
    } else if (id == 113) {
      items.push_back("X:");
    } else if (id == 114 || id == 115) {
      items.push_back("X:" + Hex(Bytes(Le(id == 114 ? 1 : 2))));
    } else {
      ADD_FAILURE() << "unexpected element id " << int{id} << " at " << pos_ - 1;
      ok_ = false;
    }
  }

  static std::string Strip(const std::string& v) { return v.substr(2); }

  // One item; returns its number, or -1 for a sub-item (field).
  int64_t Item() {
    const size_t itemPos = pos_;
    const uint8_t f = Byte();
    uint32_t number = 0;
    bool hasElement = true, sub = false;
    if (f >= 116 && f <= 132) {
      number = f - 116u;
    } else if (f >= 133 && f <= 136) {
      number = Le(f - 132);
    } else if (f >= 137 && f <= 153) {
      number = f - 137u;
      hasElement = false;
    } else if (f >= 154 && f <= 157) {
      number = Le(f - 153);
      hasElement = false;
    } else if (f >= 158 && f <= 174) {
      number = f - 158u;
      sub = true;
    } else if (f >= 175 && f <= 178) {
      number = Le(f - 174);
      sub = true;
    } else {
      ADD_FAILURE() << "unexpected framing byte " << int{f} << " at " << itemPos;
      ok_ = false;
      return 0;
    }
    std::vector<std::string> v;
    if (hasElement) ReadElement(v);
    if (!ok_) return 0;
    if (sub) {
      EXPECT_EQ(v.size(), 1u);
      events_.push_back("Fld " + std::to_string(number) + "=" + v.front());
      return -1;
    }
    if (number >= 9 && number <= 32) {
      EXPECT_EQ(v.size(), 1u);
      if (!following_) events_.push_back("Rec " + Strip(v.front()) + "@" + std::to_string(number - 8));
    } else if (number == 50 || number == 1050) {
      EXPECT_EQ(v.size(), 20u) << "file header";
    } else if (number == 1) {
      events_.push_back("Ver 1=" + Strip(v.front()));
    } else if (number == 3) {
      EXPECT_EQ(v.size(), 4u);
      events_.push_back("Jnl " + Strip(v[0]) + "," + Strip(v[1]) + "," + Strip(v[2]) + "," + Strip(v[3]));
    } else if (number == 5) {
      EXPECT_EQ(v.size(), 12u);
      std::string blk = "Blk";
      for (size_t i = 0; i < v.size(); ++i) {
        if (i == 10) continue;  // data signature
        blk += (i == 0 ? " " : ",") + Strip(v[i]);
      }
      events_.push_back(blk);
      if (prefixed_) lastLength_ = static_cast<int32_t>(Le(4));
      CheckLength();
    } else if (number == 6) {
      if (!following_) {
        events_.push_back("EoE");
        lengthDue_ = true;
      }
    } else if (number == 4) {
      EXPECT_FALSE(following_) << "nested back link";
      FollowLink(itemPos, std::stoll(Strip(v.front())));
    } else {
      ADD_FAILURE() << "unexpected item number " << number;
    }
    return number;
  }

  void CheckLength() {
    if (prefixed_ && lastLength_ > 0) expectedEntryEnd_ = pos_ + static_cast<size_t>(lastLength_);
  }

  void Step() {
    if (prefixed_ && lengthDue_ && lastLength_ > 0) {
      EXPECT_EQ(pos_, expectedEntryEnd_) << "length value does not match the entry";
      lastLength_ = static_cast<int32_t>(Le(4));
      lengthDue_ = false;
      CheckLength();
    }
    Item();
  }

  void FollowLink(size_t linkPos, int64_t distance) {
    ASSERT_GT(distance, 0);
    ASSERT_LE(static_cast<size_t>(distance), linkPos);
    ++links_;
    const size_t saved = pos_;
    pos_ = linkPos - static_cast<size_t>(distance);
    following_ = true;
    const int64_t first = Item();
    EXPECT_TRUE(first >= 9 && first <= 32) << "link target is no record start";
    while (ok_) {
      const int64_t n = Item();
      if ((n >= 9 && n <= 32) || n == 6) break;
    }
    following_ = false;
    pos_ = saved;
  }

  std::string_view b_;
  bool prefixed_;
  std::vector<std::string>& events_;
  int& links_;
  size_t pos_ = 0;
  bool ok_ = true;
  bool following_ = false;
  bool lengthDue_ = false;
  int32_t lastLength_ = 0;
  size_t expectedEntryEnd_ = 0;
};

uint8_t HexNibble(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  ADD_FAILURE() << "bad hex digit " << c;
  return 0;
}

}  // namespace

std::vector<std::string> DecodeAscii(const std::string& text, int* links) {
  std::vector<std::string> events;
  int linkCount = 0;
  std::string block;
  std::string header;
  int version = 2;
  const auto flush = [&] {
    if (header.empty()) return;
    events.push_back(header);
    BinaryReader(block, version == 2, events, linkCount).Run();
    block.clear();
    header.clear();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 2;
    const std::string code = Take(line, ',');
    if (code == "200") {
      flush();
      std::string first, second;
      while (!line.empty()) {
        const std::string pairText = Take(line, ',');
        std::string_view pair(pairText);
        const std::string key = Take(pair, ';');
        if (key == "1") first = pair;
        if (key == "10") second = pair;
      }
      EXPECT_EQ(first, "1");
      header = "Hdr " + first + " " + second;
    } else if (code == "242") {
      EXPECT_FALSE(header.empty()) << "data line outside a block";
      while (!line.empty()) {
        const std::string pairText = Take(line, ',');
        std::string_view pair(pairText);
        version = std::stoi(Take(pair, ';'));
        Take(pair, ':');
        for (size_t i = 0; i + 1 < pair.size(); i += 2) {
          block += static_cast<char>(HexNibble(pair[i]) << 4 | HexNibble(pair[i + 1]));
        }
      }
    } else {
      ADD_FAILURE() << "unexpected line code " << code;
    }
  }
  flush();
  if (links != nullptr) *links = linkCount;
  return events;
}

}  // namespace jgen_test
