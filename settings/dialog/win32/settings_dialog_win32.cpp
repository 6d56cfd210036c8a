#include "settings_dialog_win32.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "folder_verb.h"
#include "platform/win32/wide_text_win32.h"
#include "settings_dialog_ids.h"
#include "settings_dialog_layout_win32.h"

namespace tessory::settings {
namespace {

const wchar_t kCaption[] = L"Settings";
const wchar_t kFontName[] = L"Verdana";
constexpr WORD kFontPoints = 8;
// The time pickers show what is stored: hours and minutes, 24-hour form.
const wchar_t kTimeFormat[] = L"HH:mm";
const wchar_t kWriteErrorText[] = L"The settings could not be saved.";
const wchar_t kWriteErrorTitle[] = L"Error writing to registry";

// Asks the dialog's own thread for the controls' values (lParam: SettingsForm*).
constexpr UINT kReadFormMessage = WM_APP + 1;

const int kSortIds[kSortOptionCount] = {IDC_OPTNOORDER,   IDC_OPTNAMEORDER, IDC_OPTEXTORDER,
                                        IDC_OPTSIZEORDER, IDC_OPTTYPEORDER, IDC_OPTDATEORDER};
const int kRecurseIds[kRecurseOptionCount] = {IDC_OPTRECURSEINFINITE, IDC_OPTNORECURSION,
                                              IDC_OPTRECURSEDEPTH};
const int kSizeUnitIds[kSizeUnitOptionCount] = {IDC_OPTBYTESIZE, IDC_OPTKBSIZE, IDC_OPTMBSIZE,
                                                IDC_OPTDYNAMICSIZE};
const int kSampleIds[] = {IDC_LBLBODY, IDC_LBLFOLDER, IDC_LBLFILE, IDC_LBLFILEODD};
constexpr int kSampleCount = 4;
constexpr int kDepthLow = 1;
constexpr int kDepthHigh = 1000;

// A GDI object that deletes itself.
template <typename Handle>
class GdiObject {
 public:
  GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(nullptr); }
  void Reset(Handle handle) {
    if (handle_ != nullptr) DeleteObject(handle_);
    handle_ = handle;
  }
  Handle get() const { return handle_; }

 private:
  Handle handle_ = nullptr;
};

struct DialogState {
  SettingsStore* store = nullptr;
  FolderVerbAccess* verb = nullptr;
  StyleDialogs* styles = nullptr;
  std::function<void(HWND)> onOpen;
  SettingsForm form;  // the sample labels live here while the dialog is open
  std::vector<std::pair<HWND, int>> pageControls;
  GdiObject<HBRUSH> sampleBrushes[kSampleCount];
  GdiObject<HFONT> folderFont, fileFont;
  // The tab control's page background as it paints it (plain or themed), for the page controls.
  GdiObject<HBRUSH> pageBrush;
  COLORREF pageColour = 0;  // the page's colour in its middle, for text that needs a solid one
};

SampleLabel* SampleFor(DialogState& state, int id) {
  switch (id) {
    case IDC_LBLBODY: return &state.form.lblBody;
    case IDC_LBLFOLDER: return &state.form.lblFolder;
    case IDC_LBLFILE: return &state.form.lblFile;
    case IDC_LBLFILEODD: return &state.form.lblFileOdd;
    default: return nullptr;
  }
}

std::string TextOf(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, &text[0], length + 1)));
  return Narrow(text);
}

void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, Widen(text).c_str());
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void SetChecked(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

template <std::size_t N>
int SelectedOption(HWND dialog, const int (&ids)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (Checked(dialog, ids[i])) return static_cast<int>(i);
  }
  return kNoOption;
}

template <std::size_t N>
void SelectOption(HWND dialog, const int (&ids)[N], int selected) {
  for (std::size_t i = 0; i < N; ++i) SetChecked(dialog, ids[i], static_cast<int>(i) == selected);
}

