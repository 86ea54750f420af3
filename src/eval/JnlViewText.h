// The text pieces the journal view is made of: names, numbers, amounts,
// dates and the alignment of a line to the view's 70 columns. Pure
// functions over the regional settings and the caption table; they never
// fail. Texts are Windows-1252 bytes, passed through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/KvByteLine.h"
#include "eval/KvBcdText.h"
#include "stream/KvBcd.h"
#include "stream/KvTypes.h"

namespace jnl_view {

// Width of a view line.
inline constexpr size_t kLineWidth = 70;

// The decimal text of an integer ("-12"), held by value: a view of it
// lives as long as the object (a temporary: to the end of the expression).
class tIntText {
 public:
  explicit tIntText(int64_t value);
  operator std::string_view() const { return {digits_, size_}; }

 private:
  char digits_[20];
  size_t size_;
};

// name, or "* Bezeichnung nicht vorhanden *" when it is blank (a view of
// name or of a text that lives as long as the program).
std::string_view NameText(std::string_view name);
// The digit text of number, "?" when it has none; the View form writes it
// into buffer (or gives the "?") and views it.
std::string DigitsText(const tKvBcdFix& number);
std::string_view DigitsView(const tKvBcdFix& number, char (&buffer)[tKvBcdFix::kNibbles]);
// NameText(name) + " (#" + number + ")"; the Append forms append it to out.
std::string RefText(std::string_view name, std::string_view number);
std::string RefText(std::string_view name, const tKvBcdFix& number);
std::string RefText(std::string_view name, int32_t number);
void AppendRefText(tKvByteLine& out, std::string_view name, std::string_view number);
void AppendRefText(tKvByteLine& out, std::string_view name, const tKvBcdFix& number);
void AppendRefText(tKvByteLine& out, std::string_view name, int32_t number);

// The long decimal text with two decimal places ("1.234,50"), rounded half
// away from zero; tAmountText holds it by value.
class tAmountText : public tBcdTextPlaces {
 public:
  explicit tAmountText(const tKvBcd& value) : tBcdTextPlaces(value, 2) {}
};
std::string AmountText(const tKvBcd& value);
// The long decimal text with the places the value needs ("2", "1,5").
std::string QuantityText(const tKvBcd& value);
void AppendQuantityText(tKvByteLine& out, const tKvBcd& value);

// left padded with blanks, or cut, to width - right.size() bytes, then right.
std::string RightAlign(std::string_view left, std::string_view right, size_t width = kLineWidth);
// The same in place for the line that begins at lineStart and ends text:
// it becomes RightAlign(line, right, width).
void AlignRight(tKvByteLine& text, size_t lineStart, std::string_view right,
                size_t width = kLineWidth);

// Lines built one after another in one buffer, as a line sink takes them
// (tKvFiscalDataDestAscii::WriteLines): a line is completed in place and
// ended when the next one begins or the block is closed. The buffer only
// grows, so that a block reused for every entry follows the longest.
class tLineBlock {
 public:
  // Ends the open line, then begins a new one with start; the buffer, to
  // complete it with appends.
  tKvByteLine& Begin(std::string_view start) {
    Close();
    open_ = true;
    ++lines_;
    line_start_ = text_.size();
    return text_.append(start);
  }
  // The open line aligned: AlignRight(line, right, width).
  void AlignRight(std::string_view right, size_t width = kLineWidth) {
    jnl_view::AlignRight(text_, line_start_, right, width);
  }
  // Ends the open line; the block's text, every line ended.
  std::string_view Close();
  // Ends the open line, then appends lines that are ended already.
  void AppendLines(std::string_view lines) {
    Close();
    text_.append(lines);
  }
  // Lines begun since the block was cleared.
  bool empty() const { return lines_ == 0; }
  void Clear() {
    text_.clear();
    open_ = false;
    lines_ = 0;
  }

 private:
  tKvByteLine text_;
  size_t line_start_ = 0;
  size_t lines_ = 0;
  bool open_ = false;
};

// text preceded by blanks up to width bytes (longer texts stay whole).
std::string PadLeft(std::string_view text, size_t width = kLineWidth);
// caption + ": ", padded with blanks or cut to 30 bytes.
std::string Label30(std::string_view caption);
// Appends QuantityText(quantity), " " + text + " " when text is not blank,
// "x " + RefText(name, number) + " " to out.
void AppendArticleText(tKvByteLine& out, std::string_view name, const tKvBcdFix& number,
                       const tKvBcd& quantity, std::string_view text);

// The date in the regional short date format; the time of day in the
// regional long time format.
std::string ShortDate(const tKvDateTime& value);
std::string LongTime(const tKvDateTime& value);

// The signature text of the Portuguese journal variant: data read as
// hexadecimal digits (up to the first non-digit, at most 128 bytes), those
// bytes in Base64, of which the characters 1, 11, 21 and 31 (as far as
// there are any), then "-" and the certification footer.
std::string PortugueseSignatureText(std::string_view data);

}  // namespace jnl_view
