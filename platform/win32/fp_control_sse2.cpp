#include "platform/win32/fp_control.h"

#include <xmmintrin.h>

namespace om {
namespace platform {

uint32_t readMxcsr() noexcept { return _mm_getcsr(); }
void writeMxcsr(uint32_t value) noexcept { _mm_setcsr(value); }

}  // namespace platform
}  // namespace om
