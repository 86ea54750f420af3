// tFiscalDataParserAsciiInt: the ASCII interface input. It reads the
// journal's binary blocks from numbered text lines, rebuilds one block at a
// time in memory and runs the fiscal stream parser over it, first into an
// event buffer (so that a damaged block fails before the real writer chain
// has seen any of it), whose events then go to the writer chain. Reading,
// decoding and parsing the next blocks run on worker threads while the
// block before them goes through the writer chain (tKvReadAhead); the writer
// sees the same events in the same order either way. The workers touch only
// the line source (one at a time) and the memory block and event buffer of
// their own block; the writer chain and the log run on the thread that
// calls Run. A block with more
// events than a buffer holds is parsed once to check it and then again into
// the writer chain.
// The parser borrows its line source and, during Run, the writer; it owns the
// memory blocks. A failure ends the run with EKvFiscalDataInput naming the
// input line (the original failure nested inside). Damage that the run reads
// past goes to the log after the events of its block: a data line with an
// odd number of hexadecimal digits (the last one is dropped) as a warning, a
// block whose data end inside an entry as an error. When the block fails,
// the damage its lines showed is logged before the failure is raised.
//
// File format (one record per line, the line code up to the first ","):
//   200,<key>;<value>,<key>;<value>,...     block start; accepted when key 1 is 1
//                                           (1: header first integer, 10: second
//                                           integer, 21-23 texts, 25 integer)
//   201..299,...                            lines of the block; only 242 carries data
//   242,<ver>;<prefix>:<hex>,<ver>;...      block bytes as hexadecimal digit pairs;
//                                           <ver> 1: version-1 stream, else version 2
//   anything else                           ends a block; skipped outside one
// An unreadable code counts as 299 inside a block. Example:
//   200,1;1,10;1,21;Kasse 1,22;V3.14.2,25;1
//   242,2;D:861A0467036701673BA05694...
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/KvClass.h"
#include "base/KvErrors.h"
#include "base/KvReadAhead.h"
#include "eval/KvFiscalDataSourceAscii.h"
#include "stream/KvKPosComStream.h"
#include "stream/KvKPosFiscalEventBuffer.h"
#include "stream/KvKPosFiscalStreamRec.h"

class tKvKPosFiscalStreamWriter;
class tKvLog;

// The values of a block-start line besides the file header's.
// Intentionally copyable.
struct tAsciiIntBlockStart {
  tKvKPosText100 Text21;  //!< key 21 (the terminal name)
  tKvKPosText100 Text22;  //!< key 22 (the software version)
  tKvKPosText100 Text23;  //!< key 23
  int32_t Int25 = 0;      //!< key 25 (the block number)

  void Init() { *this = tAsciiIntBlockStart(); }
};

class tFiscalDataParserAsciiInt : public tKvClass {
 public:
  // Line codes.
  static constexpr int32_t kCodeEof = -2;
  static constexpr int32_t kCodeUnreadable = -1;
  static constexpr int32_t kCodeBlockStart = 200;
  static constexpr int32_t kCodeBlockFirst = 201;
  static constexpr int32_t kCodeBlockLast = 299;
  static constexpr int32_t kCodeData = 242;
  // Largest block accepted, so that memory stays bounded.
  static constexpr int64_t kMaxBlockSize = int64_t{256} << 20;
  // Memory for the events of one parsed block.
  static constexpr size_t kEventBufferSize = size_t{8} << 20;

  // source: required (EKvParam "tFiscalDataParserAsciiInt.Create: invalid
  // Source"); "*source" must outlive the parser. progressOut may be empty.
  // flag is kept without further meaning (the program passes 0).
  tFiscalDataParserAsciiInt(tFiscalDataSourceTextFileDOS* source, tKvProgressProc progressOut,
                            uint8_t flag);
  tFiscalDataParserAsciiInt(const tFiscalDataParserAsciiInt&) = delete;
  tFiscalDataParserAsciiInt& operator=(const tFiscalDataParserAsciiInt&) = delete;
  ~tFiscalDataParserAsciiInt() override;

  // Slot 0: converts the whole file into writer (required, borrowed for the
  // call): for each block "Reading... <nn>%" to the progress output, the
  // check pass, FileHeader, the block's events; at the end "Completed.".
  virtual void Run(tKvKPosFiscalStreamWriter* writer);

