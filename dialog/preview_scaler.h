// The bilinear scaler behind the dialog's logo preview.
#pragma once

#include <cstdint>

namespace om {

class PreviewScaler {
 public:
  PreviewScaler() = default;
  virtual ~PreviewScaler();
  void setMargins(int32_t growthPercent, int32_t shrinkPercent) {
    growthPercent_ = growthPercent;
    shrinkPercent_ = shrinkPercent;
  }

 private:
  int32_t growthPercent_ = 0;
  int32_t shrinkPercent_ = 0;
};

}  // namespace om
