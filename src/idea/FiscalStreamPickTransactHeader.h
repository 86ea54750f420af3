// tFiscalStreamPickTransactHeader: the transaction header tables, one line
// per transaction entry with a date-time: its header data, totals and tax
// summary. Three files by transaction category, with the same columns and
// keys of their own: "TransactHead.csv" (ordinary), "BookMemHead.csv"
// (booking memory, kinds 6 and 7) and "MiscTransHead.csv" (kinds 11, 12
// and 19). The detail and payment tables link to a line by its DOC_KEY.
// Voucher sequence numbers are checked within a run of blocks that
// continue each other; a gap is logged as an error. An entry that delivered
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
  // Kinds 11 and 12 with sequence number 0 are not numbered.
  bool IsSequenced(const tFiscHeaderRec& rec) const;
  void WriteLine(tFileHdlCSV& csv, int counter);

  tIdeaCategoryFiles CsvFiles;
  tFiscClosingRec EntryClosing;
  bool HasClosing = false;
  int32_t LastSeqNo = 0;
  bool SeqRestart = false;
};
