// The fiscal stream parser: gives the item numbers of the communication
// stream their fiscal meaning (file header, format version, block and entry
// information, record starts with nesting level, fields, back links) and
// reports them in stream order to one writer. The parser borrows its writer,
// its source and, during ParseRange, the stream file it positions in.
// Malformed input raises EKvKPosComStream or EKvKPosFiscalStream; elements
// already handed to the writer stay with it.
//
// Fiscal items (numbers of Item, see KvKPosWireFormat.h; sub-items are
// record fields):
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
//
// The caller chooses how a range is parsed (tKvKPosParseMode). Every mode
// gives the writer the same events with the same positions, and fails the
// same way, as the general parse; the other two only do less work for it.
#pragma once

#include <cstdint>
#include <memory>

#include "stream/KvKPosComStream.h"
#include "stream/KvKPosComStreamV2.h"
#include "stream/KvKPosFiscalStreamRec.h"
#include "stream/KvKPosFiscalStreamWriter.h"

class tKvKPosFiscalEventBuffer;
class tKvKPosLinkCache;
class tKvKPosLinkMemo;

// The byte source of the fiscal layer (the file-backed window is
// tKvFiscalStreamSourceBinary).
class tKvKPosFiscalStreamSource : public tKvKPosComStreamSource {
 public:
  ~tKvKPosFiscalStreamSource() override;
};

// How ParseRange goes about a range.
enum class tKvKPosParseMode : uint8_t {
  // Every item read whole and handed to Item or SubItem, every back link
  // read again: the reference the other modes are compared against.
  kGeneral,
  // Check only: the writer receives nothing but the item positions.
  // Elements nobody looks at are checked where they lie instead of being
  // built; a link followed before from the same state is not read again.
  kCheck,
  // Into the event buffer the parser was created with: fields go to it as
  // the positions of their elements (AddItemAt), common items are taken
  // straight from the bytes (KvKPosInPlaceScan.h), and a link followed
  // before hands on the same positions again. Needs a stream file in
  // memory that the source reads in place, with the built-in element
  // classes; otherwise the range is parsed as kGeneral.
  kEventBuffer,
};

class tKvKPosFiscalStreamParser : public tKvKPosComStreamParserV2 {
 public:
  // Result of ParseRange when the range has been consumed.
  static constexpr uint8_t kResultRangeDone = 1;

  // version: expected header version, 0 (any), 1 (item 50) or 2 (item
  // 1050); another version raises EKvParam. An absent source raises as in
  // the base, then an absent writer EKvParam
  // "tKvKPosFiscalStreamParser.Create: invalid Writer". "*writer" and
  // "*source" must outlive the parser.
  tKvKPosFiscalStreamParser(uint8_t version, tKvKPosFiscalStreamWriter* writer,
                            tKvKPosComStreamSource* source);
  // The same with an event buffer as the writer, which makes the mode
  // kEventBuffer available.
  tKvKPosFiscalStreamParser(uint8_t version, tKvKPosFiscalEventBuffer* buffer,
                            tKvKPosComStreamSource* source);
  ~tKvKPosFiscalStreamParser() override;

  // Parses the items from the current position of streamFile, which the
  // source reads through, until length bytes have been consumed: returns
  // kResultRangeDone then, or the first non-zero Item result. An item that
  // runs past the end of the range is read past it, after which the range can
  // no longer end and the source raises at the end of its data. passLinks
  // hands back links to the writer (Link) instead of following them.
  // The position of every item's framing byte is stored into the writer
  // (set_file_pos) before it is read. In the modes other than kGeneral the
  // items are handled by this class itself: Item and SubItem are not called.
  // kEventBuffer without an event buffer raises EKvParam.
  uint8_t ParseRange(tKvKPosStreamFile& streamFile, bool lengthPrefixed, bool passLinks,
                     int64_t length, tKvKPosParseMode mode = tKvKPosParseMode::kGeneral);

  uint8_t Item(int32_t number, std::unique_ptr<tKvKPosData> element) override;
  // Passes the field on: writer.AddItem(number, element).
  void SubItem(int32_t number, std::unique_ptr<tKvKPosData> element) override;

  tKvKPosFiscalStreamWriter& Writer() const { return *writer_; }

 private:
  // The parse machinery, in the source file.
  struct tImpl;
  friend struct tImpl;

  tKvKPosFiscalStreamWriter* writer_;                   // not owned, never null
  tKvKPosFiscalEventBuffer* buffer_;                    // the writer as an event buffer, or nullptr
  tKvKPosParseMode mode_ = tKvKPosParseMode::kGeneral;  // of the range under way
  tKvKPosStreamFile* stream_file_ = nullptr;            // set only during ParseRange
  tKvKPosMemCursor* cursor_ = nullptr;                  // its bytes and position when in memory
  bool pass_links_ = false;
  bool length_prefixed_ = false;
  bool length_value_due_ = false;
  int64_t last_length_value_ = 0;
  uint64_t length_reads_ = 0;  // length values read so far
  bool following_link_ = false;
  bool link_expects_first_field_ = false;
  bool link_target_done_ = false;
  // Links followed in this range: by the check pass (memo) and, while the
  // bytes are read in place, into the event buffer (cache).
  std::unique_ptr<tKvKPosLinkMemo> link_memo_;
  std::unique_ptr<tKvKPosLinkCache> link_cache_;
  bool link_cache_usable_ = false;
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
