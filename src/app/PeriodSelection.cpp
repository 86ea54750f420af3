#include "app/PeriodSelection.h"

#include <utility>

#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"

namespace {

// The header record of an entry (kind 1 at level 2) and its fields.
constexpr int32_t kHeaderRecord = 1;
constexpr int32_t kHeaderDateTime = 1;
constexpr int32_t kHeaderSeqNo = 9;

}  // namespace

tKvDateTime ParsePeriodDay(std::string_view text) {
  if (text.size() != 10 || text[2] != '.' || text[5] != '.') return {};
  int parts[3] = {};
  const size_t starts[3] = {0, 3, 6}, lengths[3] = {2, 2, 4};
  for (int i = 0; i < 3; ++i) {
    for (size_t k = starts[i]; k < starts[i] + lengths[i]; ++k) {
      if (text[k] < '0' || text[k] > '9') return {};
      parts[i] = parts[i] * 10 + (text[k] - '0');
    }
  }
  tKvDateTime day;
  return tKvDateTime::TryEncode(parts[2], parts[1], parts[0], 0, 0, 0, day) ? day : tKvDateTime();
}

std::string PeriodDayText(const tKvDateTime& day, std::string_view none) {
  return day.IsNull() ? std::string(none) : day.Format("dd.MM.yyyy");
}

tPeriodSelection::tPeriodSelection(const tPeriodRange& range, tKvKPosFiscalStreamWriter& downstream)
    : range_(range), downstream_(&downstream), held_(kHoldLimit + (1u << 20)) {}

tPeriodSelection::~tPeriodSelection() = default;

tKvKPosFiscalStreamWriter* tPeriodSelection::Target() {
  switch (mode_) {
    case tMode::kHolding:
      return &held_;
    case tMode::kPassing:
      return downstream_;
    case tMode::kDropping:
      return nullptr;
  }
  return nullptr;
}

void tPeriodSelection::SetFilePos(int64_t position) {
  tKvKPosFiscalStreamWriter::SetFilePos(position);
  if (tKvKPosFiscalStreamWriter* target = Target()) target->SetFilePos(position);
}

void tPeriodSelection::AddItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  if (element && InHeader()) ReadHeaderField(number, *element);
  if (tKvKPosFiscalStreamWriter* target = Target()) target->AddItem(number, std::move(element));
  Collected();
}

void tPeriodSelection::AddValue(int32_t number, const tKvKPosValue& value) {
  if (InHeader()) {
    value.WithElement([&](const tKvKPosData& element) { ReadHeaderField(number, element); });
  }
  if (tKvKPosFiscalStreamWriter* target = Target()) target->AddValue(number, value);
  Collected();
}

bool tPeriodSelection::InHeader() const { return level_ == 2 && path_[2] == kHeaderRecord; }

void tPeriodSelection::ReadHeaderField(int32_t number, const tKvKPosData& element) {
  // A field of another type is the evaluators' to report; here it only
  // leaves the entry without a date.
  try {
    if (number == kHeaderDateTime) {
      entryDay_ = element.GetAsDateTime(1).DatePart();
      if (firstDay_.IsNull()) firstDay_ = entryDay_;
    } else if (number == kHeaderSeqNo) {
      entrySeqNo_ = element.GetAsInteger(1);
    }
  } catch (const EKvRoot&) {
  }
}

void tPeriodSelection::Collected() {
  if (mode_ == tMode::kHolding && held_.used() > kHoldLimit) {
    ++figures_.PeriodsDecidedEarly;
    Decide(firstDay_.IsNull() || range_.Contains(firstDay_));
  }
}

void tPeriodSelection::FileHeader(const tKvKPosTextFileHeaderRec& header) {
  downstream_->FileHeader(header);
}

void tPeriodSelection::StreamHeader(const tKvKPosFileHeaderRec& header) {
  downstream_->StreamHeader(header);
}

void tPeriodSelection::SetVersion(int32_t index, int32_t value) {
  if (tKvKPosFiscalStreamWriter* target = Target()) target->SetVersion(index, value);
}

void tPeriodSelection::BlockInfo(const tKvKPosBlockInfoRec& info) {
  lastBlock_ = info;
  haveBlock_ = true;
  blockSent_ = mode_ == tMode::kPassing;
  if (entries_ == 0) continuesBlock_ = false;
  if (tKvKPosFiscalStreamWriter* target = Target()) target->BlockInfo(info);
}

void tPeriodSelection::EntryStart(const tKvKPosEntryInfoRec& info) {
  level_ = 0;
  path_ = {};
  entryDay_ = tKvDateTime();
  entrySeqNo_ = 0;
  ++entries_;
  if (tKvKPosFiscalStreamWriter* target = Target()) target->EntryStart(info);
}

void tPeriodSelection::RecordStart(int32_t type, int32_t level) {
  level_ = level;
  if (level >= 1 && level <= 2 && type > 0) path_[static_cast<size_t>(level)] = type;
  if (tKvKPosFiscalStreamWriter* target = Target()) target->RecordStart(type, level);
}

void tPeriodSelection::Link(int32_t distance) {
  if (tKvKPosFiscalStreamWriter* target = Target()) target->Link(distance);
}

void tPeriodSelection::EntryEnd() {
  if (tKvKPosFiscalStreamWriter* target = Target()) target->EntryEnd();
  if (DecodeFiscalType(path_[1]).Kind != kEntryRegEnd) return;
  const bool selected = range_.Contains(entryDay_);
  if (mode_ == tMode::kHolding) Decide(selected);
  if (mode_ == tMode::kPassing) {
    if (figures_.PeriodsSelected == 0 || figures_.FirstClosingDay.IsNull()) {
      figures_.FirstClosingDay = entryDay_;
      figures_.FirstClosingNo = entrySeqNo_;
    }
    figures_.LastClosingDay = entryDay_;
    figures_.LastClosingNo = entrySeqNo_;
  }
  PeriodEnded();
}

void tPeriodSelection::Decide(bool selected) {
  if (selected) {
    SendStartBlock();
    held_.Replay(*downstream_);
    blockSent_ = true;
    mode_ = tMode::kPassing;
  } else {
    held_.Clear();
    mode_ = tMode::kDropping;
  }
}

void tPeriodSelection::SendStartBlock() {
  // The held events open with the block's information when the period
  // started a block; otherwise it continues one downstream may lack.
  if (!continuesBlock_ || startBlockSent_) return;
  downstream_->SetFilePos(file_pos());
  downstream_->BlockInfo(startBlock_);
}

void tPeriodSelection::PeriodEnded() {
  if (mode_ == tMode::kPassing) {
    ++figures_.PeriodsSelected;
    figures_.EntriesSelected += entries_;
  } else {
    ++figures_.PeriodsLeftOut;
    figures_.EntriesLeftOut += entries_;
  }
  mode_ = tMode::kHolding;
  entries_ = 0;
  firstDay_ = tKvDateTime();
  startBlock_ = lastBlock_;
  continuesBlock_ = haveBlock_;
  startBlockSent_ = blockSent_;
}

void tPeriodSelection::Finish() {
  if (finished_) return;
  finished_ = true;
  if (entries_ == 0 && held_.Empty()) return;
  if (mode_ == tMode::kHolding) Decide(firstDay_.IsNull() || range_.Contains(firstDay_));
  figures_.OpenPeriodSelected = mode_ == tMode::kPassing && entries_ > 0;
  PeriodEnded();
}
