// What the settings dialog's behaviour needs from its window. The Win32
// layer implements it over the real dialog and its controls; tests use a fake.
// DialogController calls these with FrameLock released, except postNotify.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/rect.h"

namespace om {

class PreviewPane;

// How the bytes of a text given to setText are to be read.
enum class TextEncoding {
  Cp1251,       // the system's own texts and the host's channel names
  AnsiCodePage, // file names, as the platform's narrow file dialog returned them
};

struct ScreenSize {
  int32_t width = 0;
  int32_t height = 0;
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  // The window handle other threads post to; never null while the view exists.
  virtual void* windowHandle() const = 0;

  // Placement: screen rectangles of the dialog as created and of the host
  // window, the primary screen's size, and moving without resizing or
  // changing the z-order.
  virtual Rect windowRect() const = 0;
  virtual Rect hostWindowRect() const = 0;
  virtual ScreenSize screenSize() const = 0;
  virtual void moveWindow(int32_t x, int32_t y) = 0;

  // The rest of the opening: glyph font on the nine glyph buttons, the two
  // icons, each setting's up-down with its buddy, range and the edit's text
  // limit, the lists' items, the tooltips, and the thread mouse hook.
  // tearDownControls removes the hook when the window is destroyed.
  virtual void setUpControls() = 0;
  virtual void tearDownControls() = 0;

  // The preview control's pane (its client size), and showing it.
  virtual std::unique_ptr<PreviewPane> createPreviewPane() = 0;
  virtual void presentPreview(PreviewPane& pane) = 0;

  virtual void setCheck(int32_t controlId, bool checked) = 0;
  virtual bool isChecked(int32_t controlId) const = 0;
  virtual void setText(int32_t controlId, const std::string& text, TextEncoding encoding) = 0;
  virtual std::string text(int32_t controlId) const = 0;
  virtual void setEnabled(int32_t controlId, bool enabled) = 0;
  // An up-down's position; it writes the number into its edit, and a
  // changed text comes back as onNumberTextChanged before this returns.
  virtual void setSpinPosition(int32_t spinId, int32_t position) = 0;
  // A drop-down list's items (Windows-1251), replacing those it had; and
  // its selected item.
  virtual void setListItems(int32_t controlId, const std::vector<std::string>& items) = 0;
  virtual void setChoice(int32_t controlId, int32_t index) = 0;
  virtual int32_t choice(int32_t controlId) const = 0;
  // The page of further settings beside the dialog, shown or hidden.
  virtual void showMorePage(bool shown) = 0;
  // Invalidate, erase and update the swatch now (it asks swatchLook).
  virtual void repaintSwatch() = 0;

  // Posted to the dialog itself, handled later: WM_PLUGIN_NOTIFY and WM_CLOSE.
  virtual void postNotify(int32_t code) = 0;
  virtual void postClose() = 0;
  // Destroys the window; onDestroy runs before this returns.
  virtual void destroyWindow() = 0;
  virtual void startTimer(int32_t timerId, uint32_t periodMs) = 0;
  virtual void stopTimer(int32_t timerId) = 0;
  virtual void flashCaption() = 0;  // invert the caption once

  // Modal windows. The open-file dialog keeps one object for the module's
  // life (so it reopens on the last file), uses `filter` (pairs of NUL-ended
  // texts, then one more NUL) and exactly OFN_HIDEREADONLY|OFN_OVERWRITEPROMPT.
  // The colour chooser starts on `initial` with its custom panel open.
  virtual bool chooseLogoFile(const std::string& filter, std::string& path) = 0;
  virtual bool chooseColor(uint32_t initial, uint32_t& chosen) = 0;
  // An OK button and the exclamation icon; `text` is Windows-1251.
  virtual void showRangeWarning(const char* text) = 0;
  virtual void showAbout() = 0;
};

}  // namespace om
