// The operating system's millisecond tick.
#pragma once

#include <cstdint>

namespace om {
namespace platform {

// Milliseconds since system start, 32 bits, wrapping.
uint32_t osTickMs() noexcept;

}  // namespace platform
}  // namespace om
