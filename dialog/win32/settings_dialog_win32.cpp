// The settings dialog's Win32 window: the message procedures of the dialog,
// its page, the about box and the mouse hook, which turn messages into
// DialogController calls on the view (dialog_window_win32.h).
#include "dialog/win32/dialog_window_win32.h"

namespace om {

namespace win32_dialog {

// Watches every mouse event of the dialog's thread: the press-and-hold
// buttons act on the left button, and the tooltips see the moves.
LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
  EntryGuard guard;  // the system calls in here with the host's state
  DialogWindow* window = g_window;
  HHOOK hook = window ? window->hook() : nullptr;
  if (code >= 0 && window && lParam) {
    const MOUSEHOOKSTRUCT* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    const UINT message = static_cast<UINT>(wParam);
    const HWND target = mouse->hwnd;
    if (target && GetParent(target) == window->hwnd()) {
      const int32_t id = GetDlgCtrlID(target);
      if (isRepeatButton(id)) {
        DialogController& controller = window->dialog().controller();
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)
          controller.onRepeatButtonDown(id);
        else if (message == WM_LBUTTONUP)
          controller.onRepeatButtonUp(id);
      }
    }
    if (g_window == window && window->tooltip()) {
      MSG relay;
      std::memset(&relay, 0, sizeof relay);
      relay.hwnd = target;
      relay.message = message;
      relay.time = static_cast<DWORD>(GetMessageTime());
      relay.pt = mouse->pt;
      SendMessageW(window->tooltip(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  EntryGuard guard;
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(hwnd, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void drawSwatch(DialogWindow& window, const DRAWITEMSTRUCT& item) {
  const SwatchLook look = window.dialog().controller().swatchLook((item.itemState & ODS_DISABLED) != 0);
  HBRUSH brush = look.fill == SwatchLook::Fill::GreyHatch ? CreateHatchBrush(HS_FDIAGONAL, look.color)
                                                          : CreateSolidBrush(look.color);
  RECT r = item.rcItem;
  if (brush) {
    HGDIOBJ old = SelectObject(item.hDC, brush);
    PatBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, PATCOPY);
    SelectObject(item.hDC, old);
    DeleteObject(brush);
  }
  DrawEdge(item.hDC, &r, EDGE_BUMP, BF_RECT);
}

// The commands of the dialog's controls and of its page's.
void handleCommand(HWND dialog, DialogWindow& window, WPARAM wParam) {
  DialogController& controller = window.dialog().controller();
  const int32_t id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  const SettingControl* setting = settingControlFor(id);
  if (setting && setting->kind == ControlKind::Number) {
    if (code == EN_CHANGE && window.forwardsTextChanges()) {
      window.enterTextChange();
      controller.onNumberTextChanged(id);
      // The window may be gone (the warning box let a close through).
      if (GetWindowLongPtrW(dialog, DWLP_USER) == reinterpret_cast<LONG_PTR>(&window))
        window.leaveTextChange();
    }
    return;
  }
  if ((setting && setting->kind == ControlKind::Choice) || id == kIdLayerList) {
    if (code == CBN_SELCHANGE) controller.onCommand(id);
    return;
  }
  // The press-and-hold buttons act through the mouse hook only; IDOK and
  // IDCANCEL from the dialog manager reach the controller, which ignores them.
  if (code == BN_CLICKED && !isRepeatButton(id)) controller.onCommand(id);
}

// The page's controls tell their parent, the page: their commands go where
// the dialog's own go.
INT_PTR CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  EntryGuard guard;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return TRUE;
  }
  DialogWindow* window = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (message == WM_DESTROY) SetWindowLongPtrW(hwnd, DWLP_USER, 0);
  if (message != WM_COMMAND || !window || g_window != window) return FALSE;
  handleCommand(window->hwnd(), *window, wParam);
  return TRUE;
}

// Every message of the dialog, its timers and its painting come through here
// from the host's message loop, under whatever FPU state the host keeps.
INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  EntryGuard guard;
  DialogWindow* window = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (message == WM_INITDIALOG) {
    window = reinterpret_cast<DialogWindow*>(lParam);
    g_pending = nullptr;  // freed at WM_NCDESTROY from now on
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(window));
    window->attach(hwnd);
    g_window = window;
    window->dialog().controller().onInitDialog(window->model(), *window);
    return TRUE;
  }
  if (!window) return FALSE;
  DialogController& controller = window->dialog().controller();
  switch (message) {
    case WM_PLUGIN_NOTIFY:
      controller.onNotify(static_cast<int32_t>(wParam));
      return TRUE;
    case WM_COMMAND:
      handleCommand(hwnd, *window, wParam);
      return TRUE;
    case WM_TIMER:
      controller.onTimer(static_cast<int32_t>(wParam));
      return TRUE;
    case WM_DRAWITEM:
      if (wParam == static_cast<WPARAM>(kIdColorSwatch) && lParam) {
        drawSwatch(*window, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      controller.onClose();
      return TRUE;
    case WM_DESTROY:
      controller.onDestroy();
      return FALSE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      if (g_window == window) g_window = nullptr;
      delete window;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace win32_dialog

using namespace win32_dialog;

SettingsDialog::~SettingsDialog() {
  if (g_glyphFont) DeleteObject(g_glyphFont);
  g_glyphFont = nullptr;
}

void SettingsDialog::open(DialogModel& model, void* parentWindow) {
  if (window_) {
    SetFocus(static_cast<HWND>(window_));
    controller_.startFlash(2);
    return;
  }
  // A stale host handle would make the creation fail and show nothing: the
  // dialog is then made without an owner.
  HWND parent = static_cast<HWND>(parentWindow);
  if (parent && !IsWindow(parent)) parent = nullptr;

  INITCOMMONCONTROLSEX classes;
  classes.dwSize = sizeof classes;
  classes.dwICC = ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&classes);

  DialogWindow* window = new (std::nothrow) DialogWindow(*this, model, parent);
  if (!window) return;
  g_pending = window;
  HWND hwnd = CreateDialogParamW(platform::pluginModule(), MAKEINTRESOURCEW(kSettingsDialogTemplate), parent,
                                 dialogProc, reinterpret_cast<LPARAM>(window));
  if (g_pending == window) {
    // The template never reached WM_INITDIALOG: nobody else owns the view.
    g_pending = nullptr;
    delete window;
    if (hwnd) DestroyWindow(hwnd);
    return;
  }
  if (!hwnd) return;
  ShowWindow(hwnd, SW_SHOW);
}

void SettingsDialog::destroyWindow() {
  if (window_) DestroyWindow(static_cast<HWND>(window_));
}

}  // namespace om
