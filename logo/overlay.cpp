// Placeholder until overlay preparation lands.
#include "logo/overlay.h"

#include "compositing/frame_canvas.h"
#include "plugin/plugin_state.h"

namespace om {

void rebuildOverlay(PluginState&) {}
void prepareOverlay(FrameCanvas&, const uint32_t*, int32_t, int32_t, const Rect&, SourceMode,
                    uint32_t, const int32_t[2], int32_t, int32_t, int32_t, int32_t) {}
bool ensureOverlaySize(FrameCanvas&, const int32_t[2], int32_t, int32_t, int32_t, int32_t) {
  return false;
}

}  // namespace om
