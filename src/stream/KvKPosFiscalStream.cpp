#include "stream/KvKPosFiscalStream.h"

#include <string>
#include <typeinfo>
#include <utility>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"

tKvKPosFiscalStreamSource::~tKvKPosFiscalStreamSource() = default;

namespace {

// The element of items without one whose element is not handed on.
const tKvKPosDataNone kNoneElement;

}  // namespace

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamParser

tKvKPosFiscalStreamParser::tKvKPosFiscalStreamParser(uint8_t version,
                                                     tKvKPosFiscalStreamWriter* writer,
                                                     tKvKPosComStreamSource* source)
    : tKvKPosComStreamParserV2(version, source), writer_(writer) {
  if (writer_ == nullptr) {
    throw EKvParam(this, "tKvKPosFiscalStreamParser.Create: invalid Writer");
  }
  // Only these versions have a header item; any other could never match.
  if (version > 2) {
    throw EKvParam(this,
                   "tKvKPosFiscalStreamParser.Create: invalid Version " + std::to_string(version));
  }
}

tKvKPosFiscalStreamParser::~tKvKPosFiscalStreamParser() = default;

uint8_t tKvKPosFiscalStreamParser::Item(int32_t number, std::unique_ptr<tKvKPosData> element) {
  // element is freed when this handler ends, also when it raises.
  return Dispatch(number, element.get());
}

uint8_t tKvKPosFiscalStreamParser::Dispatch(int32_t number, const tKvKPosData* element) {
  if (number == kItemHeaderV1 || number == kItemHeaderV2) {
    const uint8_t v = Version();
    const int32_t expected = v == 1 ? kItemHeaderV1 : kItemHeaderV2;
    if (v != 0 && number != expected) {
      throw EKvKPosComStream(
          this,
          ReplaceParams("File header #%1, but #%2 expected.",
                        std::to_string(number) + '\r' + std::to_string(expected)),
          7);
    }
    tKvKPosFileHeaderRec header;
    header.Assign(*element);
    writer_->StreamHeader(header);
    return 0;
  }
  switch (number) {
    case kItemVersion:
      if (element != nullptr) writer_->SetVersion(1, element->GetAsInteger(1));
      break;
    case kItemEntryStart:
      if (element != nullptr) {
        tKvKPosEntryInfoRec entry;
        entry.Assign(*element);
        writer_->EntryStart(entry);
      }
      break;
    case kItemBackLink:
      BackLinkItem(element->GetAsInteger(1));
      break;
    case kItemBlockInfo: {
      tKvKPosBlockInfoRec info;
      info.Assign(*element);
      writer_->BlockInfo(info);
      if (length_prefixed_) ReadLengthValue();
      break;
    }
    case kItemEntryEnd:
      if (following_link_) {
        link_target_done_ = true;
      } else {
        if (element != nullptr) writer_->EntryEnd();
        length_value_due_ = true;
      }
      break;
    case 7:
    case 8:
      break;
    default:
      if (number < kItemRecordFirst || number > kItemRecordLast) {
        throw EKvKPosComStream(this, "", 2);
      }
      RecordStartItem(number, element != nullptr ? element->GetAsInteger(1) : 0,
                      element != nullptr);
      break;
  }
  return 0;
}

void tKvKPosFiscalStreamParser::BackLinkItem(int32_t distance) {
  if (pass_links_) {
    writer_->Link(distance);
  } else if (following_link_) {
    throw EKvKPosComStream(this, "Nested backlink!", 2);
  } else {
    FollowLink(distance);
  }
}

void tKvKPosFiscalStreamParser::RecordStartItem(int32_t number, int32_t type, bool report) {
  if (following_link_) {
    // The record start at the link target is consumed silently; the next
    // one ends the linked record.
    if (link_expects_first_field_) {
      link_expects_first_field_ = false;
    } else {
      link_target_done_ = true;
    }
  } else if (report) {
    writer_->RecordStart(type, number - (kItemRecordFirst - 1));
  }
}

