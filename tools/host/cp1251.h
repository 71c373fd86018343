// Windows-1251 <-> UTF-8 for the host's texts: the plug-in's descriptor and
// the channel names in ChannelInfo are 1251 bytes, our terminal speaks UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace omhost {

// Undefined byte 0x98 becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view text);

// Characters without a 1251 byte, and malformed UTF-8, become '?'.
std::string utf8ToCp1251(std::string_view text);

}  // namespace omhost
