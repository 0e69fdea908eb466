// Supersampled frames: drawn N times larger, then reduced by exact area
// averaging on the GPU (every N x N block of pixels to one, rounded to
// nearest), for the capture's stills and videos and the player's screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class RowOrder { topFirst, bottomFirst };

// The frame just drawn into the current framebuffer, n times the size asked
// for, reduced to width × height RGB rows in `order`: top first for
// pictures, bottom first (as GL reads them) for the video encoder, which
// flips them itself. The reduced frame is written over the framebuffer's
// lower-left corner on the way; the viewport is kept.
void readFrameReduced(int width, int height, int n, RowOrder order, std::vector<uint8_t>* rgb);

// Calls `draw` with an offscreen framebuffer n times width × height bound
// as its whole viewport, then clears the window's framebuffer and writes the
// reduced frame into its viewport (x, y, width, height), which it leaves
// set. The offscreen framebuffer is kept for the next frame of the same size.
// False with the reason when the context has no framebuffer objects or
// refuses one that large; nothing is drawn then.
bool drawSupersampled(int n, int x, int y, int width, int height, void (*draw)(),
                      std::string* error);
