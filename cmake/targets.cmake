# What every target of ours gets, and the platform's side of the plug-in.

# MinGW: every module and program carries its own C and C++ runtime, so the
# plug-in imports nothing but system DLLs and test programs run anywhere.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Warnings and the arithmetic rules of our own code; third-party code built
# alongside (GoogleTest in the cross builds) keeps its own flags.
function(om_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra
    # Byte-identical pixels on every build: no contraction into FMA, no fast-math.
    -ffp-contract=off)
  if(OM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MINGW)
    # M_PI and friends, as on POSIX, despite -std=c++17 without extensions.
    target_compile_definitions(${target} PRIVATE _USE_MATH_DEFINES)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()

function(om_link_platform target)
  if(WIN32)
    target_link_libraries(${target} PUBLIC gdi32 user32 comdlg32 comctl32 shell32 advapi32 ole32)
  else()
    find_package(Threads REQUIRED)
    target_link_libraries(${target} PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
  endif()
endfunction()

# The picture decoders: GDI+ is loaded at run time on Windows; POSIX links
# Debian's format libraries.
function(om_link_codecs target)
  if(NOT WIN32)
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    find_package(GIF REQUIRED)
    target_link_libraries(${target} PUBLIC PNG::PNG JPEG::JPEG GIF::GIF)
  endif()
endfunction()

function(om_module_exports target)
  if(WIN32)
    # The DLL's own entry, the export list, and the dialog templates, icons
    # and bitmaps, which live in the plug-in's own module.
    enable_language(RC)
    target_sources(${target} PRIVATE
      ${PROJECT_SOURCE_DIR}/plugin/win32/dll_main.cpp
      ${PROJECT_SOURCE_DIR}/plugin/win32/Ostrane_Marquel.def
      ${PROJECT_SOURCE_DIR}/plugin/win32/version.rc
      ${PROJECT_SOURCE_DIR}/dialog/resources/ostrane_marquel.rc)
    # A Release DLL ships stripped (the static runtimes bring DWARF of their
    # own); the symbols stay beside it in <dll>.debug for crash addresses.
    if(CMAKE_BUILD_TYPE STREQUAL "Release")
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
        COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
        VERBATIM)
    endif()
  else()
    target_link_options(${target} PRIVATE
      -Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin/posix/exports.map)
    # Every symbol resolved at link time; sanitizer runtimes (clang's) come
    # from the executable instead, so they are exempt.
    if(NOT OM_SANITIZE)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/posix/exports.map)
  endif()
endfunction()
