// The fiscal stream parser: gives the item numbers of the communication
// stream their fiscal meaning (file header, format version, block and entry
// information, record starts with nesting level, fields, back links) and
// reports them in stream order to one writer. The parser borrows its writer,
// its source and, during ParseRange, the stream file it positions in.
// Malformed input raises EKvKPosComStream or EKvKPosFiscalStream; elements
// already handed to the writer stay with it.
//
// Fiscal items (numbers of Item; sub-items are record fields):
//   50 / 1050  file header, header version 1 / 2   -> StreamHeader
//   1          journal format version (Int)        -> SetVersion(1, value)
//   3          entry start (Multi of 4 Int)        -> EntryStart
//   4          back link (Int: distance in bytes)  -> followed
//   5          block information (Multi of 12)     -> BlockInfo
//   6          entry end                           -> EntryEnd
//   7, 8       no meaning                          -> ignored
//   9..32      record start at level number - 8    -> RecordStart(type, level)
//   sub-item n field n of the current record       -> AddItem(n, element)
// In a length-prefixed range a 4-byte value follows the block information
// and, while the last value read is above 0, each entry end.
// A back link met again in the same range is not read again: the check pass
// remembers its effect on the length values, the real parse also the fields
// it delivered, which reach the writer as copies (see FollowLink). Into an
// event buffer, fields go as the positions of their elements (AddItemAt).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "stream/KvKPosComStream.h"
#include "stream/KvKPosComStreamV2.h"
#include "stream/KvKPosFiscalStreamRec.h"
#include "stream/KvKPosFiscalStreamWriter.h"

// The byte source of the fiscal layer (the file-backed window is
// tKvFiscalStreamSourceBinary).
class tKvKPosFiscalStreamSource : public tKvKPosComStreamSource {
 public:
  ~tKvKPosFiscalStreamSource() override;
};

class tKvKPosFiscalStreamParser : public tKvKPosComStreamParserV2 {
 public:
  // Fiscal item numbers.
  static constexpr int32_t kItemVersion = 1;
  static constexpr int32_t kItemEntryStart = 3;
  static constexpr int32_t kItemBackLink = 4;
  static constexpr int32_t kItemBlockInfo = 5;
  static constexpr int32_t kItemEntryEnd = 6;
  static constexpr int32_t kItemRecordFirst = 9;  // level 1
  static constexpr int32_t kItemRecordLast = 32;  // level 24
  static constexpr int32_t kItemHeaderV1 = 50;
  static constexpr int32_t kItemHeaderV2 = 1050;
  // Result of ParseRange when the range has been consumed.
  static constexpr uint8_t kResultRangeDone = 1;

  // version: expected header version, 0 (any), 1 (item 50) or 2 (item
  // 1050); another version raises EKvParam. An absent source raises as in
  // the base, then an absent writer EKvParam
  // "tKvKPosFiscalStreamParser.Create: invalid Writer". "*writer" and
  // "*source" must outlive the parser.
  tKvKPosFiscalStreamParser(uint8_t version, tKvKPosFiscalStreamWriter* writer,
                            tKvKPosComStreamSource* source);
  ~tKvKPosFiscalStreamParser() override;

  // Parses the items from the current position of streamFile, which the
  // source reads through, until length bytes have been consumed: returns
  // kResultRangeDone then, or the first non-zero Item result. An item that
  // runs past the end of the range is read past it, after which the range can
  // no longer end and the source raises at the end of its data. passLinks
  // hands back links to the writer (Link) instead of following them.
  // The position of every item's framing byte is stored into the writer
  // (set_file_pos) before it is read.
  uint8_t ParseRange(tKvKPosStreamFile& streamFile, bool lengthPrefixed, bool passLinks,
                     int64_t length);

  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  // Passes the field on: writer.AddItem(number, element).
  void SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;

  tKvKPosFiscalStreamWriter& Writer() const { return *writer_; }

