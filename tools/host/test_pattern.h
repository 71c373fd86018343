// The embedded default input: colour bars, two scrolling bands, a bouncing
// ball and a frame counter with time code, all moving so that a viewer (and
// a checksum) sees every frame differ; and, still, the channel's own logo
// burnt in, as broadcasters do, for a cover to hide.
#pragma once

#include <cstdint>
#include <vector>

namespace omhost {

class TestPattern {
 public:
  TestPattern(int width, int height, int fpsNum, int fpsDen);
  // Renders frame `index` as R G B top-down into an internal picture.
  const uint8_t* render(int64_t index);

 private:
  void drawBackground(int64_t index);
  void drawBall(int64_t index);
  void drawChannelBug();
  void drawCaption(int64_t index);

  int width_, height_, fpsNum_, fpsDen_;
  std::vector<uint8_t> rgb_;
};

}  // namespace omhost
