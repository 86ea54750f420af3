// tFiscalStreamEvalIDEAXML: the table exporter. An evaluator that assembles
// the fiscal records and hands them to its chain of tables, each writing
// its CSV files into the export folder; the index document "index.xml"
// describes the supplier and every table that received data.
//
// The exporter owns the index document, the running keys and the table
// chain. Closing it (Close(), or the destructor after a failure) delivers
// the final block end, removes the files whose writing failed (freeing
// their space), publishes or removes the others (the end of the chain
// first), declares in the index exactly the files that were
// published (head of the chain first) and then saves "index.xml", so the
// index is written once, last. A table whose writing failed is neither
// published nor declared. A failure in one of these steps does not stop the
// others; the first one is raised.
//
// The table chain, head first: MasterDataChgPlu, EcrEventInfo, the payment
// tables, the detail tables, the transaction header tables, Report,
// Register, BlockInfo (every table added here keeps that order).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "eval/FiscalStreamEvalExportBase.h"
#include "idea/FiscalStreamPickerIDEA.h"
#include "idea/XmlHdlIDEA.h"

class tFiscalStreamEvalIDEAXML final : public tFiscalStreamEvalExportBase {
 public:
  // destFolder: the export folder, ending with "/", which must exist.
  // Empty supplier name, location and comment become "<SuppName>",
  // "<SuppLocation>" and "<SuppComment>". log is borrowed.
  tFiscalStreamEvalIDEAXML(const std::string& destFolder, const tSupplierRec& supplier,
                           bool columnHeaders, tKvLog& log,
                           std::unique_ptr<tKvFiscalStreamEval> next);
  ~tFiscalStreamEvalIDEAXML() override;

 protected:
  void Finish() override;

 private:
  // Everything the exporter owns, made before its evaluator part so that
  // the evaluator can be given the head of the table chain.
  struct Parts {
    std::unique_ptr<tXmlHdlIDEA> IndexDoc;
    std::unique_ptr<tDocumentKeyHandler> KeyHandler;
    std::unique_ptr<tIdeaContext> Context;
    std::unique_ptr<tKvFiscalStreamPicker> Chain;     // head: the entry tracker
    std::vector<tFiscalStreamPickerIDEA*> Tables;     // head first; owned by Chain
  };
  static Parts MakeParts(const std::string& destFolder, const tSupplierRec& supplier,
                         bool columnHeaders, tKvLog& log);
  tFiscalStreamEvalIDEAXML(Parts parts, tKvLog& log, std::unique_ptr<tKvFiscalStreamEval> next);

  Parts parts_;
  bool finished_ = false;
};
