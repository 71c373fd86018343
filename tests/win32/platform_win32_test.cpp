// The Win32 platform layer: lock, reading regular files, atomic save, location inputs with the
// registry switch, the dialog notification, the no-SSE message and the
// entry guard.
#include <gtest/gtest.h>
#include <windows.h>
#include <cpuid.h>
#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include <string>
#include <vector>

#include "common/cpu.h"
#include "common/notify.h"
#include "platform/files.h"
#include "platform/dialog_messages.h"
#include "platform/location.h"
#include "platform/lock.h"
#include "platform/win32/win32_module.h"
#include "platform/entry_guard.h"
#include "platform/win32/platform_win32.h"
#include "settings/settings_location.h"
#include "win32_test_support.h"

namespace om {
namespace {

using wintest::TempFolder;

struct Counter {
  platform::Lock lock;
  long value = 0;
};

DWORD WINAPI countUnderLock(void* arg) {
  auto* c = static_cast<Counter*>(arg);
  for (int i = 0; i < 200000; ++i) {
    platform::LockGuard guard(c->lock);
    c->value = c->value + 1;
  }
  return 0;
}

TEST(Win32Platform, LockExcludesOtherThreads) {
  Counter counter;
  HANDLE threads[2];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, countUnderLock, &counter, 0, nullptr);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(counter.value, 400000);
}

TEST(Win32Platform, OnlyTheLastFolderLevelIsCreated) {
  TempFolder temp;
  const std::string level = temp.file("Plugins");
  platform::createDirectory(level);
  EXPECT_TRUE(wintest::folderExists(level));
  platform::createDirectory(level);  // existing: ignored
  EXPECT_TRUE(wintest::folderExists(level));
  platform::createDirectory(temp.file("Instances\\b\\Plugins"));
  EXPECT_FALSE(wintest::folderExists(temp.file("Instances"))) << "a missing parent is not created";
  EXPECT_EQ(platform::pathSeparator(), '\\');
}

// A folder named outside the system code page (Greek and CJK on a Russian or
// Western system) is still reached, by its short name, and a settings file
// saved there reads back; a name the page can write stays as it is.
TEST(Win32Platform, PathsOutsideTheCodePageGoByTheirShortName) {
  TempFolder temp;
  const std::wstring folder = platform::widen(temp.path().c_str(), CP_ACP) + L"\\\x03A9\x6F22\x5B57";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::string ansi = platform::ansiPath(folder.c_str());
  ASSERT_FALSE(ansi.empty());
  EXPECT_EQ(ansi.find('?'), std::string::npos) << ansi;
  const std::string path = ansi + "\\Ostrane_Marquel.ini";
  ASSERT_TRUE(platform::writeFileAtomically(path, "[COMMON]\r\n"));
  EXPECT_EQ(wintest::readFileBytes(path), "[COMMON]\r\n");
  DeleteFileW((folder + L"\\Ostrane_Marquel.ini").c_str());  // the A calls that clear temp cannot name them
  RemoveDirectoryW(folder.c_str());
  EXPECT_EQ(platform::ansiPath(platform::widen(temp.path().c_str(), CP_ACP).c_str()), temp.path());
}

// The temporary file must never outlive a save, whatever happened.
std::vector<std::string> leftovers(const TempFolder& temp) { return wintest::listFolder(temp.path(), "*.tmp"); }

TEST(Win32Platform, AtomicWriteCreatesAndReplaces) {
  TempFolder temp;
  const std::string path = temp.file("Ostrane_Marquel.ini");
  ASSERT_TRUE(platform::writeFileAtomically(path, "[COMMON]\r\nShowLogo=1\r\n"));
  EXPECT_EQ(wintest::readFileBytes(path), "[COMMON]\r\nShowLogo=1\r\n");
  ASSERT_TRUE(platform::writeFileAtomically(path, "second"));
  EXPECT_EQ(wintest::readFileBytes(path), "second") << "shorter content fully replaces the old";
  ASSERT_TRUE(platform::writeFileAtomically(path, std::string()));
  EXPECT_EQ(wintest::readFileBytes(path), "");
  EXPECT_TRUE(wintest::fileExists(path));
  EXPECT_TRUE(leftovers(temp).empty());
}

TEST(Win32Platform, AtomicWriteFailureLeavesTheOldFile) {
  TempFolder temp;
  const std::string path = temp.file("locked.ini");
  ASSERT_TRUE(platform::writeFileAtomically(path, "old"));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::writeFileAtomically(path, "new"));
  EXPECT_EQ(wintest::readFileBytes(path), "old");
  EXPECT_TRUE(leftovers(temp).empty());
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_FALSE(platform::writeFileAtomically(temp.file("missing\\x.ini"), "data"));
  EXPECT_FALSE(platform::writeFileAtomically(std::string(), "data"));
  CreateDirectoryA(temp.file("folder.ini").c_str(), nullptr);
  EXPECT_FALSE(platform::writeFileAtomically(temp.file("folder.ini"), "data"));
  EXPECT_TRUE(wintest::folderExists(temp.file("folder.ini")));
  EXPECT_TRUE(leftovers(temp).empty());
}

