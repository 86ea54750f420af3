// tXmlHdlIDEA: the index document "index.xml" of an export folder. Created
// with the fixed part (version, data supplier, media name); the tables add
// their declarations under MediaNode(); Save writes the file once, after
// every table file was finished, and first copies the DTD the index names
// into the export folder. Both appear whole (platform::WholeFile) and never
// replace a file. The handler owns its document.
//
// Failures: the XML layer's (EKvXml); a DTD that cannot be copied is
// ignored, as is a missing one (the DOCTYPE still names it).
#pragma once

#include <memory>
#include <string>

#include "base/KvClass.h"
#include "xml/KvXml.h"

// Longest text of a supplier field; longer INI values are cut.
inline constexpr size_t kMaxSupplierText = 200;

// The data supplier of the export, from section "GENERAL" of the INI file.
// Intentionally copyable.
struct tSupplierRec {
  std::string DtdFile;  // path of the DTD file; empty: no DOCTYPE identifier
  std::string Name;
  std::string Location;
  std::string Comment;
};

class tXmlHdlIDEA final : public tKvClass {
 public:
  // destFolder ends with "/". Builds the document.
  tXmlHdlIDEA(std::string destFolder, const tSupplierRec& supplier);
  tXmlHdlIDEA(const tXmlHdlIDEA&) = delete;
  tXmlHdlIDEA& operator=(const tXmlHdlIDEA&) = delete;
  ~tXmlHdlIDEA() override;

  // Copies the DTD, then writes destFolder + "index.xml".
  void Save();

  tKvXml& Xml() { return *xml_; }
  tKvXmlNode MediaNode() const { return media_node_; }

 private:
  // Copies the DTD into the export folder; a failure leaves no copy.
  void CopyDtd() const;

  std::string dest_folder_;
  std::string dtd_file_;  // the DTD to copy; empty: none
  std::unique_ptr<tKvXml> xml_;
  tKvXmlNode media_node_ = nullptr;
};
