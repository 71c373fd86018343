// om_host run as a program, the way people and scripts use it.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/host/host_test_util.h"
#include "tools/host/png_writer.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

using hosttest::readFile;
using hosttest::ScratchDir;
using hosttest::writeFile;

struct HostRun {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs om_host with `args` (already quoted), stdin from `input` if given.
HostRun runHost(const ScratchDir& dir, const std::string& args, const std::string& input = "") {
  const std::string outPath = dir / "stdout.txt", errPath = dir / "stderr.txt";
  std::string cmd = "\"" OM_HOST_PATH "\" " + args;
  if (!input.empty()) cmd += " < \"" + input + "\"";
  cmd += " > \"" + outPath + "\" 2> \"" + errPath + "\"";
  HostRun run;
  const int status = std::system(cmd.c_str());
#ifdef _WIN32
  run.code = status;
#else
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  return run;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// "checksum  out X in Y" -> {X, Y}
std::pair<std::string, std::string> checksums(const std::string& report) {
  const size_t at = report.find("checksum  out ");
  if (at == std::string::npos) return {"missing", "missing"};
  return {report.substr(at + 14, 16), report.substr(at + 34, 16)};
}

// A settings folder whose common record shows `logo` at 70% opacity.
std::string settingsWithLogo(const ScratchDir& dir, const std::string& logo,
                             const std::string& privateSettings = "0",
                             const std::string& channelSections = "") {
  const std::string root = dir / "cfg";
  hosttest::fs::create_directories(hosttest::fs::path(root) / "Tulvane" / "Plugins");
  writeFile((hosttest::fs::path(root) / "Tulvane" / "Plugins" / "Ostrane_Marquel.ini").string(),
            "[COMMON]\nDlgWndPosX=-100\nDlgWndPosY=-100\nPrivateSettings=" + privateSettings +
                "\nLogoFileName=" + logo +
                "\nLogoPosX=100\nLogoPosY=100\nLogoSizeX=300\nLogoSizeY=300\nLogoOpacity=70\n"
                "ShowLogo=1\nColorKeyEnable=0\nLeftTopPixelColor=1\nColorKey=0\n" +
                channelSections);
  return root;
}

std::string makeLogo(const ScratchDir& dir) {
  const int w = 40, h = 30;
  std::string rgb(static_cast<size_t>(w) * h * 3, '\0');
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<char>(x * 6);
      p[1] = static_cast<char>(y * 8);
      p[2] = static_cast<char>(200);
    }
  std::string error;
  const std::string path = dir / "logo.png";
  EXPECT_TRUE(omhost::writePngRgb(path, reinterpret_cast<const uint8_t*>(rgb.data()), w, h,
                                  error)) << error;
  return path;
}

// One pixel of a PNG as R G B; -1s when it does not read.
std::array<int, 3> pngPixel(const std::string& path, int x, int y) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {-1, -1, -1};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {-1, -1, -1};
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * image.width + static_cast<size_t>(x)) * 3];
  return {p[0], p[1], p[2]};
}

std::string y4mStream(const std::string& header, size_t frameBytes, int frames, uint32_t seed) {
  std::string s = header + "\n";
  for (int i = 0; i < frames; ++i)
    s += "FRAME\n" + hosttest::randomBytes(frameBytes, seed + static_cast<uint32_t>(i));
  return s;
}

TEST(HostProgram, PrintsTheDescriptorInUtf8) {
  ScratchDir dir;
  const HostRun run = runHost(dir, "--info");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("name      Логотип\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("about     Установка собственного логотипа\n"), std::string::npos);
  EXPECT_NE(run.out.find("(interface 3)"), std::string::npos);

  const HostRun help = runHost(dir, "--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Examples"), std::string::npos);
}

TEST(HostProgram, TestPictureChecksumIsDeterministicAndCoversEveryFrame) {
  ScratchDir dir;
  const std::string args = "--frames 12 --checksum --settings-dir " + quoted(dir / "cfg");
  const HostRun a = runHost(dir, args), b = runHost(dir, args);
  ASSERT_EQ(a.code, 0) << a.err;
  ASSERT_EQ(b.code, 0) << b.err;
  EXPECT_NE(checksums(a.out).first, "missing") << a.out;
  EXPECT_EQ(checksums(a.out), checksums(b.out));
  const HostRun longer = runHost(dir, "--frames 13 --checksum --settings-dir " + quoted(dir / "cfg"));
  EXPECT_NE(checksums(longer.out).first, checksums(a.out).first);
  EXPECT_NE(a.err.find("frames        12 (720x576, plug-in layout 0, 25/1 fps)"),
            std::string::npos) << a.err;
  EXPECT_NE(a.err.find("median"), std::string::npos);
  EXPECT_NE(a.err.find("p99"), std::string::npos);
}

