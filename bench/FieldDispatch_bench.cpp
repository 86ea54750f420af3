// Micro-benchmark of the per-field path of the evaluator: a receipt of five
// articles (header, items with tax records, closing, payment) is fed to an
// extended evaluator whose picker drops the records. Items per second are
// journal fields per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "eval/KvFiscalStreamEvalExt.h"
#include "eval/KvFiscalStreamPicker.h"
#include "stream/KvKPosComStreamData.h"

namespace {

void BM_ReceiptFields(benchmark::State& state) {
  tKvFiscalStreamPicker picker;
  tKvFiscalStreamEvalExt eval(&picker);
  const tKvKPosDataInt number(17);
  const tKvKPosDataBcd amount(tKvBcd::FromText("12.5"));
  const tKvKPosDataBcdFix digits(tKvBcdFix::FromText("4711"));
  const tKvKPosDataStr name("Cola 0,33 l");
  const tKvKPosDataTime time(tKvDateTime(1151132400));
  tKvKPosEntryInfoRec entry;
  entry.Type = 1;
  int64_t fields = 0;
  for (auto _ : state) {
    eval.EntryStart(entry);
    eval.RecordStart(1, 1);
    eval.RecordStart(1, 2);
    eval.Field(1, time);
    eval.Field(3, number);
    eval.Field(5, digits);
    eval.Field(9, number);
    fields += 4;
    for (int item = 0; item < 5; ++item) {
      eval.RecordStart(2, 2);
      eval.RecordStart(1, 3);
      eval.Field(1, digits);
      eval.Field(2, name);
      eval.RecordStart(0, 2);
      eval.Field(2, amount);
      eval.Field(3, amount);
      eval.RecordStart(4, 3);
      eval.Field(1, number);
      eval.Field(2, amount);
      fields += 6;
    }
    eval.RecordStart(5, 2);
    eval.RecordStart(1, 3);
    eval.Field(1, amount);
    eval.Field(2, amount);
    eval.RecordStart(6, 2);
    eval.Field(2, amount);
    fields += 3;
    eval.EntryEnd();
  }
  state.SetItemsProcessed(fields);
}
BENCHMARK(BM_ReceiptFields);

}  // namespace
