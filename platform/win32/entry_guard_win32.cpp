// The entry guard on Windows. While the host's code is the caller, resource
// look-ups (dialog templates, icons, bitmaps) must find our module, so each
// entry makes it this thread's resource module and puts the caller's back on
// the way out. It also runs our code under the floating-point environment
// the arithmetic assumes: hosts written in some languages unmask FP
// exceptions or switch the x87 unit to another precision, which would make
// a 0/0 in our code (or in GDI+) trap, or change double results on i686.
#include <windows.h>

#include "platform/entry_guard.h"
#include "platform/win32/win32_module.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace om {

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
  savedModule_ = platform::swapResourceModule(platform::pluginModule());
}

EntryGuard::~EntryGuard() {
  platform::swapResourceModule(static_cast<HMODULE>(savedModule_));
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
