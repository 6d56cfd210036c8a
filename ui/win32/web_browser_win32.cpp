#include "web_browser_win32.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>

#include "platform/win32/wide_text_win32.h"
#include "system_libraries_win32.h"

namespace tessory::ui {

namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

HMODULE AtlModule() {
  static HMODULE atl = LoadSystemLibrary(L"atl.dll");
  return atl;
}

template <typename T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

}  // namespace

WebBrowserHost::~WebBrowserHost() {
  Release(activeObject_);
  Release(browser_);
}

bool OfferKeyToBrowser(IOleInPlaceActiveObject* active, HWND browserWindow, MSG& msg) {
  if (!active || !browserWindow || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.hwnd != browserWindow && !IsChild(browserWindow, msg.hwnd)) return false;
  return active->TranslateAccelerator(&msg) == S_OK;
}

bool WebBrowserHost::TranslateKey(MSG& msg) {
  // Asked for at the first keystroke: the control is in place by then.
  if (!activeObject_ && browser_)
    browser_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&activeObject_));
  return OfferKeyToBrowser(activeObject_, window_, msg);
}

bool WebBrowserHost::Create(HWND parent, int id) {
  const HMODULE atl = AtlModule();
  if (!atl) return false;
  const auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  const auto getControl =
      reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  if (!init || !getControl || !init()) return false;
  window_ = CreateWindowExW(0, L"AtlAxWin", L"Shell.Explorer.2", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!window_) return false;
  IUnknown* control = nullptr;
  if (SUCCEEDED(getControl(window_, &control)) && control) {
    control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
    control->Release();
  }
  return true;
}

void WebBrowserHost::Navigate(const std::string& path) {
  if (!browser_) return;
  VARIANT target;
  VariantInit(&target);
  target.vt = VT_BSTR;
  target.bstrVal = SysAllocString(Widen(path).c_str());
  browser_->Navigate2(&target, nullptr, nullptr, nullptr, nullptr);
  VariantClear(&target);
}

bool WebBrowserHost::RootInnerHtml(std::wstring& markup) {
  if (!browser_) return false;
  IDispatch* document = nullptr;
  IHTMLDocument3* document3 = nullptr;
  IHTMLElement* root = nullptr;
  BSTR inner = nullptr;
  bool ok = SUCCEEDED(browser_->get_Document(&document)) && document &&
            SUCCEEDED(document->QueryInterface(IID_IHTMLDocument3, reinterpret_cast<void**>(&document3))) &&
            SUCCEEDED(document3->get_documentElement(&root)) && root && SUCCEEDED(root->get_innerHTML(&inner));
  if (ok) markup.assign(inner ? inner : L"", inner ? SysStringLen(inner) : 0);
  SysFreeString(inner);
  Release(root);
  Release(document3);
  Release(document);
  return ok;
}

void WebBrowserHost::Print() {
  if (browser_) browser_->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER, nullptr, nullptr);
}

}  // namespace tessory::ui
