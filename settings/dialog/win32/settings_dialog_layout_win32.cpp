#include "settings_dialog_layout_win32.h"

#include <commctrl.h>

#include "settings_dialog_ids.h"

namespace tessory::settings {

const wchar_t* const kPageCaptions[kPageCount] = {L"File filter", L"Output options",
                                                  L"Display columns", L"HTML style options"};

namespace {

constexpr DWORD kChild = WS_CHILD | WS_GROUP;
constexpr DWORD kFrame = kChild | BS_GROUPBOX;
constexpr DWORD kLabel = kChild | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
// The first option of a group carries WS_GROUP and the tab stop; the rest continue the group.
constexpr DWORD kFirstOption = kChild | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kOption = WS_CHILD | BS_AUTORADIOBUTTON;
constexpr DWORD kSample = kChild | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN;
constexpr DWORD kDatePicker = kChild | WS_TABSTOP | DTS_SHORTDATEFORMAT;
constexpr DWORD kTimePicker = kChild | WS_TABSTOP | DTS_TIMEFORMAT | DTS_UPDOWN;

const wchar_t kButtonClass[] = L"Button";
const wchar_t kStaticClass[] = L"Static";
const wchar_t kEditClass[] = L"Edit";

const ControlPlacement kControls[] = {
    {kOutsidePages, IDC_SSTAB1, WC_TABCONTROLW, L"", kChild | WS_TABSTOP | WS_CLIPSIBLINGS, 7, 7, 326, 226},

    // File filter
    {0, IDC_FRAME1, kButtonClass, L"File name filter. Use wildcards. Use semicolons to seperate entries.", kFrame, 14, 26, 312, 46},
    {0, IDC_LABEL1, kStaticClass, L"Include :", kLabel, 22, 40, 36, 8},
    {0, IDC_TXTINCLUDE, kEditClass, L"", kEdit, 62, 38, 256, 12},
    {0, IDC_LABEL2, kStaticClass, L"Skip :", kLabel, 22, 56, 36, 8},
    {0, IDC_TXTSKIP, kEditClass, L"", kEdit, 62, 54, 256, 12},
    {0, IDC_FRAME2, kButtonClass, L"Folder name filter. Use wildcards. Use semicolons to seperate entries.", kFrame, 14, 75, 312, 46},
    {0, IDC_LABEL3, kStaticClass, L"Include :", kLabel, 22, 89, 36, 8},
    {0, IDC_TXTINCLUDEFOL, kEditClass, L"", kEdit, 62, 87, 256, 12},
    {0, IDC_LABEL4, kStaticClass, L"Skip :", kLabel, 22, 105, 36, 8},
    {0, IDC_TXTSKIPFOL, kEditClass, L"", kEdit, 62, 103, 256, 12},
    {0, IDC_FRAME3, kButtonClass, L"File time filter", kFrame, 14, 124, 312, 56},
    {0, IDC_CHFILETIME, kButtonClass, L"Process only files modified between", kCheck, 22, 136, 200, 10},
    {0, IDC_LABEL5, kStaticClass, L"Start :", kLabel, 22, 151, 30, 8},
    {0, IDC_DTPICKER1, DATETIMEPICK_CLASSW, L"", kDatePicker, 62, 149, 80, 13},
    {0, IDC_DTPICKER2, DATETIMEPICK_CLASSW, L"", kTimePicker, 146, 149, 54, 13},
    {0, IDC_LABEL6, kStaticClass, L"End :", kLabel, 22, 166, 30, 8},
    {0, IDC_DTPICKER3, DATETIMEPICK_CLASSW, L"", kDatePicker, 62, 164, 80, 13},
    {0, IDC_DTPICKER4, DATETIMEPICK_CLASSW, L"", kTimePicker, 146, 164, 54, 13},
    {0, IDC_CMDCURRENTTIME, kButtonClass, L"Fill Current Time", kButton, 224, 156, 94, 14},
    {0, IDC_FRAME4, kButtonClass, L"File size filter", kFrame, 14, 183, 312, 30},
    {0, IDC_CHFILESIZE, kButtonClass, L"Process only file sizes between", kCheck, 22, 196, 128, 10},
    {0, IDC_TXTFROMSIZE, kEditClass, L"", kEdit, 154, 195, 56, 12},
    {0, IDC_LABEL7, kStaticClass, L"bytes", kLabel, 213, 197, 22, 8},
    {0, IDC_TXTTOSIZE, kEditClass, L"", kEdit, 240, 195, 56, 12},
    {0, IDC_LABEL8, kStaticClass, L"bytes", kLabel, 299, 197, 22, 8},

    // Output options: the sort row left to right as on screen.
    {1, IDC_FRAME5, kButtonClass, L"Sort files by order :", kFrame, 14, 26, 312, 32},
    {1, IDC_OPTNOORDER, kButtonClass, L"No order", kFirstOption, 22, 40, 50, 10},
    {1, IDC_OPTNAMEORDER, kButtonClass, L"Name", kOption, 76, 40, 40, 10},
    {1, IDC_OPTSIZEORDER, kButtonClass, L"Size", kOption, 120, 40, 36, 10},
    {1, IDC_OPTEXTORDER, kButtonClass, L"Extension", kOption, 160, 40, 56, 10},
    {1, IDC_OPTTYPEORDER, kButtonClass, L"Type", kOption, 220, 40, 38, 10},
    {1, IDC_OPTDATEORDER, kButtonClass, L"Date", kOption, 262, 40, 40, 10},
    {1, IDC_FRAME6, kButtonClass, L"Recursion options", kFrame, 14, 64, 312, 60},
    {1, IDC_OPTRECURSEINFINITE, kButtonClass, L"Recurse folder infinitely", kFirstOption, 22, 78, 200, 10},
    {1, IDC_OPTNORECURSION, kButtonClass, L"Do not recurse folder", kOption, 22, 92, 200, 10},
    {1, IDC_OPTRECURSEDEPTH, kButtonClass, L"Recurse folder upto specified depth", kOption, 22, 106, 150, 10},
    {1, IDC_TXTDEPTH, kEditClass, L"", kEdit, 176, 105, 40, 12},
    {1, IDC_UPDOWN1, UPDOWN_CLASSW, L"",
     kChild | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0},
    {1, IDC_FRAMESUMMARY, kButtonClass, L"Closing totals", kFrame, 14, 130, 312, 30},
    {1, IDC_CHSUMMARY, kButtonClass, L"Also count what the listing left out (filtered, unreadable, links)", kCheck, 22, 143, 296, 10},

    // Display columns: heading buttons, six rows, the size unit.
    {2, IDC_COMMAND1, kButtonClass, L"Column", kButton, 22, 28, 90, 13},
    {2, IDC_COMMAND2, kButtonClass, L"Display name", kButton, 114, 28, 120, 13},
    {2, IDC_COMMAND3, kButtonClass, L"Width", kButton, 236, 28, 50, 13},
    {2, IDC_FRAME8 + 0, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 43, 264, 16},
    {2, IDC_CHNAME, kButtonClass, L"Name", kCheck, 26, 46, 84, 10},
    {2, IDC_TEXT1 + 0, kEditClass, L"", kEdit, 114, 45, 120, 12},
    {2, IDC_TEXT2 + 0, kEditClass, L"", kEdit, 236, 45, 46, 12},
    {2, IDC_FRAME8 + 1, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 60, 264, 16},
    {2, IDC_CHTYPE, kButtonClass, L"Type", kCheck, 26, 63, 84, 10},
    {2, IDC_TEXT1 + 1, kEditClass, L"", kEdit, 114, 62, 120, 12},
    {2, IDC_TEXT2 + 1, kEditClass, L"", kEdit, 236, 62, 46, 12},
    {2, IDC_FRAME8 + 2, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 77, 264, 16},
    {2, IDC_CHEXT, kButtonClass, L"Extension", kCheck, 26, 80, 84, 10},
    {2, IDC_TEXT1 + 2, kEditClass, L"", kEdit, 114, 79, 120, 12},
    {2, IDC_TEXT2 + 2, kEditClass, L"", kEdit, 236, 79, 46, 12},
    {2, IDC_FRAME8 + 3, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 94, 264, 16},
    {2, IDC_CHSIZE, kButtonClass, L"Size", kCheck, 26, 97, 84, 10},
    {2, IDC_TEXT1 + 3, kEditClass, L"", kEdit, 114, 96, 120, 12},
    {2, IDC_TEXT2 + 3, kEditClass, L"", kEdit, 236, 96, 46, 12},
    {2, IDC_FRAME8 + 4, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 111, 264, 16},
    {2, IDC_CHTIME, kButtonClass, L"Date Time", kCheck, 26, 114, 84, 10},
    {2, IDC_TEXT1 + 4, kEditClass, L"", kEdit, 114, 113, 120, 12},
    {2, IDC_TEXT2 + 4, kEditClass, L"", kEdit, 236, 113, 46, 12},
    {2, IDC_FRAME8 + 5, kStaticClass, L"", kChild | SS_ETCHEDFRAME, 22, 128, 264, 16},
    {2, IDC_CHATTRIB, kButtonClass, L"Attributes", kCheck, 26, 131, 84, 10},
    {2, IDC_TEXT1 + 5, kEditClass, L"", kEdit, 114, 130, 120, 12},
    {2, IDC_TEXT2 + 5, kEditClass, L"", kEdit, 236, 130, 46, 12},
    {2, IDC_FRAME7, kButtonClass, L"Display file size in", kFrame, 14, 150, 312, 62},
    {2, IDC_OPTBYTESIZE, kButtonClass, L"Bytes", kFirstOption, 22, 162, 160, 10},
    {2, IDC_OPTKBSIZE, kButtonClass, L"Kilobytes (Kb)", kOption, 22, 174, 160, 10},
    {2, IDC_OPTMBSIZE, kButtonClass, L"Megabytes (Mb)", kOption, 22, 186, 160, 10},
    {2, IDC_OPTDYNAMICSIZE, kButtonClass, L"Dynamic mode (Auto)", kOption, 22, 198, 160, 10},

    // HTML style options
    {3, IDC_LABEL10, kStaticClass, L"Choose color scheme :", kLabel, 22, 30, 84, 8},
    {3, IDC_COMBO1, WC_COMBOBOXW, L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 110, 28, 120, 120},
    {3, IDC_FRAME9, kButtonClass, L"Body Background", kFrame, 14, 45, 312, 34},
    {3, IDC_LBLBODY, kStaticClass, L"", kSample, 22, 58, 206, 16},
    {3, IDC_CMDBODY, kButtonClass, L"Change", kButton, 236, 59, 84, 14},
    {3, IDC_FRAME10, kButtonClass, L"Folder Header Style", kFrame, 14, 82, 312, 50},
    {3, IDC_LBLFOLDER, kStaticClass, L"C:\\Brown fox", kSample, 22, 95, 206, 30},
    {3, IDC_CMDFOLDERFONT, kButtonClass, L"Folder Font", kButton, 236, 94, 84, 14},
    {3, IDC_CMDFOLDERBACK, kButtonClass, L"Folder Background", kButton, 236, 111, 84, 14},
    {3, IDC_FRAME11, kButtonClass, L"Folder Listing Style", kFrame, 14, 135, 312, 77},
    {3, IDC_LBLFILE, kStaticClass, L"C:\\MP3\\Brown fox - Lazy dog.mp3", kSample, 22, 148, 206, 30},
    {3, IDC_LBLFILEODD, kStaticClass, L"", kSample, 22, 178, 206, 28},
    {3, IDC_CMDFILEFONT, kButtonClass, L"File Font", kButton, 236, 148, 84, 14},
    {3, IDC_CMDFILEROWEVEN, kButtonClass, L"Even Row Background", kButton, 236, 166, 84, 14},
    {3, IDC_CMDFILEROWODD, kButtonClass, L"Odd Row Background", kButton, 236, 184, 84, 14},
    {3, IDC_CHPRINTLAYOUT, kButtonClass, L"Layout for printing: keep colours, do not split rows across pages", kCheck, 14, 217, 306, 10},

    {kOutsidePages, IDC_CHSHELLEXT, kButtonClass, L"Add right-click shell extension to folders", kCheck, 7, 257, 200, 10},
    {kOutsidePages, IDOK, kButtonClass, L"OK", kButton | BS_DEFPUSHBUTTON, 226, 255, 50, 14},
    {kOutsidePages, IDCANCEL, kButtonClass, L"Cancel", kButton, 283, 255, 50, 14},
};

}  // namespace

const ControlPlacement* SettingsDialogControls(std::size_t& count) {
  count = sizeof kControls / sizeof kControls[0];
  return kControls;
}

}  // namespace tessory::settings
