#include "check/RecordScanner.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include "check/CodePage.h"
#include "check/TableFinding.h"

namespace check {

namespace {

std::string InCodePage(tEncoding encoding, const std::string& utf8) {
  std::optional<std::string> text = FromUtf8(encoding, utf8);
  return text ? std::move(*text) : utf8;
}

const char* BareLineEnd(char c) {
  return c == '\n' ? "a record ended by LF alone, CR LF declared"
                   : "a record ended by CR alone, CR LF declared";
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

tRecordScanner::tRecordScanner(const tTableDecl& table, tEntryReader& reader, tFindings* findings,
                               size_t bufferBytes)
    : table_(table),
      reader_(reader),
      findings_(findings),
      colDelim_(InCodePage(table.Encoding, table.ColumnDelimiter)),
      recDelim_(InCodePage(table.Encoding, table.RecordDelimiter)),
      quote_(InCodePage(table.Encoding, table.TextEncapsulator)),
      buffer_(std::make_unique_for_overwrite<char[]>(std::max<size_t>(bufferBytes, 1))),
      capacity_(std::max<size_t>(bufferBytes, 1)) {
  assert(IsDecodable(table.Encoding));
  crlf_ = recDelim_ == "\r\n";
  lineByte_ = recDelim_.empty() ? '\n' : recDelim_.back();
  if (table.Fixed) {
    quote_.clear();
    colDelim_.clear();
    for (const tColumnDecl& column : table.Columns) {
      if (column.FixedFrom > 0) {
        fixedLength_ = std::max(fixedLength_, column.FixedFrom + column.FixedLength - 1);
      }
    }
    if (table.FixedRecordLength) fixedLength_ = *table.FixedRecordLength;
  }
  for (const std::string* text : {&colDelim_, &recDelim_, &quote_}) {
    if (!text->empty()) special_[static_cast<unsigned char>(text->front())] = true;
  }
  if (crlf_) special_[static_cast<unsigned char>('\n')] = true;
}

bool tRecordScanner::Next() {
  if (!started_) {
    started_ = true;
    if (!SkipLeadingBytes()) return false;
  }
  if (stopped_ || (table_.RangeTo && record_ >= *table_.RangeTo)) return false;
  const tScan scan = Scan();
  if (scan == tScan::kEnd) {
    if (!stopped_ && record_ + 1 < table_.RangeFrom) {
      Report(tCode::kSkipBeyondEnd, 0, 0, {},
             "Range starts at record " + std::to_string(table_.RangeFrom) + ", the file has " +
                 std::to_string(record_));
    }
    stopped_ = true;
    return false;
  }
  ++record_;
  line_ = nextLine_;
  nextLine_ += recordLines_;
  if (!table_.Fixed && IsData() && fieldCount_ != table_.Columns.size()) {
    Fault(
        tCode::kFieldCount, 0, 0,
        std::to_string(fieldCount_) + " fields, declared " + std::to_string(table_.Columns.size()));
  }
  ReportFaults(Bytes());
  Unescape();
  return true;
}

bool tRecordScanner::SkipLeadingBytes() {
  uint64_t left = table_.SkipNumBytes;
  while (left > 0) {
    if (pos_ == end_) {
      if (eof_) break;
      Fill();
      continue;
    }
    const size_t take = static_cast<size_t>(std::min<uint64_t>(left, end_ - pos_));
    nextLine_ += std::count(buffer_.get() + pos_, buffer_.get() + pos_ + take, lineByte_);
    pos_ += take;
    left -= take;
  }
  if (left > 0) {
    Report(tCode::kSkipBeyondEnd, 0, 0, {},
           "SkipNumBytes " + std::to_string(table_.SkipNumBytes) + " beyond the file's " +
               std::to_string(table_.SkipNumBytes - left) + " bytes");
    stopped_ = true;
    return false;
  }
  if (table_.Encoding == tEncoding::kUtf8 && table_.SkipNumBytes == 0) {
    while (end_ - pos_ < 3 && !eof_ && Fill()) {
    }
    if (end_ - pos_ >= 3 && std::memcmp(buffer_.get() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
  }
  return true;
}

tRecordScanner::tScan tRecordScanner::Scan() {
  for (;;) {
    fieldCount_ = 0;
    doubled_.clear();
    faults_.clear();
    recordLines_ = 1;
    inQuote_ = false;
    recordStart_ = pos_;
    const tScan scan = table_.Fixed ? ScanFixed() : ScanVariable();
    if (scan != tScan::kMore) return scan;
    assert(!eof_);
    if (!Fill()) return tScan::kEnd;
  }
}

int tRecordScanner::MatchRest(const char* at, const char* end, const std::string& what) const {
  const size_t available = static_cast<size_t>(end - at);
  if (available >= what.size()) return std::memcmp(at, what.data(), what.size()) == 0 ? 1 : 0;
  if (std::memcmp(at, what.data(), available) != 0) return 0;
  return eof_ ? 0 : -1;
}

tRecordScanner::tScan tRecordScanner::ScanVariable() {
  char* const base = buffer_.get();
  const char* const start = base + pos_;
  const char* const end = base + end_;
  const char* p = start;
  if (p == end) return eof_ ? tScan::kEnd : tScan::kMore;
  const auto endRecord = [&](const char* next) {
    pos_ = static_cast<size_t>(next - base);
    return tScan::kRecord;
  };
  bool strayReported = false;
  for (;;) {  // one field per round
    const char* value = p;
    const size_t fieldNo = fieldCount_ + 1;
    int m = Match(p, end, quote_);
    if (m < 0) return tScan::kMore;
    if (m > 0) {
      const char* q = p + quote_.size();
      value = q;
      bool doubled = false;
      for (;;) {
        const char* hit = static_cast<const char*>(std::memchr(q, quote_[0], end - q));
        if (hit == nullptr) {
          if (!eof_) {
            inQuote_ = true;
            return tScan::kMore;
          }
          Fault(tCode::kQuote, fieldNo, p - start,
                "text encapsulator not closed before the file's end");
          recordLines_ += std::count(value, end, lineByte_);
          AddField(std::string_view(value, end - value));
          return endRecord(end);
        }
        m = Match(hit, end, quote_);
        if (m < 0) return tScan::kMore;
        if (m == 0) {
          q = hit + 1;
          continue;
        }
        const char* after = hit + quote_.size();
        m = Match(after, end, quote_);
        if (m < 0 || (after == end && !eof_)) return tScan::kMore;
        if (m > 0) {
          doubled = true;
          q = after + quote_.size();
          continue;
        }
        recordLines_ += std::count(value, hit, lineByte_);
        if (doubled) doubled_.push_back(fieldCount_);
        AddField(std::string_view(value, hit - value));
        p = after;
        break;
      }
      // The field must end right after the closing encapsulator.
      if (p == end) {
        Fault(tCode::kRecordDelimiter, 0, 0,
              "the last record is not ended by the record delimiter");
        return endRecord(p);
      }
      if ((m = Match(p, end, colDelim_)) != 0) {
        if (m < 0) return tScan::kMore;
        p += colDelim_.size();
        continue;
      }
      if ((m = Match(p, end, recDelim_)) != 0) {
        if (m < 0) return tScan::kMore;
        return endRecord(p + recDelim_.size());
      }
      if (crlf_ && (*p == '\r' || *p == '\n')) {
        Fault(tCode::kRecordDelimiter, 0, 0, BareLineEnd(*p));
        return endRecord(p + 1);
      }
      Fault(tCode::kQuote, fieldNo, p - start, "text after the closing encapsulator");
      strayReported = true;
      --fieldCount_;
      doubled_.erase(std::remove(doubled_.begin(), doubled_.end(), fieldCount_), doubled_.end());
      value = value - quote_.size();
    }
    // An unencapsulated field (or the rest of one with text after its closing encapsulator).
    for (;;) {
      while (p < end && !special_[static_cast<unsigned char>(*p)]) ++p;
      if (p == end) {
        if (!eof_) return tScan::kMore;
        AddField(std::string_view(value, p - value));
        Fault(tCode::kRecordDelimiter, 0, 0,
              "the last record is not ended by the record delimiter");
        return endRecord(p);
      }
      if ((m = Match(p, end, colDelim_)) != 0) {
        if (m < 0) return tScan::kMore;
        AddField(std::string_view(value, p - value));
        p += colDelim_.size();
        break;
      }
      if ((m = Match(p, end, recDelim_)) != 0) {
        if (m < 0) return tScan::kMore;
        AddField(std::string_view(value, p - value));
        return endRecord(p + recDelim_.size());
      }
      if ((m = Match(p, end, quote_)) != 0) {
        if (m < 0) return tScan::kMore;
        if (!strayReported) {
          Fault(tCode::kQuote, fieldNo, value - start,
                "text encapsulator inside an unencapsulated field");
          strayReported = true;
        }
        p += quote_.size();
        continue;
      }
      if (crlf_ && (*p == '\r' || *p == '\n')) {
        AddField(std::string_view(value, p - value));
        Fault(tCode::kRecordDelimiter, 0, 0, BareLineEnd(*p));
        return endRecord(p + 1);
      }
      ++p;  // the first byte of a longer delimiter that does not follow
    }
  }
}

tRecordScanner::tScan tRecordScanner::ScanFixed() {
  const char* const base = buffer_.get();
  const char* const start = base + pos_;
  const char* const end = base + end_;
  if (start == end) return eof_ ? tScan::kEnd : tScan::kMore;
  std::string_view record;
  size_t next = 0;  // bytes up to the next record
  if (!recDelim_.empty()) {
    const char* p = start;
    for (;;) {
      p = static_cast<const char*>(std::memchr(p, recDelim_[0], end - p));
      if (p == nullptr) {
        if (!eof_) return tScan::kMore;
        record = std::string_view(start, end - start);
        next = record.size();
        Fault(tCode::kRecordDelimiter, 0, 0,
              "the last record is not ended by the record delimiter");
        break;
      }
      const int m = Match(p, end, recDelim_);
      if (m < 0) return tScan::kMore;
      if (m > 0) {
        record = std::string_view(start, p - start);
        next = record.size() + recDelim_.size();
        break;
      }
      ++p;
    }
  } else {
    const size_t length = static_cast<size_t>(std::max<uint64_t>(fixedLength_, 1));
    if (static_cast<size_t>(end - start) < length && !eof_) {
      // A record longer than the buffer: Fill grows it.
      return tScan::kMore;
    }
    record = std::string_view(start, std::min<size_t>(length, end - start));
    next = record.size();
  }
  if (record.size() != fixedLength_) {
    Fault(tCode::kFixedLength, 0, 0,
          "a record of " + std::to_string(record.size()) + " bytes, declared " +
              std::to_string(fixedLength_));
  }
  for (const tColumnDecl& column : table_.Columns) {
    const size_t from = column.FixedFrom > 0 ? static_cast<size_t>(column.FixedFrom - 1) : 0;
    if (from >= record.size()) {
      AddField({});
    } else {
      AddField(Trimmed(record.substr(from, static_cast<size_t>(column.FixedLength))));
    }
  }
  pos_ += next;
  return tScan::kRecord;
}

bool tRecordScanner::Fill() {
  char* base = buffer_.get();
  if (pos_ > 0) {
    std::memmove(base, base + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == capacity_) {
    if (capacity_ >= kMaxRecordBytes) {
      Report(inQuote_ ? tCode::kQuote : tCode::kRecordDelimiter, nextLine_, 0, {},
             "no record ends within " + std::to_string(kMaxRecordBytes >> 20) +
                 " MiB; the rest of the file is not read");
      stopped_ = true;
      return false;
    }
    const size_t capacity = std::min(capacity_ * 2, kMaxRecordBytes);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), base, end_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
  }
  const size_t got = ReadInto(buffer_.get() + end_, capacity_ - end_);
  if (got == 0) eof_ = true;
  end_ += got;
  return true;
}

size_t tRecordScanner::ReadInto(char* at, size_t size) {
  size_t got = 0;
  while (got < size) {
    const size_t n = reader_.Read(at + got, size - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

void tRecordScanner::Fault(tCode code, uint32_t field, size_t offset, std::string message) {
  faults_.push_back({code, field, offset, std::move(message)});
}

void tRecordScanner::ReportFaults(std::string_view record) {
  for (tFault& fault : faults_) {
    Report(fault.Code, line_, fault.Field, record.substr(std::min(fault.Offset, record.size())),
           std::move(fault.Message));
  }
}

void tRecordScanner::Report(tCode code, uint64_t line, uint32_t field, std::string_view excerpt,
                            std::string message) {
  if (findings_ == nullptr) return;
  AddTableFinding(*findings_, table_, code, line, field, excerpt, std::move(message));
}

// A doubled encapsulator stands for one: close the gaps in place.
void tRecordScanner::Unescape() {
  for (const size_t index : doubled_) {
    char* const first = buffer_.get() + (fields_[index].data() - buffer_.get());
    const size_t size = fields_[index].size();
    const size_t q = quote_.size();
    size_t out = 0;
    for (size_t in = 0; in < size;) {
      const std::string_view rest(first + in, size - in);
      if (rest.size() >= 2 * q && rest.starts_with(quote_) && rest.substr(q).starts_with(quote_)) {
        std::memmove(first + out, first + in, q);
        out += q;
        in += 2 * q;
      } else {
        first[out++] = first[in++];
      }
    }
    fields_[index] = std::string_view(first, out);
  }
}

}  // namespace check
