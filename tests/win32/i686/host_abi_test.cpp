// The 32-bit DLL driven the way the TV viewer drives it, from records laid
// out here byte by byte rather than from the plug-in's own header: a layout
// both sides got wrong the same way would pass every other test. Every call
// goes through a small assembly thunk that pushes the arguments itself,
// calls, and reports whether the callee left ESP (cdecl: the caller pops),
// EBX, ESI, EDI, EBP and the direction flag as they were. The thunk also
// calls with the stack at each 4-byte alignment: the host only promises 4.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "frame_check/test_pictures.h"

#if !defined(__i386__)
#error "the 32-bit host's records and calls: i686 only"
#endif

extern "C" {
struct AbiCallResult {
  uint32_t eax;
  int32_t espDelta;       // ESP after the call minus ESP at the call
  uint32_t registersKept; // EBX, ESI, EDI and EBP as before, DF clear
};
void omAbiCall(const void* fn, const uint32_t* args, uint32_t words, uint32_t espOffset, AbiCallResult* out);
}

// Arguments pushed right to left, ESP set to `espOffset` mod 16 at the call.
__asm__(
    ".text\n"
    ".globl _omAbiCall\n"
    "_omAbiCall:\n"
    "  pushl %ebp\n"
    "  movl  %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  subl  $4, %esp\n"            // -16(%ebp): ESP at the call
    "  movl  16(%ebp), %ecx\n"      // words
    "  leal  0(,%ecx,4), %eax\n"    // argument bytes
    "  movl  %esp, %edx\n"
    "  subl  %eax, %edx\n"
    "  subl  $32, %edx\n"
    "  andl  $-16, %edx\n"
    "  addl  20(%ebp), %edx\n"
    "  movl  %edx, -16(%ebp)\n"
    "  leal  (%edx,%eax), %esp\n"
    "  movl  12(%ebp), %esi\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz    2f\n"
    "  decl  %ecx\n"
    "  pushl (%esi,%ecx,4)\n"
    "  jmp   1b\n"
    "2:\n"
    "  movl  %ebp, _omAbiFrame\n"
    "  movl  8(%ebp), %eax\n"
    "  movl  $0x5EB1C0DE, %ebx\n"
    "  movl  $0x5E51C0DE, %esi\n"
    "  movl  $0x5ED1C0DE, %edi\n"
    "  call  *%eax\n"
    "  xorl  %ecx, %ecx\n"
    "  cmpl  _omAbiFrame, %ebp\n"
    "  je    3f\n"
    "  incl  %ecx\n"
    "  movl  _omAbiFrame, %ebp\n"
    "3:\n"
    "  cmpl  $0x5EB1C0DE, %ebx\n"
    "  setne %dl\n"
    "  orb   %dl, %cl\n"
    "  cmpl  $0x5E51C0DE, %esi\n"
    "  setne %dl\n"
    "  orb   %dl, %cl\n"
    "  cmpl  $0x5ED1C0DE, %edi\n"
    "  setne %dl\n"
    "  orb   %dl, %cl\n"
    "  pushfl\n"
    "  popl  %edx\n"
    "  testl $0x400, %edx\n"
    "  setnz %dl\n"
    "  orb   %dl, %cl\n"
    "  cld\n"
    "  movl  24(%ebp), %edx\n"
    "  movl  %eax, (%edx)\n"
    "  movl  %esp, %eax\n"
    "  subl  -16(%ebp), %eax\n"
    "  movl  %eax, 4(%edx)\n"
    "  xorl  $1, %ecx\n"
    "  movl  %ecx, 8(%edx)\n"
    "  leal  -12(%ebp), %esp\n"
    "  popl  %edi\n"
    "  popl  %esi\n"
    "  popl  %ebx\n"
    "  popl  %ebp\n"
    "  ret\n"
    ".lcomm _omAbiFrame, 4\n");

