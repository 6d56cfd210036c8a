#include <cstddef>
#include <cstdint>

#include "TemplateReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the language and the scale so that both paths are explored.
  int32_t language = size > 0 ? data[0] % 4 : 1;
  int32_t scale = (size > 1 && (data[1] & 1)) ? 1250 : 1000;
  corvel::tpl::WindowDesc window;
  corvel::tpl::ReadTemplate(data, size, language, scale, corvel::tpl::SystemColours(), window);
  return 0;
}
