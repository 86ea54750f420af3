#include "app/RunScope.h"

#include <utility>

void tRunScopePicker::BlockStart(const tKvKPosBlockInfoRec& block) {
  tKvFiscalStreamPicker::BlockStart(block);
  std::string number;
  block.EcrNr.AppendText(number);
  for (const tRunScope::tRegister& known : scope_.Registers) {
    if (known.Number == number && known.SerialNo == block.SerNr) return;
  }
  scope_.Registers.push_back({std::move(number), block.SerNr, std::string(block.EcrName.view())});
}

void tRunScopePicker::Header(const tFiscHeaderRec& rec) {
  tKvFiscalStreamPicker::Header(rec);
  const tKvKPosFiscalType& type = entry_type();
  if (type.Kind == kEntryRegEnd) {
    const tKvDateTime day = rec.DateTime.DatePart();
    if (scope_.Closings++ == 0) {
      scope_.FirstBusinessDay = day;
      scope_.FirstClosingNo = rec.SeqNo;
    }
    scope_.LastBusinessDay = day;
    scope_.LastClosingNo = rec.SeqNo;
  } else if (type.IsTransaction) {
    if (scope_.Transactions++ == 0) scope_.FirstReceiptNo = rec.DocNo;
    scope_.LastReceiptNo = rec.DocNo;
  }
}
