// Animated GIFs for the benchmarks: a moving pattern with a transparent
// hole in every frame, so decoding and compositing both do real work.
#pragma once

#include <string>

namespace om::bench {

// `delayHundredths` per frame; false when the file could not be written.
bool writeAnimation(const std::string& path, int width, int height, int frames,
                    int delayHundredths);

}  // namespace om::bench