template <bool kRecording>
uint8_t tKvKPosFiscalStreamParser::ParseItemOwn(const tKvKPosReadContext& context) {
  tKvKPosComStreamSource& source = Source();
  int32_t number = 0;
  const tItemForm form = ReadFraming(context, number);
  if constexpr (kRecording) {
    if (form != tItemForm::kSubItem && !QuietWhileFollowing(number)) DropLinkRecording();
  }
  switch (form) {
    case tItemForm::kItem: {
      int32_t value = 0;
      if (number >= kItemRecordFirst && number <= kItemRecordLast &&
          ReadPlainInteger(source, value)) {
        RecordStartItem(number, value, true);
        return 0;
      }
      if (number == kItemBackLink && ReadPlainInteger(source, value)) {
        BackLinkItem(value);
        return 0;
      }
      if (int32_t items[4]; number == kItemEntryStart && ReadPlainIntegerTuple(source, items, 4)) {
        const tKvKPosEntryInfoRec entry{items[0], items[1], items[2], items[3]};
        writer_->EntryStart(entry);
        return 0;
      }
      return Item(number, ReadElement(source));
    }
    case tItemForm::kItemNone:
      if (!NeedsElement(number)) return Dispatch(number, &kNoneElement);
      return Item(number, std::make_unique<tKvKPosDataNone>());
    case tItemForm::kSubItem:
      break;
  }
  if (positions_) {
    // The element is checked where it lies (failing as reading it would)
    // and handed on as its position.
    const int64_t at = cursor_->Position;
    SkipElement(source);
    if constexpr (kRecording) {
      if (link_recording_ != nullptr) RecordLinkField(number, nullptr, at, cursor_->Position);
    }
    static_cast<tKvKPosFiscalEventBuffer*>(writer_)->AddItemAt(number, at);
  } else if constexpr (kRecording) {
    std::unique_ptr<tKvKPosData> element = ReadElement(source);
    if (link_recording_ != nullptr) RecordLinkField(number, element.get(), 0, cursor_->Position);
    writer_->AddItem(number, std::move(element));
  } else {
    writer_->AddItem(number, ReadElement(source));
  }
  return 0;
}

void tKvKPosFiscalStreamParser::RecordLinkField(int32_t number, const tKvKPosData* element,
                                                int64_t position, int64_t end) {
  std::vector<tLinkField>& fields = link_recording_->Fields;
  if (fields.size() == kLinkCacheFields || end - link_recording_->Target > kLinkCacheBytes) {
    DropLinkRecording();
    return;
  }
  fields.push_back(tLinkField{number, element != nullptr ? element->Clone() : nullptr, position});
}

uint8_t tKvKPosFiscalStreamParser::ParseItemDiscarding(const tKvKPosReadContext& context) {
  tKvKPosComStreamSource& source = Source();
  int32_t number = 0;
  const tItemForm form = ReadFraming(context, number);
  if (form == tItemForm::kSubItem) {
    SkipElement(source);  // the writer would drop it
    return 0;
  }
  if (NeedsElement(number)) {
    if (int32_t distance = 0;
        number == kItemBackLink && form == tItemForm::kItem && ReadPlainInteger(source, distance)) {
      BackLinkItem(distance);
      return 0;
    }
    return Item(number, form == tItemForm::kItem ? ReadElement(source)
                                                 : std::make_unique<tKvKPosDataNone>());
  }
  // The element is read (and may fail) before the number is looked at, as
  // in ParseItem.
  if (form == tItemForm::kItem) SkipElement(source);
  return Dispatch(number, nullptr);
}

void tKvKPosFiscalStreamParser::SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  writer_->AddItem(number, std::move(element));
}

void tKvKPosFiscalStreamParser::ReadLengthValue() {
  ++length_reads_;
  last_length_value_ = Source().ReadLongint();  // sign-extended
}

template <bool kRecording>
uint8_t tKvKPosFiscalStreamParser::ParseStep(const tKvKPosReadContext& context) {
  if (length_prefixed_ && length_value_due_ && last_length_value_ > 0) {
    ReadLengthValue();
    length_value_due_ = false;
  }
  if constexpr (kRecording) {
    return ParseItemOwn<true>(context);
  } else {
    if (discarding_) return ParseItemDiscarding(context);
    return own_items_ ? ParseItemOwn(context) : ParseItem(context);
  }
}

