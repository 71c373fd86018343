// The settings dialog's view over its Win32 controls: DialogView for a
// modeless dialog from template 5000 and the page of further settings. Its
// message procedures (settings_dialog_win32.cpp) turn the window's messages
// into DialogController calls; behaviour lives in the controller.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/cp1251.h"
#include "common/notify.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_model.h"
#include "dialog/dialog_view.h"
#include "dialog/preview_pane.h"
#include "dialog/setting_controls.h"
#include "dialog/settings_dialog.h"
#include "platform/entry_guard.h"
#include "platform/location.h"
#include "platform/win32/win32_module.h"

namespace om {
namespace win32_dialog {

inline constexpr int32_t kGlyphButtons[] = {kIdMoveLeft, kIdMoveRight, kIdMoveUp,      kIdMoveDown,   kIdTopLeft,
                                 kIdBottomLeft, kIdTopRight, kIdBottomRight, kIdHiddenGlyph};
inline constexpr int32_t kTooltipControls[] = {kIdPreview,    kIdColorKeyEnable, kIdLeftTopPixel,
                                    kIdColorSwatch, kIdChooseLogo,     kIdRemoveLogo};

inline std::wstring fromCp1251(const char* text) {
  const std::u16string wide = cp1251ToUtf16(text ? text : "");
  return std::wstring(wide.begin(), wide.end());
}

// Kept for the module's life: the glyph font, the file box's record (so it
// reopens on the file chosen last) and the colour box's custom colours.
inline HFONT g_glyphFont = nullptr;
inline OPENFILENAMEA g_openFile;
inline bool g_openFileReady = false;
inline char g_openFilePath[4096];
inline COLORREF g_customColors[16];

inline HFONT glyphFont() {
  if (!g_glyphFont)
    g_glyphFont = CreateFontA(12, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Marlett");
  return g_glyphFont;
}

// The dialog's caption for its message boxes: the module's own name, as a
// framework would take it for the application name.
inline std::wstring messageCaption() { return platform::widen(platform::moduleBaseName().c_str(), CP_ACP); }

// The preview control's bitmap: a 32-bit bottom-up DIB section whose bits
// the platform-free pane draws into, handed to the control as its image so
// its own repaints show the same pixels.
class Win32PreviewPane : public PreviewPane {
 public:
  Win32PreviewPane(HWND control, int32_t width, int32_t height, HBITMAP bitmap, uint32_t* bits)
      : PreviewPane(width, height, bits), control_(control), bitmap_(bitmap) {
    SendMessageW(control_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
  }
  ~Win32PreviewPane() override {
    SendMessageW(control_, STM_SETIMAGE, IMAGE_BITMAP, 0);
    DeleteObject(bitmap_);
  }
  HBITMAP bitmap() const { return bitmap_; }

 private:
  HWND control_;
  HBITMAP bitmap_;
};

class DialogWindow;
inline DialogWindow* g_window = nullptr;   // the one open dialog; UI thread only
inline DialogWindow* g_pending = nullptr;  // being created, before WM_INITDIALOG owns it

LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM);
INT_PTR CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class DialogWindow : public DialogView {
 public:
  DialogWindow(SettingsDialog& dialog, DialogModel& model, HWND parent)
      : dialog_(dialog), model_(model), parent_(parent) {}

  SettingsDialog& dialog() { return dialog_; }
  DialogModel& model() { return model_; }
  HWND hwnd() const { return hwnd_; }
  void attach(HWND hwnd) { hwnd_ = hwnd; }
  HHOOK hook() const { return hook_; }
  HWND tooltip() const { return tooltip_; }
  // Text changes the view makes itself while setting up are not the user's.
  bool forwardsTextChanges() const { return !settingUp_ && textChangeDepth_ < 4; }
  void enterTextChange() { ++textChangeDepth_; }
  void leaveTextChange() { --textChangeDepth_; }

  void* windowHandle() const override { return hwnd_; }

  Rect windowRect() const override { return screenRect(hwnd_); }
  Rect hostWindowRect() const override {
    if (parent_ && IsWindow(parent_)) return screenRect(parent_);
    const ScreenSize s = screenSize();
    return Rect{0, 0, s.width, s.height};
  }
  ScreenSize screenSize() const override {
    ScreenSize s;
    s.width = GetSystemMetrics(SM_CXSCREEN);
    s.height = GetSystemMetrics(SM_CYSCREEN);
    return s;
  }
  void moveWindow(int32_t x, int32_t y) override {
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void setUpControls() override {
    settingUp_ = true;
    if (HFONT font = glyphFont()) {
      for (const int32_t id : kGlyphButtons)
        SendDlgItemMessageW(hwnd_, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    const HMODULE module = platform::pluginModule();
    const struct { int32_t control, icon; } icons[] = {{kIdChooseLogo, kChooseLogoIcon},
                                                       {kIdRemoveLogo, kRemoveLogoIcon}};
    for (const auto& i : icons) {
      HANDLE icon = LoadImageA(module, MAKEINTRESOURCEA(i.icon), IMAGE_ICON, 0, 0, LR_SHARED);
      if (icon) SendDlgItemMessageW(hwnd_, i.control, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
    createMorePage();
    for (size_t i = 0; i < kSettingControlCount; ++i) setUpSettingControl(kSettingControls[i]);
    createTooltips();
    hook_ = SetWindowsHookExW(WH_MOUSE, mouseHookProc, nullptr, GetCurrentThreadId());
    settingUp_ = false;
  }

  // A setting's up-down (its buddy, range and the edit's text limit) or
  // list items.
  void setUpSettingControl(const SettingControl& c) {
    const HWND edit = control(c.id);
    if (c.kind == ControlKind::Number) {
      const HWND spin = control(c.spinId);
      // The template's auto-buddy has usually done this already; setting it
      // again would narrow the edit a second time.
      if (SendMessageW(spin, UDM_GETBUDDY, 0, 0) != reinterpret_cast<LRESULT>(edit))
        SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
      SendMessageW(spin, UDM_SETRANGE, 0, MAKELPARAM(c.max(), c.min()));
      SendMessageW(edit, EM_LIMITTEXT, std::to_string(c.max()).size(), 0);
    } else if (c.kind == ControlKind::Choice) {
      SendMessageW(edit, CB_RESETCONTENT, 0, 0);
      for (int32_t item = 0; item <= c.max(); ++item)
        SendMessageW(edit, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(fromCp1251(c.items[item]).c_str()));
    }
  }

  // The page of further settings: a child of the dialog beside its own
  // controls, shown by widening the window.
  void createMorePage() {
    page_ = CreateDialogParamW(platform::pluginModule(), MAKEINTRESOURCEW(kMorePageTemplate), hwnd_,
                               pageProc, reinterpret_cast<LPARAM>(this));
    if (!page_) return;
    RECT client = {0, 0, 0, 0}, pageRect = {0, 0, 0, 0};
    GetClientRect(hwnd_, &client);
    GetWindowRect(page_, &pageRect);
    pageWidth_ = pageRect.right - pageRect.left;
    SetWindowPos(page_, nullptr, client.right, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void showMorePage(bool shown) override {
    if (!page_ || shown == (IsWindowVisible(page_) != FALSE)) return;
    const Rect r = screenRect(hwnd_);
    const int32_t width = r.width() + (shown ? pageWidth_ : -pageWidth_);
    SetWindowPos(hwnd_, nullptr, 0, 0, width, r.height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(page_, shown ? SW_SHOWNA : SW_HIDE);
  }

  void tearDownControls() override {
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
    tooltip_ = nullptr;
  }

  std::unique_ptr<PreviewPane> createPreviewPane() override {
    const HWND control = GetDlgItem(hwnd_, kIdPreview);
    RECT client = {0, 0, 0, 0};
    if (!control || !GetClientRect(control, &client) || client.right <= 0 || client.bottom <= 0)
      return nullptr;
    // The header and one zero colour entry; positive height: bottom-up rows.
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[1];
    } info;
    std::memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = client.right;
    info.header.biHeight = client.bottom;
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    if (!bitmap || !bits) {
      if (bitmap) DeleteObject(bitmap);
      return nullptr;
    }
    return std::unique_ptr<PreviewPane>(new Win32PreviewPane(control, client.right, client.bottom, bitmap,
                                                             static_cast<uint32_t*>(bits)));
  }

  void presentPreview(PreviewPane& pane) override {
    const HWND control = GetDlgItem(hwnd_, kIdPreview);
    if (!control) return;
    GdiFlush();  // the pane wrote the DIB's bits directly
    HDC dc = GetDC(control);
    if (!dc) return;
    if (HDC memory = CreateCompatibleDC(dc)) {
      HGDIOBJ old = SelectObject(memory, static_cast<Win32PreviewPane&>(pane).bitmap());
      BitBlt(dc, 0, 0, pane.width(), pane.height(), memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
    }
    ReleaseDC(control, dc);
  }

  // A control of the dialog or of its page.
  HWND control(int32_t id) const {
    HWND found = GetDlgItem(hwnd_, id);
    if (!found && page_) found = GetDlgItem(page_, id);
    return found;
  }

  void setCheck(int32_t id, bool checked) override {
    SendMessageW(control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  bool isChecked(int32_t id) const override {
    return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  void setListItems(int32_t id, const std::vector<std::string>& items) override {
    const HWND list = control(id);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fromCp1251(item.c_str()).c_str()));
  }
  void setChoice(int32_t id, int32_t index) override { SendMessageW(control(id), CB_SETCURSEL, index, 0); }
  int32_t choice(int32_t id) const override {
    return static_cast<int32_t>(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
  }

  void setText(int32_t id, const std::string& text, TextEncoding encoding) override {
    // The system's own texts are 1251 whatever the ANSI code page is; file
    // names came from the narrow file box, so they are in the ANSI code page.
    if (encoding == TextEncoding::Cp1251)
      SetWindowTextW(control(id), fromCp1251(text.c_str()).c_str());
    else
      SetWindowTextA(control(id), text.c_str());
  }

  std::string text(int32_t id) const override {
    const HWND edit = control(id);
    const int n = edit ? GetWindowTextLengthA(edit) : 0;
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(edit, &out[0], n + 1);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
  }

  void setEnabled(int32_t id, bool enabled) override {
    if (HWND found = control(id)) EnableWindow(found, enabled ? TRUE : FALSE);
  }

  void setSpinPosition(int32_t spinId, int32_t position) override {
    SendMessageW(control(spinId), UDM_SETPOS, 0, MAKELPARAM(position, 0));
  }

  void repaintSwatch() override {
    if (HWND swatch = GetDlgItem(hwnd_, kIdColorSwatch))
      RedrawWindow(swatch, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }

  void postNotify(int32_t code) override {
    PostMessageW(hwnd_, WM_PLUGIN_NOTIFY, static_cast<WPARAM>(code), 0);
  }
  void postClose() override { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }
  // The window procedure frees this object at WM_NCDESTROY: nothing of it
  // may be touched after DestroyWindow.
  void destroyWindow() override { DestroyWindow(hwnd_); }
  void startTimer(int32_t id, uint32_t periodMs) override { SetTimer(hwnd_, static_cast<UINT_PTR>(id), periodMs, nullptr); }
  void stopTimer(int32_t id) override { KillTimer(hwnd_, static_cast<UINT_PTR>(id)); }
  void flashCaption() override { FlashWindow(hwnd_, TRUE); }

  bool chooseLogoFile(const std::string& filter, std::string& path) override {
    if (!g_openFileReady) {
      std::memset(&g_openFile, 0, sizeof g_openFile);
      g_openFile.lStructSize = sizeof g_openFile;
      g_openFile.lpstrFile = g_openFilePath;
      g_openFile.nMaxFile = sizeof g_openFilePath;
      g_openFileReady = true;
    }
    g_openFile.hwndOwner = hwnd_;
    g_openFile.hInstance = nullptr;
    g_openFile.lpstrFilter = filter.c_str();  // alive until the box has closed
    g_openFile.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    BOOL ok = GetOpenFileNameA(&g_openFile);
    if (!ok && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
      // The name kept from last time is no longer acceptable: start afresh
      // instead of never opening again.
      g_openFilePath[0] = '\0';
      ok = GetOpenFileNameA(&g_openFile);
    }
    g_openFile.lpstrFilter = nullptr;
    if (!ok) return false;
    g_openFilePath[sizeof g_openFilePath - 1] = '\0';
    path = g_openFilePath;
    return !path.empty();
  }

  bool chooseColor(uint32_t initial, uint32_t& chosen) override {
    CHOOSECOLORA cc;
    std::memset(&cc, 0, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = hwnd_;
    cc.rgbResult = initial;
    cc.lpCustColors = g_customColors;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorA(&cc)) return false;
    chosen = cc.rgbResult;
    return true;
  }

  void showRangeWarning(const char* text) override {
    MessageBoxW(hwnd_, fromCp1251(text).c_str(), messageCaption().c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

  void showAbout() override {
    DialogBoxParamW(platform::pluginModule(), MAKEINTRESOURCEW(kAboutDialogTemplate), nullptr, aboutProc, 0);
  }

 private:
  static Rect screenRect(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd, &r);
    return Rect{r.left, r.top, r.right, r.bottom};
  }

  void createTooltips() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               platform::pluginModule(), nullptr);
    if (!tooltip_) return;
    for (const int32_t id : kTooltipControls) {
      const HWND control = GetDlgItem(hwnd_, id);
      if (!control) continue;
      std::wstring tip = fromCp1251(texts::tooltipFor(id));
      TTTOOLINFOW tool;
      std::memset(&tool, 0, sizeof tool);
      // The size common controls 5 know, so the tools register without a manifest too.
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.uFlags = TTF_IDISHWND;
      tool.hwnd = hwnd_;
      tool.uId = reinterpret_cast<UINT_PTR>(control);
      tool.lpszText = &tip[0];
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
  }

  SettingsDialog& dialog_;
  DialogModel& model_;
  HWND parent_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND page_ = nullptr;
  int32_t pageWidth_ = 0;
  HHOOK hook_ = nullptr;
  bool settingUp_ = false;
  int textChangeDepth_ = 0;
};

}  // namespace win32_dialog
}  // namespace om
