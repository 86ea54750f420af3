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

void tKvKPosComStreamBase::AddInteger(int32_t number, int32_t value) {
  AddItem(number, std::make_unique<tKvKPosDataInt>(value));
}

void tKvKPosComStreamBase::AddBcd(int32_t number, const tKvBcd& value) {
  AddItem(number, std::make_unique<tKvKPosDataBcd>(value));
}

void tKvKPosComStreamBase::AddBcdFix(int32_t number, const tKvBcdFix& value) {
  AddItem(number, std::make_unique<tKvKPosDataBcdFix>(value));
}

void tKvKPosComStreamBase::AddString(int32_t number, std::string_view text) {
  AddItem(number, std::make_unique<tKvKPosDataStr>(std::string(text)));
}

void tKvKPosComStreamBase::AddTime(int32_t number, tKvDateTime dateTime) {
  AddItem(number, std::make_unique<tKvKPosDataTime>(dateTime));
}

void tKvKPosComStreamBase::AddBinary(int32_t number, const void* buffer, int32_t length) {
  if (length <= 0 || buffer == nullptr) {
    AddItem(number, std::make_unique<tKvKPosDataBinary>(std::string()));
  } else {
    AddItem(number, std::make_unique<tKvKPosDataBinary>(buffer, length));
  }
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

tKvKPosStreamFileMem::tKvKPosStreamFileMem() = default;
tKvKPosStreamFileMem::~tKvKPosStreamFileMem() = default;

int64_t tKvKPosStreamFileMem::GetHandle() { throw EKvMisc(this, "Function not supported!"); }

int64_t tKvKPosStreamFileMem::GetSize() { return static_cast<int64_t>(data_.size()); }

int64_t tKvKPosStreamFileMem::GetPosition() { return position_; }

int64_t tKvKPosStreamFileMem::SetPosition(int64_t position) {
  if (position < 0) [[unlikely]] {
    throw EKvParam(this, "SetPosition: invalid position: " + std::to_string(position));
  }
  position_ = position;
  return position_;
}

int32_t tKvKPosStreamFileMem::ReadBuffer(void* buffer, int32_t count, int32_t& done) {
  done = 0;
  const int64_t size = GetSize();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min<int64_t>(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  done = static_cast<int32_t>(n);
  return 0;
}

int32_t tKvKPosStreamFileMem::WriteBuffer(const void* buffer, int32_t count) {
  if (count < 0 || (count > 0 && buffer == nullptr)) return kErrFileWrite;
  if (count == 0) return 0;
  const int64_t end = position_ + count;
  if (end > static_cast<int64_t>(data_.max_size())) return kErrFileWrite;
  if (end > GetSize()) data_.resize(static_cast<std::size_t>(end), 0);
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return 0;
}

void tKvKPosStreamFileMem::Clear() {
  data_.clear();
  position_ = 0;
}

bool tKvKPosStreamFileMem::IsEnd() { return position_ == GetSize(); }