uint8_t tKvKPosFiscalStreamParser::ParseRange(tKvKPosStreamFile& streamFile, bool lengthPrefixed,
                                              bool passLinks, int64_t length) {
  // The stream file is known only during this call, also when it raises.
  struct Forget {
    tKvKPosFiscalStreamParser& parser;
    ~Forget() {
      parser.stream_file_ = nullptr;
      parser.cursor_ = nullptr;
      parser.discarding_ = false;
      parser.own_items_ = false;
      parser.link_cache_usable_ = false;
      parser.link_recording_ = nullptr;
      parser.positions_ = false;
    }
  } forget{*this};
  ++range_count_;  // the cached links of earlier ranges are stale
  // Items are handled here unless a subclass handles them itself; into the
  // discarding writer nothing of an element is seen.
  own_items_ = typeid(*this) == typeid(tKvKPosFiscalStreamParser);
  discarding_ = own_items_ && typeid(*writer_) == typeid(tKPosFiscalStreamWriterDummy);
  if (discarding_) link_memo_.fill(tLinkMemo{});
  auto* memory = dynamic_cast<tKvKPosStreamFileMem*>(&streamFile);
  cursor_ = memory != nullptr ? &memory->Cursor() : nullptr;
  // Cached links are delivered by the real parse when the source reads the
  // bytes of this range in place (so a target always reads the same way).
  link_cache_usable_ = false;
  positions_ = false;
  if (own_items_ && !discarding_ && cursor_ != nullptr && !kv_kpos_detail::g_registryCustomised) {
    int64_t available = 0;
    const uint8_t* direct = Source().DirectBytes(available);
    const bool inPlace = available > 0 && direct == cursor_->Data + cursor_->Position;
    // Into an event buffer the fields go as the positions of their elements,
    // which are read only when the buffer hands them on.
    positions_ = inPlace && typeid(*writer_) == typeid(tKvKPosFiscalEventBuffer);
    link_cache_usable_ = inPlace;
  }
  link_recording_ = nullptr;

  stream_file_ = &streamFile;
  range_length_ = length;
  length_prefixed_ = lengthPrefixed;
  pass_links_ = passLinks;
  length_value_due_ = false;
  last_length_value_ = 0;
  following_link_ = false;
  link_expects_first_field_ = false;
  link_target_done_ = false;

  const int64_t start = streamFile.GetPosition();
  const tKvKPosReadContext context = tKvKPosReadContext::Stepwise();
  if (positions_) return ParseRangeInPlace(start, context);
  for (;;) {
    const int64_t p = cursor_ != nullptr ? cursor_->Position : streamFile.GetPosition();
    writer_->set_file_pos(p);
    // Compared as a difference: start + length may not be representable.
    if (p - start == range_length_) return kResultRangeDone;
    if (const uint8_t result = ParseStep(context); result != 0) return result;
  }
}