 private:
  // One parse step: the due length value, then one framing round. With
  // kRecording (only while a link to be cached is followed: the real parse
  // by this class itself) the round is ParseItemOwn<true>.
  template <bool kRecording = false>
  uint8_t ParseStep(const tKvKPosReadContext& context);
  // ParseRange from start while positions_: the common items are read
  // straight from the cursor's bytes and go to the event buffer with their
  // positions; every other item takes a ParseStep. The same events, failures
  // and positions as the steps alone.
  uint8_t ParseRangeInPlace(int64_t start, const tKvKPosReadContext& context);
  // For ParseRangeInPlace: a back link at pos that FollowLink would deliver
  // from the link cache is delivered so, and true returned; false (nothing
  // done) for any other.
  bool DeliverCachedLink(int64_t pos, int64_t distance);
  // One framing round for the discarding writer: the elements nobody looks
  // at are checked in place (SkipElement) instead of being built; the
  // numbers, links, failures and positions are those of ParseItem.
  uint8_t ParseItemDiscarding(const tKvKPosReadContext& context);
  // One framing round of this class itself (not a subclass): as ParseItem,
  // but a record start whose type is a plain integer is handled without
  // building the element that Item would free at once. kRecording: besides,
  // the fields go to the cache entry being filled, and an item that gives the
  // writer anything else drops it (a separate instance, so that the usual
  // round carries none of this).
  template <bool kRecording = false>
  uint8_t ParseItemOwn(const tKvKPosReadContext& context);
  // Record start item number (9..32) with the record type; report: tell the
  // writer (false only while discarding).
  void RecordStartItem(int32_t number, int32_t type, bool report);
  // Back link item with the distance (passed on, refused or followed).
  void BackLinkItem(int32_t distance);
  // The handling of Item. element may be nullptr only while discarding and
  // for numbers whose element is not looked at (see NeedsElement); the
  // writer then receives nothing (the discarding writer would drop it).
  uint8_t Dispatch(int32_t number, const tKvKPosData* element);
  // Numbers whose element the parser reads (header, back link, block
  // information).
  static bool NeedsElement(int32_t number) {
    return number == kItemBackLink || number == kItemBlockInfo || number == kItemHeaderV1 ||
           number == kItemHeaderV2;
  }
  // Parses the record at distance bytes before the current item, then
  // returns to the position after the back link (also on failure). A link
  // that the check pass or the real parse has followed from the same state
  // in this range is not read again (see tLinkMemo and tLinkCache).
  void FollowLink(int64_t distance);
  // The part of the real parse in FollowLink for a link that reads no
  // length value first: delivers a cached link, or follows it and caches
  // what it delivered when that may be replayed.
  void FollowLinkCached(int64_t target, int64_t saved, tKvKPosStreamFile& file);
  // Reads from the target on until the linked record ends, then returns to
  // saved (also on failure).
  void ReadLinkedRecord(int64_t target, int64_t saved, tKvKPosStreamFile& file);
  // Keeps a field delivered while following a link for the cache entry
  // being filled: a copy of element, or (while positions_, element nullptr)
  // the element's position; end is the position behind the element.
  void RecordLinkField(int32_t number, const tKvKPosData* element, int64_t position, int64_t end);
  // The link being followed is not to be cached.
  void DropLinkRecording() {
    link_recording_ = nullptr;
    link_scratch_.Fields.clear();
  }
  // Items that give the writer nothing while a link is followed (record
  // start, entry end, 7 and 8); any other item gives it an event or fails.
  static bool QuietWhileFollowing(int32_t number) {
    return (number >= kItemRecordFirst && number <= kItemRecordLast) || number == kItemEntryEnd ||
           number == 7 || number == 8;
  }
  void ReadLengthValue();
  // file.SetPosition(position), directly on the cursor of a memory file
  // (position >= 0).
  void SetFilePosition(tKvKPosStreamFile& file, int64_t position) {
    if (cursor_ != nullptr) {
      cursor_->Position = position;
    } else {
      file.SetPosition(position);
    }
  }

