#pragma once
#include <string>

namespace tessory {

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace tessory