// Pictures and settings are read from disk files only: a device name would
// block or never end, and the program writing the file must never find it
// locked by us.
TEST(Win32Platform, RegularFilesOnlyAndSharedWithTheirWriter) {
  TempFolder temp;
  for (const std::string& device :
       {std::string("NUL"), std::string("con"), temp.file("COM1.png"), temp.file("nul.gif"),
        temp.file("LPT9 .bmp"), std::string("\\\\.\\pipe\\logo"),
        std::string("\\\\?\\GLOBALROOT\\Device\\Null"), temp.path()}) {
    platform::RegularFile file;
    EXPECT_FALSE(file.open(device)) << device;
    EXPECT_FALSE(file.missing()) << device;
  }
  platform::RegularFile absent;
  EXPECT_FALSE(absent.open(temp.file("absent.png")));
  EXPECT_TRUE(absent.missing());
  EXPECT_TRUE(platform::folderOfFileReachable(temp.file("absent.png")));
  EXPECT_FALSE(platform::folderOfFileReachable(temp.file("no folder\\absent.png")));

  const std::string path = temp.file("console.png");  // a name that only starts like one
  ASSERT_TRUE(platform::writeFileAtomically(path, "0123456789"));
  platform::RegularFile file;
  ASSERT_TRUE(file.open(path));
  EXPECT_EQ(file.size(), 10u);
  const HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE) << "the writer is not blocked by our reading";
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  char bytes[16] = {};
  EXPECT_EQ(file.read(bytes, sizeof bytes), 10u);
  EXPECT_FALSE(file.failed());
  EXPECT_EQ(std::string(bytes), "0123456789");
}

TEST(Win32Platform, LocationInputsComeFromTheProcess) {
  const platform::LocationInputs in = platform::readLocationInputs();
  ASSERT_TRUE(in.versionKnown);
  EXPECT_TRUE(in.ntFamily);
  const std::string exe = wintest::thisExecutable();
  EXPECT_EQ(in.exeFolder, exe.substr(0, exe.rfind('\\') + 1));
  EXPECT_EQ(in.commandLine, std::string(GetCommandLineA()));
  // The module holding this code: here the test program, in a host the DLL.
  EXPECT_EQ(in.moduleBaseName, "win32_tests");
  EXPECT_FALSE(in.appDataFolder.empty());
  EXPECT_TRUE(wintest::folderExists(in.appDataFolder)) << in.appDataFolder;
  EXPECT_NE(in.appDataFolder.back(), '\\');
}

// Set and cleared with Wine's own reg.exe, as an installer would.
class RegistrySwitch : public ::testing::Test {
 protected:
  static int reg(const std::string& args) { return wintest::runProcess("reg.exe " + args); }
  void TearDown() override { reg("delete HKLM\\SOFTWARE\\Tulvane /f"); }
};

