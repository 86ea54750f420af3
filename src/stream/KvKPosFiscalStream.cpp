#include "stream/KvKPosFiscalStream.h"

#include <string>
#include <utility>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "stream/KvKPosComStreamData.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosInPlaceScan.h"
#include "stream/KvKPosLinkCache.h"
#include "stream/KvKPosWireFormat.h"

tKvKPosFiscalStreamSource::~tKvKPosFiscalStreamSource() = default;

namespace {

// The element of items without one whose element is not handed on.
const tKvKPosDataNone kNoneElement;

using tMode = tKvKPosParseMode;
using kv_wire::kItemBackLink, kv_wire::kItemBlockInfo, kv_wire::kItemEntryEnd,
    kv_wire::kItemEntryStart, kv_wire::kItemHeaderV1, kv_wire::kItemHeaderV2,
    kv_wire::kItemRecordFirst, kv_wire::kItemRecordLast, kv_wire::kItemVersion;

}  // namespace

// The parse: one framing round per item, in the way of the range's mode,
// with the fiscal meaning of the items (Dispatch) and back link following.
struct tKvKPosFiscalStreamParser::tImpl {
  using tParser = tKvKPosFiscalStreamParser;
  using tItemForm = kv_wire::tItemForm;

  // Numbers whose element the parser reads (header, back link, block
  // information).
  static bool NeedsElement(int32_t number) {
    return number == kItemBackLink || number == kItemBlockInfo || number == kItemHeaderV1 ||
           number == kItemHeaderV2;
  }
  // Items that give the writer nothing while a link is followed (record
  // start, entry end, 7 and 8); any other item gives it an event or fails.
  static bool QuietWhileFollowing(int32_t number) {
    return (number >= kItemRecordFirst && number <= kItemRecordLast) || number == kItemEntryEnd ||
           number == 7 || number == 8;
  }

  // The handling of an item. element may be nullptr only in the check mode
  // and for numbers whose element is not looked at (see NeedsElement); the
  // writer then receives nothing.
  static uint8_t Dispatch(tParser& p, int32_t number, const tKvKPosData* element) {
    const bool report = p.mode_ != tMode::kCheck;
    if (number == kItemHeaderV1 || number == kItemHeaderV2) {
      const uint8_t v = p.Version();
      const int32_t expected = v == 1 ? kItemHeaderV1 : kItemHeaderV2;
      if (v != 0 && number != expected) {
        throw EKvKPosComStream(
            &p,
            ReplaceParams("File header #%1, but #%2 expected.",
                          std::to_string(number) + '\r' + std::to_string(expected)),
            7);
      }
      tKvKPosFileHeaderRec header;
      header.Assign(*element);
      if (report) p.writer_->StreamHeader(header);
      return 0;
    }
    switch (number) {
      case kItemVersion:
        if (element != nullptr) p.writer_->SetVersion(1, element->GetAsInteger(1));
        break;
      case kItemEntryStart:
        if (element != nullptr) {
          tKvKPosEntryInfoRec entry;
          entry.Assign(*element);
          p.writer_->EntryStart(entry);
        }
        break;
      case kItemBackLink:
        BackLinkItem(p, element->GetAsInteger(1));
        break;
      case kItemBlockInfo: {
        tKvKPosBlockInfoRec info;
        info.Assign(*element);
        if (report) p.writer_->BlockInfo(info);
        if (p.length_prefixed_) ReadLengthValue(p);
        break;
      }
      case kItemEntryEnd:
        if (p.following_link_) {
          p.link_target_done_ = true;
        } else {
          if (element != nullptr) p.writer_->EntryEnd();
          p.length_value_due_ = true;
        }
        break;
      case 7:
      case 8:
        break;
      default:
        if (number < kItemRecordFirst || number > kItemRecordLast) {
          throw EKvKPosComStream(&p, "", 2);
        }
        RecordStartItem(p, number, element != nullptr ? element->GetAsInteger(1) : 0,
                        element != nullptr);
        break;
    }
    return 0;
  }

