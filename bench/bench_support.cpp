#include "bench/bench_support.h"

#include <cstdio>
#include <map>
#include <vector>

namespace om::bench {

namespace {

struct Target {
  std::string label, group, caseName, path, group2, caseName2, path2;
  double atMost;
};

// The measured times, and at exit the table and the targets.
struct Registry {
  std::map<std::string, std::map<std::string, std::map<std::string, double>>> times;
  std::vector<Target> targets;

  bool find(const std::string& group, const std::string& caseName, const std::string& path,
            double& ns, std::string& which) const {
    const auto g = times.find(group);
    if (g == times.end()) return false;
    const auto c = g->second.find(caseName);
    if (c == g->second.end()) return false;
    if (path != "best") {
      const auto p = c->second.find(path);
      if (p == c->second.end()) return false;
      ns = p->second;
      which = path;
      return true;
    }
    bool found = false;
    for (const char* level : {"sse2", "avx2"}) {
      const auto p = c->second.find(level);
      if (p != c->second.end() && (!found || p->second < ns)) {
        ns = p->second;
        which = level;
        found = true;
      }
    }
    return found;
  }

  ~Registry() {
    if (times.empty()) return;
    std::printf("\n== ratios within this run (processor time per unit) ==\n");
    for (const auto& [group, cases] : times) {
      for (const auto& [caseName, paths] : cases) {
        std::printf("%s/%s:", group.c_str(), caseName.c_str());
        const auto c = paths.find("c");
        for (const auto& [path, ns] : paths) {
          std::printf("  %s %.4g ns", path.c_str(), ns);
          if (c != paths.end() && path != "c") std::printf(" (%.1fx c)", c->second / ns);
        }
        std::printf("\n");
      }
    }
    if (targets.empty()) return;
    std::printf("\n== targets ==\n");
    int missed = 0;
    for (const Target& t : targets) {
      double a = 0, b = 0;
      std::string pa, pb;
      if (!find(t.group, t.caseName, t.path, a, pa) || !find(t.group2, t.caseName2, t.path2, b, pb)) {
        std::printf("  %-58s not measured in this run\n", t.label.c_str());
        continue;
      }
      const double ratio = a / b;
      const bool ok = ratio <= t.atMost;
      missed += ok ? 0 : 1;
      std::printf("  %-58s %6.3f (target <= %.3g, %s over %s) %s\n", t.label.c_str(), ratio, t.atMost,
                  pa.c_str(), pb.c_str(), ok ? "ok" : "MISSED");
    }
    std::printf("targets: %d missed\n", missed);
  }
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

std::string levelPath(SimdLevel level) {
  return level == SimdLevel::Scalar ? "c" : simdLevelName(level);
}

void record(const std::string& group, const std::string& caseName, const std::string& path,
            double nsPerUnit) {
  registry().times[group][caseName][path] = nsPerUnit;
}

void registerLevels(const std::string& group, const std::string& caseName,
                    const std::function<void(benchmark::State&, const std::string&)>& body) {
  for (int l = 0; l <= static_cast<int>(detectedSimdLevel()); ++l) {
    const SimdLevel level = static_cast<SimdLevel>(l);
    const std::string path = levelPath(level);
    benchmark::RegisterBenchmark((group + "/" + caseName + "/" + path).c_str(),
                                 [body, level, path](benchmark::State& state) {
                                   const SimdLevelCap cap(level);
                                   body(state, path);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

void registerPeer(const std::string& group, const std::string& caseName, const std::string& peer,
                  const std::function<void(benchmark::State&, const std::string&)>& body) {
  benchmark::RegisterBenchmark((group + "/" + caseName + "/" + peer).c_str(),
                               [body, peer](benchmark::State& state) { body(state, peer); })
      ->Unit(benchmark::kMillisecond);
}

void target(const std::string& label, const std::string& group, const std::string& caseName,
            const std::string& path, const std::string& group2, const std::string& caseName2,
            const std::string& path2, double atMost) {
  registry().targets.push_back(Target{label, group, caseName, path, group2, caseName2, path2, atMost});
}

}  // namespace om::bench
