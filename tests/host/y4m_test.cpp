#include "tools/host/y4m.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tools/host/frame_io.h"

namespace {

using namespace omhost;

TEST(Y4mHeader, ReadsEveryFieldAndKeepsExtensions) {
  Y4mHeader h;
  std::string error;
  ASSERT_TRUE(parseY4mHeader("YUV4MPEG2 W1280 H720 F30000:1001 It A1:1 C420jpeg XYSCSS=420JPEG",
                             h, error)) << error;
  EXPECT_EQ(h.width, 1280);
  EXPECT_EQ(h.height, 720);
  EXPECT_EQ(h.fpsNum, 30000);
  EXPECT_EQ(h.fpsDen, 1001);
  EXPECT_EQ(h.interlace, 't');
  EXPECT_EQ(h.aspectNum, 1);
  EXPECT_EQ(h.chroma, Y4mChroma::C420);
  ASSERT_EQ(h.extensions.size(), 1u);
  EXPECT_EQ(formatY4mHeader422(h),
            "YUV4MPEG2 W1280 H720 F30000:1001 It A1:1 C422 XYSCSS=420JPEG\n");

  // Without a C tag the stream is 4:2:0.
  ASSERT_TRUE(parseY4mHeader("YUV4MPEG2 W2 H2", h, error));
  EXPECT_EQ(h.chroma, Y4mChroma::C420);
  EXPECT_EQ(h.fpsNum, 25);
}

TEST(Y4mHeader, RefusesWhatItCannotReadSafely) {
  Y4mHeader h;
  std::string error;
  for (const char* bad : {"", "YUV4MPEG W2 H2", "YUV4MPEG2 H2", "YUV4MPEG2 W0 H2",
                          "YUV4MPEG2 W8193 H2", "YUV4MPEG2 W99999999999 H2", "YUV4MPEG2 W2 H-2",
                          "YUV4MPEG2 W2 H2 F25:0", "YUV4MPEG2 W2 H2 C420p10",
                          "YUV4MPEG2 W2 H2 C444alpha", "YUV4MPEG2 W2 H2 Wx"}) {
    error.clear();
    EXPECT_FALSE(parseY4mHeader(bad, h, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(Y4mColourRange, TagIsReadAndTheTestPictureKeepsToItsRange) {
  Y4mHeader h;
  ColorRange range = ColorRange::Full;
  h.extensions = {"XYSCSS=422"};
  EXPECT_FALSE(y4mColorRange(h, range));
  h.extensions.push_back("XCOLORRANGE=LIMITED");
  ASSERT_TRUE(y4mColorRange(h, range));
  EXPECT_EQ(range, ColorRange::Tv);

  for (const ColorRange asked : {ColorRange::Full, ColorRange::Tv}) {
    const bool tv = asked == ColorRange::Tv;
    SCOPED_TRACE(tv ? "TV range" : "full range");
    InputRequest request;
    request.range = asked;
    std::string error;
    const auto source = openSource(request, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->format().range, asked);
    ASSERT_TRUE(y4mColorRange(source->format().y4m, range));
    EXPECT_EQ(range, asked);

    std::vector<uint8_t> frame(pluginFrameBytes(0, 720, 576));
    std::string warning;
    ASSERT_TRUE(source->next(frame.data(), warning));
    EXPECT_EQ(frame[0], tv ? 180 : 191);  // the 75 % white bar
    uint8_t lowY = 255, highY = 0, lowC = 255, highC = 0;
    for (size_t i = 0; i < frame.size(); i += 2) {
      lowY = std::min(lowY, frame[i]);
      highY = std::max(highY, frame[i]);
      lowC = std::min(lowC, frame[i + 1]);
      highC = std::max(highC, frame[i + 1]);
    }
    EXPECT_EQ(lowY, tv ? 16 : 0);  // the black bar
    EXPECT_LE(highY, tv ? 235 : 255);
    EXPECT_GE(lowC, tv ? 16 : 0);
    EXPECT_LE(highC, tv ? 240 : 255);
  }
}

TEST(Y4mFrames, SizesFollowTheChromaLayout) {
  Y4mHeader h;
  h.width = 5;  // odd sizes round the chroma planes up
  h.height = 3;
  h.chroma = Y4mChroma::C420;
  EXPECT_EQ(y4mFrameBytes(h), 15u + 2 * 3 * 2);
  h.chroma = Y4mChroma::C422;
  EXPECT_EQ(y4mFrameBytes(h), 15u + 2 * 3 * 3);
  h.chroma = Y4mChroma::C444;
  EXPECT_EQ(y4mFrameBytes(h), 45u);
  h.chroma = Y4mChroma::Mono;
  EXPECT_EQ(y4mFrameBytes(h), 15u);
}

TEST(Y4mFrames, ConvertToPacked422) {
  Y4mHeader h;
  h.width = 4;
  h.height = 4;
  std::vector<uint8_t> packed(32);

  // 4:2:2 is a plain interleave.
  h.chroma = Y4mChroma::C422;
  std::vector<uint8_t> planes(y4mFrameBytes(h));
  for (size_t i = 0; i < planes.size(); ++i) planes[i] = static_cast<uint8_t>(i);
  y4mToPacked422(h, planes.data(), packed.data());
  EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 8),
            (std::vector<uint8_t>{0, 16, 1, 24, 2, 17, 3, 25}));

  // 4:4:4 averages each pair's chroma, rounding halves up.
  h.chroma = Y4mChroma::C444;
  planes.assign(y4mFrameBytes(h), 0);
  planes[16] = 10; planes[17] = 13;   // Cb of pixels 0, 1
  planes[32] = 200; planes[33] = 201; // Cr
  y4mToPacked422(h, planes.data(), packed.data());
  EXPECT_EQ(packed[1], 12);
  EXPECT_EQ(packed[3], 201);

  // 4:2:0: 3/4 of the nearer chroma row, 1/4 of the next one out; edges repeat.
  h.chroma = Y4mChroma::C420;
  planes.assign(y4mFrameBytes(h), 0);
  planes[16] = 100;  // Cb row 0, column 0
  planes[18] = 20;   // Cb row 1, column 0
  y4mToPacked422(h, planes.data(), packed.data());
  EXPECT_EQ(packed[0 * 8 + 1], 100);  // row 0: 3/4*100 + 1/4*100
  EXPECT_EQ(packed[1 * 8 + 1], 80);   // row 1: 3/4*100 + 1/4*20
  EXPECT_EQ(packed[2 * 8 + 1], 40);   // row 2: 3/4*20 + 1/4*100
  EXPECT_EQ(packed[3 * 8 + 1], 20);   // row 3: bottom edge repeats

  h.chroma = Y4mChroma::Mono;
  planes.assign(y4mFrameBytes(h), 7);
  y4mToPacked422(h, planes.data(), packed.data());
  EXPECT_EQ(packed[0], 7);
  EXPECT_EQ(packed[1], 128);
  EXPECT_EQ(packed[3], 128);
}

}  // namespace