  // Record start item number (9..32) with the record type; report: tell the
  // writer.
  static void RecordStartItem(tParser& p, int32_t number, int32_t type, bool report) {
    if (p.following_link_) {
      // The record start at the link target is consumed silently; the next
      // one ends the linked record.
      if (p.link_expects_first_field_) {
        p.link_expects_first_field_ = false;
      } else {
        p.link_target_done_ = true;
      }
    } else if (report) {
      p.writer_->RecordStart(type, number - (kItemRecordFirst - 1));
    }
  }

  // Back link item with the distance (passed on, refused or followed).
  static void BackLinkItem(tParser& p, int32_t distance) {
    if (p.pass_links_) {
      if (p.mode_ != tMode::kCheck) p.writer_->Link(distance);
    } else if (p.following_link_) {
      throw EKvKPosComStream(&p, "Nested backlink!", 2);
    } else {
      FollowLink(p, distance);
    }
  }

  static void ReadLengthValue(tParser& p) {
    ++p.length_reads_;
    p.last_length_value_ = p.Source().ReadLongint();  // sign-extended
  }

  // One parse step: the due length value, then one framing round of the
  // range's mode. kRecording: a link to be cached is being followed.
  template <bool kRecording = false>
  static uint8_t ParseStep(tParser& p, const tKvKPosReadContext& context) {
    if (p.length_prefixed_ && p.length_value_due_ && p.last_length_value_ > 0) {
      ReadLengthValue(p);
      p.length_value_due_ = false;
    }
    switch (p.mode_) {
      case tMode::kCheck:
        return ParseItemChecking(p, context);
      case tMode::kEventBuffer:
        return ParseItemInPlace<kRecording>(p, context);
      case tMode::kGeneral:
        break;
    }
    return p.ParseItem(context);
  }

  // One framing round of the check mode: the elements nobody looks at are
  // checked in place (SkipElement) instead of being built; the numbers,
  // links, failures and positions are those of ParseItem.
  static uint8_t ParseItemChecking(tParser& p, const tKvKPosReadContext& context) {
    tKvKPosComStreamSource& source = p.Source();
    int32_t number = 0;
    const tItemForm form = p.ReadFraming(context, number);
    if (form == tItemForm::kSubItem) {
      SkipElement(source);
      return 0;
    }
    if (NeedsElement(number)) {
      if (int32_t distance = 0; number == kItemBackLink && form == tItemForm::kItem &&
                                ReadPlainInteger(source, distance)) {
        BackLinkItem(p, distance);
        return 0;
      }
      if (form == tItemForm::kItemNone) return Dispatch(p, number, &kNoneElement);
      const std::unique_ptr<tKvKPosData> element = ReadElement(source);
      return Dispatch(p, number, element.get());
    }
    // The element is read (and may fail) before the number is looked at, as
    // in ParseItem.
    if (form == tItemForm::kItem) SkipElement(source);
    return Dispatch(p, number, nullptr);
  }

