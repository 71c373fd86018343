// The entry guard on Windows. While the host's code is the caller, resource
// look-ups (dialog templates, icons, bitmaps) must find our module, so each
// entry makes it this thread's resource module and puts the caller's back on
// the way out.
//
// It also runs our code under the floating-point environment the arithmetic
// is written for, whatever the host left: Direct3D 9 switches the x87 unit to
// 24-bit precision on its thread, runtimes of some languages unmask
// exceptions or round toward zero, and Wine starts 32-bit processes in 64-bit
// x87 precision. Any of these changes double results on i686 (the filter
// tables, the hold-repeat steps) or makes a 0/0 in our code or in GDI+ trap.
// The SSE state matters on both builds: msvcrt's maths uses SSE2 on i686
// when the processor has it, and all double arithmetic does on x86-64.
#include <windows.h>

#include "platform/entry_guard.h"
#include "platform/win32/fp_control.h"
#include "platform/win32/win32_module.h"

namespace om {

namespace {

// Round to nearest, 53-bit precision, every exception masked, no flushing:
// the state Windows gives a new thread.
#if defined(__i386__)
const unsigned short kX87Control = 0x027F;
#endif
const uint32_t kMxcsr = 0x1F80;

bool processorHasSse() noexcept {
#if defined(__i386__)
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse") != 0;
  }();
  return has;
#else
  return true;
#endif
}

}  // namespace

EntryGuard::EntryGuard() noexcept {
#if defined(__i386__)
  unsigned short control = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  x87State_ = control;
  __asm__ __volatile__("fldcw %0" : : "m"(kX87Control));
#endif
  if (processorHasSse()) {
    mxcsrState_ = platform::readMxcsr();
    platform::writeMxcsr(kMxcsr);
  }
  savedModule_ = platform::swapResourceModule(platform::pluginModule());
}

EntryGuard::~EntryGuard() {
  platform::swapResourceModule(static_cast<HMODULE>(savedModule_));
  // The caller's registers come back as they were, its own sticky flags
  // included; ours are dropped first so an exception the caller unmasked
  // does not trap on something we did.
  if (processorHasSse()) platform::writeMxcsr(mxcsrState_);
#if defined(__i386__)
  const unsigned short control = static_cast<unsigned short>(x87State_);
  __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(control));
#endif
}

}  // namespace om
