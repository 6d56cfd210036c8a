#pragma once
// The readable template description that templatec compiles. One statement a line:
//
//   # comment
//   version 5
//   extension "bytes"
//   window style=WS_VISIBLE|WS_CAPTION placement=4 x=0 y=0 width=420 height=300
//          font=8 fontflags=0 face="Tahoma" title="Uninstall %s"
//   control type=label id=57 x=10 y=10 width=300 height=20 style=WS_CHILD|WS_VISIBLE
//           colour=WINDOWTEXT background=TRANSPARENT image=-1 text="<LangID=1>...</LangID=1>"
//   image key=1 file="button.bmp"
//
// A statement may continue on lines that begin with white space. Numbers are decimal or
// 0x hexadecimal, optionally negative, or names of style bits and colour codes joined by "|".
// Strings are double-quoted with the escapes \" \\ \n \r \t and \xHH.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TemplateWriter.h"

namespace corvel::tpl {

struct CompiledTemplate {
  TemplateSource source;
  std::vector<std::pair<int32_t, std::string>> imageFiles;  // key, path as written
};

// False with a message naming the line when the description cannot be compiled.
bool ParseTemplateText(const std::string& text, CompiledTemplate& out, std::string& error);

// The image table block: count, then per entry length, key and bytes; all numbers big-endian.
std::string WriteImageTable(const std::vector<std::pair<int32_t, std::string>>& images);

}  // namespace corvel::tpl
