# 32-bit Windows with Debian's MinGW-w64 (win32 thread model): the shipping
# plug-in. General code stays on the i686 instruction set so it runs on
# processors without SSE2; kernel files add -msse2/-mavx2 themselves.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(OM_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${OM_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${OM_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${OM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OM_MINGW_TRIPLE})

set(CMAKE_C_FLAGS_INIT "-march=i686 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mtune=generic")

# Test programs run through Wine's 32-bit loader (Debian package wine32:i386).
find_program(OM_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(OM_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OM_WINE32})
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
