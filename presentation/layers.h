// The layer schedule: what every frame draws, as a pure function of the clock.
#pragma once

enum class LayerId;

// min(max(x * k, 0), 1), the product taken in single precision.
float ramp(float x, float k);

// Draws the layer stack of one frame (presentation/layer_list.h lists its
// layers). Expects the context that the start-up leaves: blending on, colour
// buffer cleared, modelview current and identity.
void drawLayers();

// One frame: clears the colour buffer, loads the identity modelview matrix
// and draws the layers. Every driver (window, headless, benchmark, tests)
// draws its frames through this.
void drawFrame();

// Called with each layer just before its quad is drawn, nullptr (the
// default) for none: a tool that watches the uniforms set learns which layer
// they were set for.
void setLayerDrawnHook(void (*hook)(LayerId layer));

// The same for the maker's layers of the timeline file: called with a
// layer's index in builtMakerLayers() just before its quad.
void setMakerLayerDrawnHook(void (*hook)(int index));