  uint8_t Flag() const { return flag_; }
  bool CheckBlockInfo() const { return check_block_info_; }
  void set_check_block_info(bool check) { check_block_info_ = check; }
  // A block began with a block information that carries a data signature.
  bool HasBlockInfo() const { return has_block_info_; }
  // The header record sent before the current (last) block.
  const tKvKPosTextFileHeaderRec& FileHeader() const { return file_header_; }
  const tAsciiIntBlockStart& BlockStart() const { return block_start_; }
  // Stream version of the block data: 1 or anything else (version 2).
  int32_t StreamKind() const { return stream_kind_; }
  // Memory for the events of one block (kEventBufferSize unless set before
  // Run); the events of a larger block are not kept but parsed again.
  void set_event_buffer_size(size_t size) { event_buffer_size_ = size; }
  // The log for the damage read past (may be null: not reported); "*log"
  // must outlive Run. Only the thread that calls Run writes to it.
  void set_log(tKvLog* log) { log_ = log; }
  // Threads that read, decode and parse the blocks ahead of the writer
  // chain (0: the blocks are prepared on the calling thread, one at a time);
  // DefaultWorkers unless set before Run. The writer sees the same events
  // either way.
  void set_workers(int workers) { workers_ = workers < 0 ? 0 : workers; }
  // One per processor besides the calling thread's, at most four.
  static int DefaultWorkers();

 private:
  enum class tBlockResult { kBlock, kEmpty, kEof };

  // For each data line of a block: the block offset of its first byte and
  // its line number, in rising order.
  struct tDataLine {
    int64_t Offset;
    int64_t Line;
  };
  // A damage found in a block, reported once its events went out.
  struct tDamage {
    int Kind;  // tKvLog::kWarning or kError
    std::string Text;
  };
  // One block as read, decoded and checked, with what its lines said.
  struct tBlock {
    tKvKPosStreamFileMem Bytes;
    std::vector<tDataLine> DataLines;
    std::vector<tDamage> Damage;
    int64_t StartLine = 0;  // line of the block-start line
    tKvKPosTextFileHeaderRec FileHeader;
    tAsciiIntBlockStart BlockStart;
    int32_t StreamKind = 2;
    int32_t Percent = 0;                                // of the input read after the block
    bool HasDataSignature = false;                      // its block information carries one
    std::exception_ptr Failure;                         // reading or preparing it failed
    tKvKPosFiscalEventBuffer Events{kEventBufferSize};  // the parsed block
  };

  // ---- The two steps of tKvReadAhead. A failure stays with its block, so
  // that the damage found before it reaches the log ahead of it in block
  // order; nothing is read after a failed block.
  bool ReadStep(tBlock& block);
  void WorkStep(tBlock& block) const;
  // ---- Reader side: only the reading step uses these.
  // Fills block with the next accepted, non-empty block; false at the end
  // of the input.
  bool ReadNextBlock(tBlock& block);
  // The code of the next line (kCodeEof at the end); rest_ is the text
  // behind the first ",".
  int32_t ReadCode();
  // Makes the next ReadCode return the line last read again.
  void PushBack();
  // Reads up to and including the next accepted block.
  tBlockResult ReadBlock(tBlock& block);
  // Reads the pairs of a block-start line; true when key 1 is 1.
  bool ReadBlockStart(std::string_view pairs, tBlock& block);
  // Appends the bytes of a data line to the block.
  void ReadData(std::string_view pairs, tBlock& block);
  // ---- Working step (several blocks at once; touches only its block).
  // Block information, then the parse into the block's event buffer.
  void PrepareBlock(tBlock& block) const;
  [[noreturn]] void RaiseBadHex(std::string_view hex, size_t at) const;

  // ---- Caller side.
  // FileHeader and the block's events into writer (replayed, or parsed
  // again when they did not fit into the buffer), then its damage to the
  // log; a failed block logs its damage and raises its failure.
  void ParseBlock(tBlock& block, tKvKPosFiscalStreamWriter& writer);
  void LogDamage(const tBlock& block);
  // The input line that holds byte offset of the block.
  static int64_t LineOfBlockOffset(const tBlock& block, int64_t offset);
  // Raises EKvFiscalDataInput for failure at offset of the block.
  [[noreturn]] static void RaiseBlockFailure(const EKvRoot& failure, const tBlock& block,
                                             int64_t offset);

  tFiscalDataSourceTextFileDOS* source_;  // not owned, never null
  tKvProgressProc progress_out_;
  tKvLog* log_ = nullptr;  // not owned
  uint8_t flag_;
  bool check_block_info_ = true;
  bool has_block_info_ = false;
  tKvKPosTextFileHeaderRec file_header_;
  tAsciiIntBlockStart block_start_;
  int32_t stream_kind_ = 2;
  size_t event_buffer_size_ = kEventBufferSize;
  int workers_ = DefaultWorkers();

  // Reader side. The last line read: a view into the source's buffer, or
  // into pushed_line_ while a pushed-back line is being read again.
  std::string_view last_line_;
  std::string pushed_line_;
  bool pushed_back_ = false;
  std::string_view rest_;
  int32_t reading_stream_kind_ = 2;
  bool read_failed_ = false;
};
