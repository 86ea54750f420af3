// The communication stream: the framing layer of the binary journal. This
// unit holds the item sink every writer derives from, the abstract parser
// (source plus the overall parse with its end check), the block signature
// record and the stream files the fiscal layer positions in. A parser
// borrows its source; a memory stream file owns its bytes. Malformed input
// raises EKvKPosComStream (declared with the elements).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "stream/KvBcd.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosValue.h"
#include "stream/KvTypes.h"

// ---------------------------------------------------------------------------
// Data signature of a block: up to 1024 bytes. Intentionally copyable.
struct tKvKPosSignatureRec {
  static constexpr int32_t kCapacity = 1024;

  int32_t Length = 0;
  std::array<uint8_t, kCapacity> Data{};

  // Length 0, all data bytes 0.
  void Init();
  // Empty bytes leave the record unchanged; more than 1024 bytes raise
  // EKvParam "tKvKPosSignatureRec.AssignBinary: signature too long: <n>"
  // (the record is then unchanged); otherwise Length = size and the bytes
  // are copied to the start of Data.
  void AssignBinary(std::string_view bytes);
  // Equal lengths and equal first Length bytes.
  bool Equals(const tKvKPosSignatureRec& other) const;
  std::string_view View() const;
};

// ---------------------------------------------------------------------------
// The item sink: receives numbered items. Ownership of every element passes
// to the sink. Not copyable.
class tKvKPosComStreamBase : public tKvClass {
 public:
  tKvKPosComStreamBase() = default;
  tKvKPosComStreamBase(const tKvKPosComStreamBase&) = delete;
  tKvKPosComStreamBase& operator=(const tKvKPosComStreamBase&) = delete;
  ~tKvKPosComStreamBase() override;

  // Slot 0: one item; the sink owns element from now on.
  virtual void AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) = 0;
  // Beyond the slots: one item as a value (KvKPosValue.h), for producers
  // that read values rather than elements. The same item as AddItem with
  // value.MakeElement(), which is what this default does; a sink that only
  // reads the field, or passes it on, may do without the element object.
  virtual void AddValue(int32_t number, const tKvKPosValue& value);

  // Helpers: hand over the value (AddValue).
  void AddInteger(int32_t number, int32_t value);
  void AddBcd(int32_t number, const tKvBcd& value);
  void AddBcdFix(int32_t number, const tKvBcdFix& value);
  void AddString(int32_t number, std::string_view text);
  void AddTime(int32_t number, tKvDateTime dateTime);
  // Copies length bytes from buffer (length <= 0 gives an empty element).
  void AddBinary(int32_t number, const void* buffer, int32_t length);
};

// ---------------------------------------------------------------------------
// Abstract parser: a framing loop (ParseItems) over a borrowed source.
// "*source" must outlive the parser. Not copyable.
class tKvKPosComStreamParser : public tKvClass {
 public:
  // Result of ParseItems that Parse accepts as the regular end ("EOD").
  static constexpr uint8_t kResultEod = 1;

  // An absent source raises EKvParam
  // "tKvKPosComStreamParser.Create: invalid Source".
  explicit tKvKPosComStreamParser(tKvKPosComStreamSource* source);
  tKvKPosComStreamParser(const tKvKPosComStreamParser&) = delete;
  tKvKPosComStreamParser& operator=(const tKvKPosComStreamParser&) = delete;
  ~tKvKPosComStreamParser() override;

  // Slot 0: parses items until a handler ends the loop; returns its result.
  virtual uint8_t ParseItems(const tKvKPosReadContext& context) = 0;
  // Slot 1: ParseItems, whose result must be kResultEod; any other result
  // raises EKvKPosComStream code 5 "\"EOD\" expected; found #<result>".
  virtual void Parse(const tKvKPosReadContext& context);

  tKvKPosComStreamSource& Source() const { return *source_; }

