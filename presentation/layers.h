// The layer schedule: what every frame draws, as a pure function of the clock.
#pragma once

// min(max(x * k, 0), 1), the product taken in single precision.
float ramp(float x, float k);

// Draws the layer stack of one frame. Expects the context that the start-up
// leaves: blending on, colour buffer cleared, modelview current and identity.
void drawLayers();

// One frame: clears the colour buffer, loads the identity modelview matrix
// and draws the layers. Every driver (window, headless, benchmark, tests)
// draws its frames through this.
void drawFrame();