DateTime PickerValue(HWND dialog, int id) {
  SYSTEMTIME st{};
  if (DateTime_GetSystemtime(GetDlgItem(dialog, id), &st) != GDT_VALID) return LocalNow();
  return DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// A value the picker cannot show leaves it as it was.
void SetPicker(HWND dialog, int id, const DateTime& value) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(value.year);
  st.wMonth = static_cast<WORD>(value.month);
  st.wDay = static_cast<WORD>(value.day);
  st.wHour = static_cast<WORD>(value.hour);
  st.wMinute = static_cast<WORD>(value.minute);
  st.wSecond = static_cast<WORD>(value.second);
  DateTime_SetSystemtime(GetDlgItem(dialog, id), GDT_VALID, &st);
}

HFONT CreateSampleFont(HWND dialog, const SampleLabel& label) {
  HDC dc = GetDC(dialog);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(dialog, dc);
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(std::lround(label.fontSize * dpi / 72.0));
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, Widen(label.fontName).c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// Repaints the sample labels from the properties they hold.
void RefreshSamples(HWND dialog, DialogState& state) {
  for (int i = 0; i < kSampleCount; ++i)
    state.sampleBrushes[i].Reset(CreateSolidBrush(SampleFor(state, kSampleIds[i])->backColor));
  state.folderFont.Reset(CreateSampleFont(dialog, state.form.lblFolder));
  state.fileFont.Reset(CreateSampleFont(dialog, state.form.lblFile));
  SendDlgItemMessageW(dialog, IDC_LBLFOLDER, WM_SETFONT, reinterpret_cast<WPARAM>(state.folderFont.get()), FALSE);
  SendDlgItemMessageW(dialog, IDC_LBLFILE, WM_SETFONT, reinterpret_cast<WPARAM>(state.fileFont.get()), FALSE);
  for (int id : kSampleIds) InvalidateRect(GetDlgItem(dialog, id), nullptr, TRUE);
}

void WriteControls(HWND dialog, DialogState& state, const SettingsForm& form) {
  SetText(dialog, IDC_TXTINCLUDE, form.txtInclude);
  SetText(dialog, IDC_TXTSKIP, form.txtSkip);
  SetText(dialog, IDC_TXTINCLUDEFOL, form.txtIncludeFol);
  SetText(dialog, IDC_TXTSKIPFOL, form.txtSkipFol);
  SetPicker(dialog, IDC_DTPICKER1, form.DTPicker1);
  SetPicker(dialog, IDC_DTPICKER2, form.DTPicker2);
  SetPicker(dialog, IDC_DTPICKER3, form.DTPicker3);
  SetPicker(dialog, IDC_DTPICKER4, form.DTPicker4);
  SetChecked(dialog, IDC_CHFILETIME, form.chFileTime);
  SetChecked(dialog, IDC_CHFILESIZE, form.chFileSize);
  SetText(dialog, IDC_TXTFROMSIZE, form.txtFromSize);
  SetText(dialog, IDC_TXTTOSIZE, form.txtToSize);
  SelectOption(dialog, kSortIds, form.sortOrder);
  SelectOption(dialog, kRecurseIds, form.recursion);
  SetText(dialog, IDC_TXTDEPTH, form.txtDepth);
  SetChecked(dialog, IDC_CHSUMMARY, form.chSummary);
  for (int row = 0; row < kColumnRowCount; ++row) {
    SetChecked(dialog, IDC_COLUMNCHECK + row, form.columnChecks[row]);
    SetText(dialog, IDC_TEXT1 + row, form.Text1[row]);
    SetText(dialog, IDC_TEXT2 + row, form.Text2[row]);
  }
  SelectOption(dialog, kSizeUnitIds, form.sizeUnit);
  state.form.lblBody = form.lblBody;
  state.form.lblFolder = form.lblFolder;
  state.form.lblFile = form.lblFile;
  state.form.lblFileOdd = form.lblFileOdd;
  RefreshSamples(dialog, state);
  SetChecked(dialog, IDC_CHPRINTLAYOUT, form.chPrintLayout);
  SetChecked(dialog, IDC_CHSHELLEXT, form.chShellExt);
}

SettingsForm ReadControls(HWND dialog, const DialogState& state) {
  SettingsForm form;
  form.txtInclude = TextOf(dialog, IDC_TXTINCLUDE);
  form.txtSkip = TextOf(dialog, IDC_TXTSKIP);
  form.txtIncludeFol = TextOf(dialog, IDC_TXTINCLUDEFOL);
  form.txtSkipFol = TextOf(dialog, IDC_TXTSKIPFOL);
  form.DTPicker1 = PickerValue(dialog, IDC_DTPICKER1);
  form.DTPicker2 = PickerValue(dialog, IDC_DTPICKER2);
  form.DTPicker3 = PickerValue(dialog, IDC_DTPICKER3);
  form.DTPicker4 = PickerValue(dialog, IDC_DTPICKER4);
  form.chFileTime = Checked(dialog, IDC_CHFILETIME);
  form.chFileSize = Checked(dialog, IDC_CHFILESIZE);
  form.txtFromSize = TextOf(dialog, IDC_TXTFROMSIZE);
  form.txtToSize = TextOf(dialog, IDC_TXTTOSIZE);
  form.sortOrder = SelectedOption(dialog, kSortIds);
  form.recursion = SelectedOption(dialog, kRecurseIds);
  form.txtDepth = TextOf(dialog, IDC_TXTDEPTH);
  form.chSummary = Checked(dialog, IDC_CHSUMMARY);
  for (int row = 0; row < kColumnRowCount; ++row) {
    form.columnChecks[row] = Checked(dialog, IDC_COLUMNCHECK + row);
    form.Text1[row] = TextOf(dialog, IDC_TEXT1 + row);
    form.Text2[row] = TextOf(dialog, IDC_TEXT2 + row);
  }
  form.sizeUnit = SelectedOption(dialog, kSizeUnitIds);
  form.lblBody = state.form.lblBody;
  form.lblFolder = state.form.lblFolder;
  form.lblFile = state.form.lblFile;
  form.lblFileOdd = state.form.lblFileOdd;
  form.chPrintLayout = Checked(dialog, IDC_CHPRINTLAYOUT);
  form.chShellExt = Checked(dialog, IDC_CHSHELLEXT);
  return form;
}

void CreateControls(HWND dialog, DialogState& state) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  std::size_t count = 0;
  const ControlPlacement* placements = SettingsDialogControls(count);
  for (std::size_t i = 0; i < count; ++i) {
    const ControlPlacement& placement = placements[i];
    RECT box{placement.x, placement.y, placement.x + placement.width, placement.y + placement.height};
    MapDialogRect(dialog, &box);
    const bool isEdit = lstrcmpW(placement.windowClass, L"Edit") == 0;
    DWORD style = placement.style;
    if (placement.page == kOutsidePages) style |= WS_VISIBLE;
    HWND control = CreateWindowExW(isEdit ? WS_EX_CLIENTEDGE : 0, placement.windowClass, placement.caption,
                                   style, box.left, box.top, box.right - box.left,
                                   box.bottom - box.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // A themed frame fills itself with the dialog's background; the plain one is transparent and
    // takes its caption's background from the page (PaintPageControl).
    if ((placement.style & BS_TYPEMASK) == BS_GROUPBOX && lstrcmpW(placement.windowClass, L"Button") == 0)
      SetWindowTheme(control, L"", L"");
    if (placement.page != kOutsidePages) state.pageControls.emplace_back(control, placement.page);
  }

  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  for (int page = 0; page < kPageCount; ++page) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(kPageCaptions[page]);
    SendMessageW(tab, TCM_INSERTITEMW, page, reinterpret_cast<LPARAM>(&item));
  }
  // The pages' controls lie over the tab control, so it must paint beneath them.
  SetWindowPos(tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  HWND upDown = GetDlgItem(dialog, IDC_UPDOWN1);
  SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_TXTDEPTH)), 0);
  SendMessageW(upDown, UDM_SETRANGE32, kDepthLow, kDepthHigh);

  for (int id : {IDC_DTPICKER2, IDC_DTPICKER4})
    SendDlgItemMessageW(dialog, id, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(kTimeFormat));
}

