#include "tools/host/demo.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/muldiv.h"
#include "tools/host/host_platform.h"
#include "tools/host/host_run.h"

namespace omhost {
namespace {

namespace fs = std::filesystem;

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

void appendKeys(std::string& out, const std::string& file, const Placement& p) {
  out += "LogoFileName=" + file + "\n";
  out += "LogoPosX=" + std::to_string(p.posX) + "\n";
  out += "LogoPosY=" + std::to_string(p.posY) + "\n";
  out += "LogoSizeX=" + std::to_string(p.sizeX) + "\n";
  out += "LogoSizeY=" + std::to_string(p.sizeY) + "\n";
  out += "LogoOpacity=" + std::to_string(p.opacity) + "\n";
  out += "ShowLogo=1\n";
  out += "ColorKeyEnable=0\n";
  out += "LeftTopPixelColor=1\n";
  out += "ColorKey=0\n";
}

}  // namespace

bool readPictureSize(const std::string& path, int& width, int& height) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  unsigned char head[24];
  const size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  if (n >= 24 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0 &&
      std::memcmp(head + 12, "IHDR", 4) == 0) {
    const uint32_t w = (uint32_t{head[16]} << 24) | (uint32_t{head[17]} << 16) |
                       (uint32_t{head[18]} << 8) | head[19];
    const uint32_t h = (uint32_t{head[20]} << 24) | (uint32_t{head[21]} << 16) |
                       (uint32_t{head[22]} << 8) | head[23];
    if (w == 0 || h == 0 || w > 65535 || h > 65535) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
  }
  if (n >= 10 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0)) {
    width = head[6] | (head[7] << 8);
    height = head[8] | (head[9] << 8);
    return width > 0 && height > 0;
  }
  return false;
}

std::string demoSettingsText(const std::string& animatedLogo, const std::string& alphaLogo) {
  // Channel 1: top right, see-through; channel 2: bottom left, solid.
  Placement first{0, 40, 0, 150, 70};
  first.sizeX = widthForHeight(animatedLogo, first.sizeY, 200);
  first.posX = 1000 - first.sizeX - 30;
  Placement second{30, 0, 0, 180, 100};
  second.sizeX = widthForHeight(alphaLogo, second.sizeY, 240);
  second.posY = 1000 - second.sizeY - 40;

  std::string out = "[COMMON]\nDlgWndPosX=-100\nDlgWndPosY=-100\nPrivateSettings=1\n";
  appendKeys(out, "", Placement{0, 0, 0, 0, 60});
  out += "[1]\n";
  appendKeys(out, animatedLogo, first);
  out += "[2]\n";
  appendKeys(out, alphaLogo, second);
  return out;
}

int runDemo(HostOptions options) {
  std::error_code ec;
  const fs::path outDir = fs::absolute(fs::path(options.demoDir), ec);
#ifdef _WIN32
  // The Windows plug-in takes its folder from the registry and the host's
  // own folder, not from the environment: the demo's file goes where it
  // looks, beside this executable.
  const fs::path pluginsDir = fs::path(executableFolder()) / "Plugins";
#else
  const fs::path pluginsDir = outDir / "settings" / "Tulvane" / "Plugins";
#endif
  // On Windows the settings go elsewhere, so the output folder is made on its own.
  for (const fs::path& dir : {outDir, pluginsDir}) {
    fs::create_directories(dir, ec);
    if (ec) {
      std::fprintf(stderr, "om_host: cannot create %s\n", dir.string().c_str());
      return 1;
    }
  }

  std::string samples = options.samplesDir;
#ifdef OM_HOST_SAMPLES_DIR
  if (samples.empty()) samples = OM_HOST_SAMPLES_DIR;
#endif
  if (samples.empty()) samples = "samples";
  const fs::path samplesDir = fs::absolute(fs::path(samples), ec);
  const std::string animated = (samplesDir / "logo_animated.gif").string();
  const std::string alpha = (samplesDir / "logo_alpha.png").string();
  for (const std::string* logo : {&animated, &alpha}) {
    if (!fs::is_regular_file(*logo, ec))
      std::fprintf(stderr, "om_host: %s is missing; its channel shows no logo\n", logo->c_str());
  }

  const std::string iniPath = (pluginsDir / "Ostrane_Marquel.ini").string();
  FILE* ini = std::fopen(iniPath.c_str(), "wb");
  const std::string text = demoSettingsText(animated, alpha);
  const bool iniOk = ini && std::fwrite(text.data(), 1, text.size(), ini) == text.size();
  if (ini && std::fclose(ini) != 0) ini = nullptr;
  if (!ini || !iniOk) {
    std::fprintf(stderr, "om_host: cannot write %s\n", iniPath.c_str());
    return 1;
  }

#ifndef _WIN32
  options.settingsDir = (outDir / "settings").string();
#endif
  if (options.channels.empty()) {
    std::string error;
    parseChannelSchedule("1:Первый@0,2:Второй@75", options.channels, error);
  }
  if (options.frames < 0) options.frames = 150;
  if (options.y4mOutput.empty() && options.rawOutput.empty())
    options.y4mOutput = (outDir / "demo.y4m").string();
#ifdef _WIN32
  const bool pictures = false;  // no PNG library in the Windows build: video only
#else
  const bool pictures = true;
  if (options.snapshots.empty()) options.snapshots = {10, 40, 70, 90, 120, 149};
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