namespace {

// ---- the host's records, as the host lays them out ----

struct HostChannel {   // ChannelInfo
  uint32_t idLow;      // @0
  uint32_t idHigh;     // @4
  uint8_t unread[4];   // @8
  char name[256];      // @12, inline, NUL-terminated Windows-1251
};
static_assert(offsetof(HostChannel, idLow) == 0 && offsetof(HostChannel, idHigh) == 4, "");
static_assert(offsetof(HostChannel, name) == 12, "");

struct HostFrame {           // FrameInfo
  void* pixels;              // @0
  uint8_t unread[40];        // @4
  HostChannel* channel;      // @44
};
static_assert(offsetof(HostFrame, channel) == 44 && sizeof(HostFrame) == 48, "");

struct HostFormat {  // VideoFormatInfo
  int32_t width, height, formatExtra, pixelFormat, cpuClass;
};
static_assert(sizeof(HostFormat) == 20 && offsetof(HostFormat, cpuClass) == 16, "");

typedef int32_t(__cdecl* ChannelExistsFn)(int64_t id);
struct HostInit {                  // HostInitInfo
  int32_t hostValue;               // @0
  ChannelExistsFn channelExists;   // @4
};
static_assert(offsetof(HostInit, channelExists) == 4 && sizeof(HostInit) == 8, "");

struct HostConfigure {  // ConfigureInfo
  HWND parentWindow;    // @0
};

typedef void(__cdecl* InitFn)(HostInit*);
typedef int32_t(__cdecl* SetFormatFn)(HostFormat*);
typedef int32_t(__cdecl* ProcessFrameFn)(HostFrame*);
typedef void(__cdecl* StopFn)();
typedef void(__cdecl* ConfigureFn)(HostConfigure*);
typedef void(__cdecl* ShutdownFn)();
struct HostDescriptor {        // PluginDescriptor
  const char* name;            // @0
  const char* description;     // @4
  InitFn init;                 // @8
  SetFormatFn setFormat;       // @12
  ProcessFrameFn processFrame; // @16
  StopFn stop;                 // @20
  ConfigureFn configure;       // @24
  ShutdownFn shutdown;         // @28
};
static_assert(sizeof(HostDescriptor) == 32 && offsetof(HostDescriptor, init) == 8 &&
                  offsetof(HostDescriptor, shutdown) == 28, "");

typedef uint32_t(__cdecl* TickFn)();
typedef int32_t(__cdecl* VersionFn)();
typedef HostDescriptor*(__cdecl* DescriptorFn)();
typedef void(__cdecl* SetTickSourceFn)(TickFn);

// ---- calls through the thunk ----

void pushWords(std::vector<uint32_t>&) {}
template <typename T, typename... Rest>
void pushWords(std::vector<uint32_t>& words, T value, Rest... rest) {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8, "");
  uint32_t w[2] = {0, 0};
  std::memcpy(w, &value, sizeof(T));  // an int64 goes low half first
  for (size_t i = 0; i < sizeof(T) / 4; ++i) words.push_back(w[i]);
  pushWords(words, rest...);
}

uint32_t g_callCount = 0;

template <typename R, typename... A>
R call(const char* what, R(__cdecl* fn)(A...), A... args) {
  std::vector<uint32_t> words;
  pushWords(words, args...);
  const uint32_t offset = 4 * (g_callCount++ % 4);
  AbiCallResult result{};
  omAbiCall(reinterpret_cast<const void*>(fn), words.data(), static_cast<uint32_t>(words.size()), offset, &result);
  EXPECT_EQ(result.espDelta, 0) << what << ": ESP moved (a callee that pops its arguments is not cdecl)";
  EXPECT_EQ(result.registersKept, 1u) << what << ": EBX, ESI, EDI, EBP or DF not preserved";
  if constexpr (std::is_void<R>::value) {
    return;
  } else {
    R r;
    std::memcpy(&r, &result.eax, sizeof r);
    return r;
  }
}

// ---- the host's side ----

const int64_t kIdA = 0x0000000100000005ll;  // the same low half, different high halves
const int64_t kIdB = 0x0000000200000005ll;
const int64_t kId5 = 5;

std::vector<int64_t> g_asked;
bool g_torn = false;

// Called by the plug-in while it saves: only A is still a channel.
int32_t __cdecl hostChannelExists(int64_t id) {
  g_asked.push_back(id);
  const uint32_t low = static_cast<uint32_t>(id), high = static_cast<uint32_t>(static_cast<uint64_t>(id) >> 32);
  if (!((low == 5 && high <= 2) || id == 0)) g_torn = true;  // not an id any frame carried, nor record 0
  return id == kIdA ? 1 : 0;
}

