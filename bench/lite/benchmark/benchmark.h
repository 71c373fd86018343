// The part of Google Benchmark's interface om_bench uses, for the builds
// Google Benchmark does not come for (Debian ships it only for the native
// architecture, not for MinGW-w64). The same benchmark sources then give the
// Windows builds, the shipping 32-bit one above all, their own figures. The
// command line takes Google Benchmark's --benchmark_filter and
// --benchmark_min_time; the kernels time themselves (bench_support.h), so
// the runner only grows the iteration count until a case runs long enough.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond, kSecond };
using IterationCount = int64_t;

class State {
 public:
  explicit State(IterationCount iterations) : total_(iterations) {}

  struct __attribute__((unused)) Value {};
  class Iterator {
   public:
    explicit Iterator(State* state) : state_(state) {}
    Value operator*() const { return Value(); }
    Iterator& operator++() {
      ++state_->done_;
      return *this;
    }
    bool operator!=(const Iterator&) const { return state_ && state_->done_ < state_->total_; }

   private:
    State* state_;
  };
  Iterator begin() { return Iterator(this); }
  Iterator end() { return Iterator(nullptr); }

  IterationCount iterations() const { return done_; }
  // No iteration runs after it; the runner reports the message.
  void SkipWithError(const std::string& message) {
    error = message;
    total_ = done_;
  }

  std::map<std::string, double> counters;
  std::string error;

 private:
  IterationCount total_;
  IterationCount done_ = 0;
};

class Benchmark {
 public:
  Benchmark(std::string name, std::function<void(State&)> body)
      : name(std::move(name)), body(std::move(body)) {}
  Benchmark* Unit(TimeUnit u) {
    unit = u;
    return this;
  }
  // Processor and wall time are one on the runner's clock.
  Benchmark* MeasureProcessCPUTime() { return this; }

  std::string name;
  std::function<void(State&)> body;
  TimeUnit unit = kNanosecond;
};

Benchmark* RegisterBenchmark(const char* name, std::function<void(State&)> body);
// A function taking arguments after the state, bound to these.
template <typename Fn, typename Arg, typename... Args>
Benchmark* RegisterBenchmark(const char* name, Fn fn, Arg arg, Args... args) {
  return RegisterBenchmark(name, std::function<void(State&)>([=](State& s) { fn(s, arg, args...); }));
}

inline void ClobberMemory() { __asm__ __volatile__("" : : : "memory"); }

template <typename T>
inline void DoNotOptimize(T const& value) {
  __asm__ __volatile__("" : : "r,m"(value) : "memory");
}

}  // namespace benchmark
