// The name and description the host lists for the plug-in, Windows-1251.
#pragma once

namespace om {

// "Логотип"
inline constexpr char kPluginName[] = "\xCB\xEE\xE3\xEE\xF2\xE8\xEF";
// "Установка собственного логотипа"
inline constexpr char kPluginDescription[] =
    "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xF1\xEE\xE1\xF1\xF2\xE2\xE5\xED\xED\xEE\xE3\xEE "
    "\xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";

}  // namespace om
