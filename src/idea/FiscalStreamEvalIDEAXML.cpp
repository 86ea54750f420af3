#include "idea/FiscalStreamEvalIDEAXML.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/KvText.h"
#include "base/KvVersion.h"
#include "idea/FiscalStreamEvalBlockInfo.h"
#include "idea/FiscalStreamEvalEcrEventInfo.h"
#include "idea/FiscalStreamEvalMasterDataChgPlu.h"
#include "idea/FiscalStreamEvalMedia.h"
#include "idea/FiscalStreamEvalRcpInvDetail.h"
#include "idea/FiscalStreamEvalReports.h"
#include "idea/FiscalStreamPickRegister.h"
#include "idea/FiscalStreamPickTransactHeader.h"

namespace {

constexpr std::string_view kExportFormatVersion = "2.0.0";

using TableFactory = std::unique_ptr<tFiscalStreamPickerIDEA> (*)(
    tIdeaContext&, std::unique_ptr<tKvFiscalStreamPicker>);

template <class Table>
std::unique_ptr<tFiscalStreamPickerIDEA> MakeTable(tIdeaContext& context,
                                                   std::unique_ptr<tKvFiscalStreamPicker> next) {
  return std::make_unique<Table>(context, std::move(next));
}

// The tables in the order of their creation: each gets the one before it as
// its next picker, so the last is the head of the chain.
constexpr TableFactory kTables[] = {
    &MakeTable<tFiscalStreamEvalBlockInfo>,
    &MakeTable<tFiscalStreamPickRegister>,
    &MakeTable<tFiscalStreamEvalReports>,
    &MakeTable<tFiscalStreamPickTransactHeader>,
    &MakeTable<tFiscalStreamEvalRcpInvDetail>,
    &MakeTable<tFiscalStreamEvalMedia>,
    &MakeTable<tFiscalStreamEvalEcrEventInfo>,
    &MakeTable<tFiscalStreamEvalMasterDataChgPlu>,
};

tSupplierRec WithPlaceholders(tSupplierRec supplier) {
  if (IsBlank(supplier.Name)) supplier.Name = "<SuppName>";
  if (IsBlank(supplier.Location)) supplier.Location = "<SuppLocation>";
  if (IsBlank(supplier.Comment)) supplier.Comment = "<SuppComment>";
  return supplier;
}

}  // namespace

tFiscalStreamEvalIDEAXML::Parts tFiscalStreamEvalIDEAXML::MakeParts(const std::string& destFolder,
                                                                    const tSupplierRec& supplier,
                                                                    bool columnHeaders,
                                                                    tKvLog& log) {
  Parts parts;
  parts.IndexDoc = std::make_unique<tXmlHdlIDEA>(destFolder, WithPlaceholders(supplier));
  parts.KeyHandler = std::make_unique<tDocumentKeyHandler>();
  parts.Context.reset(new tIdeaContext{destFolder, columnHeaders, log, *parts.IndexDoc,
                                       *parts.KeyHandler, {},
                                       std::string(kShortTitle) + " " + std::string(kVersion) +
                                           " [Exp: " + std::string(kExportFormatVersion) + "]",
                                       {}});
  std::unique_ptr<tKvFiscalStreamPicker> chain;
  for (TableFactory make : kTables) {
    std::unique_ptr<tFiscalStreamPickerIDEA> table = make(*parts.Context, std::move(chain));
    parts.Tables.push_back(table.get());
    chain = std::move(table);
  }
  std::reverse(parts.Tables.begin(), parts.Tables.end());
  parts.Chain = std::make_unique<tIdeaEntryTracker>(*parts.Context, std::move(chain));
  return parts;
}

tFiscalStreamEvalIDEAXML::tFiscalStreamEvalIDEAXML(const std::string& destFolder,
                                                   const tSupplierRec& supplier,
                                                   bool columnHeaders, tKvLog& log,
                                                   std::unique_ptr<tKvFiscalStreamEval> next)
    : tFiscalStreamEvalIDEAXML(MakeParts(destFolder, supplier, columnHeaders, log), log,
                               std::move(next)) {}

tFiscalStreamEvalIDEAXML::tFiscalStreamEvalIDEAXML(Parts parts, tKvLog& log,
                                                   std::unique_ptr<tKvFiscalStreamEval> next)
    : tFiscalStreamEvalExportBase(log, parts.Chain.get(), std::move(next)),
      parts_(std::move(parts)) {}

tFiscalStreamEvalIDEAXML::~tFiscalStreamEvalIDEAXML() { CloseQuietly(); }

void tFiscalStreamEvalIDEAXML::Finish() {
  std::exception_ptr failure;
  auto attempt = [&failure](auto&& step) {
    try {
      step();
    } catch (const std::exception&) {
      if (!failure) failure = std::current_exception();
    }
  };
  attempt([this] { tFiscalStreamEvalExportBase::Finish(); });
  if (!finished_) {
    finished_ = true;
    // The failed files go first: on a full device that frees their space.
    for (const bool failed : {true, false}) {
      for (auto it = parts_.Tables.rbegin(); it != parts_.Tables.rend(); ++it) {
        attempt([table = *it, failed] { table->FinishFiles(failed); });
      }
    }
    for (tFiscalStreamPickerIDEA* table : parts_.Tables) attempt([table] { table->DeclareTable(); });
    attempt([this] { DeclareForeignKeys(*parts_.Context); });
    attempt([this] { parts_.IndexDoc->Save(); });
  }
  if (failure) std::rethrow_exception(failure);
}
