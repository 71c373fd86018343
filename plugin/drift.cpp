#include "plugin/drift.h"

#include <algorithm>

namespace om {

namespace {

// The orbit's places, one step each, starting at the logo's own.
constexpr int32_t kOrbit[8][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}};

int64_t stepMs(const LogoSettings& record) {
  return int64_t{std::clamp(record.DriftMinutes, 1, 60)} * 60000;
}

}  // namespace

PixelShift driftOffset(const LogoSettings& record, uint32_t elapsedMs) {
  PixelShift offset;
  if (!drifts(record)) return offset;
  const int32_t pixels = std::min(record.DriftPixels, 32);
  const int64_t k = int64_t{elapsedMs} / stepMs(record) % 8;
  offset.dx = kOrbit[k][0] * pixels;
  offset.dy = kOrbit[k][1] * pixels;
  return offset;
}

uint32_t settledDriftStart(const LogoSettings& record, uint32_t start, uint32_t now) {
  // An orbit is at most 8 hours: well inside the 32-bit difference.
  const int64_t orbit = 8 * stepMs(record);
  const int64_t e = static_cast<uint32_t>(now - start);
  return start + static_cast<uint32_t>(e / orbit * orbit);
}

}  // namespace om
