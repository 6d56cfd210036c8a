#include "TemplateReader.h"

#include <new>

#include "Layout.h"
#include "TextBuffer.h"

namespace corvel::tpl {

const char* const kMakerName = "Pellmoor";
const char* const kMakerAddress = "https://www.pellmoor.com/";

namespace {

// Reads big-endian numbers and counted byte strings without ever leaving the data.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return pos_ >= size_; }

  // A number read past the end yields -1, as the format prescribes.
  int32_t Number() {
    if (pos_ > size_ || size_ - pos_ < 4) {
      pos_ = size_;
      return -1;
    }
    uint32_t v = (uint32_t(data_[pos_]) << 24) | (uint32_t(data_[pos_ + 1]) << 16) |
                 (uint32_t(data_[pos_ + 2]) << 8) | uint32_t(data_[pos_ + 3]);
    pos_ += 4;
    return static_cast<int32_t>(v);
  }

  int32_t Short() {
    if (pos_ > size_ || size_ - pos_ < 2) {
      pos_ = size_;
      return -1;
    }
    int32_t v = (int32_t(data_[pos_]) << 8) | int32_t(data_[pos_ + 1]);
    pos_ += 2;
    return v;
  }

  // A negative length gives nothing; a length past the end gives what remains.
  std::string Bytes(int32_t length) {
    if (length <= 0 || AtEnd()) return std::string();
    size_t n = static_cast<size_t>(length);
    if (n > size_ - pos_) n = size_ - pos_;
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }

  void Skip(int32_t length) {
    if (length <= 0) return;
    size_t n = static_cast<size_t>(length);
    pos_ = (n > size_ - pos_) ? size_ : pos_ + n;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

size_t FindNoCase(const std::string& text, const std::string& what, size_t from) {
  if (what.empty() || from >= text.size()) return std::string::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < what.size() && corvel::foldByte(static_cast<unsigned char>(text[i + k])) ==
                                  corvel::foldByte(static_cast<unsigned char>(what[k])))
      ++k;
    if (k == what.size()) return i;
  }
  return std::string::npos;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && FindNoCase(a, b, 0) == 0;
}

uint32_t ResolveColour(uint32_t code, const SystemColours& colours) {
  switch (code) {
    case kColourWindowText: return colours.windowText;
    case kColourWindow: return colours.window;
    case kColourButtonFace: return colours.buttonFace;
    default: return code;
  }
}

BrushKind BrushFor(const ControlDesc& c) {
  bool nullOrSolid = (c.type == kTypeLabel && c.subtype < kLabelIcon) || c.type == kTypePushButton ||
                     c.type == kTypeButton3 || c.type == kTypeButton4 || c.type == kTypeEdit ||
                     c.type == kTypeListBox || c.type == kTypeButton9;
  if (nullOrSolid) return c.colour2 == kColourTransparent ? BrushKind::Null : BrushKind::Solid;
  if (c.type == kTypeLabel && c.subtype == kLabelIcon) return BrushKind::Solid;
  return BrushKind::None;
}

bool TakeQuoted(const std::string& text, const char* key, size_t from, std::string& value,
                size_t& end) {
  size_t at = FindNoCase(text, key, from);
  if (at == std::string::npos) return false;
  size_t start = at + std::char_traits<char>::length(key);
  size_t close = text.find('"', start);
  if (close == std::string::npos) return false;
  value = text.substr(start, close - start);
  end = close + 1;
  return true;
}

}  // namespace

std::string PickLanguageText(const std::string& text, int32_t language) {
  auto between = [&text](int32_t lang, std::string& part) {
    std::string open = "<LangID=" + std::to_string(lang) + ">";
    std::string close = "</LangID=" + std::to_string(lang) + ">";
    size_t o = text.find(open);
    if (o == std::string::npos) return false;
    size_t start = o + open.size();
    size_t c = text.find(close, start);
    if (c == std::string::npos) return false;
    part = text.substr(start, c - start);
    return true;
  };
  std::string part;
  if (between(language, part) || between(1, part)) return part;
  return text;
}

