#include "logo/win32/gdiplus_api.h"

namespace om {
namespace gdiplus {

namespace {

template <typename Fn>
bool bind(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return fn != nullptr;
}

HMODULE loadLibrary() {
  // System folder only where the system can be told so (Windows 7 with
  // KB2533623 and later); older systems refuse the flag and search as usual.
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (HMODULE module = LoadLibraryExA("gdiplus.dll", nullptr, kSearchSystem32)) return module;
  return LoadLibraryA("gdiplus.dll");
}

// The library stays loaded for the life of the process: it may not be freed
// from DllMain, and a host that keeps us loaded keeps using it.
bool load(Api& a) {
  const HMODULE m = loadLibrary();
  if (!m) return false;
  bool ok = bind(m, "GdiplusStartup", a.GdiplusStartup);
  ok = bind(m, "GdiplusShutdown", a.GdiplusShutdown) && ok;
  ok = bind(m, "GdipCreateBitmapFromStream", a.GdipCreateBitmapFromStream) && ok;
  ok = bind(m, "GdipGetImageWidth", a.GdipGetImageWidth) && ok;
  ok = bind(m, "GdipGetImageHeight", a.GdipGetImageHeight) && ok;
  ok = bind(m, "GdipImageGetFrameCount", a.GdipImageGetFrameCount) && ok;
  ok = bind(m, "GdipGetPropertyItemSize", a.GdipGetPropertyItemSize) && ok;
  ok = bind(m, "GdipGetPropertyItem", a.GdipGetPropertyItem) && ok;
  ok = bind(m, "GdipImageSelectActiveFrame", a.GdipImageSelectActiveFrame) && ok;
  ok = bind(m, "GdipCreateBitmapFromScan0", a.GdipCreateBitmapFromScan0) && ok;
  ok = bind(m, "GdipGetImageGraphicsContext", a.GdipGetImageGraphicsContext) && ok;
  ok = bind(m, "GdipSetCompositingMode", a.GdipSetCompositingMode) && ok;
  ok = bind(m, "GdipSetCompositingQuality", a.GdipSetCompositingQuality) && ok;
  ok = bind(m, "GdipSetInterpolationMode", a.GdipSetInterpolationMode) && ok;
  ok = bind(m, "GdipSetPixelOffsetMode", a.GdipSetPixelOffsetMode) && ok;
  ok = bind(m, "GdipSetSmoothingMode", a.GdipSetSmoothingMode) && ok;
  ok = bind(m, "GdipDrawImageRectI", a.GdipDrawImageRectI) && ok;
  ok = bind(m, "GdipDeleteGraphics", a.GdipDeleteGraphics) && ok;
  ok = bind(m, "GdipDisposeImage", a.GdipDisposeImage) && ok;
  ok = bind(m, "GdipGetImageDecodersSize", a.GdipGetImageDecodersSize) && ok;
  ok = bind(m, "GdipGetImageDecoders", a.GdipGetImageDecoders) && ok;
  bind(m, "GdipBitmapLockBits", a.GdipBitmapLockBits);
  bind(m, "GdipBitmapUnlockBits", a.GdipBitmapUnlockBits);
  bind(m, "GdipGetImageEncodersSize", a.GdipGetImageEncodersSize);
  bind(m, "GdipGetImageEncoders", a.GdipGetImageEncoders);
  bind(m, "GdipSaveImageToFile", a.GdipSaveImageToFile);
  return ok;
}

Api g_api;
const Api* g_loaded = nullptr;
volatile LONG g_state = 0;  // 0 not tried, 1 loading, 2 done
volatile LONG g_kept = 0;   // 1 once GDI+ was started for the process

}  // namespace

const Api* api() noexcept {
  if (g_state == 2) return g_loaded;
  if (InterlockedCompareExchange(&g_state, 1, 0) == 0) {
    if (load(g_api)) g_loaded = &g_api;
    InterlockedExchange(&g_state, 2);
    return g_loaded;
  }
  while (g_state != 2) Sleep(0);
  return g_loaded;
}

void keepStarted() noexcept {
  const Api* a = api();
  if (!a || InterlockedCompareExchange(&g_kept, 1, 0) != 0) return;
  StartupInput input;
  ULONG_PTR token = 0;
  if (a->GdiplusStartup(&token, &input, nullptr) != kOk) InterlockedExchange(&g_kept, 0);
}

}  // namespace gdiplus
}  // namespace om
