# Sources are found by folder: each subsystem's files, plus platform-specific
# files under a posix/ or win32/ subfolder. Kernels named *_sse2.cpp and
# *_avx2.cpp get their instruction set; the rest of the code does not.
set(OM_CORE_SOURCES "")
foreach(dir common platform plugin settings logo compositing dialog)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND OM_CORE_SOURCES ${found})
endforeach()
list(REMOVE_ITEM OM_CORE_SOURCES ${PROJECT_SOURCE_DIR}/plugin/exports.cpp)
if(WIN32)
  list(FILTER OM_CORE_SOURCES EXCLUDE REGEX "/posix/")
else()
  list(FILTER OM_CORE_SOURCES EXCLUDE REGEX "/win32/")
endif()

# MinGW: every module and program carries its own C and C++ runtime, so the
# plug-in imports nothing but system DLLs and test programs run anywhere.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # M_PI and friends, as on POSIX, despite -std=c++17 without extensions.
  add_compile_definitions(_USE_MATH_DEFINES)
endif()

foreach(src ${OM_CORE_SOURCES})
  if(src MATCHES "_sse2\\.cpp$")
    set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-msse2")
  elseif(src MATCHES "_avx2\\.cpp$")
    set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-mavx2")
  endif()
endforeach()

function(om_link_platform target)
  if(WIN32)
    target_link_libraries(${target} PUBLIC gdi32 user32 comdlg32 comctl32 shell32 advapi32 ole32)
  else()
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    find_package(GIF REQUIRED)
    find_package(Threads REQUIRED)
    target_link_libraries(${target} PUBLIC PNG::PNG JPEG::JPEG GIF::GIF Threads::Threads ${CMAKE_DL_LIBS})
  endif()
endfunction()

function(om_module_exports target)
  if(WIN32)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/win32/Ostrane_Marquel.def)
    # Dialog templates, icons and bitmaps live in the plug-in's own module,
    # beside its version resource.
    enable_language(RC)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/win32/version.rc)
    set(rc ${PROJECT_SOURCE_DIR}/dialog/resources/ostrane_marquel.rc)
    if(EXISTS ${rc})
      target_sources(${target} PRIVATE ${rc})
    endif()
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