uint32_t g_now = 1000;
uint32_t __cdecl hostTick() { return g_now; }

std::string exeFolder() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p = path;
  return p.substr(0, p.rfind('\\') + 1);
}

// The DLL beside the program (the run script makes a host folder), else the build's.
std::string dllPath() {
  const std::string beside = exeFolder() + "Ostrane_Marquel.dll";
  if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  std::string p = OM_PLUGIN_PATH;
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

struct Dll {
  HMODULE module = LoadLibraryA(dllPath().c_str());
  ~Dll() {
    if (module) FreeLibrary(module);
  }
  template <typename F>
  F get(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

bool insideModule(const void* p, HMODULE module) {
  MEMORY_BASIC_INFORMATION info;
  return p && VirtualQuery(p, &info, sizeof info) == sizeof info && info.AllocationBase == module;
}

void pumpMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < ms);
}

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
  if (GetDlgItem(window, 5145)) {  // the channel name field of the settings dialog
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

std::wstring shownChannelName() {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return L"(no dialog)";
  wchar_t text[300] = {};
  GetDlgItemTextW(dialog, 5145, text, 300);
  return text;
}

std::string readFile(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

std::wstring fromCp1251(const char* text) {
  wchar_t out[300] = {};
  MultiByteToWideChar(1251, 0, text, -1, out, 300);
  return out;
}

HostChannel channel(int64_t id, const char* name) {
  HostChannel c;
  std::memset(&c, 0xEE, sizeof c);  // bytes the plug-in must not take for the name
  const uint64_t u = static_cast<uint64_t>(id);
  c.idLow = static_cast<uint32_t>(u);
  c.idHigh = static_cast<uint32_t>(u >> 32);
  std::strcpy(c.name, name);
  return c;
}

TEST(HostAbi, ExportsAndDescriptor) {
  Dll dll;
  ASSERT_NE(dll.module, nullptr) << dllPath();
  auto version = dll.get<VersionFn>("Tulvane_Plugin_Version");
  auto pr = dll.get<DescriptorFn>("Tulvane_Plugin_PR");
  ASSERT_TRUE(version && pr && dll.get<SetTickSourceFn>("Tulvane_Plugin_SetTickSource"));
  EXPECT_EQ(call("Tulvane_Plugin_Version", version), 3);
  HostDescriptor* d = call("Tulvane_Plugin_PR", pr);
  ASSERT_TRUE(insideModule(d, dll.module));
  EXPECT_EQ(call("Tulvane_Plugin_PR", pr), d);
  EXPECT_STREQ(d->name, "\xCB\xEE\xE3\xEE\xF2\xE8\xEF");
  EXPECT_STREQ(d->description,
               "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xF1\xEE\xE1\xF1\xF2\xE2\xE5\xED\xED\xEE"
               "\xE3\xEE \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0");
  const void* entries[] = {reinterpret_cast<void*>(d->init),  reinterpret_cast<void*>(d->setFormat),
                           reinterpret_cast<void*>(d->processFrame), reinterpret_cast<void*>(d->stop),
                           reinterpret_cast<void*>(d->configure), reinterpret_cast<void*>(d->shutdown)};
  for (const void* entry : entries) EXPECT_TRUE(insideModule(entry, dll.module)) << entry;
}

// A session: frames of channels whose ids differ only in the high half, the
// dialog showing the inline names, and channelExists asked at shutdown.
TEST(HostAbi, SixtyFourBitChannelIdsAndInlineNames) {
  using namespace om::testpic;
  const std::string folder = exeFolder();
  const std::string logo = folder + "abi_logo.bmp";
  CreateDirectoryA((folder + "Plugins").c_str(), nullptr);
  const std::string ini = folder + "Plugins\\Ostrane_Marquel.ini";
  const std::string settings = "[COMMON]\r\nPrivateSettings=1\r\n[4294967301]\r\nLogoFileName=" + logo +
                               "\r\nLogoPosX=100\r\nLogoPosY=100\r\nLogoSizeX=500\r\nLogoSizeY=500\r\n"
                               "LogoOpacity=100\r\nShowLogo=1\r\n[8589934597]\r\nShowLogo=1\r\n";
  ASSERT_TRUE(writeFile(logo, makeBmp(16, 12, checkerLogo(16, 12))));
  ASSERT_TRUE(writeFile(ini, Bytes(settings.begin(), settings.end())));

  g_asked.clear();
  g_torn = false;
  Dll dll;
  ASSERT_NE(dll.module, nullptr) << dllPath();
  auto pr = dll.get<DescriptorFn>("Tulvane_Plugin_PR");
  auto setTick = dll.get<SetTickSourceFn>("Tulvane_Plugin_SetTickSource");
  ASSERT_TRUE(pr && setTick);
  call("Tulvane_Plugin_SetTickSource", setTick, &hostTick);
  HostDescriptor* d = call("Tulvane_Plugin_PR", pr);
  HostInit init{77, &hostChannelExists};
  call("PluginInit", d->init, &init);
  HostFormat format{64, 48, 0, 1, 0};  // bottom-up BGR24
  EXPECT_EQ(call("PluginSetFormat", d->setFormat, &format), 1);

  std::vector<uint8_t> pixels(64 * 48 * 3);
  // Frames of a channel; returns how many the plug-in changed.
  auto frames = [&](HostChannel& ch, int count) {
    HostFrame frame;
    std::memset(&frame, 0xCC, sizeof frame);
    frame.pixels = pixels.data();
    frame.channel = &ch;
    const HostFrame frameBefore = frame;
    const HostChannel channelBefore = ch;
    int changed = 0;
    for (int n = 0; n < count; ++n) {
      for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 + n);
      const std::vector<uint8_t> before = pixels;
      EXPECT_EQ(call("PluginProcessFrame", d->processFrame, &frame), 1);
      changed += pixels != before;
      g_now += 40;
    }
    EXPECT_EQ(std::memcmp(&frame, &frameBefore, sizeof frame), 0) << "the host's FrameInfo was written";
    EXPECT_EQ(std::memcmp(&ch, &channelBefore, sizeof ch), 0) << "the host's ChannelInfo was written";
    return changed;
  };
  HostChannel a = channel(kIdA, "\xCF\xE5\xF0\xE2\xFB\xE9");       // "Первый"
  HostChannel b = channel(kIdB, "\xC2\xF2\xEE\xF0\xEE\xE9");       // "Второй"
  HostChannel five = channel(kId5, "\xCF\xFF\xF2\xFB\xE9");        // "Пятый"
  EXPECT_EQ(frames(a, 4), 4) << "channel 0x100000005 has the logo";
  EXPECT_EQ(frames(b, 4), 0) << "channel 0x200000005 has none";
  EXPECT_EQ(frames(five, 4), 0) << "nor does channel 5";
  EXPECT_EQ(frames(a, 2), 2);

  HostConfigure configure{nullptr};
  call("PluginConfigure", d->configure, &configure);
  pumpMessages(300);
  EXPECT_EQ(shownChannelName(), fromCp1251(a.name)) << "the name is read inline at offset 12";
  frames(b, 1);
  pumpMessages(300);
  EXPECT_EQ(shownChannelName(), fromCp1251(b.name));

  call("PluginStop", d->stop);
  call("PluginShutdown", d->shutdown);

  EXPECT_FALSE(g_torn) << "channelExists got an id no frame carried: the 64-bit argument arrived in pieces";
  const std::set<int64_t> asked(g_asked.begin(), g_asked.end());
  for (int64_t id : {kIdA, kIdB, kId5}) EXPECT_EQ(asked.count(id), 1u) << std::hex << id;
  const std::string saved = readFile(ini);
  EXPECT_NE(saved.find("[4294967301]\r\n"), std::string::npos) << "kept: channelExists said 1\n" << saved;
  EXPECT_EQ(saved.find("[8589934597]"), std::string::npos) << "dropped: channelExists said 0\n" << saved;
  EXPECT_EQ(saved.find("[5]"), std::string::npos) << saved;
}

}  // namespace
