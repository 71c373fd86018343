// The one pattern of the benchmarks: every kernel family registers a case
// per SIMD level the processor has ("c", "sse2", "avx2", each run under a
// SimdLevelCap) and its peers (a memory-bound pass, another library), all
// timed in processor time within one run, since the machine is shared.
// At exit a table gives every case's paths with their ratios, and a list
// of targets says which measured ratios meet theirs.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

#include "common/cpu.h"

namespace om::bench {

// "c" for the reference, else the level's name.
std::string levelPath(SimdLevel level);

// Processor time on POSIX. The Windows C library's clock() is wall time in
// coarse steps, so there the steady clock: the same time, finer.
inline double processSeconds() {
#if defined(_WIN32)
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// Processor time of the benchmark loop over `body`, per iteration, in ns.
// `units` per iteration (pixels, frames) give the reported ns_per_unit.
template <typename Body>
double timeLoop(benchmark::State& state, double units, Body&& body) {
  const double start = processSeconds();
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  const double ns = 1e9 * (processSeconds() - start) /
                    static_cast<double>(state.iterations() ? state.iterations() : 1);
  state.counters["ns_per_unit"] = ns / units;
  return ns / units;
}

// Records one path's time per unit for the table and the targets.
void record(const std::string& group, const std::string& caseName, const std::string& path,
            double nsPerUnit);

using Body = std::function<void(benchmark::State&)>;

// group/case/<level> for every level the processor has; each body runs
// under the level's cap and records itself through timeLoop + record.
void registerLevels(const std::string& group, const std::string& caseName,
                    const std::function<void(benchmark::State&, const std::string& path)>& body);
// group/case/<peer>.
void registerPeer(const std::string& group, const std::string& caseName, const std::string& peer,
                  const std::function<void(benchmark::State&, const std::string& path)>& body);

// A ratio with its target: time of (group, case, path) over time of
// (group2, case2, path2) must stay at most `atMost`. A path "best" stands
// for the fastest vector level of that case.
void target(const std::string& label, const std::string& group, const std::string& caseName,
            const std::string& path, const std::string& group2, const std::string& caseName2,
            const std::string& path2, double atMost);

}  // namespace om::bench
