// The layer schedule.
#include "presentation/layers.h"

#include <algorithm>

float ramp(float x, float k) {
  const float product = x * k;
  return std::min(std::max(product, 0.0f), 1.0f);
}

void drawLayers() {}
