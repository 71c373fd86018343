// The entry guard on Windows. While the host's code is the caller, resource
// look-ups (dialog templates, icons, bitmaps) must find our module, so each
// entry point makes it this thread's resource module and puts the caller's
// back on the way out. It also runs our code under the floating-point
// environment the arithmetic assumes: hosts written in some languages unmask
// FP exceptions or switch the x87 unit to 64-bit precision, which would make
// a 0/0 in our code (or in GDI+) trap, or change double results on i686.
#include <windows.h>

#include "platform/win32/win32_module.h"
#include "plugin/entry_guard.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

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

}  // namespace platform

namespace {

// Round to nearest, 53-bit precision, every exception masked: the state
// Windows gives a new thread, and what our double arithmetic is written for.
#if defined(__i386__)
const unsigned short kX87Control = 0x027F;
#elif defined(__x86_64__)
const unsigned int kMxcsr = 0x1F80;
#endif

}  // namespace

EntryGuard::EntryGuard() noexcept {
#if defined(__i386__)
  unsigned short control = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  fpState_ = control;
  __asm__ __volatile__("fldcw %0" : : "m"(kX87Control));
#elif defined(__x86_64__)
  fpState_ = _mm_getcsr();
  _mm_setcsr(kMxcsr);
#endif
  const DWORD slot = platform::threadSlot();
  if (slot == TLS_OUT_OF_INDEXES) return;
  saved_ = TlsGetValue(slot);
  TlsSetValue(slot, platform::pluginModule());
}

EntryGuard::~EntryGuard() {
  const DWORD slot = platform::g_slotState == 2 ? platform::g_slot : TLS_OUT_OF_INDEXES;
  if (slot != TLS_OUT_OF_INDEXES) TlsSetValue(slot, saved_);
#if defined(__i386__)
  // Our own sticky exception flags must not trap in the caller once its
  // unmasked control word is back.
  const unsigned short control = static_cast<unsigned short>(fpState_);
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control));
#elif defined(__x86_64__)
  _mm_setcsr(fpState_);
#endif
}

}  // namespace om
