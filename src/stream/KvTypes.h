// Value types of the journal besides tKvBcd: the digit string tKvBcdFix
// (terminal, operator and similar numbers), the program's date-time
// tKvDateTime and the bitsets tKvBitset / tKvBitsetMem.
// tKvBcdFix and tKvDateTime are plain trivially copyable values; a
// tKvBitsetMem owns its bits. Date-times are wall-clock values without a
// time zone and are converted with civil-calendar arithmetic only.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvClass.h"

// Unsigned digit string of 20 packed nibbles, most significant first (byte 0
// high nibble first). Nibbles 0-9 are digits, 15 is a separator shown as
// "/". Right-aligned: leading nibbles are 0; zero is all bytes 0.
// Intentionally copyable.
struct tKvBcdFix {
  static constexpr int kNibbles = 20;

  std::array<uint8_t, 10> Bytes{};

  bool IsZero() const;
  // Digits from the first non-zero nibble on, nibble 15 as "/", "0" for zero.
  std::string Text() const;
  // Text() appended to out.
  void AppendText(std::string& out) const;
  // Adds 1 in decimal digits from the last nibble on (a nibble above 9
  // counts as 9); 20 nines wrap to zero.
  void Increment();
  // Text() written to out; returns its length (1 to 20).
  size_t PutText(char (&out)[kNibbles]) const;
  // Takes characters from the right end: "0"-"9" give the digit, "/" gives
  // 15, the first other character stops the scan; at most 20 nibbles.
  static tKvBcdFix FromText(std::string_view text);
  // Unsigned order, byte by byte from byte 0: negative, 0 or positive.
  static int Compare(const tKvBcdFix& a, const tKvBcdFix& b);

  friend bool operator==(const tKvBcdFix& a, const tKvBcdFix& b) = default;
  friend std::strong_ordering operator<=>(const tKvBcdFix& a, const tKvBcdFix& b) {
    return Compare(a, b) <=> 0;
  }
};

// The program's date-time: a signed count of seconds. Day number =
// Value div 86400; day 1 is 1 January 1980 (day d is 31 December 1979 plus
// d days). A value below 86400 holds a time of day without a date; 0 is the
// null date-time. Intentionally copyable.
struct tKvDateTime {
  static constexpr int64_t kSecondsPerDay = 86400;
  // Seconds from 1 January 1970 00:00:00 to day 0 (31 December 1979).
  static constexpr int64_t kUnixOffset = 315446400;

  int64_t Value = 0;

  constexpr tKvDateTime() = default;
  constexpr explicit tKvDateTime(int64_t seconds) : Value(seconds) {}

  constexpr bool IsNull() const { return Value == 0; }
  constexpr bool HasDate() const { return Value >= kSecondsPerDay; }
  // Value div 86400 (truncating, as stored).
  constexpr int64_t DayNumber() const { return Value / kSecondsPerDay; }
  // Seconds since midnight, 0 to 86399 (negative values wrap into the day).
  constexpr int64_t SecondsOfDay() const {
    const int64_t r = Value % kSecondsPerDay;
    return r < 0 ? r + kSecondsPerDay : r;
  }
  // The date at 00:00:00 (null when there is no date part).
  constexpr tKvDateTime DatePart() const {
    return HasDate() ? tKvDateTime(DayNumber() * kSecondsPerDay) : tKvDateTime();
  }

  // Calendar date of the day number; false (and zeros) without date part.
  bool DecodeDate(int& year, int& month, int& day) const;
  void DecodeTime(int& hour, int& minute, int& second) const;

  // A calendar date and time of day; false when the fields do not form a
  // valid date on or after 1 January 1980 (year up to 9999) and time.
  static bool TryEncode(int year, int month, int day, int hour, int minute, int second,
                        tKvDateTime& result);
  // As TryEncode; raises EKvParam with "Invalid date-time: ..." on failure.
  static tKvDateTime Encode(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0);
  // A time of day without date (fields must be in range, else EKvParam).
  static tKvDateTime EncodeTime(int hour, int minute, int second);
  // Seconds since 1 January 1970 00:00:00 and back (no zone, no DST).
  static constexpr tKvDateTime FromUnixSeconds(int64_t s) { return tKvDateTime(s - kUnixOffset); }
  constexpr int64_t ToUnixSeconds() const { return Value + kUnixOffset; }

