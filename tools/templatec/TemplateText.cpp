#include "TemplateText.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

namespace corvel::tpl {

namespace {

const std::map<std::string, uint32_t>& Names() {
  static const std::map<std::string, uint32_t> names = {
      {"WS_POPUP", 0x80000000u}, {"WS_CHILD", 0x40000000}, {"WS_VISIBLE", 0x10000000},
      {"OWN_WINDOW", kOwnWindowStyle}, {"WS_DISABLED", 0x08000000}, {"WS_CAPTION", 0x00C00000},
      {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000},
      {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000},
      {"WS_GROUP", 0x00020000}, {"WS_MINIMIZEBOX", 0x00020000}, {"WS_TABSTOP", 0x00010000},
      {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2},
      {"BS_AUTOCHECKBOX", 0x3}, {"BS_RADIOBUTTON", 0x4}, {"BS_GROUPBOX", 0x7},
      {"BS_AUTORADIOBUTTON", 0x9}, {"BS_OWNERDRAW", 0xB}, {"BS_BITMAP", 0x80},
      {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3},
      {"SS_ETCHEDHORZ", 0x10}, {"SS_BITMAP", 0xE}, {"SS_NOTIFY", 0x100},
      {"SS_CENTERIMAGE", 0x200}, {"SS_SUNKEN", 0x1000}, {"ES_MULTILINE", 0x4},
      {"ES_AUTOVSCROLL", 0x40}, {"ES_READONLY", 0x800}, {"LBS_NOTIFY", 0x1},
      {"CBS_DROPDOWNLIST", 0x3}, {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_CLIENTEDGE", 0x200},
      {"WS_EX_STATICEDGE", 0x20000}, {"BOLD", kBoldLabelBit},
      {"WINDOWTEXT", kColourWindowText}, {"WINDOW", kColourWindow}, {"BTNFACE", kColourButtonFace},
      {"TRANSPARENT", kColourTransparent},
      {"none", kTypeNone}, {"label", kTypeLabel}, {"button", kTypePushButton},
      {"checkbox", kTypeButton3}, {"radio", kTypeButton4}, {"edit", kTypeEdit},
      {"richedit", kTypeRichEdit}, {"listbox", kTypeListBox}, {"combobox", kTypeComboBox},
      {"groupbox", kTypeButton9}, {"listview", kTypeListView}, {"treeview", kTypeTreeView},
      {"absent", kTypeAbsent}, {"cleared", kLabelCleared}, {"icon", kLabelIcon},
      {"bitmap", kLabelBitmap},
  };
  return names;
}

bool ParseNumber(const std::string& text, int32_t& value) {
  uint32_t total = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bar = text.find('|', start);
    std::string part = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (part.empty()) return false;
    auto named = Names().find(part);
    if (named != Names().end()) {
      total |= named->second;
    } else {
      char* end = nullptr;
      errno = 0;
      long long v = std::strtoll(part.c_str(), &end, 0);
      if (*end != '\0' || errno != 0 || v < INT32_MIN || v > UINT32_MAX) return false;
      total |= static_cast<uint32_t>(v);
    }
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  value = static_cast<int32_t>(total);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Splits a statement into its keyword and key=value (or bare string) items.
bool Tokenise(const std::string& line, std::vector<std::pair<std::string, std::string>>& items,
              std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) {
      ++i;
      continue;
    }
    std::string key, value;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '=' &&
           line[i] != '"')
      key += line[i++];
    bool hasValue = false;
    if (i < line.size() && line[i] == '=') {
      ++i;
      hasValue = true;
    }
    if (i < line.size() && line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c != '\\') {
          value += c;
          continue;
        }
        if (i >= line.size()) break;
        char e = line[i++];
        switch (e) {
          case 'n': value += '\n'; break;
          case 'r': value += '\r'; break;
          case 't': value += '\t'; break;
          case 'x': {
            int hi = i < line.size() ? HexDigit(line[i]) : -1;
            int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
              error = "bad \\x escape";
              return false;
            }
            value += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
          }
          default: value += e; break;
        }
      }
      if (!closed) {
        error = "string without closing quote";
        return false;
      }
    } else if (hasValue) {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) value += line[i++];
    }
    items.emplace_back(key, value);
  }
  return true;
}

using Items = std::vector<std::pair<std::string, std::string>>;

class Statement {
 public:
  explicit Statement(const Items& items) : items_(items) {}

  bool Number(const char* key, int32_t& out, std::string& error) const {
    for (size_t i = 1; i < items_.size(); ++i)
      if (items_[i].first == key) {
        if (!ParseNumber(items_[i].second, out)) {
          error = std::string("bad number for ") + key + ": " + items_[i].second;
          return false;
        }
      }
    return true;
  }
  bool Unsigned(const char* key, uint32_t& out, std::string& error) const {
    int32_t v = static_cast<int32_t>(out);
    if (!Number(key, v, error)) return false;
    out = static_cast<uint32_t>(v);
    return true;
  }
  void Text(const char* key, std::string& out) const {
    for (size_t i = 1; i < items_.size(); ++i)
      if (items_[i].first == key) out = items_[i].second;
  }
  bool OnlyKeys(std::initializer_list<const char*> keys, std::string& error) const {
    for (size_t i = 1; i < items_.size(); ++i) {
      bool known = false;
      for (const char* k : keys) known = known || items_[i].first == k;
      if (!known) {
        error = "unknown item " + items_[i].first;
        return false;
      }
    }
    return true;
  }

