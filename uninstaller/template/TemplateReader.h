#pragma once
// Reads a binary window template into plain descriptions of the window and its controls,
// adapted to the display: scale factor, system colours and the run's language.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TemplateFormat.h"

namespace corvel::tpl {

enum class BrushKind { None, Null, Solid };

struct ControlDesc {
  uint32_t style = 0;  // mutate: skip (every reader and the compiler set it first)
  uint32_t exStyle = 0;
  int32_t type = 0;
  int32_t subtype = 0;
  int32_t id = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  uint32_t colour = 0;        // first colour: text
  uint32_t normalColour = 0;  // the first colour as read, for undoing hover effects
  uint32_t colour2 = 0;       // background; text of owner-drawn image buttons
  int32_t imageKey = 0;
  std::string text;           // UTF-8, language part picked, link syntax resolved
  std::string linkTarget;     // empty when the control is no link
  bool bold = false;
  BrushKind brush = BrushKind::None;

  bool IsLabel() const { return type == kTypeLabel; }
  bool IsLink() const { return IsLabel() && !linkTarget.empty(); }
  bool IsOwnerDrawButton() const {
    return type == kTypePushButton && (style & kOwnerDrawMask) == kOwnerDrawMask;
  }
  bool IsBitmapButton() const {
    return type == kTypePushButton && (style & kBitmapButtonStyle) != 0;
  }
};

struct WindowDesc {
  int32_t version = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  uint32_t reserved1 = 0, reserved2 = 0;
  int32_t placement = 0;
  int32_t xOffset = 0, yOffset = 0;
  int32_t width = 0, height = 0;
  int32_t fontSize = 0;
  int32_t fontFlags = 0;  // bit 0 bold, bit 1 italic
  std::string face;
  std::string title;  // UTF-8
  std::vector<ControlDesc> controls;
};

struct SystemColours {
  uint32_t windowText = 0x000000;
  uint32_t window = 0xFFFFFF;
  uint32_t buttonFace = 0xC0C0C0;
};

constexpr int kReadOk = 1;
constexpr int kReadNoMagic = -2;
constexpr int kReadNoMemory = -6;

// 1 on success, kReadNoMagic without "RTT", kReadNoMemory when a control cannot be stored.
// Never reads outside [data, data + size).
int ReadTemplate(const uint8_t* data, size_t size, int32_t language, int32_t scale,
                 const SystemColours& colours, WindowDesc& out);

// The part of a text tagged for the language, else the part for language 1, else the whole text.
std::string PickLanguageText(const std::string& text, int32_t language);

// Resolves the maker-name link and "hyperlink:" labels; leaves other texts alone.
void ResolveLabelLink(ControlDesc& control);

// Where the maker-name label leads.
extern const char* const kMakerName;
extern const char* const kMakerAddress;

}  // namespace corvel::tpl
