// The real dialog against the real registry store, driven with messages from a second thread
// while the main thread runs the modal loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "listing/file_system.h"
#include "listing/filters.h"
#include "listing/listing_settings.h"
#include "settings/dialog/win32/settings_dialog_ids.h"
#include "settings/dialog/win32/settings_dialog_win32.h"
#include "settings/setting_keys.h"
#include "settings/win32/registry_store_win32.h"

namespace tessory::settings {
namespace {

const char kTestApplication[] = "OmbrelDialogTest";

class FakeFolderVerb : public FolderVerbAccess {
 public:
  bool IsFolderVerbRegistered() override { return registered; }
  void SetFolderVerb(std::int16_t mode) override { modes.push_back(mode); }
  bool registered = false;
  std::vector<int> modes;
};

// Answers the colour and font buttons as scripted; nothing scripted means "cancelled".
class ScriptedStyleDialogs : public StyleDialogs {
 public:
  bool ChooseColour(HWND, std::uint32_t& colour) override {
    offeredColours.push_back(colour);
    if (!colour_) return false;
    colour = *colour_;
    return true;
  }
  bool ChooseFontFor(HWND, FontChoice& font) override {
    offeredFonts.push_back(font);
    if (!font_) return false;
    font = *font_;
    return true;
  }
  std::optional<std::uint32_t> colour_;
  std::optional<FontChoice> font_;
  std::vector<std::uint32_t> offeredColours;
  std::vector<FontChoice> offeredFonts;
};

void Command(HWND dialog, int id, int code = BN_CLICKED) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ChooseScheme(HWND dialog, const wchar_t* name) {
  HWND combo = GetDlgItem(dialog, IDC_COMBO1);
  const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  ASSERT_NE(index, CB_ERR);
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  Command(dialog, IDC_COMBO1, CBN_SELCHANGE);
}

void ShowPage(HWND dialog, int page) {
  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  SendMessageW(tab, TCM_SETCURSEL, page, 0);
  NMHDR change{tab, IDC_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(dialog, WM_NOTIFY, IDC_SSTAB1, reinterpret_cast<LPARAM>(&change));
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

struct DialogSearch {
  HWND except;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (window == search->except || !IsWindowVisible(window) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog window of the thread other than `except`, waited for up to two minutes.
HWND WaitForDialog(DWORD thread, HWND except) {
  DialogSearch search{except, nullptr};
  for (const DWORD start = GetTickCount(); search.found == nullptr && GetTickCount() - start < 120000;) {
    EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(10);
  }
  return search.found;
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearStore(); }
  void TearDown() override { ClearStore(); }

  void ClearStore() {
    std::string path = store.SectionPath("x");
    path.resize(path.size() - 2);
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  }

  // Opens the dialog; drive runs on a second thread with the dialog's window and must close it.
  INT_PTR Run(const std::function<void(HWND)>& drive) {
    std::atomic<HWND> opened{nullptr};
    SettingsDialogServices services;
    services.store = &store;
    services.folderVerb = &verb;
    services.styleDialogs = &styles;
    services.onOpen = [&](HWND dialog) { opened = dialog; };
    std::thread driver([&] {
      while (opened.load() == nullptr) Sleep(5);
      drive(opened.load());
    });
    const INT_PTR result = ShowSettingsDialog(nullptr, services);
    if (opened.load() == nullptr) opened = HWND_BROADCAST;  // lets the driver end if the dialog failed
    driver.join();
    return result;
  }

  SettingsForm OpenAndRead() {
    SettingsForm form;
    Run([&](HWND dialog) {
      form = ReadSettingsDialog(dialog);
      Command(dialog, IDCANCEL);
    });
    return form;
  }

  std::map<std::string, std::optional<std::string>> Snapshot() const {
    std::map<std::string, std::optional<std::string>> values;
    for (const SettingKey& k : SettingCatalogue())
      values[std::string(k.section) + "/" + k.name] = store.Read(k.section, k.name);
    return values;
  }

  std::string Stored(const SettingKey& k) const { return store.Read(k.section, k.name).value_or("<absent>"); }
  void Put(const SettingKey& k, const std::string& text) { ASSERT_TRUE(store.Write(k.section, k.name, text)); }

  RegistryStore store{kTestApplication};
  FakeFolderVerb verb;
  ScriptedStyleDialogs styles;
};

TEST_F(SettingsDialogTest, OpensOnAnEmptyStoreWithTheDefaultsAndCancelWritesNothing) {
  SettingsForm form;
  std::wstring caption, depth, lastScheme;
  std::vector<std::wstring> faces;
  LRESULT schemeCount = 0, schemeSelection = 0, pageCount = 0;
  int low = 0, high = 0;
  bool depthIsBuddy = false;
  const INT_PTR result = Run([&](HWND dialog) {
    form = ReadSettingsDialog(dialog);
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    caption = text;
    depth = ControlText(dialog, IDC_TXTDEPTH);
    HWND combo = GetDlgItem(dialog, IDC_COMBO1);
    schemeCount = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    schemeSelection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    SendMessageW(combo, CB_GETLBTEXT, 7, reinterpret_cast<LPARAM>(text));
    lastScheme = text;
    pageCount = SendDlgItemMessageW(dialog, IDC_SSTAB1, TCM_GETITEMCOUNT, 0, 0);
    HWND upDown = GetDlgItem(dialog, IDC_UPDOWN1);
    SendMessageW(upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    depthIsBuddy = reinterpret_cast<HWND>(SendMessageW(upDown, UDM_GETBUDDY, 0, 0)) == GetDlgItem(dialog, IDC_TXTDEPTH);
    for (int id : {IDC_TXTINCLUDE, IDC_OPTNOORDER, IDC_CHNAME, IDC_CMDBODY, IDOK}) {
      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)), sizeof font, &font);
      faces.push_back(font.lfFaceName);
    }
    Command(dialog, IDCANCEL);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(caption, L"Settings");
  EXPECT_EQ(pageCount, 4);
  EXPECT_EQ(schemeCount, 8);
  EXPECT_EQ(schemeSelection, CB_ERR);
  EXPECT_EQ(lastScheme, L"Brick Red");
  EXPECT_EQ(depth, L"6");
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 1000);
  EXPECT_TRUE(depthIsBuddy);
  for (const std::wstring& face : faces) EXPECT_EQ(face, L"Verdana");
  EXPECT_EQ(form.txtInclude, "*");
  EXPECT_EQ(form.sortOrder, kNoOrder);
  EXPECT_EQ(form.recursion, kRecurseInfinite);
  EXPECT_EQ(form.sizeUnit, kDynamicSize);
  const std::array<bool, kColumnRowCount> checks{true, true, false, true, true, false};
  EXPECT_EQ(form.columnChecks, checks);
  EXPECT_EQ(form.Text1[2], "Ext");
  EXPECT_EQ(form.lblFolder.foreColor, 16777215u);
  EXPECT_EQ(form.lblFile.backColor, 12566463u);
  EXPECT_EQ(form.lblFile.fontSize, 10);
  EXPECT_FALSE(form.chShellExt);
  for (const auto& [name, value] : Snapshot()) EXPECT_FALSE(value.has_value()) << name;
  EXPECT_TRUE(verb.modes.empty());
}

TEST_F(SettingsDialogTest, OkOnAnEmptyStoreWritesEveryKeyButBrowser) {
  EXPECT_EQ(Run([](HWND dialog) { Command(dialog, IDOK); }), IDOK);
  for (const auto& [name, value] : Snapshot()) {
    if (name == "Output/Browser") {
      EXPECT_FALSE(value.has_value());
    } else {
      EXPECT_TRUE(value.has_value()) << name;
    }
  }
  EXPECT_EQ(Stored(key::kRecurseDepth), "6");
  EXPECT_EQ(Stored(key::kNoOrder), "1");
  EXPECT_EQ(Stored(key::kFileBack), "12566463");
  EXPECT_EQ(verb.modes, std::vector<int>{0});
}

// What a page shows where no control draws: just inside the bottom-left corner of the page.
COLORREF PagePixel(HWND dialog, HDC screen) {
  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  RECT page{};
  GetClientRect(tab, &page);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  POINT corner{page.left + 4, page.bottom - 4};
  ClientToScreen(tab, &corner);
  return GetPixel(screen, corner.x, corner.y);
}

// Labels, frames, check boxes and option buttons on every page show the page's background: a
// point of each that its text does not reach (right end of the middle line; a frame's middle)
// has the colour of the empty page.
TEST_F(SettingsDialogTest, PageControlsShowThePageBackground) {
  struct Spot {
    int page, id;
    bool frame;
  };
  const Spot spots[] = {{0, IDC_FRAME3, true},     {0, IDC_LABEL1, false},       {0, IDC_CHFILESIZE, false},
                        {1, IDC_FRAME6, true},     {1, IDC_OPTNOORDER, false},   {1, IDC_CHSUMMARY, false},
                        {2, IDC_FRAME7, true},     {2, IDC_OPTBYTESIZE, false},  {3, IDC_LABEL10, false},
                        {3, IDC_CHPRINTLAYOUT, false}};
  std::vector<std::string> differing;
  COLORREF page = CLR_INVALID;
  Run([&](HWND dialog) {
    HDC screen = GetDC(nullptr);
    for (const Spot& spot : spots) {
      ShowPage(dialog, spot.page);
      RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      HWND control = GetDlgItem(dialog, spot.id);
      RECT box{};
      GetWindowRect(control, &box);
      const int x = spot.frame ? box.right - 12 : box.right - 3;
      const int y = spot.frame ? box.bottom - 6 : (box.top + box.bottom) / 2;
      // The drawing reaches the screen a moment after it is done: wait for it, not for a time.
      bool same = false;
      for (const DWORD start = GetTickCount(); !same && GetTickCount() - start < 10000; Sleep(20)) {
        page = PagePixel(dialog, screen);
        same = GetPixel(screen, x, y) == page;
      }
      if (!same) differing.push_back(std::to_string(spot.id));
    }
    ReleaseDC(nullptr, screen);
    Command(dialog, IDCANCEL);
  });
  EXPECT_NE(page, CLR_INVALID);
  EXPECT_TRUE(differing.empty()) << "controls with their own background: " << ::testing::PrintToString(differing);
}

TEST_F(SettingsDialogTest, ShellExtensionBoxFollowsTheVerbAndIsAppliedAtEveryOk) {
  verb.registered = true;
  EXPECT_TRUE(OpenAndRead().chShellExt);
  Run([](HWND dialog) { Command(dialog, IDOK); });
  Run([](HWND dialog) {
    CheckDlgButton(dialog, IDC_CHSHELLEXT, BST_UNCHECKED);
    Command(dialog, IDOK);
  });
  EXPECT_EQ(verb.modes, (std::vector<int>{1, 0}));
}

TEST_F(SettingsDialogTest, SchemeThenOkStoresTheSchemeAndKeepsFontSizes) {
  Put(key::kFileFontSize, "14");
  Run([](HWND dialog) {
    ChooseScheme(dialog, L"Brick Red");
    Command(dialog, IDOK);
  });
  EXPECT_EQ(Stored(key::kFileBackOdd), "13421823");
  EXPECT_EQ(Stored(key::kFolBack), "128");
  EXPECT_EQ(Stored(key::kFileFontSize), "14");
  EXPECT_EQ(Stored(key::kFolFontSize), "10");
  LRESULT selection = 0;
  Run([&](HWND dialog) {
    selection = SendDlgItemMessageW(dialog, IDC_COMBO1, CB_GETCURSEL, 0, 0);
    Command(dialog, IDCANCEL);
  });
  EXPECT_EQ(selection, CB_ERR);
}

// Cancel and the close box discard a scheme, a colour and a font alike.
class DiscardTest : public SettingsDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DiscardTest, LeavesTheStoreUnchanged) {
  Put(key::kFolBack, "255");
  Put(key::kFileFont, "Arial");
  const auto before = Snapshot();
  styles.colour_ = 65280;
  styles.font_ = FontChoice{"Courier New", 255, 12.5};
  const bool closeBox = GetParam();
  SettingsForm edited;
  const INT_PTR result = Run([&](HWND dialog) {
    ChooseScheme(dialog, L"Cool Green");
    Command(dialog, IDC_CMDBODY);
    Command(dialog, IDC_CMDFILEFONT);
    edited = ReadSettingsDialog(dialog);
    if (closeBox) {
      SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      Command(dialog, IDCANCEL);
    }
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(edited.lblFolder.backColor, 2839808u);
  EXPECT_EQ(edited.lblBody.backColor, 65280u);
  EXPECT_EQ(edited.lblFile.fontName, "Courier New");
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(verb.modes.empty());
  EXPECT_EQ(OpenAndRead().lblFolder.backColor, 255u);
}

INSTANTIATE_TEST_SUITE_P(CancelOrCloseBox, DiscardTest, ::testing::Bool());

TEST_F(SettingsDialogTest, ColourAndFontButtonsEditTheirOwnLabels) {
  Put(key::kFileBackOdd, "111");
  styles.colour_ = 222;
  SettingsForm form;
  Run([&](HWND dialog) {
    Command(dialog, IDC_CMDFILEROWODD);
    Command(dialog, IDC_CMDFOLDERBACK);
    styles.colour_.reset();
    Command(dialog, IDC_CMDFILEROWEVEN);
    styles.font_ = FontChoice{"Courier New", 333, 10.5};
    Command(dialog, IDC_CMDFOLDERFONT);
    form = ReadSettingsDialog(dialog);
    Command(dialog, IDOK);
  });
  EXPECT_EQ(styles.offeredColours, (std::vector<std::uint32_t>{111, 0, 12566463}));
  ASSERT_EQ(styles.offeredFonts.size(), 1u);
  EXPECT_EQ(styles.offeredFonts[0].name, "Tahoma");
  EXPECT_EQ(styles.offeredFonts[0].color, 16777215u);
  EXPECT_EQ(styles.offeredFonts[0].size, 10);
  EXPECT_EQ(form.lblFileOdd.backColor, 222u);
  EXPECT_EQ(form.lblFolder.backColor, 222u);
  EXPECT_EQ(form.lblFile.backColor, 12566463u) << "a cancelled colour dialog changes nothing";
  EXPECT_EQ(form.lblFolder.fontSize, 10.5);
  EXPECT_EQ(Stored(key::kFolFontSize), "10.5");
  EXPECT_EQ(Stored(key::kFolFont), "Courier New");
  EXPECT_EQ(Stored(key::kFolFontColor), "333");
  EXPECT_EQ(Stored(key::kFileFontColor), "0");
  EXPECT_EQ(OpenAndRead().lblFolder.fontSize, 10) << "a 10.5-point font reopens as 10";
}

TEST_F(SettingsDialogTest, SeveralSortFlagsOpenWithTheLastSelectedAndAClickMovesTheChoice) {
  Put(key::kNoOrder, "1");
  Put(key::kDateOrder, "1");
  Put(key::kRecurse, "Sideways");
  bool date = false, none = true, anyRecursion = true;
  int afterClick = kNoOption;
  Run([&](HWND dialog) {
    date = IsDlgButtonChecked(dialog, IDC_OPTDATEORDER) == BST_CHECKED;
    none = IsDlgButtonChecked(dialog, IDC_OPTNOORDER) == BST_CHECKED;
    anyRecursion = IsDlgButtonChecked(dialog, IDC_OPTRECURSEINFINITE) || IsDlgButtonChecked(dialog, IDC_OPTNORECURSION) ||
                   IsDlgButtonChecked(dialog, IDC_OPTRECURSEDEPTH);
    ShowPage(dialog, 1);
    SendDlgItemMessageW(dialog, IDC_OPTNAMEORDER, BM_CLICK, 0, 0);
    afterClick = ReadSettingsDialog(dialog).sortOrder;
    Command(dialog, IDOK);
  });
  EXPECT_TRUE(date);
  EXPECT_FALSE(none);
  EXPECT_FALSE(anyRecursion);
  EXPECT_EQ(afterClick, kNameOrder) << "a click leaves exactly one sort option selected";
  EXPECT_EQ(Stored(key::kNameOrder), "1");
  EXPECT_EQ(Stored(key::kDateOrder), "0");
  EXPECT_EQ(Stored(key::kRecurse), "");
}

TEST_F(SettingsDialogTest, ChangedSettingReachesTheNextListing) {
  Run([](HWND dialog) {
    SetDlgItemTextW(dialog, IDC_TXTINCLUDE, L"*.txt");
    SetDlgItemTextW(dialog, IDC_TEXT1 + 0, L"File name");
    Command(dialog, IDOK);
  });
  const ListingSettings listing = ReadListingSettings(store, LocalNow());
  EXPECT_TRUE(FilePasses(FileInfo{"notes.TXT", 10, std::nullopt, 0}, listing));
  EXPECT_FALSE(FilePasses(FileInfo{"notes.doc", 10, std::nullopt, 0}, listing));
  EXPECT_EQ(listing.headings[kColName], "File name");
}

TEST_F(SettingsDialogTest, FilledCurrentTimeBoundsTheListingToThatMinute) {
  Run([](HWND dialog) {
    Command(dialog, IDC_CMDCURRENTTIME);
    CheckDlgButton(dialog, IDC_CHFILETIME, BST_CHECKED);
    Command(dialog, IDOK);
  });
  EXPECT_EQ(Stored(key::kFileTimeFrom), Stored(key::kFileTimeTo));
  const ListingSettings listing = ReadListingSettings(store, LocalNow());
  ASSERT_TRUE(listing.timeRangeOn);
  ASSERT_TRUE(listing.timeTo.has_value());
  DateTime sameMinute = *listing.timeTo;
  EXPECT_EQ(sameMinute.second, 0);
  EXPECT_TRUE(FilePasses(FileInfo{"a.txt", 1, sameMinute, 0}, listing));
  sameMinute.second = 45;
  EXPECT_FALSE(FilePasses(FileInfo{"a.txt", 1, sameMinute, 0}, listing))
      << "a file modified later in the same minute is after the upper bound";
}

// The platform's own colour and font dialogs, answered from a second thread.
class CommonDialogsTest : public ::testing::Test {
 protected:
  template <typename Show>
  bool Answer(int button, Show show) {
    const DWORD thread = GetCurrentThreadId();
    std::thread answerer([&] {
      HWND dialog = WaitForDialog(thread, nullptr);
      if (dialog != nullptr) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    });
    const bool chosen = show();
    answerer.join();
    return chosen;
  }
};

TEST_F(CommonDialogsTest, ColourDialogOkKeepsTheStartColourAndCancelReportsFalse) {
  std::uint32_t colour = 0x123456;
  EXPECT_TRUE(Answer(IDOK, [&] { return CommonStyleDialogs().ChooseColour(nullptr, colour); }));
  EXPECT_EQ(colour, 0x123456u);
  EXPECT_FALSE(Answer(IDCANCEL, [&] { return CommonStyleDialogs().ChooseColour(nullptr, colour); }));
  EXPECT_EQ(colour, 0x123456u);
}

int CALLBACK TakeTrueTypeFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM data) {
  if (!(type & TRUETYPE_FONTTYPE) || font->lfFaceName[0] == L'@') return 1;
  *reinterpret_cast<std::wstring*>(data) = font->lfFaceName;
  return 0;
}

// A TrueType face this machine has: the font dialog can only start from an installed face.
std::string InstalledFace() {
  std::wstring face;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &wanted, TakeTrueTypeFace, reinterpret_cast<LPARAM>(&face), 0);
  ReleaseDC(nullptr, dc);
  return std::string(face.begin(), face.end());
}

TEST_F(CommonDialogsTest, FontDialogOkGivesBackNameColourAndSize) {
  const std::string face = InstalledFace();
  ASSERT_FALSE(face.empty());
  FontChoice font{face, 255, 12};
  EXPECT_TRUE(Answer(IDOK, [&] { return CommonStyleDialogs().ChooseFontFor(nullptr, font); }));
  EXPECT_EQ(font.name, face);
  EXPECT_EQ(font.color, 255u);
  EXPECT_EQ(font.size, 12);
  FontChoice untouched{face, 255, 12};
  EXPECT_FALSE(Answer(IDCANCEL, [&] { return CommonStyleDialogs().ChooseFontFor(nullptr, untouched); }));
  EXPECT_EQ(untouched.name, face);
  EXPECT_EQ(untouched.size, 12);
}

}  // namespace
}  // namespace tessory::settings
