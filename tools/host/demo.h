// The demo run: a two-channel settings file, 150 frames of the test
// picture with a channel switch half way, and pictures to look at.
#pragma once

#include <string>

#include "tools/host/options.h"

namespace omhost {

// The settings file for the demo, given the two logo files (absolute paths).
std::string demoSettingsText(const std::string& animatedLogo, const std::string& alphaLogo);

// Pixel size of a PNG or GIF from its header; false if neither or unreadable.
bool readPictureSize(const std::string& path, int& width, int& height);

// Returns the process exit code.
int runDemo(HostOptions options);

}  // namespace omhost
