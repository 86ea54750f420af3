// tFiscalStreamPickTransactHeader: the transaction header tables, one line
// per transaction entry that delivered its header: its header data, totals
// and tax summary (a header without a date gets an empty date field and a
// warning). Three files by transaction category, with the same columns and
// keys of their own: "TransactHead.csv" (ordinary), "BookMemHead.csv"
// (booking memory) and "MiscTransHead.csv" (other transactions). The
// detail and payment tables link to a line by its DOC_KEY. Voucher
// sequence numbers are checked within a run of blocks that continue each
// other; a gap is logged as an error. An entry that delivered
// no header leaves the sequence state as it was.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "idea/FiscalStreamPickerIDEA.h"

class tFiscalStreamPickTransactHeader final : public tFiscalStreamPickerIDEA {
 public:
  tFiscalStreamPickTransactHeader(tIdeaContext& context,
                                  std::unique_ptr<tKvFiscalStreamPicker> next);
  void Header(const tFiscHeaderRec& rec) override;
  void Closing(const tFiscClosingRec& rec) override;
  void EntryEnd() override;
  void BlockStart(const tKvKPosBlockInfoRec& block) override;

 private:
  // Booking memory is not numbered, nor are paid-in/out receipts and media
  // moves with sequence number 0.
  bool IsSequenced(const tFiscHeaderRec& rec) const;
  void WriteLine(tFileHdlCSV& csv, int counter);

  tIdeaCategoryFiles CsvFiles;
  tFiscClosingRec EntryClosing;  // the entry's closing while HasClosing
  bool HasClosing = false;
  int32_t LastSeqNo = 0;
  bool SeqRestart = false;
};
