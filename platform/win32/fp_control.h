// The SSE control register, for the entry guard. Its own file, built with
// the SSE instruction set, so the rest of the i686 DLL stays free of it;
// call it only on a processor with SSE.
#pragma once

#include <cstdint>

namespace om {
namespace platform {

uint32_t readMxcsr() noexcept;
void writeMxcsr(uint32_t value) noexcept;

}  // namespace platform
}  // namespace om
