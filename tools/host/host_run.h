// One run of the host, in four steps: open the video, the outputs, the
// settings and the plug-in; start the plug-in; feed it every frame with its
// channel; shut it down and report.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/host/options.h"

namespace omhost {

// 64-bit FNV-1a over every byte fed to it, so two runs compare exactly.
class Fnv1a64 {
 public:
  void add(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      hash_ ^= data[i];
      hash_ *= 0x100000001b3ull;
    }
  }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ull;
};

// Returns the process exit code: 0 done, 1 a failure while running, 2 bad usage.
int runHost(const HostOptions& options);

}  // namespace omhost