  // Formats with a Windows picture (d dd ddd dddd, M MM MMM MMMM, yy yyyy,
  // h hh H HH, m mm, s ss, quoted literals, "/" and ":" as the regional
  // separators); day and month names are German (Windows-1252).
  std::string Format(std::string_view picture) const;
  // Format without its shortcuts for the default pictures: the reference
  // those are checked against.
  std::string FormatPicture(std::string_view picture) const;
  // The default pictures written into text without a string: "dd.MM.yyyy"
  // ("00.00.0000" without date; false, writing nothing, for a year past
  // 9999), and "HH:mm:ss" with separator between the fields.
  static constexpr size_t kShortDateSize = 10;
  static constexpr size_t kLongTimeSize = 8;
  bool PutShortDate(char (&text)[kShortDateSize]) const;
  void PutLongTime(char (&text)[kLongTimeSize], char separator) const;
  // Compact "DD.MM.YYYY" ("00.00.0000" without date) or the regional long
  // date (the compact text when there is no date).
  std::string DateText(bool compact) const;
  // Compact "DD.MM.YY/HH:MM:SS" ("00.00.00" without date) or the regional
  // long date, ", ", the regional long time (only the time without date).
  std::string DateTimeText(bool compact) const;

  friend constexpr auto operator<=>(const tKvDateTime&, const tKvDateTime&) = default;
};

// A bitset with bits numbered from 1 to GetCount(). Indices outside that
// range are ignored by SetBit and read as false by GetBit.
class tKvBitset : public tKvClass {
 public:
  // Upper-case hexadecimal, most significant digit first, bit 1 the lowest
  // bit of the last digit; a "0" is put in front of an odd digit count.
  virtual std::string ToHexString() const;
  // Clears all, then reads from the last character backwards, 4 bits each
  // from bit 1 upward (hex digits in either case, any other counts as 0).
  virtual void FromHexString(std::string_view text);
  // One character per bit, bit 1 first: "1" set, "0" clear.
  virtual std::string ToBinaryText() const;
  // Clears all, then sets bit i when character i is "1".
  virtual void FromBinaryText(std::string_view text);
  virtual int32_t GetCount() const = 0;
  virtual void ClearAll();
  virtual void SetAll();
  virtual void SetBit(int32_t index, bool value) = 0;
  virtual bool GetBit(int32_t index) const = 0;
  virtual void Clear(int32_t index);
  virtual void Set(int32_t index);
  virtual void Toggle(int32_t index);
  // Highest index whose bit is set, 0 when none.
  virtual int32_t HighestSet() const;
  virtual int32_t CountSet() const;
  virtual int32_t CountClear() const;
  virtual bool IsEmpty() const;

  // Clears all, then copies bits 1 to the smaller of both counts.
  void Assign(const tKvBitset& other);
  // True when GetBit agrees for every index up to the larger count; an
  // absent other is unequal.
  bool Equals(const tKvBitset* other) const;
};

// Bitset in memory: bit i is in byte (i - 1) div 8, bit (i - 1) mod 8
// (least significant first) of (count + 7) div 8 bytes. The count is fixed
// at creation (negative counts become 0). Up to 640 bits (the largest
// journal bitset) live inline without heap allocation. Intentionally copyable.
class tKvBitsetMem final : public tKvBitset {
 public:
  static constexpr int32_t kInlineBytes = 80;

  explicit tKvBitsetMem(int32_t count = 0);
  explicit tKvBitsetMem(const tKvBitset& other);  // copy of any bitset
  tKvBitsetMem(const tKvBitsetMem& other);
  tKvBitsetMem& operator=(const tKvBitsetMem& other);
  ~tKvBitsetMem() override;

  std::string ToHexString() const override;
  int32_t GetCount() const override { return count_; }
  void ClearAll() override;
  void SetAll() override;
  void SetBit(int32_t index, bool value) override;
  bool GetBit(int32_t index) const override;
  int32_t HighestSet() const override;
  int32_t CountSet() const override;

  // The (count + 7) div 8 bytes of the layout above.
  int32_t ByteCount() const { return (count_ + 7) / 8; }
  const uint8_t* Data() const { return heap_.empty() ? inline_.data() : heap_.data(); }
  uint8_t* Data() { return heap_.empty() ? inline_.data() : heap_.data(); }

 private:
  void Allocate(int32_t count);

  int32_t count_ = 0;
  std::array<uint8_t, kInlineBytes> inline_{};
  std::vector<uint8_t> heap_;  // used only above kInlineBytes
};