uint8_t tKvKPosFiscalStreamParser::ParseRangeInPlace(int64_t start,
                                                     const tKvKPosReadContext& context) {
  auto* const buffer = static_cast<tKvKPosFiscalEventBuffer*>(writer_);
  tKvKPosComStreamSource& source = Source();
  const uint8_t* data = nullptr;
  int64_t pos = 0;
  int64_t end = 0;  // behind the bytes the source reads in place
  const int64_t length = range_length_;
  bool lengthDue = false;  // a length value is read before the next item
  const auto take_cursor = [&] {
    int64_t available = 0;
    source.DirectBytes(available);
    data = cursor_->Data;
    pos = cursor_->Position;
    end = pos + available;
    lengthDue = length_prefixed_ && length_value_due_ && last_length_value_ > 0;
  };
  take_cursor();
  for (;;) {
    if (pos - start == length) {
      cursor_->Position = pos;
      writer_->set_file_pos(pos);
      return kResultRangeDone;
    }
    // The common items are taken here, straight from the bytes; they are
    // the ones that cannot fail once their bytes are there.
    if (!lengthDue && pos < end) {
      const uint8_t f = data[pos];
      int64_t at = pos + 1;
      int32_t number = 0;
      bool framed = false;  // an item with an element whose number bytes are all there
      if (kv_wire::IsFraming(f)) {
        const kv_wire::tFraming framing = kv_wire::FramingOf(f);
        if (framing.Form != kv_wire::tItemForm::kItemNone && end - at > framing.NumberBytes) {
          number =
              framing.NumberBytes == 0
                  ? framing.Number
                  : static_cast<int32_t>(kv_wire::LittleEndianAt(data + at, framing.NumberBytes));
          at += framing.NumberBytes;
          framed = framing.Form == kv_wire::tItemForm::kItem;
          if (framing.Form == kv_wire::tItemForm::kSubItem) {
            int64_t size = kv_wire::kFixedElementSize[data[at]];
            if (size == kv_wire::kLength8Element) {
              size = end - at >= 2 ? 2 + int64_t{data[at + 1]} : 0;
            } else if (size == 0) {
              size = kv_wire::BcdElementSizeAt(data + at, end - at);
              if (size == 0) size = kv_kpos_detail::RegularElementSize(data + at, end - at);
            }
            if (size > 0 && size <= end - at) {
              buffer->AddItemAtFrom(pos, number, at);
              pos = at + size;
              continue;
            }
          }
        }
      }
      int32_t value = 0;
      int size = 0;
      if (framed &&
          ((number >= kItemRecordFirst && number <= kItemRecordLast) || number == kItemBackLink)) {
        size = kv_wire::PlainIntegerAt(data + at, end - at, value);
      }
      if (size != 0 && number != kItemBackLink) {
        buffer->RecordStartFrom(pos, value, number - (kItemRecordFirst - 1));
        pos = at + size;
        continue;
      }
      if (size != 0 && DeliverCachedLink(pos, value)) {
        pos = at + size;
        continue;
      }
      if (size != 0) {
        cursor_->Position = at + size;
        writer_->set_file_pos(pos);
        BackLinkItem(value);
        take_cursor();
        continue;
      }
    }
    // Any other item: one step as ParseRange takes it.
    cursor_->Position = pos;
    writer_->set_file_pos(pos);
    if (const uint8_t result = ParseStep(context); result != 0) return result;
    take_cursor();
  }
}

bool tKvKPosFiscalStreamParser::DeliverCachedLink(int64_t pos, int64_t distance) {
  const int64_t target = pos - distance;
  if (pass_links_ || !link_cache_usable_ || link_cache_ == nullptr || target < 0) return false;
  const tLinkCache& entry = (*link_cache_)[LinkSlot(target, kLinkCacheBits)];
  if (entry.Range != range_count_ || entry.Target != target) return false;
  // What FollowLink leaves behind.
  link_expects_first_field_ = true;
  link_target_done_ = false;
  auto* const buffer = static_cast<tKvKPosFiscalEventBuffer*>(writer_);
  for (const tLinkField& field : entry.Fields) {
    buffer->AddItemAtFrom(pos, field.Number, field.Position, true);
  }
  return true;
}

void tKvKPosFiscalStreamParser::FollowLink(int64_t distance) {
  if (stream_file_ == nullptr) {
    // Only ParseRange knows the stream file to position in.
    throw EKvKPosFiscalStream(this, writer_->file_pos(),
                              "Backlink cannot be followed outside a range", 6);
  }
  tKvKPosStreamFile& file = *stream_file_;
  link_expects_first_field_ = true;
  link_target_done_ = false;
  const int64_t saved = cursor_ != nullptr ? cursor_->Position : file.GetPosition();
  const int64_t target = writer_->file_pos() - distance;
  if (target < 0) throw EKvKPosFiscalStream(this, 0, "Invalid link position", 6);

  const bool readsLengthFirst = length_prefixed_ && length_value_due_ && last_length_value_ > 0;
  if (link_cache_usable_ && !readsLengthFirst) {
    FollowLinkCached(target, saved, file);
    return;
  }
  // The check pass knows this link already when it followed it from the
  // same state without failure in this range.
  tLinkMemo* memo = nullptr;
  if (discarding_) {
    memo = &LinkMemo(target);
    if (memo->Target == target && memo->ReadsLengthFirst == readsLengthFirst) {
      if (readsLengthFirst) length_value_due_ = false;
      if (memo->ReadLength) last_length_value_ = memo->LastLength;
      return;
    }
  }
  const uint64_t readsBefore = length_reads_;
  ReadLinkedRecord(target, saved, file);
  if (memo != nullptr) {
    *memo = {target, readsLengthFirst, length_reads_ != readsBefore, last_length_value_};
  }
}

