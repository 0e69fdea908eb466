// The panel's visible stretch of the timeline and its pixel mapping.
#include "tools/studio/timeline_view.h"

#include <algorithm>

namespace {

// Keeps the stretch inside 0 .. kEndTime, moving it rather than cutting it.
void keepInside(TimelineView* view) {
  view->span = std::min(std::max(view->span, kMinViewSpan), static_cast<double>(kEndTime));
  view->start = std::min(std::max(view->start, 0.0), kEndTime - view->span);
}

// Pixel columns 0 to width - 1 span the view, both ends included, so the
// last column is the view's end (130 s when zoomed out).
double columns(int width) { return width > 1 ? width - 1 : 1; }

}  // namespace

double timeAtX(const TimelineView& view, double x, int width) {
  return view.start + x / columns(width) * view.span;
}

double xAtTime(const TimelineView& view, double seconds, int width) {
  return (seconds - view.start) / view.span * columns(width);
}

void zoomView(TimelineView* view, double factor, double x, int width) {
  const double anchor = timeAtX(*view, x, width);
  view->span *= factor;
  keepInside(view);
  view->start = anchor - x / columns(width) * view->span;
  keepInside(view);
}

void panView(TimelineView* view, double dx, int width) {
  view->start -= dx / columns(width) * view->span;
  keepInside(view);
}