TEST_F(RegistrySwitch, StoreInUsersFolderMovesTheFile) {
  reg("delete HKLM\\SOFTWARE\\Tulvane /f");
  EXPECT_EQ(platform::readLocationInputs().storeInUsersFolder, 0u) << "no key reads as 0";

  ASSERT_EQ(reg("add HKLM\\SOFTWARE\\Tulvane /v StoreInUsersFolder /t REG_DWORD /d 1 /f"), 0);
  platform::LocationInputs in = platform::readLocationInputs();
  EXPECT_EQ(in.storeInUsersFolder, 1u);
  const SettingsLocation users = computeSettingsLocation(in, platform::pathSeparator());
  EXPECT_EQ(users.path, in.appDataFolder + "\\Tulvane\\Plugins\\win32_tests.ini");

  ASSERT_EQ(reg("add HKLM\\SOFTWARE\\Tulvane /v StoreInUsersFolder /t REG_DWORD /d 0 /f"), 0);
  in = platform::readLocationInputs();
  EXPECT_EQ(in.storeInUsersFolder, 0u);
  EXPECT_EQ(computeSettingsLocation(in, platform::pathSeparator()).path,
            in.exeFolder + "Plugins\\win32_tests.ini");

  ASSERT_EQ(reg("add HKLM\\SOFTWARE\\Tulvane /v Other /t REG_DWORD /d 1 /f"), 0);
  EXPECT_EQ(platform::readLocationInputs().storeInUsersFolder, 0u) << "key without the value reads as 0";
}

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcA(window, message, w, l);
}

HWND createMessageWindow() {
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.lpfnWndProc = plainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "om_notify_test";
  RegisterClassA(&wc);
  return CreateWindowA("om_notify_test", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

TEST(Win32Platform, NotifyIsPostedWithTheCode) {
  const HWND window = createMessageWindow();
  if (!window) GTEST_SKIP() << "no window station";
  platform::postDialogNotify(window, kNotifyPreview);
  platform::postDialogNotify(nullptr, kNotifyEverything);  // no dialog: nothing happens
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) << "posted, not sent";
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PLUGIN_NOTIFY));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(kNotifyPreview));
  EXPECT_EQ(msg.lParam, 0);
  EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
  DestroyWindow(window);
}

// The message box is read and closed from a hook as soon as it appears.
std::wstring g_boxText, g_boxCaption;
HHOOK g_hook = nullptr;

LRESULT CALLBACK readBoxHook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(w);
    wchar_t text[512] = {}, caption[128] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    GetWindowTextW(box, caption, 128);
    g_boxText = text;
    g_boxCaption = caption;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(g_hook, code, w, l);
}

const wchar_t kNoSseText[] =
    L"      \x041D\x0430\x0441\x0442\x0440\x043E\x0439\x043A\x0438 \x043F\x043B\x0430\x0433\x0438\x043D\x0430 "
    L"\x043D\x0435\x0434\x043E\x0441\x0442\x0443\x043F\x043D\x044B. \n"
    L"\x041F\x0440\x043E\x0446\x0435\x0441\x0441\x043E\x0440 \x043D\x0435 "
    L"\x043F\x043E\x0434\x0434\x0435\x0440\x0436\x0438\x0432\x0430\x0435\x0442 "
    L"\x043A\x043E\x043C\x0430\x043D\x0434\x044B SSE.";
const wchar_t kCaption[] = L"\x041B\x043E\x0433\x043E\x0442\x0438\x043F";

