#include "plugin/show_timing.h"

#include <algorithm>

namespace om {

namespace {

struct Timing {
  int64_t fade;    // ms
  int64_t period;  // ms; 0: always shown
  int64_t shown;   // ms of each period, at most the period
};

// The keys are clamped to their ranges when read and by the dialog; the
// divisions below stay defined whatever they hold.
Timing timingOf(const LogoSettings& record) {
  Timing t;
  t.fade = record.FadeMs;
  t.period = int64_t{record.ShowEveryMinutes} * 60000;
  t.shown = std::min<int64_t>(int64_t{record.ShowForSeconds} * 1000, t.period);
  return t;
}

}  // namespace

int32_t showFactor(const LogoSettings& record, uint32_t elapsedMs) {
  const Timing t = timingOf(record);
  const int64_t e = elapsedMs;
  if (t.period == 0) {
    if (t.fade == 0 || e >= t.fade) return kFullyShown;
    return static_cast<int32_t>(kFullyShown * e / t.fade);
  }
  // The first appearance starts at the switch; fades take at most half of it.
  const int64_t u = e % t.period;
  const int64_t n = std::min(t.fade, t.shown / 2);
  if (u < n) return static_cast<int32_t>(kFullyShown * u / n);
  if (u < t.shown - n) return kFullyShown;
  if (u < t.shown) return static_cast<int32_t>(kFullyShown * (t.shown - u) / n);
  return 0;
}

uint32_t settledShowStart(const LogoSettings& record, uint32_t start, uint32_t now) {
  const Timing t = timingOf(record);
  const int64_t e = static_cast<uint32_t>(now - start);
  if (t.period == 0) return e > t.fade ? now - static_cast<uint32_t>(t.fade) : start;
  return start + static_cast<uint32_t>(e / t.period * t.period);
}

}  // namespace om