void ResolveLabelLink(ControlDesc& c) {
  static const std::string kPrefix = "hyperlink:";
  if (!c.IsLabel()) return;
  // The bold mark and the link syntax are independent: a bold label can be a link too.
  if (c.exStyle & kBoldLabelBit) {
    c.exStyle &= ~kBoldLabelBit;
    c.bold = true;
  }
  if (EqualNoCase(c.text, kMakerName)) {
    c.linkTarget = kMakerAddress;
  } else if (c.text.size() >= kPrefix.size() && FindNoCase(c.text, kPrefix, 0) == 0) {
    std::string shown, target;
    size_t afterText = 0, afterLink = 0;
    // Both parts present: the label shows its text part. An empty link part is present but
    // gives no target, so such a label shows its text and is no link.
    if (TakeQuoted(c.text, "text=\"", kPrefix.size(), shown, afterText) &&
        TakeQuoted(c.text, "link=\"", afterText, target, afterLink)) {
      c.text = shown;
      c.linkTarget = target;
    }
  }
}

namespace {

int ReadAll(const uint8_t* data, size_t size, int32_t language, int32_t scale,
            const SystemColours& colours, WindowDesc& out) {
  if (data == nullptr || size < 3 || data[0] != kMagic[0] || data[1] != kMagic[1] ||
      data[2] != kMagic[2])
    return kReadNoMagic;
  Cursor in(data + 3, size - 3);
  out.version = in.Number();
  if (out.version >= kFirstVersionWithExtensions) {
    int32_t blocks = in.Number();
    for (int32_t i = 0; i < blocks && !in.AtEnd(); ++i) {
      int32_t length = in.Number();
      in.Number();
      in.Skip(length);
    }
  }
  out.style = static_cast<uint32_t>(in.Number());
  out.exStyle = static_cast<uint32_t>(in.Number());
  out.reserved1 = static_cast<uint32_t>(in.Number());
  out.reserved2 = static_cast<uint32_t>(in.Number());
  out.placement = in.Number();
  out.xOffset = ClampPosition(in.Number());
  out.yOffset = ClampPosition(in.Number());
  out.width = ClampSize(in.Number());
  out.height = ClampSize(in.Number());
  out.fontSize = in.Short();
  out.fontFlags = in.Short();
  out.face = in.Bytes(in.Number());
  out.title = in.Bytes(in.Number());
  if (scale != kUnitScale) {
    out.width = ClampSize(ScaleValue(out.width, scale));
    out.height = ClampSize(ScaleWindowHeight(out.height, scale));
  }

  int32_t count = in.Number();
  // A count larger than the data can hold stops where the data ends.
  for (int32_t i = 0; i < count && !in.AtEnd(); ++i) {
    ControlDesc c;
    c.style = static_cast<uint32_t>(in.Number());
    c.exStyle = static_cast<uint32_t>(in.Number());
    c.type = in.Number();
    c.subtype = in.Number();
    if (out.version == kVersionWithFiller) in.Number();
    c.id = in.Number();
    c.x = ClampPosition(in.Number());
    c.y = ClampPosition(in.Number());
    c.width = ClampSize(in.Number());
    c.height = ClampSize(in.Number());
    c.colour = static_cast<uint32_t>(in.Number());
    c.colour2 = static_cast<uint32_t>(in.Number());
    if (out.version >= kFirstVersionWithReserved) in.Number();
    c.text = in.Bytes(in.Number());
    c.imageKey = in.Number();
    if (out.version < kFirstVersionWithListColours && c.type == kTypeListBox) {
      c.colour = kColourWindowText;
      c.colour2 = kColourWindow;
    }

    if (c.type == kTypeLabel && c.subtype == kLabelCleared)
      c.text.clear();
    else if (!c.text.empty())
      c.text = PickLanguageText(c.text, language);
    c.colour = ResolveColour(c.colour, colours);
    c.colour2 = ResolveColour(c.colour2, colours);
    c.normalColour = c.colour;
    c.brush = BrushFor(c);
    if (scale != kUnitScale) {
      c.x = ClampPosition(ScaleValue(c.x, scale));
      c.y = ClampPosition(ScaleValue(c.y, scale));
      c.width = ClampSize(ScaleValue(c.width, scale));
      c.height = ClampSize(ScaleValue(c.height, scale));
    }
    ResolveLabelLink(c);
    out.controls.push_back(std::move(c));
  }
  return kReadOk;
}

}  // namespace

int ReadTemplate(const uint8_t* data, size_t size, int32_t language, int32_t scale,
                 const SystemColours& colours, WindowDesc& out) {
  // Every text and the control list are allocated here: running out of memory anywhere in
  // them is the reader's error, never the end of the process.
  try {
    out = WindowDesc();
    return ReadAll(data, size, language, scale, colours, out);
  } catch (const std::bad_alloc&) {
    out = WindowDesc();
    return kReadNoMemory;
  }
}

}  // namespace corvel::tpl
