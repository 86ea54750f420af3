// tReportOut: where a report writer appends its text. The writer appends to
// text() and calls Spill() after each row; the text is handed to the sink in
// pieces of about 64 KiB, so a report of thousands of periods never sits in
// memory whole. Finish() hands on the rest. One thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace audit {

class tReportOut {
 public:
  // sink: receives the text in order; may throw (the writer stops).
  explicit tReportOut(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {}
  tReportOut(const tReportOut&) = delete;
  tReportOut& operator=(const tReportOut&) = delete;

  std::string& text() { return text_; }
  void Spill() {
    if (text_.size() >= kPiece) Finish();
  }
  void Finish() {
    if (!text_.empty()) sink_(text_);
    text_.clear();
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  std::function<void(std::string_view)> sink_;
  std::string text_;
};

}  // namespace audit
