#include "platform/win32/win32_module.h"

namespace om {
namespace platform {

namespace {

HMODULE g_module = nullptr;

// TLS slot for the per-thread resource module, allocated on first use so a
// host that only probes the exports and unloads us costs no slot.
DWORD g_slot = TLS_OUT_OF_INDEXES;
volatile LONG g_slotState = 0;  // 0 none, 1 being allocated, 2 ready

DWORD threadSlot() noexcept {
  if (g_slotState == 2) return g_slot;
  if (InterlockedCompareExchange(&g_slotState, 1, 0) == 0) {
    g_slot = TlsAlloc();
    InterlockedExchange(&g_slotState, 2);
    return g_slot;
  }
  while (g_slotState != 2) Sleep(0);
  return g_slot;
}

}  // namespace

void setPluginModule(HMODULE module) noexcept { g_module = module; }

void releaseThreadSlot() noexcept {
  if (g_slotState == 2 && g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
  g_slotState = 0;
}

HMODULE pluginModule() noexcept {
  if (g_module) return g_module;
  HMODULE self = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&pluginModule), &self))
    return self;
  return GetModuleHandleA(nullptr);
}

HMODULE resourceModule() noexcept {
  const DWORD slot = g_slotState == 2 ? g_slot : TLS_OUT_OF_INDEXES;
  if (slot != TLS_OUT_OF_INDEXES) {
    if (void* module = TlsGetValue(slot)) return static_cast<HMODULE>(module);
  }
  return pluginModule();
}

HMODULE swapResourceModule(HMODULE module) noexcept {
  const DWORD slot = threadSlot();
  if (slot == TLS_OUT_OF_INDEXES) return nullptr;
  HMODULE previous = static_cast<HMODULE>(TlsGetValue(slot));
  TlsSetValue(slot, module);
  return previous;
}

std::wstring widen(const char* text, UINT codePage) {
  std::wstring out;
  if (!text || !*text) return out;
  const int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (n <= 1) return out;
  out.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(codePage, 0, text, -1, &out[0], n) != n) return std::wstring();
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

std::string narrow(const wchar_t* text, UINT codePage) {
  std::string out;
  if (!text || !*text) return out;
  const int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return out;
  out.resize(static_cast<size_t>(n));
  if (WideCharToMultiByte(codePage, 0, text, -1, &out[0], n, nullptr, nullptr) != n) return std::string();
  out.resize(static_cast<size_t>(n) - 1);
  return out;
}

std::string ansiPath(const wchar_t* path) {
  if (!path || !*path) return std::string();
  // WC_NO_BEST_FIT_CHARS: a character the page lacks must be noticed, not
  // turned into a look-alike that names another file.
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, nullptr, 0, nullptr, &lost);
  if (n > 1 && !lost) return narrow(path, CP_ACP);
  // The short name is plain ASCII where the volume keeps short names.
  std::wstring shortName(32768, L'\0');
  const DWORD m = GetShortPathNameW(path, &shortName[0], static_cast<DWORD>(shortName.size()));
  if (m == 0 || m >= shortName.size()) return std::string();
  shortName.resize(m);
  lost = FALSE;
  const int k = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortName.c_str(), -1, nullptr, 0,
                                    nullptr, &lost);
  return k > 1 && !lost ? narrow(shortName.c_str(), CP_ACP) : std::string();
}

std::string moduleFileName(HMODULE module) {
  // A full buffer may mean a cut name: grow up to the longest path Windows has.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::wstring buf(size, L'\0');
    const DWORD n = GetModuleFileNameW(module, &buf[0], size);
    if (n == 0) return std::string();
    if (n < size) {
      buf.resize(n);
      return ansiPath(buf.c_str());
    }
  }
  return std::string();
}

}  // namespace platform
}  // namespace om