TEST(HostProgram, SimdCapsGiveTheSameFrames) {
  ScratchDir dir;
  const std::string cfg = settingsWithLogo(dir, makeLogo(dir));
  std::vector<std::string> sums;
  for (const char* simd : {"", "--simd scalar", "--simd sse2", "--simd avx2"}) {
    for (const char* layout : {"yuyv", "bgr24-bottom-up"}) {
      const HostRun run = runHost(dir, std::string(simd) + " --layout " + layout +
                                       " --frames 6 --checksum --settings-dir " + quoted(cfg));
      ASSERT_EQ(run.code, 0) << run.err;
      sums.push_back(checksums(run.out).first + layout);
      if (std::string(simd) == "--simd scalar") {
        EXPECT_NE(run.err.find("simd          scalar"), std::string::npos) << run.err;
      }
    }
  }
  for (size_t i = 2; i < sums.size(); ++i) EXPECT_EQ(sums[i], sums[i % 2]) << i;
}

TEST(HostProgram, ConfiguredLogoChangesTheFrames) {
  ScratchDir dir;
  const std::string cfg = settingsWithLogo(dir, makeLogo(dir));
  const HostRun run = runHost(dir, "--frames 3 --checksum --settings-dir " + quoted(cfg));
  ASSERT_EQ(run.code, 0) << run.err;
  const auto sums = checksums(run.out);
  EXPECT_NE(sums.first, sums.second) << "the plug-in left every frame as it was";
}

TEST(HostProgram, PassThroughCpuClassLeavesFramesUntouched) {
  ScratchDir dir;
  const std::string cfg = settingsWithLogo(dir, makeLogo(dir));
  for (const char* cpu : {"1", "2"}) {
    const HostRun run = runHost(dir, std::string("--cpu-class ") + cpu +
                                     " --frames 5 --checksum --settings-dir " + quoted(cfg));
    ASSERT_EQ(run.code, 0) << run.err;
    const auto sums = checksums(run.out);
    EXPECT_EQ(sums.first, sums.second) << cpu;
    EXPECT_NE(run.err.find("skipped       5 by the plug-in"), std::string::npos) << run.err;
  }
}

TEST(HostProgram, RawYuyvThroughPipesKeepsSizeAndBytes) {
  ScratchDir dir;
  const size_t frameBytes = 64 * 48 * 2;
  const std::string input = hosttest::randomBytes(frameBytes * 5, 7);
  writeFile(dir / "in.raw", input);
  // stdin to stdout, as between two video tools; the reports move to stderr.
  const HostRun piped = runHost(dir, "--input - --size 64x48 --cpu-class 1 --output - --checksum "
                                 "--settings-dir " + quoted(dir / "cfg"),
                            dir / "in.raw");
  ASSERT_EQ(piped.code, 0) << piped.err;
  EXPECT_EQ(piped.out, input);
  EXPECT_NE(piped.err.find("name      "), std::string::npos);
  const auto sums = checksums(piped.err);
  EXPECT_EQ(sums.first, sums.second);

  // Processed normally, the stream keeps its size.
  const HostRun processed = runHost(dir, "--input " + quoted(dir / "in.raw") +
                                         " --size 64x48 --output " + quoted(dir / "out.raw") +
                                         " --settings-dir " + quoted(dir / "cfg"));
  ASSERT_EQ(processed.code, 0) << processed.err;
  EXPECT_EQ(readFile(dir / "out.raw").size(), input.size());
}

TEST(HostProgram, TwentyFourBitLayoutsComeBackAsTheyWent) {
  ScratchDir dir;
  const std::string input = hosttest::randomBytes(63 * 17 * 3 * 3, 11);  // odd width
  writeFile(dir / "in.rgb", input);
  for (const char* layout : {"rgb24", "bgr24", "bgr24-bottom-up"}) {
    const HostRun run = runHost(dir, "--input " + quoted(dir / "in.rgb") + " --size 63x17 --layout " +
                                     layout + " --cpu-class 1 --output " +
                                     quoted(dir / "out.rgb") + " --settings-dir " +
                                     quoted(dir / "cfg"));
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(readFile(dir / "out.rgb") == input) << layout;
  }
}