  tKvKPosFiscalStreamWriter* writer_;         // not owned, never null
  tKvKPosStreamFile* stream_file_ = nullptr;  // set only during ParseRange
  int64_t range_length_ = 0;
  bool pass_links_ = false;
  bool length_prefixed_ = false;
  bool length_value_due_ = false;
  int64_t last_length_value_ = 0;
  bool following_link_ = false;
  bool link_expects_first_field_ = false;
  bool link_target_done_ = false;
  // ParseRange into the discarding writer, by this class itself: nothing
  // reaches a writer, so elements need not be built (see ParseItemDiscarding).
  bool discarding_ = false;
  // Length values read so far (ReadLengthValue).
  uint64_t length_reads_ = 0;
  // ParseRange by this class itself (Item and SubItem not overridden).
  bool own_items_ = false;
  // ParseRange by this class itself into an event buffer, over bytes read
  // in place with the built-in element classes: fields are checked in place
  // and handed to the buffer as their positions (AddItemAt).
  bool positions_ = false;
  // Links the check pass has followed without failure in the current range.
  // Following a link reads the same bytes the same way whenever it starts at
  // the same target and the same decision whether a length value comes
  // first (no entry end is reported while following, so no other length
  // value becomes due); what it leaves behind is the last length value read,
  // if any. So a link met again is not read again. Direct mapped by target;
  // a slot holds the last link that fell on it.
  struct tLinkMemo {
    int64_t Target = -1;  // -1: empty
    bool ReadsLengthFirst = false;
    bool ReadLength = false;  // a length value was read while following
    int64_t LastLength = 0;   // the last one read
  };
  static constexpr int kLinkMemoBits = 8;
  static constexpr size_t kLinkMemoSlots = size_t{1} << kLinkMemoBits;
  std::array<tLinkMemo, kLinkMemoSlots> link_memo_{};
  // The slot of target among 2^bits slots.
  static size_t LinkSlot(int64_t target, int bits) {
    return static_cast<size_t>(static_cast<uint64_t>(target) * 0x9E3779B97F4A7C15ULL >>
                               (64 - bits));
  }
  tLinkMemo& LinkMemo(int64_t target) { return link_memo_[LinkSlot(target, kLinkMemoBits)]; }
  // Links the real parse has followed in the current range, with copies of
  // the fields they delivered. Following reads the same bytes the same way
  // whenever it starts at the same target, so a link met again hands the
  // writer copies of the same fields in the same order and is not read
  // again. Cached is only a link whose following ended without failure,
  // touched no length value and gave the writer nothing but fields (a record
  // start or entry end ending it, items 7 and 8 besides), at most
  // kLinkCacheFields fields from at most kLinkCacheBytes bytes (so that the
  // copies kept stay small), and only while the source reads the range's
  // bytes in place with the built-in element classes (elements of other
  // classes may read differently each time). Any other link is read as
  // before. The writer's position is that of the link item while the fields
  // arrive, read or copied. Direct mapped by target like link_memo_, with
  // more slots, as targets sharing a slot push each other out; a slot keeps
  // its field storage when it is refilled.
  struct tLinkField {
    int32_t Number = 0;
    std::unique_ptr<tKvKPosData> Element;  // a copy (not while positions_)
    int64_t Position = 0;                  // of the element (while positions_)
  };
  struct tLinkCache {
    uint64_t Range = 0;  // range_count_ of the range it belongs to; 0: empty
    int64_t Target = -1;
    std::vector<tLinkField> Fields;
  };
  static constexpr int kLinkCacheBits = 10;
  static constexpr size_t kLinkCacheSlots = size_t{1} << kLinkCacheBits;
  static constexpr size_t kLinkCacheFields = 16;
  static constexpr int64_t kLinkCacheBytes = 512;
  // Allocated at the first link the real parse follows.
  std::unique_ptr<std::array<tLinkCache, kLinkCacheSlots>> link_cache_;
  // Counts the ParseRange calls; entries of an earlier range are stale.
  uint64_t range_count_ = 0;
  // The range may use link_cache_ (real parse, in place, built-in classes).
  bool link_cache_usable_ = false;
  // While following a link: the entry being filled (link_scratch_, which
  // takes the slot's place only when complete, so that a link that cannot be
  // cached leaves the slot's entry alone); nullptr when the link is not to
  // be cached (any more).
  tLinkCache* link_recording_ = nullptr;
  tLinkCache link_scratch_;

  // The stream file's bytes and position when it is in memory (during
  // ParseRange), so that the position of every item is read directly.
  tKvKPosMemCursor* cursor_ = nullptr;
};

// Reads only up to the first block information: Item returns
// kResultBlockInfo after handling item 5.
class tKvKPosFiscalStreamParserBlkInfo final : public tKvKPosFiscalStreamParser {
 public:
  static constexpr uint8_t kResultBlockInfo = 10;

  using tKvKPosFiscalStreamParser::tKvKPosFiscalStreamParser;
  ~tKvKPosFiscalStreamParserBlkInfo() override;

  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override;
};

// Reads items from source up to and including the first block information
// and returns its record; the source is left directly after that item.
// Items before it are checked as usual (a header of the wrong version
// raises) and dropped. Ending otherwise than at a block information raises
// EKvKPosFiscalStream code 2 "\"BlockInfo\" expected; found #<result>".
void ReadBlockInfo(uint8_t version, tKvKPosComStreamSource& source, tKvKPosBlockInfoRec& blockInfo);
