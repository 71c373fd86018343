// The runner behind bench/lite/benchmark/benchmark.h: every registered case
// whose name matches --benchmark_filter, its iterations grown as Google
// Benchmark grows them until one run lasts --benchmark_min_time, a line each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <vector>

namespace benchmark {

namespace {

std::vector<std::unique_ptr<Benchmark>>& registered() {
  static std::vector<std::unique_ptr<Benchmark>> cases;
  return cases;
}

const char* unitName(TimeUnit unit) {
  switch (unit) {
    case kNanosecond: return "ns";
    case kMicrosecond: return "us";
    case kMillisecond: return "ms";
    case kSecond: return "s";
  }
  return "ns";
}

double perUnit(TimeUnit unit) {
  switch (unit) {
    case kNanosecond: return 1e9;
    case kMicrosecond: return 1e6;
    case kMillisecond: return 1e3;
    case kSecond: return 1;
  }
  return 1e9;
}

void run(const Benchmark& b, double minSeconds) {
  IterationCount n = 1;
  for (;;) {
    State state(n);
    const auto start = std::chrono::steady_clock::now();
    b.body(state);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!state.error.empty()) {
      std::printf("%-60s ERROR OCCURRED: '%s'\n", b.name.c_str(), state.error.c_str());
      return;
    }
    if (seconds >= minSeconds || n >= 1000000000) {
      const IterationCount done = state.iterations() ? state.iterations() : 1;
      std::printf("%-60s %12.4g %s %10lld", b.name.c_str(), seconds * perUnit(b.unit) / static_cast<double>(done),
                  unitName(b.unit), static_cast<long long>(done));
      for (const auto& [name, value] : state.counters) std::printf(" %s=%.4g", name.c_str(), value);
      std::printf("\n");
      std::fflush(stdout);
      return;
    }
    // Google Benchmark's rule: aim 40 % past the minimum, at most 10x more.
    double factor = seconds > 0 ? minSeconds * 1.4 / seconds : 10;
    if (factor > 10) factor = 10;
    const IterationCount next = static_cast<IterationCount>(static_cast<double>(n) * factor);
    n = next > n ? next : n + 1;
  }
}

}  // namespace

Benchmark* RegisterBenchmark(const char* name, std::function<void(State&)> body) {
  registered().push_back(std::make_unique<Benchmark>(name, std::move(body)));
  return registered().back().get();
}

}  // namespace benchmark

int main(int argc, char** argv) {
  std::string filter = ".";
  double minSeconds = 0.5;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "--benchmark_filter=", 19) == 0) {
      filter = arg + 19;
    } else if (std::strncmp(arg, "--benchmark_min_time=", 21) == 0) {
      minSeconds = std::atof(arg + 21);  // "0.2" or "0.2s"
    } else if (std::strcmp(arg, "--benchmark_list_tests") == 0 || std::strcmp(arg, "--benchmark_list_tests=true") == 0) {
      list = true;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--benchmark_filter=REGEX] [--benchmark_min_time=SECONDS] [--benchmark_list_tests]\n",
                   argv[0]);
      return 2;
    }
  }
  std::regex pattern;
  try {
    pattern = std::regex(filter);
  } catch (const std::regex_error&) {
    std::fprintf(stderr, "invalid --benchmark_filter: %s\n", filter.c_str());
    return 2;
  }
  if (!list) std::printf("%-60s %15s %10s\n", "Benchmark", "Time", "Iterations");
  for (const auto& b : benchmark::registered()) {
    if (!std::regex_search(b->name, pattern)) continue;
    if (list)
      std::printf("%s\n", b->name.c_str());
    else
      benchmark::run(*b, minSeconds);
  }
  return 0;
}
