#include "gen/GenOutput.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace jgen {

FileOut::FileOut(const std::string& path) : path_(path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    throw std::runtime_error("cannot create \"" + path + "\": " + std::strerror(errno));
  }
}

FileOut::~FileOut() {
  if (file_ != nullptr) std::fclose(file_);
}

void FileOut::Deliver(const std::string& bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throw std::runtime_error("write error on \"" + path_ + "\": " + std::strerror(errno));
  }
}

void FileOut::Close() {
  Flush();
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) {
    throw std::runtime_error("write error on \"" + path_ + "\": " + std::strerror(errno));
  }
}

}  // namespace jgen
