#include "tools/host/frame_outputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "tools/host/png_writer.h"

namespace omhost {

bool picturesAvailable(const HostOptions& options, std::string& error) {
  if ((options.snapshots.empty() && options.contactSheet.empty()) || pngSupported()) return true;
  writePngRgb("", nullptr, 0, 0, error);  // says why
  return false;
}

bool FrameOutputs::open(const HostOptions& options, const StreamFormat& format,
                        int64_t frameLimit, std::string& error) {
  format_ = format;
  snapshots_ = options.snapshots;
  snapshotDir_ = options.snapshotDir.empty() ? "." : options.snapshotDir;
  sheetPath_ = options.contactSheet;
  pictureFrames_ = snapshots_;
  if (!sheetPath_.empty() && pictureFrames_.empty()) {
    if (frameLimit == INT64_MAX) {
      error = "--contact-sheet on a stream needs --snapshot or --frames";
      return false;
    }
    for (int k = 0; k < 6 && frameLimit > 0; ++k)
      pictureFrames_.push_back(k * (frameLimit - 1) / 5);
    pictureFrames_.erase(std::unique(pictureFrames_.begin(), pictureFrames_.end()),
                         pictureFrames_.end());
  }

  if (!options.rawOutput.empty()) {
    sinks_.push_back(openRawSink(options.rawOutput, options.input.layout, format, error));
    if (!sinks_.back()) return false;
    videoOnStdout_ = options.rawOutput == "-";
  }
  if (!options.y4mOutput.empty()) {
    if (videoOnStdout_ && options.y4mOutput == "-") {
      error = "--output and --y4m cannot both go to stdout";
      return false;
    }
    sinks_.push_back(openY4mSink(options.y4mOutput, format, error));
    if (!sinks_.back()) return false;
    videoOnStdout_ |= options.y4mOutput == "-";
  }

  if (!pictureFrames_.empty()) rgb_.resize(static_cast<size_t>(format.width) * format.height * 3);
  if (!sheetPath_.empty())
    sheet_.reset(new ContactSheet(format.width, format.height,
                                  static_cast<int>(pictureFrames_.size())));
  return true;
}

bool FrameOutputs::write(const uint8_t* frame) {
  bool ok = true;
  for (auto& sink : sinks_) ok &= sink->write(frame);
  return ok;
}

bool FrameOutputs::takePicture(int64_t index, const uint8_t* frame, std::string& error) {
  const auto wanted = std::lower_bound(pictureFrames_.begin(), pictureFrames_.end(), index);
  if (wanted == pictureFrames_.end() || *wanted != index) return true;
  pluginBufferToRgb(format_.code, frame, format_.width, format_.height, rgb_.data(), format_.range);
  if (sheet_) sheet_->place(static_cast<int>(wanted - pictureFrames_.begin()), index, rgb_.data());
  if (!std::binary_search(snapshots_.begin(), snapshots_.end(), index)) return true;

  std::error_code ec;
  std::filesystem::create_directories(snapshotDir_, ec);  // a failure shows in the write
  char name[64];
  std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(index));
  const std::string path = (std::filesystem::path(snapshotDir_) / name).string();
  if (!writePngRgb(path, rgb_.data(), format_.width, format_.height, error)) return false;
  written_.push_back(path);
  return true;
}

bool FrameOutputs::finish() {
  bool ok = true;
  for (auto& sink : sinks_) {
    if (!sink->close()) {
      std::fprintf(stderr, "om_host: finishing the output failed\n");
      ok = false;
    }
  }
  if (sheet_) {
    std::string error;
    if (writePngRgb(sheetPath_, sheet_->pixels(), sheet_->width(), sheet_->height(), error)) {
      written_.push_back(sheetPath_);
    } else {
      std::fprintf(stderr, "om_host: %s\n", error.c_str());
      ok = false;
    }
  }
  return ok;
}

}  // namespace omhost
