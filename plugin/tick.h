// The animation clock: the OS millisecond tick unless a host installs its
// own (Tulvane_Plugin_SetTickSource), e.g. video time for offline rendering.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

namespace om {

uint32_t tickNowMs() noexcept;
void setTickSource(TickSourceFn source) noexcept;  // null: the OS tick

}  // namespace om
