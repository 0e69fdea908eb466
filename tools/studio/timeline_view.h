// The stretch of the timeline the studio's panel shows across its width:
// zoomed with the wheel around the pointer, panned with a middle drag.
#pragma once

#include "presentation/window.h"

struct TimelineView {
  double start = 0;        // seconds at the left edge
  double span = kEndTime;  // seconds across the width
};

// The narrowest stretch the wheel zooms to.
constexpr double kMinViewSpan = 0.5;

// The time at pixel column `x` of a panel `width` pixels wide, and back:
// column 0 is the view's start and column width - 1 its end.
double timeAtX(const TimelineView& view, double x, int width);
double xAtTime(const TimelineView& view, double seconds, int width);

// Narrows (factor < 1) or widens the view so that the time under `x` stays
// under it; never wider than the timeline nor narrower than kMinViewSpan.
void zoomView(TimelineView* view, double factor, double x, int width);

// Moves the view's content by `dx` pixels (a drag to the right shows earlier
// times), kept within the timeline.
void panView(TimelineView* view, double dx, int width);
