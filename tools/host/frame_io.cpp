#include "tools/host/frame_io.h"

#include <cstring>

#include "tools/host/host_platform.h"

namespace omhost {

// ---- byte streams ----

ByteReader::~ByteReader() {
  if (file_ && owned_) std::fclose(file_);
}

bool ByteReader::open(const std::string& path, std::string& error) {
  if (path == "-") {
    setBinaryMode(stdin);
    file_ = stdin;
    owned_ = false;
    return true;
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    error = "cannot open input " + path;
    return false;
  }
  owned_ = true;
  return true;
}

size_t ByteReader::read(uint8_t* dst, size_t n) {
  size_t got = 0;
  if (!ahead_.empty()) {
    got = n < ahead_.size() ? n : ahead_.size();
    std::memcpy(dst, ahead_.data(), got);
    ahead_.erase(ahead_.begin(), ahead_.begin() + static_cast<std::ptrdiff_t>(got));
  }
  // fread on a pipe may return short counts before the end; keep asking.
  while (got < n && file_) {
    const size_t r = std::fread(dst + got, 1, n - got, file_);
    if (r == 0) break;
    got += r;
  }
  return got;
}

size_t ByteReader::peek(uint8_t* dst, size_t n) {
  while (ahead_.size() < n && file_) {
    uint8_t chunk[64];
    const size_t want = n - ahead_.size() < sizeof chunk ? n - ahead_.size() : sizeof chunk;
    const size_t r = std::fread(chunk, 1, want, file_);
    if (r == 0) break;
    ahead_.insert(ahead_.end(), chunk, chunk + r);
  }
  const size_t out = n < ahead_.size() ? n : ahead_.size();
  std::memcpy(dst, ahead_.data(), out);
  return out;
}

bool ByteReader::readLine(std::string& line, size_t maxLength) {
  line.clear();
  uint8_t c;
  while (read(&c, 1) == 1) {
    if (c == '\n') return true;
    if (line.size() >= maxLength) return false;
    line += static_cast<char>(c);
  }
  return false;
}

bool ByteReader::failed() const { return file_ && std::ferror(file_); }

ByteWriter::~ByteWriter() { close(); }

bool ByteWriter::open(const std::string& path, std::string& error) {
  path_ = path;
  ok_ = true;
  if (path == "-") {
    setBinaryMode(stdout);
    file_ = stdout;
    owned_ = false;
    return true;
  }
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error = "cannot create output " + path;
    return false;
  }
  owned_ = true;
  return true;
}

bool ByteWriter::write(const void* data, size_t n) {
  if (!file_ || !ok_) return false;
  if (std::fwrite(data, 1, n, file_) != n) ok_ = false;
  return ok_;
}

bool ByteWriter::close() {
  if (!file_) return ok_;
  if (std::fflush(file_) != 0) ok_ = false;
  if (owned_ && std::fclose(file_) != 0) ok_ = false;
  file_ = nullptr;
  return ok_;
}

// ---- sources ----

namespace {

class PatternSource : public FrameSource {
 public:
  PatternSource(const StreamFormat& format) : pattern_(format.width, format.height,
                                                       format.fpsNum, format.fpsDen) {
    format_ = format;
  }
  bool next(uint8_t* buffer, std::string&) override {
    rgbToPluginBuffer(format_.code, pattern_.render(index_++), format_.width, format_.height,
                      buffer, format_.range);
    return true;  // endless; the run's frame count stops it
  }

 private:
  TestPattern pattern_;
  int64_t index_ = 0;
};

class RawSource : public FrameSource {
 public:
  RawSource(std::unique_ptr<ByteReader> reader, RawLayout layout, const StreamFormat& format)
      : reader_(std::move(reader)), layout_(layout),
        raw_(rawFrameBytes(layout, format.width, format.height)) {
    format_ = format;
  }
  bool next(uint8_t* buffer, std::string& warning) override {
    const size_t got = reader_->read(raw_.data(), raw_.size());
    if (got != raw_.size()) {
      if (reader_->failed()) warning = "reading the input failed";
      else if (got != 0)
        warning = "input ended inside a frame (" + std::to_string(got) + " of " +
                  std::to_string(raw_.size()) + " bytes); that partial frame is dropped";
      return false;
    }
    rawToPluginBuffer(layout_, raw_.data(), format_.width, format_.height, buffer);
    return true;
  }

