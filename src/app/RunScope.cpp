#include "app/RunScope.h"

#include <utility>

class tFiscalStreamEvalScope::tPicker final : public tKvFiscalStreamPicker {
 public:
  explicit tPicker(tRunScope& scope) : scope_(scope) {}

  void BlockStart(const tKvKPosBlockInfoRec& block) override {
    tKvFiscalStreamPicker::BlockStart(block);
    std::string number;
    block.EcrNr.AppendText(number);
    for (const tRunScope::tRegister& known : scope_.Registers) {
      if (known.Number == number && known.SerialNo == block.SerNr) return;
    }
    scope_.Registers.push_back({std::move(number), block.SerNr, std::string(block.EcrName.view())});
  }

  void Header(const tFiscHeaderRec& rec) override {
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

 private:
  tRunScope& scope_;
};

tFiscalStreamEvalScope::tFiscalStreamEvalScope(tRunScope& scope,
                                               std::unique_ptr<tKvFiscalStreamEval> next)
    : tFiscalStreamEvalScope(std::make_unique<tPicker>(scope), std::move(next)) {}

tFiscalStreamEvalScope::tFiscalStreamEvalScope(std::unique_ptr<tPicker> picker,
                                               std::unique_ptr<tKvFiscalStreamEval> next)
    : tKvFiscalStreamEvalExt(picker.get(), std::move(next)), picker_(std::move(picker)) {}

tFiscalStreamEvalScope::~tFiscalStreamEvalScope() { CloseQuietly(); }
