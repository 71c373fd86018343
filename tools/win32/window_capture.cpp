#include "tools/win32/window_capture.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace om {

bool captureWindow(HWND hwnd, const std::string& path) {
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = 54;
    fh.bfSize = static_cast<DWORD>(54 + stride * h);
    std::vector<uint8_t> file(54);
    std::memcpy(&file[0], &fh, 14);
    std::memcpy(&file[14], &info.bmiHeader, 40);
    file.insert(file.end(), static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + stride * h);
    const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD n = 0;
      ok = WriteFile(f, file.data(), static_cast<DWORD>(file.size()), &n, nullptr) && n == file.size();
      CloseHandle(f);
    }
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace om
