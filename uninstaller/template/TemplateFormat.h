#pragma once
// The binary window template carried in the uninstallation record: every number big-endian.
// Shared by the reader in the uninstaller and the compiler in tools/templatec.

#include <cstdint>

namespace corvel::tpl {

constexpr char kMagic[3] = {'R', 'T', 'T'};
constexpr int32_t kMinVersion = 1;
constexpr int32_t kMaxVersion = 5;
// Versions from this one on carry extension blocks after the version.
constexpr int32_t kFirstVersionWithExtensions = 3;
// Version 1 control records carry 4 filler bytes after the subtype.
constexpr int32_t kVersionWithFiller = 1;
// From this version on control records carry a reserved number after the colours.
constexpr int32_t kFirstVersionWithReserved = 5;
// Before this version list boxes always use the system text and window colours.
constexpr int32_t kFirstVersionWithListColours = 4;

// Window style bit that asks for a window of its own (otherwise controls go on the parent).
constexpr uint32_t kOwnWindowStyle = 0x10000000;
// The caption height that the template's window heights assume; never scaled.
constexpr int32_t kAssumedCaption = 18;

// Extended style bit marking a bold label; cleared before the style is used.
constexpr uint32_t kBoldLabelBit = 0x80000000u;

enum ControlType : int32_t {
  kTypeNone = 0,
  kTypeLabel = 1,
  kTypePushButton = 2,
  kTypeButton3 = 3,
  kTypeButton4 = 4,
  kTypeEdit = 5,
  kTypeRichEdit = 6,
  kTypeListBox = 7,
  kTypeComboBox = 8,
  kTypeButton9 = 9,
  kTypeListView = 10,
  kTypeTreeView = 11,
  kTypeAbsent = 12,
};

enum LabelSubtype : int32_t {
  kLabelCleared = 2,
  kLabelIcon = 3,
  kLabelBitmap = 4,
};

// Colour codes standing for system colours or the null brush.
constexpr uint32_t kColourWindowText = 0x1000000;
constexpr uint32_t kColourWindow = 0x2000000;
constexpr uint32_t kColourButtonFace = 0x3000000;
constexpr uint32_t kColourTransparent = 0x4000000;

// Button style bits as the template stores them.
constexpr uint32_t kOwnerDrawMask = 0xB;
constexpr uint32_t kBitmapButtonStyle = 0x80;

// Image keys with special meanings.
constexpr int32_t kImageKeyOwnIcon = -1;
constexpr int32_t kImageKeyNone = -2;

}  // namespace corvel::tpl
