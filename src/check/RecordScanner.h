// tRecordScanner: reads the records of one table file in sequence and splits
// each into its fields, streaming the file through one reused buffer.
//
//   VariableLength  a field ends at the column delimiter, a record at the
//                   record delimiter (each may be several bytes); a field that
//                   starts with the text encapsulator runs to the one that
//                   closes it, delimiters and line ends inside are data and a
//                   doubled encapsulator stands for one.
//   FixedLength     a record is Length bytes or ends at the record delimiter;
//                   fields are cut by position, blanks around them trimmed.
//
// SkipNumBytes are skipped first; every record is yielded, IsData() says
// whether Range declares it data; reading ends after Range/To. Line() is the
// file's own 1-based line where the record starts (a line break inside an
// encapsulated field starts a line of the file, not a record).
//
// What the file's structure gets wrong goes into findings, once per fault
// and record: C407 (another field count, data records only), C409, C410,
// C415 (a bare CR or LF where CR LF is declared, the last record without
// delimiter, a record longer than kMaxRecordBytes, after which the rest of
// the file is not read), C416. findings nullptr: a quiet pass over a file
// already reported.
//
// Borrows table, reader and findings, which must outlive it; owns the
// buffer. Fields() views it and is valid until the next Next(). Raises only
// what the reader raises (EKvIo). One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/ExportIndex.h"
#include "check/ExportSource.h"
#include "check/Findings.h"

namespace check {

class tRecordScanner {
 public:
  static constexpr size_t kBufferBytes = size_t{1} << 20;
  static constexpr size_t kMaxRecordBytes = size_t{16} << 20;

  // REQUIRES: the table's encoding is decodable (CodePage.h).
  tRecordScanner(const tTableDecl& table, tEntryReader& reader, tFindings* findings,
                 size_t bufferBytes = kBufferBytes);
  tRecordScanner(const tRecordScanner&) = delete;
  tRecordScanner& operator=(const tRecordScanner&) = delete;

  // Moves to the next record; false when the file (or its Range) has ended.
  bool Next();

  uint64_t Record() const { return record_; }  // 1-based, SkipNumBytes excluded
  uint64_t Line() const { return line_; }
  bool IsData() const { return record_ >= table_.RangeFrom; }
  std::span<const std::string_view> Fields() const { return {fields_.data(), fieldCount_}; }
  // The record's bytes as read, delimiter included (the fields view into them).
  std::string_view Bytes() const { return {buffer_.get() + recordStart_, pos_ - recordStart_}; }
  // Lines of the file read so far.
  uint64_t Lines() const { return nextLine_ - 1; }

 private:
  enum class tScan { kRecord, kMore, kEnd };
  struct tFault {
    tCode Code;
    uint32_t Field;  // 1-based, 0 for the record
    size_t Offset;   // of the excerpt, from the record's start
    std::string Message;
  };

  bool SkipLeadingBytes();
  tScan Scan();
  tScan ScanVariable();
  tScan ScanFixed();
  bool Fill();
  size_t ReadInto(char* at, size_t size);
  // 1: what starts at at; 0: it does not (or what is empty); -1: the bytes
  // end within a match and more may follow. Inline: it runs once per field.
  [[gnu::always_inline]] int Match(const char* at, const char* end, const std::string& what) const {
    if (what.empty() || at == end) return what.empty() || eof_ ? 0 : -1;
    if (*at != what[0]) return 0;
    if (what.size() == 1) return 1;
    return MatchRest(at, end, what);
  }
  [[gnu::always_inline]] void AddField(std::string_view field) {
    if (fieldCount_ == fields_.size()) [[unlikely]]
      fields_.resize(fieldCount_ * 2 + 8);
    fields_[fieldCount_++] = field;
  }
  int MatchRest(const char* at, const char* end, const std::string& what) const;
  void Fault(tCode code, uint32_t field, size_t offset, std::string message);
  void ReportFaults(std::string_view record);
  void Unescape();
  void Report(tCode code, uint64_t line, uint32_t field, std::string_view excerpt,
              std::string message);

  const tTableDecl& table_;
  tEntryReader& reader_;
  tFindings* findings_;
  std::string colDelim_, recDelim_, quote_;  // in the table's code page
  bool crlf_ = false;  // the record delimiter is CR LF: a bare CR or LF ends a record too
  char lineByte_;      // the byte that ends a line of the file
  uint64_t fixedLength_ = 0;
  bool special_[256] = {};

  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t recordStart_ = 0;
  size_t pos_ = 0;  // start of the unread records
  size_t end_ = 0;  // end of the bytes read
  bool eof_ = false;
  bool started_ = false;
  bool stopped_ = false;
  bool inQuote_ = false;  // the last scan ran out of bytes inside an encapsulated field

  uint64_t record_ = 0;
  uint64_t line_ = 0;
  uint64_t nextLine_ = 1;
  uint64_t recordLines_ = 0;              // line breaks of the record being scanned
  std::vector<std::string_view> fields_;  // the first fieldCount_ are the record's
  size_t fieldCount_ = 0;
  std::vector<size_t> doubled_;  // fields holding doubled encapsulators
  std::vector<tFault> faults_;
};

}  // namespace check
