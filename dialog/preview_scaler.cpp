#include "dialog/preview_scaler.h"

namespace om {

PreviewScaler::~PreviewScaler() {}

}  // namespace om
