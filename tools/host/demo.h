// The demo run: a three-channel settings file, 150 frames of the test
// picture in TV range with a channel switch every 50 frames, and pictures
// to look at.
#pragma once

#include <string>

#include "tools/host/options.h"

namespace omhost {

// The demo's logo files, absolute paths.
struct DemoLogos {
  std::string animated;  // channel 1: an animated GIF, see-through, default colours
  std::string badge;     // channel 2: a PNG with real white and black
  std::string noisy;     // channel 3: a JPEG on flat green, keyed softly
};

// The settings file for the demo, written by the plug-in's own settings code.
std::string demoSettingsText(const DemoLogos& logos);

// Pixel size of a PNG, GIF or JPEG from its header; false if none or unreadable.
bool readPictureSize(const std::string& path, int& width, int& height);

// Returns the process exit code.
int runDemo(HostOptions options);

}  // namespace omhost
