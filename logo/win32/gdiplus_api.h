// The part of the GDI+ flat API we use, reached through LoadLibrary and
// GetProcAddress: a system without gdiplus.dll (or with an older one that
// lacks a function) still loads the plug-in and falls back to bitmaps only.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>

namespace om {
namespace gdiplus {

typedef int Status;  // 0 is Ok
enum : Status { kOk = 0 };

struct StartupInput {
  UINT32 version = 1;
  void* debugEventCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};

struct CodecInfo {
  CLSID clsid;
  GUID formatId;
  const WCHAR* codecName;
  const WCHAR* dllName;
  const WCHAR* formatDescription;
  const WCHAR* filenameExtension;
  const WCHAR* mimeType;
  DWORD flags;
  DWORD version;
  DWORD sigCount;
  DWORD sigSize;
  const BYTE* sigPattern;
  const BYTE* sigMask;
};

struct PropertyItem {
  ULONG id;
  ULONG length;  // bytes at `value`
  WORD type;
  void* value;
};

struct EncoderParameter {
  GUID guid;
  ULONG numberOfValues;
  ULONG type;
  void* value;
};
struct EncoderParameters {
  UINT count;
  EncoderParameter parameter[1];
};

typedef void Image;
typedef void Graphics;

struct LockRect {
  INT x, y, width, height;
};
struct BitmapData {
  UINT width;
  UINT height;
  INT stride;  // bytes from one row to the next, negative for bottom-up memory
  INT pixelFormat;
  void* scan0;  // the top row
  UINT_PTR reserved;
};
constexpr UINT kImageLockModeRead = 1;

constexpr ULONG kPropertyTagFrameDelay = 0x5100;
constexpr INT kPixelFormat32bppARGB = 0x0026200A;
constexpr INT kPixelFormat32bppPARGB = 0x000E200B;
constexpr INT kPixelFormat24bppRGB = 0x00021808;
constexpr int kCompositingModeSourceCopy = 1;
constexpr int kCompositingQualityAssumeLinear = 4;
constexpr int kInterpolationModeNearestNeighbor = 5;
constexpr int kPixelOffsetModeHalf = 4;
constexpr int kSmoothingModeNone = 3;

// {6AEDBD6D-3FB5-418A-83A6-7F45229DC872}
constexpr GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

struct Api {
  Status(WINAPI* GdiplusStartup)(ULONG_PTR*, const StartupInput*, void*);
  void(WINAPI* GdiplusShutdown)(ULONG_PTR);
  Status(WINAPI* GdipCreateBitmapFromStream)(IStream*, Image**);
  Status(WINAPI* GdipGetImageWidth)(Image*, UINT*);
  Status(WINAPI* GdipGetImageHeight)(Image*, UINT*);
  Status(WINAPI* GdipImageGetFrameCount)(Image*, const GUID*, UINT*);
  Status(WINAPI* GdipGetPropertyItemSize)(Image*, ULONG, UINT*);
  Status(WINAPI* GdipGetPropertyItem)(Image*, ULONG, UINT, PropertyItem*);
  Status(WINAPI* GdipImageSelectActiveFrame)(Image*, const GUID*, UINT);
  Status(WINAPI* GdipCreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, Image**);
  Status(WINAPI* GdipGetImageGraphicsContext)(Image*, Graphics**);
  Status(WINAPI* GdipSetCompositingMode)(Graphics*, int);
  Status(WINAPI* GdipSetCompositingQuality)(Graphics*, int);
  Status(WINAPI* GdipSetInterpolationMode)(Graphics*, int);
  Status(WINAPI* GdipSetPixelOffsetMode)(Graphics*, int);
  Status(WINAPI* GdipSetSmoothingMode)(Graphics*, int);
  Status(WINAPI* GdipDrawImageRectI)(Graphics*, Image*, INT, INT, INT, INT);
  Status(WINAPI* GdipDeleteGraphics)(Graphics*);
  Status(WINAPI* GdipDisposeImage)(Image*);
  Status(WINAPI* GdipGetImageDecodersSize)(UINT*, UINT*);
  Status(WINAPI* GdipGetImageDecoders)(UINT, UINT, CodecInfo*);
  // Only animated PNG frames are read this way; without them such a file
  // shows its default image.
  Status(WINAPI* GdipBitmapLockBits)(Image*, const LockRect*, UINT, INT, BitmapData*);
  Status(WINAPI* GdipBitmapUnlockBits)(Image*, BitmapData*);
  // Only the tests write pictures; missing ones do not make GDI+ unavailable.
  Status(WINAPI* GdipGetImageEncodersSize)(UINT*, UINT*);
  Status(WINAPI* GdipGetImageEncoders)(UINT, UINT, CodecInfo*);
  Status(WINAPI* GdipSaveImageToFile)(Image*, const WCHAR*, const CLSID*, const EncoderParameters*);
};

// The loaded API, or null when gdiplus.dll or one of the decoding functions
// is missing. Loaded once per process, on first call; thread-safe.
const Api* api() noexcept;

// Starts GDI+ once for the rest of the process, for pictures that keep GDI+
// objects after their load (a streamed animation). Their last owner may be
// a static destructor, where GdiplusShutdown must not run, so this start is
// never shut down. Thread-safe.
void keepStarted() noexcept;

}  // namespace gdiplus
}  // namespace om