  // One framing round of the event-buffer mode: a record start, back link
  // or entry start of plain integers is handled without building an
  // element, and a field goes to the buffer as the position of its element
  // (checked in place). kRecording: the fields also go to the link being
  // recorded, and an item that gives the writer anything else drops it.
  template <bool kRecording>
  static uint8_t ParseItemInPlace(tParser& p, const tKvKPosReadContext& context) {
    tKvKPosComStreamSource& source = p.Source();
    int32_t number = 0;
    const tItemForm form = p.ReadFraming(context, number);
    if constexpr (kRecording) {
      if (form != tItemForm::kSubItem && !QuietWhileFollowing(number)) p.link_cache_->Drop();
    }
    switch (form) {
      case tItemForm::kItem: {
        int32_t value = 0;
        if (number >= kItemRecordFirst && number <= kItemRecordLast &&
            ReadPlainInteger(source, value)) {
          RecordStartItem(p, number, value, true);
          return 0;
        }
        if (number == kItemBackLink && ReadPlainInteger(source, value)) {
          BackLinkItem(p, value);
          return 0;
        }
        if (int32_t items[4];
            number == kItemEntryStart && ReadPlainIntegerTuple(source, items, 4)) {
          const tKvKPosEntryInfoRec entry{items[0], items[1], items[2], items[3]};
          p.writer_->EntryStart(entry);
          return 0;
        }
        const std::unique_ptr<tKvKPosData> element = ReadElement(source);
        return Dispatch(p, number, element.get());
      }
      case tItemForm::kItemNone:
        return Dispatch(p, number, &kNoneElement);
      case tItemForm::kSubItem:
        break;
    }
    // The element is checked where it lies (failing as reading it would)
    // and handed on as its position.
    const int64_t at = p.cursor_->Position;
    SkipElement(source);
    if constexpr (kRecording) {
      if (p.link_cache_->Recording()) p.link_cache_->Record(number, at, p.cursor_->Position);
    }
    p.buffer_->AddItemAt(number, at);
    return 0;
  }

  // The range from start in the event-buffer mode: the in-place scanner
  // takes the common items, a step every other one.
  static uint8_t ParseInPlace(tParser& p, int64_t start, int64_t length,
                              const tKvKPosReadContext& context) {
    using tKind = tKvKPosScanStop::tKind;
    tKvKPosMemCursor& cursor = *p.cursor_;
    for (;;) {
      int64_t available = 0;
      p.Source().DirectBytes(available);
      tKvKPosScanStop stop{tKind::kOther, cursor.Position};
      if (stop.Pos - start == length) {
        stop.Kind = tKind::kRangeEnd;
      } else if (!(p.length_prefixed_ && p.length_value_due_ && p.last_length_value_ > 0)) {
        // No length value comes first.
        stop = ScanInPlace(cursor.Data, stop.Pos, stop.Pos + available, start, length, *p.buffer_);
      }
      switch (stop.Kind) {
        case tKind::kRangeEnd:
          cursor.Position = stop.Pos;
          p.writer_->set_file_pos(stop.Pos);
          return kResultRangeDone;
        case tKind::kBackLink:
          cursor.Position = stop.After;
          if (!DeliverCachedLink(p, stop.Pos, stop.Distance)) {
            p.writer_->set_file_pos(stop.Pos);
            BackLinkItem(p, stop.Distance);
          }
          continue;
        case tKind::kOther:
          break;
      }
      cursor.Position = stop.Pos;
      p.writer_->set_file_pos(stop.Pos);
      if (const uint8_t result = ParseStep(p, context); result != 0) return result;
    }
  }

  // For a back link at pos that FollowLink would deliver from the link
  // cache: delivers it so and returns true; false (nothing done) for any
  // other.
  static bool DeliverCachedLink(tParser& p, int64_t pos, int64_t distance) {
    const int64_t target = pos - distance;
    if (p.pass_links_ || target < 0) return false;
    const std::vector<tKvKPosLinkCache::tField>* fields = p.link_cache_->Find(target);
    if (fields == nullptr) return false;
    // What FollowLink leaves behind.
    p.link_expects_first_field_ = true;
    p.link_target_done_ = false;
    for (const tKvKPosLinkCache::tField& field : *fields) {
      p.buffer_->AddItemAtFrom(pos, field.Number, field.Position, true);
    }
    return true;
  }