TEST(HostProgram, Y4mRoundTripsHeaderAndFrames) {
  ScratchDir dir;
  const std::string header = "YUV4MPEG2 W64 H48 F30000:1001 It A1:1 C422 XYSCSS=422";
  const std::string stream = y4mStream(header, 64 * 48 * 2, 3, 21);
  writeFile(dir / "in.y4m", stream);
  // Through stdin too: the header is found without seeking.
  const HostRun run = runHost(dir, "--input - --cpu-class 1 --y4m " + quoted(dir / "out.y4m") +
                                   " --settings-dir " + quoted(dir / "cfg"),
                          dir / "in.y4m");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(readFile(dir / "out.y4m") == stream);
  EXPECT_NE(run.err.find("30000/1001 fps"), std::string::npos) << run.err;

  // Raw 4:2:2 input written as Y4M: frames are the packed bytes, split into planes.
  const std::string packed = hosttest::randomBytes(4 * 2 * 2, 5);
  writeFile(dir / "in.yuyv", packed);
  const HostRun raw = runHost(dir, "--input " + quoted(dir / "in.yuyv") + " --size 4x2 --fps 50 " +
                                   "--cpu-class 1 --y4m " + quoted(dir / "raw.y4m") +
                                   " --settings-dir " + quoted(dir / "cfg"));
  ASSERT_EQ(raw.code, 0) << raw.err;
  const std::string y4m = readFile(dir / "raw.y4m");
  const std::string expectedHeader = "YUV4MPEG2 W4 H2 F50:1 Ip A0:0 C422\nFRAME\n";
  ASSERT_EQ(y4m.substr(0, expectedHeader.size()), expectedHeader);
  EXPECT_EQ(y4m.size(), expectedHeader.size() + packed.size());
  EXPECT_EQ(y4m[expectedHeader.size() + 0], packed[0]);  // Y0
  EXPECT_EQ(y4m[expectedHeader.size() + 1], packed[2]);  // Y1
  EXPECT_EQ(y4m[expectedHeader.size() + 8], packed[1]);  // first Cb
}

TEST(HostProgram, Y4m420AndMonoAreWidenedTo422) {
  ScratchDir dir;
  for (const char* chroma : {"C420jpeg", "Cmono", "C444"}) {
    const std::string c = chroma;
    const size_t bytes = c == "Cmono" ? 32 * 16 : (c == "C444" ? 32 * 16 * 3 : 32 * 16 * 3 / 2);
    const std::string stream =
        y4mStream("YUV4MPEG2 W32 H16 F25:1 Ip A1:1 " + c, bytes, 2, 3);
    writeFile(dir / "in.y4m", stream);
    const HostRun run = runHost(dir, "--input " + quoted(dir / "in.y4m") + " --cpu-class 1 --y4m " +
                                     quoted(dir / "out.y4m") + " --settings-dir " +
                                     quoted(dir / "cfg"));
    ASSERT_EQ(run.code, 0) << chroma << run.err;
    const std::string out = readFile(dir / "out.y4m");
    const std::string header = "YUV4MPEG2 W32 H16 F25:1 Ip A1:1 C422\n";
    ASSERT_EQ(out.substr(0, header.size()), header) << chroma;
    ASSERT_EQ(out.size(), header.size() + 2 * (6 + 32 * 16 * 2)) << chroma;
    // Luma passes unchanged.
    const size_t inLuma = stream.find("FRAME\n") + 6;
    EXPECT_EQ(out.substr(header.size() + 6, 32 * 16), stream.substr(inLuma, 32 * 16)) << chroma;
  }
}

TEST(HostProgram, Y4mRangeTagDecidesHowFramesBecomeRgbAndIsKept) {
  // Grey at Y 235: TV range white, or a light grey in full range.
  ScratchDir dir;
  const std::string frame = std::string(4 * 2, '\xEB') + std::string(2 * 2 * 2, '\x80');
  const struct {
    std::string tag, option;
    char rgb;
    std::string outTag;
  } cases[] = {
      {" XCOLORRANGE=LIMITED", "", '\xFF', " XCOLORRANGE=LIMITED"},
      {" XCOLORRANGE=FULL", "", '\xEB', " XCOLORRANGE=FULL"},
      {" XCOLORRANGE=FULL", " --tv-range", '\xEB', " XCOLORRANGE=FULL"},  // the tag wins
      {"", "", '\xEB', ""},
      {"", " --tv-range", '\xFF', " XCOLORRANGE=LIMITED"},
  };
  for (const auto& c : cases) {
    const std::string header = "YUV4MPEG2 W4 H2 F25:1 Ip A0:0 C422";
    writeFile(dir / "in.y4m", header + c.tag + "\nFRAME\n" + frame);
    const HostRun run = runHost(dir, "--input " + quoted(dir / "in.y4m") + c.option +
                                     " --layout bgr24-bottom-up --cpu-class 1 --output " +
                                     quoted(dir / "out.bgr") + " --y4m " + quoted(dir / "out.y4m") +
                                     " --settings-dir " + quoted(dir / "cfg"));
    ASSERT_EQ(run.code, 0) << c.tag << c.option << run.err;
    EXPECT_EQ(readFile(dir / "out.bgr"), std::string(4 * 2 * 3, c.rgb)) << c.tag << c.option;
    // Back to YCbCr by the same range: the stream comes out as it went in.
    EXPECT_EQ(readFile(dir / "out.y4m"), header + c.outTag + "\nFRAME\n" + frame)
        << c.tag << c.option;
  }
}