// Whatever the system code page, the box shows the Russian text.
TEST(Win32Platform, NoSseMessageIsTheRussianText) {
  EXPECT_EQ(platform::noSseMessageText(), kNoSseText);
  EXPECT_EQ(platform::noSseMessageCaption(), kCaption);

  g_hook = SetWindowsHookExW(WH_CBT, readBoxHook, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  platform::showNoSseMessage(nullptr);
  UnhookWindowsHookEx(g_hook);
  if (g_boxText.empty()) GTEST_SKIP() << "no display: the box itself could not be shown";
  EXPECT_EQ(g_boxText, kNoSseText);
  EXPECT_EQ(g_boxCaption, kCaption);
}

TEST(Win32EntryGuard, ResourceModuleIsOursInsideAndTheCallersAfter) {
  const HMODULE self = platform::pluginModule();
  EXPECT_EQ(self, GetModuleHandleA(nullptr)) << "linked into the test program";
  EXPECT_EQ(platform::resourceModule(), self);
  {
    EntryGuard outer;
    EXPECT_EQ(platform::resourceModule(), self);
    {
      EntryGuard inner;
      EXPECT_EQ(platform::resourceModule(), self);
    }
    EXPECT_EQ(platform::resourceModule(), self);
  }
  EXPECT_EQ(platform::resourceModule(), self);
}

// A host that unmasks FP exceptions must not see our 0/0 trap, and gets its
// own control state back.
#if defined(__i386__)
// General code on i686 does its double arithmetic on the x87 unit.
unsigned short x87Control() {
  unsigned short control = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  return control;
}
void setX87Control(unsigned short control) { __asm__ __volatile__("fldcw %0" : : "m"(control)); }
unsigned short x87Status() {
  unsigned short status = 0;
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  return status;
}

TEST(Win32EntryGuard, MasksFloatingPointExceptionsAndRestores) {
  const unsigned short original = x87Control();
  // Invalid and zero-divide unmasked, 64-bit precision.
  const unsigned short hostile = static_cast<unsigned short>((original & ~0x033Fu) | 0x033Au);
  setX87Control(hostile);
  double quiet = 0;
  {
    EntryGuard guard;
    EXPECT_EQ(x87Control() & 0x0F3Fu, 0x023Fu) << "53-bit precision, all masked";
    volatile double zero = 0.0;
    quiet = zero / zero;
  }
  const unsigned short after = x87Control();
  const unsigned short pending = x87Status() & 0x3Fu;
  setX87Control(original);
  EXPECT_NE(quiet, quiet) << "NaN, no trap";
  EXPECT_EQ(after, hostile) << "the caller's state";
  EXPECT_EQ(pending, 0u) << "our sticky flags would trap in the caller";
}
#else
TEST(Win32EntryGuard, MasksFloatingPointExceptionsAndRestores) {
  const unsigned original = _mm_getcsr();
  const unsigned hostile = (original & ~0x1F80u & ~0x3Fu) | 0x1800u;  // invalid and zero-divide unmasked
  _mm_setcsr(hostile);
  double quiet = 0;
  {
    EntryGuard guard;
    EXPECT_EQ(_mm_getcsr() & 0xFFC0u, 0x1F80u);
    volatile double zero = 0.0;
    quiet = zero / zero;
  }
  const unsigned after = _mm_getcsr();
  _mm_setcsr(original);
  EXPECT_NE(quiet, quiet) << "NaN, no trap";
  EXPECT_EQ(after, hostile) << "the caller's state, without our sticky flags";
}
#endif

// The kernels are chosen by __builtin_cpu_supports, linked statically from
// MinGW's libgcc: it must see what the processor and the system report.
TEST(Win32Cpu, DetectionMatchesCpuid) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  bool sse2 = false, avx2 = false;
  if (__get_cpuid(1, &a, &b, &c, &d)) {
    sse2 = (d & (1u << 26)) != 0;
    const bool osSavesAvx = (c & (1u << 27)) != 0 && (c & (1u << 28)) != 0;
    if (osSavesAvx) {
      unsigned lo = 0, hi = 0;
      __asm__ __volatile__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
      if ((lo & 6u) == 6u && __get_cpuid_count(7, 0, &a, &b, &c, &d)) avx2 = (b & (1u << 5)) != 0;
    }
  }
  const SimdLevel expected = avx2 ? SimdLevel::Avx2 : sse2 ? SimdLevel::Sse2 : SimdLevel::Scalar;
  EXPECT_EQ(detectedSimdLevel(), expected) << simdLevelName(detectedSimdLevel());
}

}  // namespace
}  // namespace om
