// The rectangle every subsystem uses, and the one way to intersect it with
// an image.
#pragma once
#include <cstdint>

namespace om {

// Left, top, right, bottom in pixels; right and bottom are exclusive.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t width() const { return right - left; }
  int32_t height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};

// The part of `r` on an image of width x height pixels. The result always
// lies on the image: when nothing of `r` does, it has zero width or height.
constexpr Rect clipRect(const Rect& r, int32_t width, int32_t height) {
  const int32_t w = width > 0 ? width : 0;
  const int32_t h = height > 0 ? height : 0;
  Rect c;
  c.left = r.left < 0 ? 0 : (r.left > w ? w : r.left);
  c.top = r.top < 0 ? 0 : (r.top > h ? h : r.top);
  c.right = r.right < c.left ? c.left : (r.right > w ? w : r.right);
  c.bottom = r.bottom < c.top ? c.top : (r.bottom > h ? h : r.bottom);
  return c;
}

}  // namespace om