 private:
  tKvKPosComStreamSource* source_;  // not owned, never null
};

// ---------------------------------------------------------------------------
// Abstract file: sizes and positions are signed 64-bit. Not copyable.
class tKvFile : public tKvClass {
 public:
  tKvFile() = default;
  tKvFile(const tKvFile&) = delete;
  tKvFile& operator=(const tKvFile&) = delete;
  ~tKvFile() override;

  // Slot 0: the operating-system handle of the file.
  virtual int64_t GetHandle() = 0;
  virtual int64_t GetSize() = 0;
  virtual int64_t GetPosition() = 0;
  // Moves to position; returns the new position.
  virtual int64_t SetPosition(int64_t position) = 0;
  // Reads up to count bytes into buffer; done receives the number read.
  // Returns 0 or an error code (KvErrorCodes.h).
  virtual int32_t ReadBuffer(void* buffer, int32_t count, int32_t& done) = 0;
  // Writes count bytes; returns 0 or an error code.
  virtual int32_t WriteBuffer(const void* buffer, int32_t count) = 0;
};

// A file the fiscal parser positions in while it reads through a source.
class tKvKPosStreamFile : public tKvFile {
 public:
  ~tKvKPosStreamFile() override;
  // Slot 6: empties the file.
  virtual void Clear() = 0;
  // Slot 7: position = size.
  virtual bool IsEnd() = 0;
  // The file's bytes and position when it holds them in memory (the parser
  // then positions on them directly), else nullptr. This base: nullptr.
  virtual tKvKPosMemCursor* MemCursor();
};

// A stream file in memory (one decoded block of the ASCII interface input).
// Positions may lie beyond the end; reads there deliver no bytes and a write
// there fills the gap with zeros. Its bytes and position are also offered as
// a tKvKPosMemCursor, through which a source reads them without a call per
// read (tKvFiscalStreamSourceBinary).
class tKvKPosStreamFileMem final : public tKvKPosStreamFile {
 public:
  // Largest size the file grows to; a write beyond it fails.
  static constexpr int64_t kMaxSize = int64_t{1} << 31;

  tKvKPosStreamFileMem();
  ~tKvKPosStreamFileMem() override;

  // Raises EKvMisc "Function not supported!".
  int64_t GetHandle() override;
  int64_t GetSize() override;
  int64_t GetPosition() override;
  // A negative position raises EKvParam.
  int64_t SetPosition(int64_t position) override;
  // Always returns 0; done is 0 at or beyond the end.
  int32_t ReadBuffer(void* buffer, int32_t count, int32_t& done) override;
  // Returns 0, or kErrFileWrite when not every byte was written.
  int32_t WriteBuffer(const void* buffer, int32_t count) override;
  void Clear() override;
  bool IsEnd() override;

  // Grows the file by count bytes at its end and returns where they go, so
  // that a producer can build them in place; the position is not moved. The
  // bytes are unspecified until written. nullptr (the file unchanged) when
  // count is negative or the file would exceed kMaxSize. The pointer is valid
  // until the next write, Extend, Truncate or Clear.
  uint8_t* Extend(int32_t count);
  // Cuts the file to size bytes when it is longer (the position is kept).
  void Truncate(int64_t size);

  // The bytes held; valid until the next write or Clear.
  std::string_view Data() const {
    return {reinterpret_cast<const char*>(cursor_.Data), static_cast<size_t>(cursor_.Size)};
  }
  // Bytes and position, kept up to date by every operation of the file.
  tKvKPosMemCursor& Cursor() { return cursor_; }
  tKvKPosMemCursor* MemCursor() override { return &cursor_; }

 private:
  // Makes room for size bytes (size <= kMaxSize).
  void Reserve(int64_t size);

  std::unique_ptr<uint8_t[]> storage_;
  int64_t capacity_ = 0;
  tKvKPosMemCursor cursor_;  // Data = storage_, Size, Position
};