 private:
  const Items& items_;
};

bool ParseWindow(const Statement& s, WindowDesc& w, std::string& e) {
  return s.OnlyKeys({"style", "exstyle", "placement", "x", "y", "width", "height", "font", "fontflags",
                     "face", "title", "reserved1", "reserved2"},
                    e) &&
         s.Unsigned("style", w.style, e) && s.Unsigned("exstyle", w.exStyle, e) &&
         s.Unsigned("reserved1", w.reserved1, e) && s.Unsigned("reserved2", w.reserved2, e) &&
         s.Number("placement", w.placement, e) && s.Number("x", w.xOffset, e) &&
         s.Number("y", w.yOffset, e) && s.Number("width", w.width, e) &&
         s.Number("height", w.height, e) && s.Number("font", w.fontSize, e) &&
         s.Number("fontflags", w.fontFlags, e) && (s.Text("face", w.face), s.Text("title", w.title), true);
}

bool ParseControl(const Statement& s, ControlDesc& c, std::string& e) {
  c.style = 0x50000000;  // a visible child
  c.colour = kColourWindowText;
  c.colour2 = kColourTransparent;
  c.imageKey = kImageKeyNone;
  return s.OnlyKeys({"type", "subtype", "id", "x", "y", "width", "height", "style", "exstyle",
                     "colour", "background", "image", "text"},
                    e) &&
         s.Number("type", c.type, e) && s.Number("subtype", c.subtype, e) && s.Number("id", c.id, e) &&
         s.Number("x", c.x, e) && s.Number("y", c.y, e) && s.Number("width", c.width, e) &&
         s.Number("height", c.height, e) && s.Unsigned("style", c.style, e) &&
         s.Unsigned("exstyle", c.exStyle, e) && s.Unsigned("colour", c.colour, e) &&
         s.Unsigned("background", c.colour2, e) && s.Number("image", c.imageKey, e) &&
         (s.Text("text", c.text), true);
}

// Joins continuation lines (those beginning with white space) to their statement.
std::vector<std::pair<int, std::string>> Statements(const std::string& text) {
  std::vector<std::pair<int, std::string>> out;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first > 0 && !out.empty())
      out.back().second += " " + line.substr(first);
    else
      out.emplace_back(number, line.substr(first));
  }
  return out;
}

}  // namespace

bool ParseTemplateText(const std::string& text, CompiledTemplate& out, std::string& error) {
  out = CompiledTemplate();
  out.source.window.version = kMaxVersion;
  bool sawWindow = false;
  for (const auto& [number, line] : Statements(text)) {
    Items items;
    std::string e;
    bool ok = Tokenise(line, items, e);
    if (ok) {
      Statement s(items);
      const std::string& keyword = items.front().first;
      if (keyword == "version") {
        ok = items.size() == 2 && ParseNumber(items[1].first, out.source.window.version);
        if (!ok) e = "version needs one number";
      } else if (keyword == "extension") {
        ok = items.size() == 2 && items[1].first.empty();
        if (ok) out.source.extensions.push_back(items[1].second);
        else e = "extension needs one string";
      } else if (keyword == "window") {
        ok = ParseWindow(s, out.source.window, e);
        sawWindow = true;
      } else if (keyword == "control") {
        ControlDesc c;
        ok = ParseControl(s, c, e);
        if (ok) out.source.window.controls.push_back(c);
      } else if (keyword == "image") {
        int32_t key = 0;
        std::string file;
        ok = s.OnlyKeys({"key", "file"}, e) && s.Number("key", key, e);
        s.Text("file", file);
        if (ok && file.empty()) {
          ok = false;
          e = "image needs a file";
        }
        if (ok) out.imageFiles.emplace_back(key, file);
      } else {
        ok = false;
        e = "unknown statement " + keyword;
      }
    }
    if (!ok) {
      error = "line " + std::to_string(number) + ": " + e;
      return false;
    }
  }
  if (!sawWindow) {
    error = "no window statement";
    return false;
  }
  return true;
}

std::string WriteImageTable(const std::vector<std::pair<int32_t, std::string>>& images) {
  std::string out;
  auto put = [&out](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift);
  };
  put(static_cast<uint32_t>(images.size()));
  for (const auto& [key, bytes] : images) {
    put(static_cast<uint32_t>(bytes.size()));
    put(static_cast<uint32_t>(key));
    out += bytes;
  }
  return out;
}

}  // namespace corvel::tpl
