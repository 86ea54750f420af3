#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

namespace platform {
namespace {
std::string& ExePathOverride() {
  static std::string path;
  return path;
}
size_t NameStart(std::string_view path) {
  size_t slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? 0 : slash + 1;
}
}  // namespace

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string result(path);
  if (!result.empty() && result.back() != kPathSeparator) result += kPathSeparator;
  return result;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string result(path);
  if (result.size() > 1 && result.back() == kPathSeparator) result.pop_back();
  return result;
}

std::string ExtractFilePath(std::string_view path) {
  return std::string(path.substr(0, NameStart(path)));
}

std::string ExtractFileName(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string ExtractFileExt(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t start = NameStart(path);
  size_t dot = path.substr(start).rfind('.');
  std::string result(dot == std::string_view::npos ? path : path.substr(0, start + dot));
  result += ext;
  return result;
}

std::string ExpandFileName(std::string_view path) {
  if (path.empty()) return std::string();
  bool trailing = path.back() == kPathSeparator;
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
  if (ec) full = std::filesystem::path(path);
  std::string result = full.lexically_normal().string();
  if (trailing) return IncludeTrailingPathDelimiter(result);
  return ExcludeTrailingPathDelimiter(result);
}

std::string ExecutablePath() {
  if (!ExePathOverride().empty()) return ExePathOverride();
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string ExecutableDir() { return ExtractFilePath(ExecutablePath()); }

void SetExecutablePathForTest(std::string path) { ExePathOverride() = std::move(path); }

}  // namespace platform
