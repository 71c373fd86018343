// Where frames come from and where they go: the embedded test picture, raw
// frames or Y4M from a file or a pipe; raw or Y4M out. Every source fills,
// and every sink takes, a buffer in the plug-in's layout (code 0 or 1).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/pixel_convert.h"
#include "tools/host/test_pattern.h"
#include "tools/host/y4m.h"

namespace omhost {

// A file or stdin ("-") read in binary, with look-ahead for format detection.
class ByteReader {
 public:
  ByteReader() = default;
  ~ByteReader();
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool open(const std::string& path, std::string& error);
  // Reads up to n bytes; fewer only at the end of the stream or on an error.
  size_t read(uint8_t* dst, size_t n);
  // Looks at the next bytes without consuming them; returns how many there are.
  size_t peek(uint8_t* dst, size_t n);
  // A line without its '\n'; false at the end, or past maxLength bytes.
  bool readLine(std::string& line, size_t maxLength);
  bool failed() const;

 private:
  FILE* file_ = nullptr;
  bool owned_ = false;
  std::vector<uint8_t> ahead_;  // peeked bytes not yet consumed
};

// A file or stdout ("-") written in binary; every failure is remembered.
class ByteWriter {
 public:
  ByteWriter() = default;
  ~ByteWriter();
  ByteWriter(const ByteWriter&) = delete;
  ByteWriter& operator=(const ByteWriter&) = delete;

  bool open(const std::string& path, std::string& error);
  bool write(const void* data, size_t n);
  // Flushes and closes; false if anything written was lost.
  bool close();
  bool isStdout() const { return file_ == stdout; }
  const std::string& path() const { return path_; }

 private:
  FILE* file_ = nullptr;
  bool owned_ = false;
  bool ok_ = true;
  std::string path_;
};

struct StreamFormat {
  int width = 0;
  int height = 0;
  int fpsNum = 25;
  int fpsDen = 1;
  int32_t code = 0;  // the plug-in's PixelFormatCode
  ColorRange range = ColorRange::Full;  // of the YCbCr that comes in and goes out
  Y4mHeader y4m;     // for the output header: carries the input's tags
};

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Fills a buffer of pluginFrameBytes(format().code, ...). Returns false at
  // the end of the input; `warning` then says if the end was not clean.
  virtual bool next(uint8_t* buffer, std::string& warning) = 0;
  const StreamFormat& format() const { return format_; }

 protected:
  StreamFormat format_;
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool write(const uint8_t* buffer) = 0;
  virtual bool close() = 0;
};

struct InputRequest {
  std::string path;       // empty: the embedded test picture; "-": stdin
  bool haveSize = false;  // --size given
  int width = 720;
  int height = 576;
  RawLayout layout = RawLayout::Yuyv;
  int fpsNum = 25;  // used when the input carries no rate, or when forced
  int fpsDen = 1;
  bool fpsForced = false;
  // For video that does not say (the test picture, raw frames, Y4M without
  // an XCOLORRANGE tag); a Y4M tag wins.
  ColorRange range = ColorRange::Full;
};

std::unique_ptr<FrameSource> openSource(const InputRequest& request, std::string& error);
std::unique_ptr<FrameSink> openRawSink(const std::string& path, RawLayout layout,
                                       const StreamFormat& format, std::string& error);
std::unique_ptr<FrameSink> openY4mSink(const std::string& path, const StreamFormat& format,
                                       std::string& error);

}  // namespace omhost
