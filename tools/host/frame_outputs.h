// Where a run's frames go: raw and Y4M sinks, PNG snapshots and a contact
// sheet of chosen frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/contact_sheet.h"
#include "tools/host/frame_io.h"
#include "tools/host/options.h"

namespace omhost {

// False, with the reason in `error`, when the options ask for pictures and
// this build writes none.
bool picturesAvailable(const HostOptions& options, std::string& error);

class FrameOutputs {
 public:
  // Opens every output the options ask for, before the plug-in is loaded.
  // False: bad usage, `error` says why. `frameLimit` is INT64_MAX for a
  // stream of unknown length.
  bool open(const HostOptions& options, const StreamFormat& format, int64_t frameLimit,
            std::string& error);
  // Reports go to stdout unless video does.
  FILE* reportStream() const { return videoOnStdout_ ? stderr : stdout; }
  // The frame, in the plug-in's layout, to every sink; false if one failed.
  bool write(const uint8_t* frame);
  // Keeps frame `index` as a snapshot or in the contact sheet if it is one
  // of theirs; false, with `error`, when a snapshot was not written.
  bool takePicture(int64_t index, const uint8_t* frame, std::string& error);
  // Closes the sinks and writes the contact sheet; false, said on stderr,
  // when any of it was lost.
  bool finish();
  // The pictures written, in order.
  const std::vector<std::string>& written() const { return written_; }

 private:
  std::string snapshotDir_;
  std::vector<int64_t> snapshots_;
  std::vector<int64_t> pictureFrames_;  // the snapshots', or the sheet's own
  std::string sheetPath_;
  std::unique_ptr<ContactSheet> sheet_;
  std::vector<std::unique_ptr<FrameSink>> sinks_;
  bool videoOnStdout_ = false;
  StreamFormat format_;
  std::vector<uint8_t> rgb_;  // a picture frame as R G B
  std::vector<std::string> written_;
};

}  // namespace omhost
