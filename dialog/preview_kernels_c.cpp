#include "dialog/preview_kernels.h"

#include <cstring>

namespace om {

static void lerpPixel(uint8_t* out, const uint8_t* a, const uint8_t* b, int32_t w) {
  for (int byte = 0; byte < 4; ++byte) out[byte] = lerpByte(a[byte], b[byte], w);
}

void lerpRow_c(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
               uint16_t weight) {
  for (int32_t j = 0; j < count; ++j) lerpPixel(out + 4 * j, first + 4 * j, second + 4 * j, weight);
}

void lerpTaps_c(uint8_t* out, const uint8_t* row, const StepEntry* entries, int32_t count) {
  const uint8_t* cursor = row;
  for (int32_t i = 0; i < count; ++i) {
    const StepEntry& e = entries[i];
    cursor += e.advance;
    uint8_t a[4], b[4];
    std::memcpy(a, cursor, 4);
    cursor += e.next;
    std::memcpy(b, cursor, 4);
    lerpPixel(out + 4 * i, a, b, e.weight[0]);
  }
}

}  // namespace om
