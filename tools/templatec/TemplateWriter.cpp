#include "TemplateWriter.h"

namespace corvel::tpl {

namespace {

void Put32(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void PutText(std::string& out, const std::string& text) {
  Put32(out, static_cast<uint32_t>(text.size()));
  out += text;
}

}  // namespace

std::string WriteTemplate(const TemplateSource& source) {
  const WindowDesc& w = source.window;
  std::string out(kMagic, sizeof kMagic);
  Put32(out, static_cast<uint32_t>(w.version));
  if (w.version >= kFirstVersionWithExtensions) {
    Put32(out, static_cast<uint32_t>(source.extensions.size()));
    for (const std::string& block : source.extensions) {
      Put32(out, static_cast<uint32_t>(block.size()));
      Put32(out, 0);
      out += block;
    }
  }
  for (uint32_t v : {w.style, w.exStyle, w.reserved1, w.reserved2}) Put32(out, v);
  for (int32_t v : {w.placement, w.xOffset, w.yOffset, w.width, w.height}) Put32(out, static_cast<uint32_t>(v));
  Put16(out, static_cast<uint32_t>(w.fontSize));
  Put16(out, static_cast<uint32_t>(w.fontFlags));
  PutText(out, w.face);
  PutText(out, w.title);
  Put32(out, static_cast<uint32_t>(w.controls.size()));
  for (const ControlDesc& c : w.controls) {
    Put32(out, c.style);
    Put32(out, c.exStyle);
    Put32(out, static_cast<uint32_t>(c.type));
    Put32(out, static_cast<uint32_t>(c.subtype));
    if (w.version == kVersionWithFiller) Put32(out, 0);
    for (int32_t v : {c.id, c.x, c.y, c.width, c.height}) Put32(out, static_cast<uint32_t>(v));
    Put32(out, c.colour);
    Put32(out, c.colour2);
    if (w.version >= kFirstVersionWithReserved) Put32(out, 0);
    PutText(out, c.text);
    Put32(out, static_cast<uint32_t>(c.imageKey));
  }
  return out;
}

}  // namespace corvel::tpl
