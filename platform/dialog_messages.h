// Messages to the settings dialog, and the one message box shown without it.
#pragma once

namespace om {
namespace platform {

// Posts WM_PLUGIN_NOTIFY (common/notify.h) with `code` to the dialog window;
// never waits.
void postDialogNotify(void* window, int code) noexcept;

// The modal "no SSE" message, owned by `parent` (a window handle or null).
void showNoSseMessage(void* parent) noexcept;

}  // namespace platform
}  // namespace om