// The tab control's page background (the theme's pane, or the plain face colour) as a pattern
// brush the size of the tab, so page controls paint the page's own background, not grey boxes.
void MakePageBrush(HWND dialog, DialogState& state) {
  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  RECT client{};
  GetClientRect(tab, &client);
  RECT page = client;
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  HDC screen = GetDC(dialog);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(dialog, screen);
  state.pageBrush.Reset(nullptr);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    FillRect(memory, &client, GetSysColorBrush(COLOR_3DFACE));
    if (HTHEME theme = IsAppThemed() ? OpenThemeData(tab, L"TAB") : nullptr) {
      RECT pane = page;
      InflateRect(&pane, 2, 2);  // the pane's border lies just outside the page
      DrawThemeBackground(theme, memory, TABP_PANE, 0, &pane, nullptr);
      CloseThemeData(theme);
    }
    state.pageColour = GetPixel(memory, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
    SelectObject(memory, old);
    state.pageBrush.Reset(CreatePatternBrush(bitmap));
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
}

bool IsPageControl(const DialogState& state, HWND control) {
  for (const auto& entry : state.pageControls) {
    if (entry.first == control) return true;
  }
  return false;
}

// Lines the pattern up with the tab control, whose bitmap it holds, as seen from `window`.
void AlignPageBrush(HWND dialog, HDC dc, HWND window) {
  POINT origin{0, 0};
  MapWindowPoints(GetDlgItem(dialog, IDC_SSTAB1), window, &origin, 1);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
}

// Labels, frames, check boxes and option buttons on a page: transparent text on the page brush.
INT_PTR PaintPageControl(HWND dialog, DialogState& state, HDC dc, HWND control) {
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  const bool staticOrButton = lstrcmpiW(className, L"Static") == 0 || lstrcmpiW(className, L"Button") == 0;
  if (state.pageBrush.get() == nullptr || !staticOrButton || !IsPageControl(state, control)) return FALSE;
  // A frame's caption is drawn over its line, so it needs a solid background of its own.
  const bool frame = (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
                     lstrcmpiW(className, L"Button") == 0;
  SetBkColor(dc, state.pageColour);
  SetBkMode(dc, frame ? OPAQUE : TRANSPARENT);
  AlignPageBrush(dialog, dc, control);
  return reinterpret_cast<INT_PTR>(state.pageBrush.get());
}

// The dialog's own background: the page's inside the tab, where frames (transparent, and not
// painted over by the tab, which clips its siblings) and themed buttons show it through.
void PaintDialogBackground(HWND dialog, const DialogState& state, HDC dc) {
  RECT client{};
  GetClientRect(dialog, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
  if (state.pageBrush.get() == nullptr) return;
  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  RECT page{};
  GetClientRect(tab, &page);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  MapWindowPoints(tab, dialog, reinterpret_cast<POINT*>(&page), 2);
  AlignPageBrush(dialog, dc, dialog);
  FillRect(dc, &page, state.pageBrush.get());
}

void ShowPage(HWND dialog, const DialogState& state, int page) {
  HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
  for (const auto& [control, owner] : state.pageControls)
    ShowWindow(control, owner == page ? SW_SHOW : SW_HIDE);
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(dialog, focus) && !IsWindowVisible(focus)) SetFocus(tab);
  InvalidateRect(tab, nullptr, TRUE);
}

void Form_Load(HWND dialog, DialogState& state) {
  CreateControls(dialog, state);
  for (int i = 0; i < kColourSchemeCount; ++i) {
    SendDlgItemMessageW(dialog, IDC_COMBO1, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(Widen(ColourSchemes()[i].name).c_str()));
  }
  SendDlgItemMessageW(dialog, IDC_COMBO1, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);

  SettingsForm form;
  LoadSettings(*state.store, form);
  form.chShellExt = state.verb->IsFolderVerbRegistered();
  WriteControls(dialog, state, form);
  MakePageBrush(dialog, state);
  ShowPage(dialog, state, 0);
}

void cmdOK_Click(HWND dialog, DialogState& state) {
  const SettingsForm form = ReadControls(dialog, state);
  const bool saved = SaveSettings(*state.store, form);
  state.verb->SetFolderVerb(ui::FlagFromBoolean(form.chShellExt));
  if (!saved) MessageBoxW(dialog, kWriteErrorText, kWriteErrorTitle, MB_OK | MB_ICONSTOP);
  EndDialog(dialog, IDOK);
}

void cmdCancel_Click(HWND dialog) { EndDialog(dialog, IDCANCEL); }

void cmdCurrentTime_Click(HWND dialog) {
  const DateTime now = LocalNow();
  for (int id : {IDC_DTPICKER1, IDC_DTPICKER2, IDC_DTPICKER3, IDC_DTPICKER4}) SetPicker(dialog, id, now);
}

// The colour buttons share one procedure; a cancelled or failed colour dialog changes nothing.
void PickBackColour(HWND dialog, DialogState& state, int labelId) {
  SampleLabel& label = *SampleFor(state, labelId);
  std::uint32_t colour = label.backColor;
  if (!state.styles->ChooseColour(dialog, colour)) return;
  label.backColor = colour;
  RefreshSamples(dialog, state);
}

void PickFont(HWND dialog, DialogState& state, int labelId) {
  SampleLabel& label = *SampleFor(state, labelId);
  FontChoice choice = FontChoiceOf(label);
  if (!state.styles->ChooseFontFor(dialog, choice)) return;
  ApplyFontChoice(label, choice);
  RefreshSamples(dialog, state);
}

void cmdBody_Click(HWND dialog, DialogState& state) { PickBackColour(dialog, state, IDC_LBLBODY); }
void cmdFolderBack_Click(HWND dialog, DialogState& state) { PickBackColour(dialog, state, IDC_LBLFOLDER); }
void cmdFileRowEven_Click(HWND dialog, DialogState& state) { PickBackColour(dialog, state, IDC_LBLFILE); }
void cmdFileRowOdd_Click(HWND dialog, DialogState& state) { PickBackColour(dialog, state, IDC_LBLFILEODD); }
void cmdFolderFont_Click(HWND dialog, DialogState& state) { PickFont(dialog, state, IDC_LBLFOLDER); }
void cmdFileFont_Click(HWND dialog, DialogState& state) { PickFont(dialog, state, IDC_LBLFILE); }

void Combo1_Click(HWND dialog, DialogState& state) {
  HWND combo = GetDlgItem(dialog, IDC_COMBO1);
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return;
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<std::size_t>(length));
  if (settings::Combo1_Click(state.form, Narrow(text))) RefreshSamples(dialog, state);
}

INT_PTR OnCommand(HWND dialog, DialogState& state, int id, int code) {
  switch (id) {
    case IDOK: cmdOK_Click(dialog, state); return TRUE;
    case IDCANCEL: cmdCancel_Click(dialog); return TRUE;
    case IDC_CMDCURRENTTIME: cmdCurrentTime_Click(dialog); return TRUE;
    case IDC_CMDBODY: cmdBody_Click(dialog, state); return TRUE;
    case IDC_CMDFOLDERBACK: cmdFolderBack_Click(dialog, state); return TRUE;
    case IDC_CMDFILEROWEVEN: cmdFileRowEven_Click(dialog, state); return TRUE;
    case IDC_CMDFILEROWODD: cmdFileRowOdd_Click(dialog, state); return TRUE;
    case IDC_CMDFOLDERFONT: cmdFolderFont_Click(dialog, state); return TRUE;
    case IDC_CMDFILEFONT: cmdFileFont_Click(dialog, state); return TRUE;
    case IDC_COMBO1:
      if (code != CBN_SELCHANGE) return FALSE;
      Combo1_Click(dialog, state);
      return TRUE;
    default: return FALSE;
  }
}

INT_PTR PaintSample(DialogState& state, HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  for (int i = 0; i < kSampleCount; ++i) {
    if (kSampleIds[i] != id) continue;
    const SampleLabel& label = *SampleFor(state, id);
    SetBkColor(dc, label.backColor);
    SetTextColor(dc, label.foreColor);
    return reinterpret_cast<INT_PTR>(state.sampleBrushes[i].get());
  }
  return FALSE;
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<DialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      Form_Load(dialog, *state);
      if (state->onOpen) state->onOpen(dialog);
      return TRUE;
    case WM_COMMAND:
      return state ? OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam)) : FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (state && header->idFrom == IDC_SSTAB1 && header->code == TCN_SELCHANGE) {
        ShowPage(dialog, *state, static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return TRUE;
      }
      return FALSE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      if (state == nullptr) return FALSE;
      HDC dc = reinterpret_cast<HDC>(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      const INT_PTR sample = message == WM_CTLCOLORSTATIC ? PaintSample(*state, dc, control) : FALSE;
      return sample != FALSE ? sample : PaintPageControl(dialog, *state, dc, control);
    }
    case WM_ERASEBKGND:
      // Only the dialog's own erase: a themed control asking for its parent's background through
      // this message gets the default, which keeps its clipping intact.
      if (state == nullptr || WindowFromDC(reinterpret_cast<HDC>(wParam)) != dialog) return FALSE;
      PaintDialogBackground(dialog, *state, reinterpret_cast<HDC>(wParam));
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      if (state != nullptr) MakePageBrush(dialog, *state);
      return FALSE;
    case kReadFormMessage:
      if (state) *reinterpret_cast<SettingsForm*>(lParam) = ReadControls(dialog, *state);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return HandleMessage(dialog, message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

void AppendText(std::vector<WORD>& words, const wchar_t* text) {
  do words.push_back(static_cast<WORD>(*text)); while (*text++ != L'\0');
}

// An empty dialog with the caption and the Verdana font; the controls are added at load.
std::vector<WORD> DialogTemplate() {
  const DWORD style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  std::vector<WORD> words = {LOWORD(style), HIWORD(style), 0, 0,  // style, extended style
                             0,                                     // no controls in the template
                             0, 0, kDialogWidth, kDialogHeight,     // position and size
                             0, 0};                                 // no menu, standard class
  AppendText(words, kCaption);
  words.push_back(kFontPoints);
  AppendText(words, kFontName);
  return words;
}

}  // namespace

INT_PTR ShowSettingsDialog(HWND owner) { return ShowSettingsDialog(owner, SettingsDialogServices{}); }

INT_PTR ShowSettingsDialog(HWND owner, const SettingsDialogServices& services) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  DialogState state;
  state.store = services.store ? services.store : &ProcessSettings();
  state.verb = services.folderVerb ? services.folderVerb : &SystemFolderVerb();
  state.styles = services.styleDialogs ? services.styleDialogs : &CommonStyleDialogs();
  state.onOpen = services.onOpen;
  const std::vector<WORD> dialogTemplate = DialogTemplate();
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                 reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), owner,
                                 SettingsDialogProc, reinterpret_cast<LPARAM>(&state));
}

SettingsForm ReadSettingsDialog(HWND dialog) {
  SettingsForm form;
  SendMessageW(dialog, kReadFormMessage, 0, reinterpret_cast<LPARAM>(&form));
  return form;
}

}  // namespace tessory::settings