  // Parses the record at distance bytes before the current item, then
  // returns to the position after the back link (also on failure). A link
  // that the check pass or the parse into the event buffer has followed
  // from the same state in this range is not read again.
  static void FollowLink(tParser& p, int64_t distance) {
    if (p.stream_file_ == nullptr) {
      // Only ParseRange knows the stream file to position in.
      throw EKvKPosFiscalStream(&p, p.writer_->file_pos(),
                                "Backlink cannot be followed outside a range", 6);
    }
    tKvKPosStreamFile& file = *p.stream_file_;
    p.link_expects_first_field_ = true;
    p.link_target_done_ = false;
    const int64_t saved = p.cursor_ != nullptr ? p.cursor_->Position : file.GetPosition();
    const int64_t target = p.writer_->file_pos() - distance;
    if (target < 0) throw EKvKPosFiscalStream(&p, 0, "Invalid link position", 6);

    const bool readsLengthFirst =
        p.length_prefixed_ && p.length_value_due_ && p.last_length_value_ > 0;
    const uint64_t readsBefore = p.length_reads_;
    if (p.link_cache_usable_ && !readsLengthFirst) {
      tKvKPosLinkCache& cache = *p.link_cache_;
      if (const std::vector<tKvKPosLinkCache::tField>* fields = cache.Find(target)) {
        for (const tKvKPosLinkCache::tField& field : *fields) {
          p.buffer_->AddItemAt(field.Number, field.Position, true);
        }
        return;
      }
      cache.Begin(target);
      try {
        ReadLinkedRecord(p, target, saved, file);
      } catch (...) {
        cache.Drop();
        throw;
      }
      // A replay reads no length value. Only a block information reads one
      // while a link is followed, and it has dropped the recording already;
      // checked here all the same.
      if (cache.Recording() && p.length_reads_ == readsBefore) {
        cache.Commit();
      } else {
        cache.Drop();
      }
      return;
    }
    if (p.mode_ == tMode::kCheck) {
      if (const tKvKPosLinkMemo::tEntry* memo = p.link_memo_->Find(target, readsLengthFirst)) {
        if (readsLengthFirst) p.length_value_due_ = false;
        if (memo->ReadLength) p.last_length_value_ = memo->LastLength;
        return;
      }
    }
    ReadLinkedRecord(p, target, saved, file);
    if (p.mode_ == tMode::kCheck) {
      p.link_memo_->Store(
          {target, readsLengthFirst, p.length_reads_ != readsBefore, p.last_length_value_});
    }
  }

  // Reads from the target on until the linked record ends, then returns to
  // saved (also on failure).
  static void ReadLinkedRecord(tParser& p, int64_t target, int64_t saved, tKvKPosStreamFile& file) {
    SetFilePosition(p, file, target);
    p.following_link_ = true;
    p.link_expects_first_field_ = true;
    // Every step reads at least one byte forward from the target, so a
    // target without record start or entry end ends at the end of the data,
    // where the source raises.
    const tKvKPosReadContext context = tKvKPosReadContext::Stepwise();
    try {
      if (p.link_cache_usable_ && p.link_cache_->Recording()) {
        while (!p.link_target_done_) {
          if (ParseStep<true>(p, context) != 0) break;
        }
      } else {
        while (!p.link_target_done_) {
          if (ParseStep(p, context) != 0) break;
        }
      }
    } catch (...) {
      p.following_link_ = false;
      try {
        SetFilePosition(p, file, saved);
      } catch (...) {
        // The first failure is the one to report.
      }
      throw;
    }
    p.following_link_ = false;
    SetFilePosition(p, file, saved);
  }

  // file.SetPosition(position), directly on the cursor of a memory file
  // (position >= 0).
  static void SetFilePosition(tParser& p, tKvKPosStreamFile& file, int64_t position) {
    if (p.cursor_ != nullptr) {
      p.cursor_->Position = position;
    } else {
      file.SetPosition(position);
    }
  }
};

// ---------------------------------------------------------------------------
// tKvKPosFiscalStreamParser

