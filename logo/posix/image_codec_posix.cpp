// Placeholder until the POSIX decoders land: the codec counts as missing.
#include <cstdlib>
#include <cstring>

#include "common/aligned_block.h"
#include "logo/image_codec.h"

namespace om {

static bool g_unavailable = false;
void setCodecUnavailableForTesting(bool unavailable) noexcept { g_unavailable = unavailable; }
bool codecUnavailableForTesting() noexcept { return g_unavailable; }

CodecScope::CodecScope() noexcept : available_(false) {}
CodecScope::~CodecScope() {}
bool CodecScope::loadPicture(const char*, bool, LogoImage&) { return false; }
std::string CodecScope::decoderFilter() { return std::string(); }
bool loadBitmapFallback(const char*, LogoImage&) { return false; }

void* createFrameBitmap(const BitmapInfoHeader& header, uint32_t** pixels) noexcept {
  const uint64_t bytes = static_cast<uint64_t>(header.biWidth) * static_cast<uint64_t>(header.biHeight) * 4;
  if (header.biWidth <= 0 || header.biHeight <= 0 || bytes > kPictureMemoryBudget) return nullptr;
  void* block = alignedAlloc(static_cast<size_t>(bytes));
  if (!block) return nullptr;
  std::memset(block, 0, static_cast<size_t>(bytes));
  *pixels = static_cast<uint32_t*>(block);
  return block;
}
void destroyFrameBitmap(void* bitmap) noexcept { alignedFree(bitmap); }

}  // namespace om