 private:
  std::unique_ptr<ByteReader> reader_;
  RawLayout layout_;
  std::vector<uint8_t> raw_;
};

class Y4mSource : public FrameSource {
 public:
  Y4mSource(std::unique_ptr<ByteReader> reader, const StreamFormat& format)
      : reader_(std::move(reader)), planes_(y4mFrameBytes(format.y4m)) {
    format_ = format;
    if (format_.code != 0)
      packed_.resize(pluginFrameBytes(0, format_.width, format_.height));
  }
  bool next(uint8_t* buffer, std::string& warning) override {
    std::string line;
    if (!reader_->readLine(line, 1024)) {
      if (!line.empty()) warning = "the Y4M stream ends inside a frame header";
      else if (reader_->failed()) warning = "reading the input failed";
      return false;
    }
    if (line.compare(0, 5, "FRAME") != 0) {
      warning = "the Y4M stream lost its frame markers (expected FRAME)";
      return false;
    }
    const size_t got = reader_->read(planes_.data(), planes_.size());
    if (got != planes_.size()) {
      warning = "the Y4M stream ends inside a frame (" + std::to_string(got) + " of " +
                std::to_string(planes_.size()) + " bytes); that partial frame is dropped";
      return false;
    }
    if (format_.code == 0) {
      y4mToPacked422(format_.y4m, planes_.data(), buffer);
    } else {
      y4mToPacked422(format_.y4m, planes_.data(), packed_.data());
      packed422ToBgrBottomUp(packed_.data(), format_.width, format_.height, buffer,
                             format_.range);
    }
    return true;
  }

 private:
  std::unique_ptr<ByteReader> reader_;
  std::vector<uint8_t> planes_;
  std::vector<uint8_t> packed_;
};

bool checkSize(int width, int height, int32_t code, std::string& error) {
  if (width <= 0 || height <= 0 || width > kY4mMaxDimension || height > kY4mMaxDimension) {
    error = "frame size " + std::to_string(width) + "x" + std::to_string(height) +
            " is outside 1x1.." + std::to_string(kY4mMaxDimension) + "x" +
            std::to_string(kY4mMaxDimension);
    return false;
  }
  if (code == 0 && (width & 1)) {
    error = "packed 4:2:2 needs an even width (got " + std::to_string(width) + ")";
    return false;
  }
  return true;
}

// Untagged video takes the range asked for; a Y4M written from it names TV
// range, and leaves full range untagged as it always was.
void takeRequestedRange(StreamFormat& format, ColorRange requested) {
  format.range = requested;
  if (requested == ColorRange::Tv) format.y4m.extensions.push_back("XCOLORRANGE=LIMITED");
}

}  // namespace

