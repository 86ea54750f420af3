// The program's parameter list: the lines of CMDLINE.CFG in the current folder,
// then the command-line arguments, with "@@file" arguments replaced in place by
// the lines of that response file. Loaded once, on first use; matched options
// and switches are removed from it, so what is left are the positional
// parameters. Files that cannot be read are skipped without a message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// At most this many parameters are kept; the surplus is dropped.
inline constexpr int kComlineMaxParams = 100;

// Hands over the operating system's arguments 1..n (without the program name)
// and puts the list back into its unloaded state; main calls it first.
void ComlineSetArguments(std::vector<std::string> arguments);

// Number of parameters now in the list.
int ComlineParamCount();

// 0: the path of the running executable; 1..count: that parameter; else "".
std::string ComlineParam(int index);

// True when at least one parameter matches name: its first length(name)
// characters equal name without regard to case (ASCII letters) and the rest
// is empty or starts with ":" or "=". Every matching parameter is removed.
bool ComlineSwitch(std::string_view name);

// As ComlineSwitch; value receives the text after the ":" or "=" of the last
// matching parameter ("" when it has none or nothing matched).
bool ComlineOption(std::string_view name, std::string& value);
