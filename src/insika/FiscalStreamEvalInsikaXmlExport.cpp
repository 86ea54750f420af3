#include "insika/FiscalStreamEvalInsikaXmlExport.h"

#include <utility>

tFiscalStreamEvalInsikaXmlExport::Parts tFiscalStreamEvalInsikaXmlExport::MakeParts(
    const std::string& fileName, const std::string& signDefFolder, platform::WholeFile::Cache cache,
    tKvLog& log) {
  Parts parts;
  parts.Xml = tKvXml::CreateNew("1.0", "iso-8859-1", "insika");
  tKvXmlNode info = parts.Xml->AddNode(parts.Xml->Root(), "document-information");
  parts.Xml->AddTextNode(info, "version", "1.0");
  parts.Out = std::make_unique<tKvXmlStream>(*parts.Xml, fileName, cache);
  parts.Picker = std::make_unique<tFiscalStreamPickInsikaXmlExport>(*parts.Out, signDefFolder, log);
  return parts;
}

tFiscalStreamEvalInsikaXmlExport::tFiscalStreamEvalInsikaXmlExport(
    const std::string& fileName, const std::string& signDefFolder, platform::WholeFile::Cache cache,
    tKvLog& log, std::unique_ptr<tKvFiscalStreamEval> next)
    : tFiscalStreamEvalInsikaXmlExport(MakeParts(fileName, signDefFolder, cache, log), log,
                                       std::move(next)) {}

tFiscalStreamEvalInsikaXmlExport::tFiscalStreamEvalInsikaXmlExport(
    Parts parts, tKvLog& log, std::unique_ptr<tKvFiscalStreamEval> next)
    : tFiscalStreamEvalExportBase(log, parts.Picker.get(), std::move(next)),
      parts_(std::move(parts)) {}

tFiscalStreamEvalInsikaXmlExport::~tFiscalStreamEvalInsikaXmlExport() {
  discard_ = true;
  CloseQuietly();
}

void tFiscalStreamEvalInsikaXmlExport::Finish() {
  // A failure here (the last entry, or an evaluator behind this one) leaves
  // the stream uncommitted: its release removes the temporary file.
  tFiscalStreamEvalExportBase::Finish();
  if (!discard_) parts_.Out->Commit(platform::WholeFile::Replace::kYes);
}
