#include <cstddef>
#include <cstdint>
#include <vector>

#include "Layout.h"
#include "TemplateReader.h"

// Keeps the sums from being optimised away.
volatile int32_t templateFuzzSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The last byte picks the language and the scale; the bytes before it are the template, so
  // every input that passes the signature check is read at all three scales.
  static const int32_t kScales[3] = {1000, 1250, 1500};
  if (size == 0) return 0;
  uint8_t pick = data[size - 1];
  int32_t language = pick % 4;
  int32_t scale = kScales[(pick / 4) % 3];
  // A copy of exactly the template, so reading one byte past it is caught.
  std::vector<uint8_t> bytes(data, data + size - 1);
  corvel::tpl::WindowDesc window;
  if (corvel::tpl::ReadTemplate(bytes.data(), bytes.size(), language, scale, corvel::tpl::SystemColours(),
                                window) != corvel::tpl::kReadOk)
    return 0;
  // The sums the window builder makes with what was read, under the sanitizers.
  using corvel::tpl::Size;
  Size size2 = corvel::tpl::AdjustForFrame(Size{window.width, window.height},
                                           corvel::tpl::FrameMetrics{2, 1, 2, 1, 40});
  corvel::tpl::Rect work{0, 0, 1920, 1040};
  corvel::tpl::PlaceWindow(work, window.placement, window.xOffset, window.yOffset, size2);
  corvel::tpl::FontPixelHeight(window.fontSize, scale);
  for (const corvel::tpl::ControlDesc& c : window.controls) {
    corvel::tpl::Rect r{c.x, c.y, c.x + c.width, c.y + c.height};
    templateFuzzSink = r.right + r.bottom;
  }
  return 0;
}
