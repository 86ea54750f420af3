// tFiscalStreamEvalInsikaXmlExport: the signed-transaction exporter. An
// evaluator that assembles the fiscal records and hands them to its picker
// (FiscalStreamPickInsikaXmlExport.h), which writes one element per signed
// transaction or registration end into the document: root "insika",
// declared ISO-8859-1, opened by "document-information" with "version" 1.0.
//
// The exporter owns the document, its output stream and the picker. The
// document is written to a temporary file as it grows (tKvXmlStream);
// Close() delivers the final block end and then gives the file its name.
// An exporter released without Close(), or whose Close() fails, leaves
// neither the file nor its temporary file behind.
// The log is borrowed and must outlive the exporter.
#pragma once

#include <memory>
#include <string>

#include "eval/FiscalStreamEvalExportBase.h"
#include "insika/FiscalStreamPickInsikaXmlExport.h"
#include "xml/KvXml.h"
#include "xml/KvXmlStream.h"

class tFiscalStreamEvalInsikaXmlExport final : public tFiscalStreamEvalExportBase {
 public:
  // fileName: the destination file, whose folder must exist;
  // signDefFolder: the folder of the signature definition files; cache:
  // kDropBehind when nothing reads the document back in this run.
  tFiscalStreamEvalInsikaXmlExport(const std::string& fileName, const std::string& signDefFolder,
                                   platform::WholeFile::Cache cache, tKvLog& log,
                                   std::unique_ptr<tKvFiscalStreamEval> next);
  ~tFiscalStreamEvalInsikaXmlExport() override;

 protected:
  void Finish() override;

 private:
  // Everything the exporter owns, made before its evaluator part so that
  // the evaluator can be given the picker; released in reverse order.
  struct Parts {
    std::unique_ptr<tKvXml> Xml;
    std::unique_ptr<tKvXmlStream> Out;
    std::unique_ptr<tFiscalStreamPickInsikaXmlExport> Picker;
  };
  static Parts MakeParts(const std::string& fileName, const std::string& signDefFolder,
                         platform::WholeFile::Cache cache, tKvLog& log);
  tFiscalStreamEvalInsikaXmlExport(Parts parts, tKvLog& log,
                                   std::unique_ptr<tKvFiscalStreamEval> next);

  Parts parts_;
  bool discard_ = false;  // released without Close(): the file is not published
};
