// Placeholder until the resampler lands.
#include "logo/resampler.h"

#include "common/aligned_block.h"

namespace om {

ResamplerCache::~ResamplerCache() {
  alignedFree(horizontal.block);
  alignedFree(vertical.block);
  alignedFree(rowBuffer);
}

void resampleImage(ResamplerCache&, const uint32_t*, int32_t, int32_t, const Rect&, SourceMode,
                   uint8_t*, int32_t, int32_t, const Rect&, DestinationLayout, uint32_t) {}

}  // namespace om
