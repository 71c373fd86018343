# 64-bit Windows with Debian's MinGW-w64 (win32 thread model): the same
# sources as the shipping 32-bit plug-in, built so the tests run under Wine.
# It mirrors mingw-i686.cmake line for line; only the triple and the flags differ.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(OM_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${OM_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${OM_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${OM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OM_MINGW_TRIPLE})

# Test programs run through Wine's 64-bit loader.
find_program(OM_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT OM_WINE64)
  find_program(OM_WINE64 NAMES wine64)
endif()
if(OM_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OM_WINE64})
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
