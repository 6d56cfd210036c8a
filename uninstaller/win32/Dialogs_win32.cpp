#include "Dialogs_win32.h"

#include "RunRules.h"
#include "Text_win32.h"
#include "resource.h"

namespace corvel {

namespace {

struct SharedArgs {
    const StringTable* strings;
    std::string ansiPath;
};

INT_PTR CALLBACK sharedFileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* args = reinterpret_cast<const SharedArgs*>(lParam);
        TextBuffer text = args->strings->lookup(record::kSharedFileText);
        substituteFirst(text, TextBuffer(ansiToUtf8(args->ansiPath)));
        setWindowTextUtf8(GetDlgItem(dialog, IDC_SHARED_TEXT), text.str());
        const std::pair<int, int32_t> captions[] = {{IDC_SHARED_YES, record::kYesCaption},
                                                    {IDC_SHARED_NO, record::kNoCaption},
                                                    {IDC_SHARED_YES_TO_ALL, record::kYesToAllCaption},
                                                    {IDC_SHARED_NO_TO_ALL, record::kNoToAllCaption}};
        for (const auto& c : captions) setWindowTextUtf8(GetDlgItem(dialog, c.first), args->strings->lookup(c.second).str());
        // The focus would go to the first button, "Yes to all"; Enter must mean the default "Yes".
        SetFocus(GetDlgItem(dialog, IDC_SHARED_YES));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SHARED_YES:
        case IDC_SHARED_NO:
        case IDC_SHARED_YES_TO_ALL:
        case IDC_SHARED_NO_TO_ALL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default:
            // Escape (IDCANCEL) leaves the question open.
            return TRUE;
        }
    case WM_CLOSE:
        return TRUE;
    default:
        return FALSE;
    }
}

HBRUSH whiteBrush() {
    static const HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
    return brush;
}

INT_PTR CALLBACK detailsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* content = reinterpret_cast<const DetailsContent*>(lParam);
        HWND edit = GetDlgItem(dialog, IDC_DETAILS_TEXT);
        setWindowTextUtf8(edit, content->textUtf8);
        SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
        setWindowTextUtf8(GetDlgItem(dialog, IDOK), content->closeCaptionUtf8);
        setWindowTextUtf8(dialog, content->titleUtf8);
        return TRUE;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(whiteBrush());
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) EndDialog(dialog, 1);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR runDialog(HINSTANCE instance, int id, HWND owner, DLGPROC proc, LPARAM param) {
    if (ntFamily()) return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), owner, proc, param);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, proc, param);
}

}  // namespace

int askRemoveSharedFile(HINSTANCE instance, HWND owner, const StringTable& strings, const std::string& ansiPath) {
    SharedArgs args{&strings, ansiPath};
    return static_cast<int>(runDialog(instance, IDD_SHARED_FILE, owner, sharedFileProc, reinterpret_cast<LPARAM>(&args)));
}

DetailsContent makeDetailsContent(const StringTable& strings, const RemovalLogs& logs,
                                  const std::string& closeButtonText, const std::string& detailsButtonText) {
    const TextBuffer headings[3] = {strings.lookup(record::kFilesHeading), strings.lookup(record::kDirectoriesHeading),
                                    strings.lookup(record::kKeysHeading)};
    const TextBuffer converted[3] = {TextBuffer(ansiToUtf8(logs.files.str())),
                                     TextBuffer(ansiToUtf8(logs.directories.str())),
                                     TextBuffer(ansiToUtf8(logs.keys.str()))};
    DetailsContent content;
    content.textUtf8 = buildDetailsText(headings, converted).str();
    content.closeCaptionUtf8 = closeButtonText;
    content.titleUtf8 = stripCaptionMarks(limitCaption(TextBuffer(detailsButtonText), 255)).str();
    return content;
}

void showDetails(HINSTANCE instance, HWND owner, const DetailsContent& content) {
    runDialog(instance, IDD_DETAILS, owner, detailsProc, reinterpret_cast<LPARAM>(&content));
}

}  // namespace corvel
