// Small independent readers of both journal forms for the generator's tests.
// They render the events a reader of the journal receives as one line each,
// so that the two forms of one journal can be compared line by line:
//   Hdr 1 <n> | Ver 1 | Blk id,addr,created,regEnd,ecrNo,serNo,name,hwId,type,swVer,regStart
//   Jnl t,v,vm,cp | Rec type@level | Fld id=<I:|B:|F:|S:|T:|X:>value | EoE
// They follow the file formats' rules, not the generator's code, and fail the
// current test (ADD_FAILURE) on anything they cannot read.
#pragma once

#include <string>
#include <vector>

namespace jgen_test {

// Reads native export text.
std::vector<std::string> DecodeNative(const std::string& text);

// Reads an ASCII interface file: the hex blocks and the binary stream inside,
// back links and length values included. Each length value must equal the
// size of the entry that follows it. `links` receives the number of back
// links followed.
std::vector<std::string> DecodeAscii(const std::string& text, int* links = nullptr);

}  // namespace jgen_test
