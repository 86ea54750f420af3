#include "stream/KvKPosComStream.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"

// ---------------------------------------------------------------------------
// tKvKPosSignatureRec

void tKvKPosSignatureRec::Init() {
  Length = 0;
  Data.fill(0);
}

void tKvKPosSignatureRec::AssignBinary(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(kCapacity)) [[unlikely]] {
    throw EKvParam("tKvKPosSignatureRec.AssignBinary: signature too long: " +
                   std::to_string(bytes.size()));
  }
  if (bytes.empty()) return;
  Length = static_cast<int32_t>(bytes.size());
  std::memcpy(Data.data(), bytes.data(), bytes.size());
}

bool tKvKPosSignatureRec::Equals(const tKvKPosSignatureRec& other) const {
  return Length == other.Length && View() == other.View();
}

std::string_view tKvKPosSignatureRec::View() const {
  // Length is public; never let a stray value reach past Data.
  const int32_t n = std::clamp(Length, 0, kCapacity);
  return {reinterpret_cast<const char*>(Data.data()), static_cast<std::size_t>(n)};
}

// ---------------------------------------------------------------------------
// tKvKPosComStreamBase

tKvKPosComStreamBase::~tKvKPosComStreamBase() = default;

void tKvKPosComStreamBase::AddValue(int32_t number, const tKvKPosValue& value) {
  AddItem(number, value.MakeElement());
}

void tKvKPosComStreamBase::AddInteger(int32_t number, int32_t value) {
  AddValue(number, tKvKPosValue::Int(value));
}

void tKvKPosComStreamBase::AddBcd(int32_t number, const tKvBcd& value) {
  AddValue(number, tKvKPosValue::Bcd(value));
}

void tKvKPosComStreamBase::AddBcdFix(int32_t number, const tKvBcdFix& value) {
  AddValue(number, tKvKPosValue::BcdFix(value));
}

void tKvKPosComStreamBase::AddString(int32_t number, std::string_view text) {
  AddValue(number, tKvKPosValue::Text(text));
}

void tKvKPosComStreamBase::AddTime(int32_t number, tKvDateTime dateTime) {
  AddValue(number, tKvKPosValue::Time(dateTime));
}

void tKvKPosComStreamBase::AddBinary(int32_t number, const void* buffer, int32_t length) {
  const std::string_view bytes =
      length <= 0 || buffer == nullptr
          ? std::string_view()
          : std::string_view(static_cast<const char*>(buffer), static_cast<size_t>(length));
  AddValue(number, tKvKPosValue::Binary(bytes));
}

// ---------------------------------------------------------------------------
// tKvKPosComStreamParser

tKvKPosComStreamParser::tKvKPosComStreamParser(tKvKPosComStreamSource* source) : source_(source) {
  if (source_ == nullptr) throw EKvParam(this, "tKvKPosComStreamParser.Create: invalid Source");
}

tKvKPosComStreamParser::~tKvKPosComStreamParser() = default;

void tKvKPosComStreamParser::Parse(const tKvKPosReadContext& context) {
  const uint8_t result = ParseItems(context);
  if (result != kResultEod) {
    throw EKvKPosComStream(this, "\"EOD\" expected; found #" + std::to_string(result), 5);
  }
}

// ---------------------------------------------------------------------------
// Stream files

tKvFile::~tKvFile() = default;
tKvKPosStreamFile::~tKvKPosStreamFile() = default;
tKvKPosMemCursor* tKvKPosStreamFile::MemCursor() { return nullptr; }

tKvKPosStreamFileMem::tKvKPosStreamFileMem() = default;
tKvKPosStreamFileMem::~tKvKPosStreamFileMem() = default;

int64_t tKvKPosStreamFileMem::GetHandle() { throw EKvMisc(this, "Function not supported!"); }

int64_t tKvKPosStreamFileMem::GetSize() { return cursor_.Size; }

int64_t tKvKPosStreamFileMem::GetPosition() { return cursor_.Position; }

int64_t tKvKPosStreamFileMem::SetPosition(int64_t position) {
  if (position < 0) [[unlikely]] {
    throw EKvParam(this, "SetPosition: invalid position: " + std::to_string(position));
  }
  cursor_.Position = position;
  return position;
}

int32_t tKvKPosStreamFileMem::ReadBuffer(void* buffer, int32_t count, int32_t& done) {
  done = 0;
  const int64_t size = cursor_.Size;
  const int64_t position = cursor_.Position;
  if (count <= 0 || position >= size) return 0;
  const int64_t n = std::min<int64_t>(count, size - position);
  std::memcpy(buffer, cursor_.Data + position, static_cast<std::size_t>(n));
  cursor_.Position = position + n;
  done = static_cast<int32_t>(n);
  return 0;
}

void tKvKPosStreamFileMem::Reserve(int64_t size) {
  if (size <= capacity_) return;
  // Doubling keeps appending line by line linear.
  const int64_t grown = std::min(kMaxSize, std::max({size, capacity_ * 2, int64_t{4096}}));
  auto bigger = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(grown));
  if (cursor_.Size > 0) {
    std::memcpy(bigger.get(), storage_.get(), static_cast<std::size_t>(cursor_.Size));
  }
  storage_ = std::move(bigger);
  capacity_ = grown;
  cursor_.Data = storage_.get();
}

int32_t tKvKPosStreamFileMem::WriteBuffer(const void* buffer, int32_t count) {
  if (count < 0 || (count > 0 && buffer == nullptr)) return kErrFileWrite;
  if (count == 0) return 0;
  const int64_t position = cursor_.Position;
  if (position > kMaxSize - count) return kErrFileWrite;
  const int64_t end = position + count;
  if (end > cursor_.Size) {
    Reserve(end);
    if (position > cursor_.Size) {
      std::memset(storage_.get() + cursor_.Size, 0,
                  static_cast<std::size_t>(position - cursor_.Size));
    }
    cursor_.Size = end;
  }
  std::memcpy(storage_.get() + position, buffer, static_cast<std::size_t>(count));
  cursor_.Position = end;
  return 0;
}

uint8_t* tKvKPosStreamFileMem::Extend(int32_t count) {
  if (count < 0 || cursor_.Size > kMaxSize - count) return nullptr;
  const int64_t at = cursor_.Size;
  Reserve(at + count);
  cursor_.Size = at + count;
  return storage_.get() + at;
}

void tKvKPosStreamFileMem::Truncate(int64_t size) {
  if (size >= 0 && size < cursor_.Size) cursor_.Size = size;
}

void tKvKPosStreamFileMem::Clear() {
  // The storage is kept for the next block.
  cursor_.Size = 0;
  cursor_.Position = 0;
}

bool tKvKPosStreamFileMem::IsEnd() { return cursor_.Position == cursor_.Size; }
