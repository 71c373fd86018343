#include "gui_host.h"

#include "common/cp1251.h"
#include "dialog/dialog_resources.h"

namespace om {
namespace guitest {

namespace {

const UINT kRunOnUi = WM_APP + 1;

struct FindRequest {
  const wchar_t* className;
  std::wstring caption;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM lParam) {
  FindRequest& r = *reinterpret_cast<FindRequest*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (r.className && std::wcscmp(cls, r.className) != 0) return TRUE;
  if (!r.caption.empty() && windowText(hwnd) != r.caption) return TRUE;
  r.found.push_back(hwnd);
  return TRUE;
}

}  // namespace

FpuControl readFpuControl() {
  FpuControl state;
#if defined(__i386__)
  unsigned short control = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  state.x87 = control;
#endif
  unsigned mxcsr = 0;
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  state.mxcsr = mxcsr;
  return state;
}

void writeFpuControl(const FpuControl& state) {
#if defined(__i386__)
  const unsigned short control = static_cast<unsigned short>(state.x87);
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control));
#endif
  const unsigned mxcsr = state.mxcsr;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}

FpuControl hostileFpuControl() {
  FpuControl state;
  // Rounding toward zero (RC 11), 24-bit precision (PC 00), invalid and
  // zero-divide unmasked, the other four exceptions masked.
#if defined(__i386__)
  state.x87 = 0x0C00 | 0x0040 | 0x003A;
#endif
  // Flush to zero, rounding toward zero, invalid and zero-divide unmasked,
  // denormals are zero.
  state.mxcsr = 0x8000 | 0x6000 | 0x1D00 | 0x0040;
  return state;
}

void GuiHost::enterHostState() {
  if (hostile_) writeFpuControl(hostState_);
}

void GuiHost::checkHostState() {
  if (hostile_ && !(readFpuControl() == hostState_)) InterlockedIncrement(&fpuStateChanges_);
}

// One call into the plug-in in the host's state; the calling thread's own
// state comes back afterwards, so the test's code runs as usual.
class GuiHost::Call {
 public:
  explicit Call(GuiHost& host) : host_(host), own_(readFpuControl()) { host_.enterHostState(); }
  ~Call() {
    host_.checkHostState();
    writeFpuControl(own_);
  }

 private:
  GuiHost& host_;
  FpuControl own_;
};

GuiHost::GuiHost() {
  const char* hostile = std::getenv("OM_HOSTILE_FPU");
  hostile_ = hostile && std::string(hostile) == "1";
  hostState_ = hostileFpuControl();
  module_ = LoadLibraryA(pluginPath().c_str());
  if (!module_) return;
  auto pr = reinterpret_cast<TulvanePluginPRFn>(reinterpret_cast<void*>(GetProcAddress(module_, "Tulvane_Plugin_PR")));
  if (!pr) return;
  descriptor_ = pr();
  ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, uiThread, this, 0, nullptr);
  if (thread_) WaitForSingleObject(ready_, 10000);
  channel_.id = 1;
  std::strcpy(channel_.name, "\xCF\xE5\xF0\xE2\xFB\xE9");  // "Первый"
}

GuiHost::~GuiHost() {
  if (hostWindow_) PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
  if (thread_) {
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  if (ready_) CloseHandle(ready_);
  // The module stays loaded: the host window's class and any late message
  // still point into code that must not go away under them.
}

DWORD WINAPI GuiHost::uiThread(void* p) {
  GuiHost& self = *static_cast<GuiHost*>(p);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = hostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = L"OmGuiTestHost";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  self.hostWindow_ = CreateWindowExW(0, wc.lpszClassName, L"TV host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                     720, 560, nullptr, nullptr, wc.hInstance, nullptr);
  SetEvent(self.ready_);
  self.enterHostState();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Keyboard navigation of the modeless dialog needs the host's loop.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    wchar_t cls[16] = {};
    if (root && root != self.hostWindow_ && GetClassNameW(root, cls, 16) && std::wcscmp(cls, L"#32770") == 0 &&
        IsDialogMessageW(root, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    // The dialog's procedures ran in there; the host's state must be back.
    self.checkHostState();
    self.enterHostState();
  }
  return 0;
}

LRESULT CALLBACK GuiHost::hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunOnUi) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void GuiHost::onUiThread(const std::function<void()>& f) {
  SendMessageW(hostWindow_, kRunOnUi, 0, reinterpret_cast<LPARAM>(&f));
}

void GuiHost::configure() {
  onUiThread([this] {
    ConfigureInfo info{hostWindow_};
    Call call(*this);
    descriptor_->configure(&info);
  });
}

void GuiHost::shutdown() {
  onUiThread([this] {
    Call call(*this);
    descriptor_->shutdown();
  });
}

void GuiHost::start() {
  HostInitInfo init{0, [](int64_t) -> int32_t { return 1; }};
  {
    Call call(*this);
    descriptor_->init(&init);
  }
  VideoFormatInfo format{720, 576, 0, 0, 0};
  {
    Call call(*this);
    descriptor_->setFormat(&format);
  }
  processFrame();
}

void GuiHost::processFrame() {
  frame_.assign(720 * 576 * 2, 0);
  for (size_t i = 0; i < frame_.size(); i += 2) {
    frame_[i] = 128;  // grey 4:2:2: Y and chroma alternate, all mid
    frame_[i + 1] = 128;
  }
  FrameInfo info{};
  info.pixels = frame_.data();
  info.channel = &channel_;
  Call call(*this);
  descriptor_->processFrame(&info);
}

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
}

std::wstring windowText(HWND hwnd) {
  wchar_t buf[1024] = {};
  // A message that blocks the UI thread must not hang the test.
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &n))
    return std::wstring();
  return std::wstring(buf);
}

std::wstring controlText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

std::vector<HWND> findWindows(const wchar_t* className, const std::wstring& caption) {
  FindRequest r{className, caption, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&r));
  return r.found;
}

std::wstring fromCp1251(const char* text) {
  const std::u16string w = cp1251ToUtf16(text);
  return std::wstring(w.begin(), w.end());
}

HWND settingsDialog() {
  const std::vector<HWND> found = findWindows(L"#32770", fromCp1251(texts::kDialogCaption));
  return found.size() == 1 ? found[0] : nullptr;
}

HWND ownedDialog(HWND owner) {
  for (HWND w : findWindows(L"#32770", L""))
    if (w != owner && GetWindow(w, GW_OWNER) == owner) return w;
  return nullptr;
}

static void sendMouse(DWORD flags, POINT at) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
}

void pressAt(HWND control, DWORD holdMs) {
  RECT r;
  GetWindowRect(control, &r);
  const POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  sendMouse(MOUSEEVENTF_MOVE, centre);
  Sleep(100);
  if (holdMs == 0) {
    // Press and release in one batch: both are queued before any timer tick.
    INPUT in[2] = {};
    for (INPUT& i : in) {
      i.type = INPUT_MOUSE;
      i.mi.dx = MulDiv(centre.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
      i.mi.dy = MulDiv(centre.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(2, in, sizeof(INPUT));
  } else {
    sendMouse(MOUSEEVENTF_LEFTDOWN, centre);
    Sleep(holdMs);
    sendMouse(MOUSEEVENTF_LEFTUP, centre);
  }
  Sleep(150);
}

}  // namespace guitest
}  // namespace om
