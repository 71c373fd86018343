#include "tools/host/demo.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/muldiv.h"
#include "settings/profile_store.h"
#include "settings/settings_model.h"
#include "tools/host/host_platform.h"
#include "tools/host/host_run.h"
#include "tools/host/plugin_session.h"

namespace omhost {
namespace {

namespace fs = std::filesystem;

// Channel 3's key, in percent of the largest colour distance. In the sample
// the green and its compression noise lie within 14 % of its corner pixel,
// the logo's own pixels (the grey edges of its black text too) about 30 %
// or more away: the mixed pixels of the edges between fade out.
constexpr int32_t kNoisyKeyTolerance = 20;
constexpr int32_t kNoisyKeySoftness = 10;

struct Placement {
  int32_t posX, posY, sizeX, sizeY, opacity;
};

// Width in thousandths for a logo `sizeY` thousandths high, keeping the
// picture's aspect on a 4:3 frame (as the plug-in sizes a new picture).
int32_t widthForHeight(const std::string& picture, int32_t sizeY, int32_t fallback) {
  int w = 0, h = 0;
  if (!readPictureSize(picture, w, h)) return fallback;
  const int32_t sizeX = om::MulDiv(om::MulDiv(sizeY, w, h), 3, 4);
  return sizeX > 0 && sizeX <= 450 ? sizeX : fallback;
}

om::ChannelRecord channelRecord(int64_t id, const std::string& file, const Placement& p) {
  om::ChannelRecord r;
  r.id = id;
  r.LogoFileName = file;
  r.LogoPosX = p.posX;
  r.LogoPosY = p.posY;
  r.LogoSizeX = p.sizeX;
  r.LogoSizeY = p.sizeY;
  r.LogoOpacity = p.opacity;
  return r;
}

uint32_t bigEndian16(const unsigned char* p) { return (uint32_t{p[0]} << 8) | p[1]; }
uint32_t bigEndian32(const unsigned char* p) { return (bigEndian16(p) << 16) | bigEndian16(p + 2); }

// The first frame header (SOFn) among the segments after the start marker.
bool jpegSize(const unsigned char* p, size_t n, int& width, int& height) {
  size_t i = 2;
  while (i + 9 <= n && p[i] == 0xFF) {
    const unsigned char marker = p[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic coding) share
    // the frame headers' range.
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      height = static_cast<int>(bigEndian16(p + i + 5));
      width = static_cast<int>(bigEndian16(p + i + 7));
      return width > 0 && height > 0;
    }
    const size_t length = bigEndian16(p + i + 2);
    if (length < 2) return false;
    i += 2 + length;
  }
  return false;
}

}  // namespace

bool readPictureSize(const std::string& path, int& width, int& height) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // A JPEG's frame header follows its tables: a few hundred bytes in, or
  // further behind metadata.
  std::vector<unsigned char> head(64 * 1024);
  const size_t n = std::fread(head.data(), 1, head.size(), f);
  std::fclose(f);
  const unsigned char* p = head.data();
  if (n >= 24 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0 && std::memcmp(p + 12, "IHDR", 4) == 0) {
    const uint32_t w = bigEndian32(p + 16), h = bigEndian32(p + 20);
    if (w == 0 || h == 0 || w > 65535 || h > 65535) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
  }
  if (n >= 10 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0)) {
    width = p[6] | (p[7] << 8);
    height = p[8] | (p[9] << 8);
    return width > 0 && height > 0;
  }
  if (n >= 4 && p[0] == 0xFF && p[1] == 0xD8) return jpegSize(p, n, width, height);
  return false;
}

std::string demoSettingsText(const DemoLogos& logos) {
  // Channel 1: top right, see-through; channel 2: bottom left, solid;
  // channel 3: top left, solid.
  Placement first{0, 40, 0, 150, 70};
  first.sizeX = widthForHeight(logos.animated, first.sizeY, 200);
  first.posX = 1000 - first.sizeX - 30;
  Placement second{30, 0, 0, 180, 100};
  second.sizeX = widthForHeight(logos.badge, second.sizeY, 240);
  second.posY = 1000 - second.sizeY - 40;
  Placement third{30, 40, 0, 220, 100};
  third.sizeX = widthForHeight(logos.noisy, third.sizeY, 330);

  om::ChannelRecord badge = channelRecord(2, logos.badge, second);
  om::ChannelRecord noisy = channelRecord(3, logos.noisy, third);
  // Their white and black become the video's own white and black.
  badge.VideoColors = noisy.VideoColors = om::kVideoColorsAutomatic;
  noisy.ColorKeyEnable = 1;
  noisy.LeftTopPixelColor = 1;  // the key is the picture's own green
  noisy.KeyTolerance = kNoisyKeyTolerance;
  noisy.KeySoftness = kNoisyKeySoftness;

  // Channel 4 erases the logo the video carries (the test pattern's ring
  // around a 7), filling it from the black around, and in a second layer
  // shows its own at the top right, moving a few pixels every minute
  // against burn-in.
  om::ChannelRecord erasing = channelRecord(4, "", Placement{880, 420, 110, 160, 100});
  erasing.CoverMode = om::kCoverErase;
  Placement own{0, 40, 0, 160, 100};
  own.sizeX = widthForHeight(logos.badge, own.sizeY, 220);
  own.posX = 1000 - own.sizeX - 30;
  om::LayerSettings ownLogo;
  static_cast<om::LogoSettings&>(ownLogo) = channelRecord(4, logos.badge, own);
  ownLogo.number = 2;
  ownLogo.VideoColors = om::kVideoColorsAutomatic;
  ownLogo.DriftPixels = 6;
  ownLogo.DriftMinutes = 1;
  erasing.layers.push_back(ownLogo);

  om::StoredSettings settings;
  settings.privateSettings = 1;
  // Record 0, COMMON, keeps every default.
  settings.channelTable.push_back(channelRecord(1, logos.animated, first));
  settings.channelTable.push_back(badge);
  settings.channelTable.push_back(noisy);
  settings.channelTable.push_back(erasing);

  om::ProfileStore store;
  store.lineEnd = "\n";
  store.openInMemory(om::ProfileStore::Mode::Writing);
  om::writeSettingsToStore(store, settings, om::ChannelKnownFn());
  return store.text();
}