TEST(HostProgram, ShortInputIsReportedAndItsWholeFramesKept) {
  ScratchDir dir;
  writeFile(dir / "in.raw", hosttest::randomBytes(16 * 8 * 2 * 5 / 2, 3));  // 2.5 frames
  const HostRun run = runHost(dir, "--input " + quoted(dir / "in.raw") + " --size 16x8 --output " +
                                   quoted(dir / "out.raw") + " --settings-dir " +
                                   quoted(dir / "cfg"));
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("partial frame is dropped"), std::string::npos) << run.err;
  EXPECT_EQ(readFile(dir / "out.raw").size(), 16u * 8 * 2 * 2);

  writeFile(dir / "cut.y4m", "YUV4MPEG2 W4 H2 C422\nFRAME\n" + std::string(16, 'a') + "FRA");
  const HostRun y4m = runHost(dir, "--input " + quoted(dir / "cut.y4m") + " --settings-dir " +
                                   quoted(dir / "cfg"));
  EXPECT_EQ(y4m.code, 0) << y4m.err;
  EXPECT_NE(y4m.err.find("frames        1 "), std::string::npos) << y4m.err;
  EXPECT_NE(y4m.err.find("ends inside a frame header"), std::string::npos) << y4m.err;
}

TEST(HostProgram, RefusesInputItCannotHandle) {
  ScratchDir dir;
  writeFile(dir / "in.raw", std::string(64, '\0'));
  writeFile(dir / "deep.y4m", "YUV4MPEG2 W4 H2 C420p10\n");
  writeFile(dir / "huge.y4m", "YUV4MPEG2 W100000 H100000 C444\n");
  writeFile(dir / "odd.y4m", "YUV4MPEG2 W3 H2 C444\nFRAME\n" + std::string(18, 'a'));
  const std::string cfg = " --settings-dir " + quoted(dir / "cfg");
  const struct {
    std::string args;
    int code;
    const char* message;
  } cases[] = {
      {"--input " + quoted(dir / "in.raw"), 2, "needs --size"},
      {"--input " + quoted(dir / "deep.y4m"), 2, "C420p10"},
      {"--input " + quoted(dir / "huge.y4m"), 2, "Y4M header needs a size"},
      {"--input " + quoted(dir / "odd.y4m"), 2, "even width"},
      {"--input " + quoted(dir / "in.raw") + " --size 3x2", 2, "even width"},
      {"--input " + quoted(dir / "missing.raw") + " --size 4x2", 2, "cannot open"},
      {"--frames", 2, "needs a value"},
      {"--plugin " + quoted(dir / "in.raw"), 1, ""},
      {"--output - --y4m -", 2, "both go to stdout"},
  };
  for (const auto& c : cases) {
    const HostRun run = runHost(dir, cfg + " " + c.args);
    EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
  // None of the refused runs reached the plug-in, so no settings were saved.
  EXPECT_FALSE(hosttest::fs::exists(dir / "cfg/Tulvane/Plugins/Ostrane_Marquel.ini"));
}

TEST(HostProgram, ChannelScheduleAndHostAnswersReachThePlugin) {
  ScratchDir dir;
  const std::string cfg = settingsWithLogo(dir, "", "1");
  const HostRun run = runHost(dir, "--frames 9 --channels \"1:Первый@0,5:Пятый@3,9:Девятый@6\" "
                               "--existing-channels 5 --settings-dir " + quoted(cfg));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("2 channel switches"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("channelExists asked about: 0 1 5 9"), std::string::npos) << run.err;
  const std::string ini = readFile(cfg + "/Tulvane/Plugins/Ostrane_Marquel.ini");
  EXPECT_NE(ini.find("[1]"), std::string::npos) << ini;  // ids 1 and 2 are always kept
  EXPECT_NE(ini.find("[5]"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("[9]"), std::string::npos) << ini;
}

// The summary names the file the plug-in really kept, wherever its own
// rules put it: "-inst:" anywhere on the command line means an instance
// folder. Every label stands in one column, and the times of each kind of
// frame under each other.
TEST(HostProgram, SummaryNamesTheSettingsFileUsedInAlignedColumns) {
  ScratchDir dir;
  const std::string cfg = dir / "cfg-inst:Q";
  const HostRun run = runHost(dir, "--frames 12 --channels 1@0,2@5 --settings-dir " + quoted(cfg));
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string used = cfg + "/Tulvane/Instances/q/Plugins/Ostrane_Marquel.ini";
  EXPECT_TRUE(hosttest::fs::exists(used)) << run.err;
  EXPECT_NE(run.err.find("\n  settings      " + used + "\n"), std::string::npos) << run.err;

  const size_t start = run.err.find("summary\n");
  ASSERT_NE(start, std::string::npos) << run.err;
  std::istringstream summary(run.err.substr(start + 8));
  size_t timeLines = 0, medianColumn = 0;
  for (std::string line; std::getline(summary, line);) {
    SCOPED_TRACE(line);
    ASSERT_GT(line.size(), 16u);
    EXPECT_EQ(line.substr(0, 2), "  ");
    EXPECT_NE(line[2], ' ');
    EXPECT_EQ(line[15], ' ');
    const size_t median = line.find(" frames: median ");
    if (median == std::string::npos) continue;
    if (timeLines++ == 0) medianColumn = median;
    EXPECT_EQ(median, medianColumn);
  }
  EXPECT_EQ(timeLines, 4u);  // all, first, switching, plain; stepping: none
}

TEST(HostProgram, DemoWritesVideoPicturesAndSettings) {
  if (!omhost::pngSupported()) GTEST_SKIP() << "no PNG output in this build";
  ScratchDir dir;
  hosttest::fs::create_directories(dir / "samples");
  const std::string out = dir / "demo";
  const HostRun run = runHost(dir, "--demo " + quoted(out) + " --samples " + quoted(dir / "samples"));
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.err.find("logo_noisy.jpg is missing"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("3 channel switches"), std::string::npos) << run.err;
  const std::string y4m = readFile(out + "/demo.y4m");
  const size_t headerEnd = y4m.find('\n') + 1;
  EXPECT_EQ(y4m.substr(0, headerEnd), "YUV4MPEG2 W720 H576 F25:1 Ip A0:0 C422 XCOLORRANGE=LIMITED\n");
  EXPECT_EQ(y4m.size(), headerEnd + 200u * (6 + 720 * 576 * 2));
  for (const char* shot : {"10", "40", "60", "90", "110", "149", "160", "199"}) {
    const std::string name = out + "/snapshots/frame_000" + (std::string(shot).size() == 2 ? "0" : "") + shot + ".png";
    EXPECT_EQ(readFile(name).substr(1, 3), "PNG") << name;
    EXPECT_NE(run.out.find(name), std::string::npos) << run.out;
  }
  // Snapshots expand TV range: the 75 % bar, Y 180 in the video, is 191 again.
  EXPECT_EQ(pngPixel(out + "/snapshots/frame_000010.png", 5, 5), (std::array<int, 3>{191, 191, 191}));
  // The video's own logo, a bright ring in the black bar, is erased on channel 4.
  EXPECT_GT(pngPixel(out + "/snapshots/frame_000010.png", 705, 288)[0], 100);
  EXPECT_EQ(pngPixel(out + "/snapshots/frame_000160.png", 705, 288), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(readFile(out + "/contact_sheet.png").substr(1, 3), "PNG");
  EXPECT_NE(run.out.find("contact_sheet.png"), std::string::npos);
  // Every channel is saved, and the common record is not saved a second time.
  const std::string ini = readFile(out + "/settings/Tulvane/Plugins/Ostrane_Marquel.ini");
  for (const char* section : {"[1]", "[2]", "[3]", "[4]"})
    EXPECT_NE(ini.find(section), std::string::npos) << ini;
  EXPECT_EQ(ini.find("[0]"), std::string::npos) << ini;
  EXPECT_NE(run.err.find("channelExists asked about: 0 1 2 3 4"), std::string::npos) << run.err;
}

}  // namespace
