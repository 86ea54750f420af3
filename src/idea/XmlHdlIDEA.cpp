#include "idea/XmlHdlIDEA.h"

#include <utility>

#include "base/KvCodepage.h"
#include "base/KvVersion.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/WholeFile.h"

namespace {

constexpr std::string_view kTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE DataSet %DTD%><DataSet></DataSet>";
constexpr std::string_view kPlaceholder = "%DTD%";

std::string_view TrimRight(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view by) {
  std::string out;
  for (size_t start = 0;;) {
    const size_t at = text.find(what, start);
    out.append(text.substr(start, at - start));
    if (at == std::string_view::npos) return out;
    out.append(by);
    start = at + what.size();
  }
}

}  // namespace

tXmlHdlIDEA::tXmlHdlIDEA(std::string destFolder, const tSupplierRec& supplier)
    : dest_folder_(std::move(destFolder)) {
  std::string doctype;
  if (!TrimRight(supplier.DtdFile).empty()) {
    const std::string dtdName = platform::ExtractFileName(supplier.DtdFile);
    doctype = "SYSTEM \"" + dtdName + "\"";
    if (platform::FileExists(supplier.DtdFile)) dtd_file_ = supplier.DtdFile;
  }
  xml_ = tKvXml::CreateFromText(ReplaceAll(kTemplate, kPlaceholder, doctype));
  tKvXml& xml = *xml_;
  xml.AddTextNode(xml.Root(), "Version", kVersion);
  tKvXmlNode dataSupplier = xml.AddNode(xml.Root(), "DataSupplier");
  const std::pair<std::string_view, const std::string*> children[] = {
      {"Name", &supplier.Name}, {"Location", &supplier.Location}, {"Comment", &supplier.Comment}};
  for (const auto& [element, value] : children) {
    if (!TrimRight(*value).empty()) xml.AddTextNode(dataSupplier, element, *value);
  }
  media_node_ = xml.AddNode(xml.Root(), "Media");
  xml.AddTextNode(media_node_, "Name", Utf8ToWin1252("Datenträger"));
}

tXmlHdlIDEA::~tXmlHdlIDEA() = default;

void tXmlHdlIDEA::Save() {
  if (!dtd_file_.empty()) CopyDtd();
  xml_->SaveToFile(dest_folder_ + "index.xml", platform::WholeFile::Replace::kNo);
}

void tXmlHdlIDEA::CopyDtd() const {
  platform::File source;
  if (source.Open(dtd_file_, platform::File::OpenMode::kRead) != 0) return;
  platform::WholeFile copy;
  if (copy.Open(dest_folder_ + platform::ExtractFileName(dtd_file_)) != 0) return;
  char buffer[16384];
  for (size_t got = 0; source.Read(buffer, sizeof buffer, &got) == 0;) {
    if (got == 0) {
      (void)copy.Commit(platform::WholeFile::Replace::kNo, platform::WholeFile::SyncFolder::kNo);
      return;
    }
    copy.Append({buffer, got});
  }
}
