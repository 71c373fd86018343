// Windows-1251, the code page of every text the plug-in shows and of the
// host's channel names, to Unicode and back: one table, byte for byte as
// Windows maps it (the one unassigned byte 0x98 is U+0098).
#pragma once

#include <string>
#include <string_view>

namespace om {

std::u16string cp1251ToUtf16(std::string_view text);
std::string cp1251ToUtf8(std::string_view text);
// Characters without a 1251 byte, and malformed UTF-8, become '?'.
std::string utf8ToCp1251(std::string_view text);

}  // namespace om
