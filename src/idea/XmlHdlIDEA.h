// tXmlHdlIDEA: the index document "index.xml" of an export folder. Created
// with the fixed part (version, data supplier, media name); the tables add
// their declarations under MediaNode(); Save writes the file once, after
// every table file was finished. The DTD the index names is copied into
// the export folder. The handler owns its document.
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
  // destFolder ends with "/". Copies the DTD and builds the document.
  tXmlHdlIDEA(std::string destFolder, const tSupplierRec& supplier);
  tXmlHdlIDEA(const tXmlHdlIDEA&) = delete;
  tXmlHdlIDEA& operator=(const tXmlHdlIDEA&) = delete;
  ~tXmlHdlIDEA() override;

  // Writes destFolder + "index.xml".
  void Save();

  tKvXml& Xml() { return *xml_; }
  tKvXmlNode MediaNode() const { return media_node_; }
  const std::string& DestFolder() const { return dest_folder_; }

 private:
  std::string dest_folder_;
  std::unique_ptr<tKvXml> xml_;
  tKvXmlNode media_node_ = nullptr;
};
