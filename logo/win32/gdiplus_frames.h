// Frames through GDI+: the file's bytes as a stream, a selected frame drawn
// 1:1, GIF delays, and an animation read one frame at a time, so that a
// full load and a streamed play draw the same frames the same way.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "logo/frame_source.h"
#include "logo/win32/gdiplus_api.h"
#include "platform/files.h"

namespace om {
namespace gdiplus {

class ImageHolder {
 public:
  ImageHolder(const Api& api, Image* image) : api_(api), image_(image) {}
  ~ImageHolder() { reset(nullptr); }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
  Image* get() const { return image_; }
  void reset(Image* image) {
    if (image_) api_.GdipDisposeImage(image_);
    image_ = image;
  }

 private:
  const Api& api_;
  Image* image_;
};

// The file's bytes as a stream for GDI+: the file is open only while it is
// read, shared with whoever writes it, and never held open by a decoded
// picture. Refuses what is no regular file (a device, a pipe).
class FileStream {
 public:
  FileStream() = default;
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool load(const char* path);
  // The stream from its first byte, for a new picture to be read from it.
  IStream* rewound() const;
  const platform::FileStamp& stamp() const { return stamp_; }
  // A copy of the bytes when they are an animated PNG; false otherwise.
  bool copyAnimatedPng(std::vector<uint8_t>& bytes) const;
  // Whether the bytes reach their format's end (pictureReachesItsEnd).
  bool reachesItsEnd() const;

 private:
  IStream* stream_ = nullptr;
  HGLOBAL memory_ = nullptr;  // owned by the stream
  platform::FileStamp stamp_;
};

void imageSize(const Api& gp, Image* image, UINT& width, UINT& height);

// Draws the selected frame 1:1 into width x height bottom-up pixels,
// premultiplied. A failed call leaves the pixels as they were.
void renderFrame(const Api& gp, Image* image, uint32_t* pixels, int32_t width, int32_t height);

// A picture's frames in GDI+'s frame order, each selected (GDI+ composes the
// frames of a GIF, disposal included) and drawn whole. Null when the picture
// does not open or has no frame.
std::unique_ptr<FrameSource> openAnimation(const Api& gp, std::unique_ptr<FileStream> stream);

// decodePngFrame through GDI+, from a memory stream.
bool decodePngStream(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels);

}  // namespace gdiplus
}  // namespace om