int runDemo(HostOptions options) {
  std::error_code ec;
  const fs::path outDir = fs::absolute(fs::path(options.demoDir), ec);
  fs::create_directories(outDir, ec);
  if (ec) {
    std::fprintf(stderr, "om_host: cannot create %s\n", outDir.string().c_str());
    return 1;
  }
#ifndef _WIN32
  options.settingsDir = (outDir / "settings").string();
#endif
  // The file goes where the plug-in will look: under the output folder, or
  // on Windows, which takes no folder from a host, in its own.
  std::string iniPath, error;
  if (!prepareSettingsFile(options.settingsDir, pluginPathFor(options), iniPath, error)) {
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 2;
  }
  if (iniPath.empty()) {
    std::fprintf(stderr, "om_host: the plug-in finds no folder for its settings\n");
    return 1;
  }
  fs::create_directories(fs::path(iniPath).parent_path(), ec);

  std::string samples = options.samplesDir;
#ifdef OM_HOST_SAMPLES_DIR
  if (samples.empty()) samples = OM_HOST_SAMPLES_DIR;
#endif
  if (samples.empty()) samples = "samples";
  const fs::path samplesDir = fs::absolute(fs::path(samples), ec);
  DemoLogos logos;
  logos.animated = (samplesDir / "logo_animated.gif").string();
  logos.badge = (samplesDir / "logo_alpha.png").string();
  logos.noisy = (samplesDir / "logo_noisy.jpg").string();
  for (const std::string* logo : {&logos.animated, &logos.badge, &logos.noisy}) {
    if (!fs::is_regular_file(*logo, ec))
      std::fprintf(stderr, "om_host: %s is missing; its channel shows no logo\n", logo->c_str());
  }

  FILE* ini = std::fopen(iniPath.c_str(), "wb");
  const std::string text = demoSettingsText(logos);
  const bool iniOk = ini && std::fwrite(text.data(), 1, text.size(), ini) == text.size();
  if (ini && std::fclose(ini) != 0) ini = nullptr;
  if (!ini || !iniOk) {
    std::fprintf(stderr, "om_host: cannot write %s\n", iniPath.c_str());
    return 1;
  }

  if (options.channels.empty())
    parseChannelSchedule("1:Первый@0,2:Второй@50,3:Третий@100,4:Четвёртый@150", options.channels, error);
  if (options.frames < 0) options.frames = 200;
  // As broadcast video is; a Y4M input's own tag still decides for it.
  options.input.range = ColorRange::Tv;
  if (options.y4mOutput.empty() && options.rawOutput.empty())
    options.y4mOutput = (outDir / "demo.y4m").string();
#ifdef _WIN32
  const bool pictures = false;  // no PNG library in the Windows build: video only
#else
  const bool pictures = true;
  // Two frames of each channel.
  if (options.snapshots.empty()) options.snapshots = {10, 40, 60, 90, 110, 149, 160, 199};
  if (options.snapshotDir.empty()) options.snapshotDir = (outDir / "snapshots").string();
  if (options.contactSheet.empty())
    options.contactSheet = (outDir / "contact_sheet.png").string();
#endif

  const int code = runHost(options);
  if (code == 0) {
    std::printf("demo      settings %s\n", iniPath.c_str());
    if (!options.y4mOutput.empty() && options.y4mOutput != "-")
      std::printf("demo      video    %s\n", options.y4mOutput.c_str());
    if (pictures) {
      std::printf("demo      pictures %s\n", options.snapshotDir.c_str());
      std::printf("demo      sheet    %s\n", options.contactSheet.c_str());
    }
  }
  return code;
}

}  // namespace omhost
