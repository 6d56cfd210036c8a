#pragma once
// Writes the binary window template from its parts: the inverse of the uninstaller's reader.

#include <string>
#include <vector>

#include "TemplateReader.h"

namespace corvel::tpl {

struct TemplateSource {
  // Raw values as they are stored: colour codes, language tags and link syntax unresolved,
  // the bold-label bit still in the extended style.
  WindowDesc window;
  std::vector<std::string> extensions;  // written only for versions with extension blocks
};

std::string WriteTemplate(const TemplateSource& source);

}  // namespace corvel::tpl