void tKvKPosFiscalStreamParser::FollowLinkCached(int64_t target, int64_t saved,
                                                 tKvKPosStreamFile& file) {
  if (link_cache_ == nullptr) {
    link_cache_ = std::make_unique<std::array<tLinkCache, kLinkCacheSlots>>();
  }
  tLinkCache& entry = (*link_cache_)[LinkSlot(target, kLinkCacheBits)];
  if (entry.Range == range_count_ && entry.Target == target) {
    if (positions_) {
      auto* const buffer = static_cast<tKvKPosFiscalEventBuffer*>(writer_);
      for (const tLinkField& field : entry.Fields) {
        buffer->AddItemAt(field.Number, field.Position, true);
      }
    } else {
      for (const tLinkField& field : entry.Fields) {
        writer_->AddItem(field.Number, field.Element->Clone());
      }
    }
    return;
  }
  link_scratch_.Fields.clear();
  if (link_scratch_.Fields.capacity() == 0) link_scratch_.Fields.reserve(4);
  link_scratch_.Target = target;
  link_recording_ = &link_scratch_;
  const uint64_t readsBefore = length_reads_;
  try {
    ReadLinkedRecord(target, saved, file);
  } catch (...) {
    DropLinkRecording();
    throw;
  }
  // A replay reads no length value. Only a block information reads one
  // while a link is followed (the link reads none first), and it has dropped
  // the recording already; checked here all the same.
  if (link_recording_ == nullptr || length_reads_ != readsBefore) return;
  link_recording_ = nullptr;
  entry.Range = range_count_;
  entry.Target = target;
  // The slot's former fields go to the scratch entry, whose storage is
  // reused by the next link followed.
  entry.Fields.swap(link_scratch_.Fields);
}

void tKvKPosFiscalStreamParser::ReadLinkedRecord(int64_t target, int64_t saved,
                                                 tKvKPosStreamFile& file) {
  SetFilePosition(file, target);
  following_link_ = true;
  link_expects_first_field_ = true;
  // Every step reads at least one byte forward from the target, so a target
  // without record start or entry end ends at the end of the data, where the
  // source raises.
  const tKvKPosReadContext context = tKvKPosReadContext::Stepwise();
  try {
    if (link_recording_ != nullptr) {
      while (!link_target_done_) {
        if (ParseStep<true>(context) != 0) break;
      }
    } else {
      while (!link_target_done_) {
        if (ParseStep(context) != 0) break;
      }
    }
  } catch (...) {
    following_link_ = false;
    try {
      SetFilePosition(file, saved);
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  following_link_ = false;
  SetFilePosition(file, saved);
}

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamParserBlkInfo

tKvKPosFiscalStreamParserBlkInfo::~tKvKPosFiscalStreamParserBlkInfo() = default;

uint8_t tKvKPosFiscalStreamParserBlkInfo::Item(int32_t number,
                                               std::unique_ptr<tKvKPosData> element) {
  tKvKPosFiscalStreamParser::Item(number, std::move(element));
  return number == kItemBlockInfo ? kResultBlockInfo : 0;
}

void ReadBlockInfo(uint8_t version, tKvKPosComStreamSource& source,
                   tKvKPosBlockInfoRec& blockInfo) {
  blockInfo.Init();
  tKvKPosFiscalStreamWriterBlkInfo writer;
  tKvKPosFiscalStreamParserBlkInfo parser(version, &writer, &source);
  const uint8_t result = parser.ParseItems(tKvKPosReadContext{});
  if (result != tKvKPosFiscalStreamParserBlkInfo::kResultBlockInfo) {
    throw EKvKPosFiscalStream(nullptr, 0,
                              "\"BlockInfo\" expected; found #" + std::to_string(result), 2);
  }
  blockInfo = writer.LastBlockInfo();
}
