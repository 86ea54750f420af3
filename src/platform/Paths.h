// File-name helpers standing in for the Windows path functions: "/" is the
// separator, there are no drive letters. All functions are pure except
// ExpandFileName (reads the current directory) and ExecutablePath.
#pragma once

#include <string>
#include <string_view>

namespace platform {

inline constexpr char kPathSeparator = '/';

// Adds a trailing "/" unless the path is empty or already ends with one.
std::string IncludeTrailingPathDelimiter(std::string_view path);
// Removes one trailing "/" (but keeps a lone "/").
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// Folder part including the trailing "/" ("" when there is none).
std::string ExtractFilePath(std::string_view path);
// Name-and-extension part.
std::string ExtractFileName(std::string_view path);
// Extension of the name part including its dot ("" when there is none).
std::string ExtractFileExt(std::string_view path);
// Replaces (or adds) the extension of the name part; ext includes the dot.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// Absolute, lexically normalised path; a trailing "/" is kept.
std::string ExpandFileName(std::string_view path);

// Full path of the running executable (/proc/self/exe) and its folder with a
// trailing "/". Tests may fix both with SetExecutablePathForTest.
std::string ExecutablePath();
std::string ExecutableDir();
void SetExecutablePathForTest(std::string path);  // "" restores the real one

}  // namespace platform