tKvKPosFiscalStreamParser::tKvKPosFiscalStreamParser(uint8_t version,
                                                     tKvKPosFiscalStreamWriter* writer,
                                                     tKvKPosComStreamSource* source)
    : tKvKPosComStreamParserV2(version, source), writer_(writer), buffer_(nullptr) {
  if (writer_ == nullptr) {
    throw EKvParam(this, "tKvKPosFiscalStreamParser.Create: invalid Writer");
  }
  // Only these versions have a header item; any other could never match.
  if (version > 2) {
    throw EKvParam(this,
                   "tKvKPosFiscalStreamParser.Create: invalid Version " + std::to_string(version));
  }
}

tKvKPosFiscalStreamParser::tKvKPosFiscalStreamParser(uint8_t version,
                                                     tKvKPosFiscalEventBuffer* buffer,
                                                     tKvKPosComStreamSource* source)
    : tKvKPosFiscalStreamParser(version, static_cast<tKvKPosFiscalStreamWriter*>(buffer), source) {
  buffer_ = buffer;
}

tKvKPosFiscalStreamParser::~tKvKPosFiscalStreamParser() = default;

uint8_t tKvKPosFiscalStreamParser::Item(int32_t number, std::unique_ptr<tKvKPosData> element) {
  // element is freed when this handler ends, also when it raises.
  return tImpl::Dispatch(*this, number, element.get());
}

void tKvKPosFiscalStreamParser::SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) {
  writer_->AddItem(number, std::move(element));
}

uint8_t tKvKPosFiscalStreamParser::ParseRange(tKvKPosStreamFile& streamFile, bool lengthPrefixed,
                                              bool passLinks, int64_t length,
                                              tKvKPosParseMode mode) {
  if (mode == tMode::kEventBuffer && buffer_ == nullptr) {
    throw EKvParam(this, "tKvKPosFiscalStreamParser.ParseRange: no event buffer");
  }
  // The stream file is known only during this call, also when it raises.
  struct Forget {
    tKvKPosFiscalStreamParser& Parser;
    ~Forget() {
      Parser.stream_file_ = nullptr;
      Parser.cursor_ = nullptr;
      Parser.mode_ = tMode::kGeneral;
      Parser.link_cache_usable_ = false;
    }
  } forget{*this};
  cursor_ = streamFile.MemCursor();
  if (mode == tMode::kEventBuffer) {
    // The positions handed on must be those of the bytes the source reads.
    int64_t available = 0;
    const uint8_t* direct = Source().DirectBytes(available);
    const bool inPlace = cursor_ != nullptr && !kv_kpos_detail::g_registryCustomised &&
                         available > 0 && direct == cursor_->Data + cursor_->Position;
    if (!inPlace) mode = tMode::kGeneral;
  }
  mode_ = mode;
  if (mode == tMode::kCheck) {
    if (link_memo_ == nullptr) link_memo_ = std::make_unique<tKvKPosLinkMemo>();
    link_memo_->Clear();
  }
  link_cache_usable_ = mode == tMode::kEventBuffer;
  if (link_cache_usable_) {
    if (link_cache_ == nullptr) link_cache_ = std::make_unique<tKvKPosLinkCache>();
    link_cache_->NewRange();
  }

  stream_file_ = &streamFile;
  length_prefixed_ = lengthPrefixed;
  pass_links_ = passLinks;
  length_value_due_ = false;
  last_length_value_ = 0;
  following_link_ = false;
  link_expects_first_field_ = false;
  link_target_done_ = false;

  const int64_t start = streamFile.GetPosition();
  const tKvKPosReadContext context = tKvKPosReadContext::Stepwise();
  if (mode == tMode::kEventBuffer) return tImpl::ParseInPlace(*this, start, length, context);
  for (;;) {
    const int64_t p = cursor_ != nullptr ? cursor_->Position : streamFile.GetPosition();
    writer_->set_file_pos(p);
    // Compared as a difference: start + length may not be representable.
    if (p - start == length) return kResultRangeDone;
    if (const uint8_t result = tImpl::ParseStep(*this, context); result != 0) return result;
  }
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