std::unique_ptr<FrameSource> openSource(const InputRequest& request, std::string& error) {
  StreamFormat format;
  format.code = pluginCodeFor(request.layout);
  format.fpsNum = request.fpsNum;
  format.fpsDen = request.fpsDen;
  if (request.path.empty()) {
    format.width = request.width;
    format.height = request.height;
    // A 24-bit layout still needs pairs: the picture is drawn through 4:2:2 chroma.
    if (!checkSize(format.width, format.height, 0, error)) return nullptr;
    format.y4m.width = format.width;
    format.y4m.height = format.height;
    format.y4m.fpsNum = format.fpsNum;
    format.y4m.fpsDen = format.fpsDen;
    format.y4m.aspectNum = 0;
    format.y4m.aspectDen = 0;
    takeRequestedRange(format, request.range);
    if (format.range == ColorRange::Full) format.y4m.extensions.push_back("XCOLORRANGE=FULL");
    return std::unique_ptr<FrameSource>(new PatternSource(format));
  }

  std::unique_ptr<ByteReader> reader(new ByteReader);
  if (!reader->open(request.path, error)) return nullptr;
  uint8_t magic[10];
  const size_t seen = reader->peek(magic, sizeof magic);
  if (seen == sizeof magic && std::memcmp(magic, "YUV4MPEG2 ", sizeof magic) == 0) {
    std::string line;
    if (!reader->readLine(line, 4096)) {
      error = "the Y4M header line is missing its end or too long";
      return nullptr;
    }
    if (!parseY4mHeader(line, format.y4m, error)) return nullptr;
    if (!y4mColorRange(format.y4m, format.range)) takeRequestedRange(format, request.range);
    format.width = format.y4m.width;
    format.height = format.y4m.height;
    if (request.haveSize && (request.width != format.width || request.height != format.height)) {
      error = "--size " + std::to_string(request.width) + "x" + std::to_string(request.height) +
              " contradicts the Y4M header (" + std::to_string(format.width) + "x" +
              std::to_string(format.height) + ")";
      return nullptr;
    }
    if (!request.fpsForced) {
      format.fpsNum = format.y4m.fpsNum;
      format.fpsDen = format.y4m.fpsDen;
    } else {
      format.y4m.fpsNum = format.fpsNum;
      format.y4m.fpsDen = format.fpsDen;
    }
    // Y4M frames pass through packed 4:2:2 on the way in.
    if (!checkSize(format.width, format.height, 0, error)) return nullptr;
    return std::unique_ptr<FrameSource>(new Y4mSource(std::move(reader), format));
  }

  if (!request.haveSize) {
    error = "raw input needs --size WxH (and --layout unless it is yuyv)";
    return nullptr;
  }
  format.width = request.width;
  format.height = request.height;
  if (!checkSize(format.width, format.height, format.code, error)) return nullptr;
  format.y4m.width = format.width;
  format.y4m.height = format.height;
  format.y4m.fpsNum = format.fpsNum;
  format.y4m.fpsDen = format.fpsDen;
  takeRequestedRange(format, request.range);
  return std::unique_ptr<FrameSource>(new RawSource(std::move(reader), request.layout, format));
}

// ---- sinks ----

namespace {

class RawSink : public FrameSink {
 public:
  RawSink(RawLayout layout, const StreamFormat& format)
      : layout_(layout), format_(format), raw_(rawFrameBytes(layout, format.width, format.height)) {}
  ByteWriter& writer() { return writer_; }
  bool write(const uint8_t* buffer) override {
    pluginBufferToRaw(layout_, buffer, format_.width, format_.height, raw_.data());
    return writer_.write(raw_.data(), raw_.size());
  }
  bool close() override { return writer_.close(); }

 private:
  ByteWriter writer_;
  RawLayout layout_;
  StreamFormat format_;
  std::vector<uint8_t> raw_;
};

class Y4mSink : public FrameSink {
 public:
  explicit Y4mSink(const StreamFormat& format) : format_(format) {
    Y4mHeader out = format.y4m;
    out.chroma = Y4mChroma::C422;
    planes_.resize(y4mFrameBytes(out));
  }
  ByteWriter& writer() { return writer_; }
  bool writeHeader() {
    const std::string header = formatY4mHeader422(format_.y4m);
    return writer_.write(header.data(), header.size());
  }
  bool write(const uint8_t* buffer) override {
    pluginBufferToPlanar422(format_.code, buffer, format_.width, format_.height, planes_.data(),
                            format_.range);
    static const char kMarker[] = "FRAME\n";
    return writer_.write(kMarker, sizeof kMarker - 1) &&
           writer_.write(planes_.data(), planes_.size());
  }
  bool close() override { return writer_.close(); }

 private:
  ByteWriter writer_;
  StreamFormat format_;
  std::vector<uint8_t> planes_;
};

}  // namespace

std::unique_ptr<FrameSink> openRawSink(const std::string& path, RawLayout layout,
                                       const StreamFormat& format, std::string& error) {
  if (pluginCodeFor(layout) != format.code) {
    error = std::string("raw output layout ") + rawLayoutName(layout) +
            " does not match the frames' layout";
    return nullptr;
  }
  std::unique_ptr<RawSink> sink(new RawSink(layout, format));
  if (!sink->writer().open(path, error)) return nullptr;
  return sink;
}

std::unique_ptr<FrameSink> openY4mSink(const std::string& path, const StreamFormat& format,
                                       std::string& error) {
  std::unique_ptr<Y4mSink> sink(new Y4mSink(format));
  if (!sink->writer().open(path, error)) return nullptr;
  if (!sink->writeHeader()) {
    error = "writing " + path + " failed";
    return nullptr;
  }
  return sink;
}

}  // namespace omhost
