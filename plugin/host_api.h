// The host-facing boundary: the exports, the descriptor with its six entry
// points, and the records the host passes in. On a 32-bit build these are the
// host's ABI byte for byte (checked below); a 64-bit build keeps the same
// field list in its natural layout, with 8-byte pointers.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TULVANE_CDECL __cdecl
#else
#define TULVANE_CDECL
#endif

#if defined(_WIN32)
#define TULVANE_EXPORT  // exported by the module definition file
#else
#define TULVANE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Version of the plug-in interface that Tulvane_Plugin_Version reports.
enum { TULVANE_PLUGIN_INTERFACE_VERSION = 3 };

typedef int32_t(TULVANE_CDECL* ChannelExistsFn)(int64_t channelId);

struct HostInitInfo {
  int32_t hostValue;              // stored, not interpreted
  ChannelExistsFn channelExists;  // asked once per record while saving
};

struct VideoFormatInfo {
  int32_t width;
  int32_t height;
  int32_t formatExtra;  // stored, not interpreted
  int32_t pixelFormat;  // PixelFormatCode
  int32_t cpuClass;     // 1 and 2: no SSE, frames pass through untouched
};

// Inline name: the host keeps the NUL-terminated Windows-1251 text in the
// record itself. We never read past the first NUL nor past kChannelNameMax.
enum { kChannelNameMax = 256 };

struct ChannelInfo {
  int64_t id;
  uint32_t unread;
  char name[kChannelNameMax];
};

struct FrameInfo {
  void* pixels;  // null: nothing to process
  uint8_t unread[40];
  ChannelInfo* channel;
};

struct ConfigureInfo {
  void* parentWindow;  // HWND of the host window that owns the dialog
};

typedef void(TULVANE_CDECL* PluginInitFn)(HostInitInfo*);
typedef int32_t(TULVANE_CDECL* PluginSetFormatFn)(VideoFormatInfo*);
typedef int32_t(TULVANE_CDECL* PluginProcessFrameFn)(FrameInfo*);
typedef void(TULVANE_CDECL* PluginStopFn)(void);
typedef void(TULVANE_CDECL* PluginConfigureFn)(ConfigureInfo*);
typedef void(TULVANE_CDECL* PluginShutdownFn)(void);

struct PluginDescriptor {
  const char* name;         // Windows-1251
  const char* description;  // Windows-1251
  PluginInitFn init;
  PluginSetFormatFn setFormat;
  PluginProcessFrameFn processFrame;
  PluginStopFn stop;
  PluginConfigureFn configure;
  PluginShutdownFn shutdown;
};

// Millisecond tick for offline hosts and tests; null restores the OS tick.
typedef uint32_t(TULVANE_CDECL* TickSourceFn)(void);

typedef int32_t(TULVANE_CDECL* TulvanePluginVersionFn)(void);
typedef PluginDescriptor*(TULVANE_CDECL* TulvanePluginPRFn)(void);
typedef void(TULVANE_CDECL* TulvanePluginSetTickSourceFn)(TickSourceFn);
// Bytes the pictures decoded ahead and their overlays hold now (for reports).
typedef uint64_t(TULVANE_CDECL* TulvanePluginPictureCacheBytesFn)(void);

TULVANE_EXPORT int32_t TULVANE_CDECL Tulvane_Plugin_Version(void);
TULVANE_EXPORT PluginDescriptor* TULVANE_CDECL Tulvane_Plugin_PR(void);
TULVANE_EXPORT void TULVANE_CDECL Tulvane_Plugin_SetTickSource(TickSourceFn source);
TULVANE_EXPORT uint64_t TULVANE_CDECL Tulvane_Plugin_PictureCacheBytes(void);

}  // extern "C"

// The host's 32-bit ABI, and the natural 64-bit layout of the same fields.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PluginDescriptor) == 32, "descriptor is 32 bytes");
static_assert(offsetof(PluginDescriptor, name) == 0, "");
static_assert(offsetof(PluginDescriptor, description) == 4, "");
static_assert(offsetof(PluginDescriptor, init) == 8, "");
static_assert(offsetof(PluginDescriptor, setFormat) == 12, "");
static_assert(offsetof(PluginDescriptor, processFrame) == 16, "");
static_assert(offsetof(PluginDescriptor, stop) == 20, "");
static_assert(offsetof(PluginDescriptor, configure) == 24, "");
static_assert(offsetof(PluginDescriptor, shutdown) == 28, "");
static_assert(offsetof(HostInitInfo, hostValue) == 0, "");
static_assert(offsetof(HostInitInfo, channelExists) == 4, "");
static_assert(sizeof(HostInitInfo) == 8, "the plug-in reads 8 bytes");
static_assert(offsetof(FrameInfo, pixels) == 0, "");
static_assert(offsetof(FrameInfo, channel) == 44, "");
static_assert(sizeof(FrameInfo) == 48, "");
static_assert(offsetof(ConfigureInfo, parentWindow) == 0, "");
#else
static_assert(sizeof(PluginDescriptor) == 64, "");
static_assert(offsetof(PluginDescriptor, description) == 8, "");
static_assert(offsetof(PluginDescriptor, shutdown) == 56, "");
static_assert(offsetof(HostInitInfo, channelExists) == 8, "");
static_assert(offsetof(FrameInfo, channel) == 48, "");
#endif
static_assert(sizeof(VideoFormatInfo) == 20, "five 32-bit fields");
static_assert(offsetof(VideoFormatInfo, width) == 0, "");
static_assert(offsetof(VideoFormatInfo, height) == 4, "");
static_assert(offsetof(VideoFormatInfo, formatExtra) == 8, "");
static_assert(offsetof(VideoFormatInfo, pixelFormat) == 12, "");
static_assert(offsetof(VideoFormatInfo, cpuClass) == 16, "");
static_assert(offsetof(ChannelInfo, id) == 0, "");
static_assert(offsetof(ChannelInfo, name) == 12, "");
