// The studio's timeline panel under the strip: one row per layer of the
// schedule with its fades, the cues, the music's waveform, the loop and the
// playhead; a click seeks, a shift-drag sets the loop, the wheel zooms, a
// middle drag pans, 0 resets the zoom, Tab shows the uniforms at the playhead.
#pragma once

#include "presentation/timeline.h"
#include "tools/studio/timeline_edit.h"
#include "tools/studio/transport.h"

#include <SDL.h>

#include <string>

// The panel's height in pixels below the strip.
constexpr int kPanelHeight = 280;

// Makes one row per layer of the layer list with its alpha under the loaded
// timeline, starts watching the uniforms of the frames drawn, starts decoding
// the music at `musicPath` and sets up the panel's drawing on the current GL
// context. The window is `width` pixels wide, the strip `stripHeight` high
// above the panel. `loaded` is the timeline as read, which the schedule
// draws with (timeline::active()); Ctrl+S writes the edited one to `file`
// (`given`: named on the command line, else the working folder's).
void startPanel(int width, int stripHeight, const std::string& musicPath, const Timeline& loaded,
                const TimelineFile& file, bool given);

// Takes a mouse event in the panel (or one that ends a drag begun there), Tab,
// 0, Ctrl+Z, Ctrl+Y or Ctrl+S; returns false for any other event. Seeks and
// loop changes go to `transport`; a seek sets `*jumped`. A left drag that
// starts on the ramp of a fade the row reads moves that fade (on frames), and the
// picture, the rows and the inspector follow at once.
bool panelEvent(const SDL_Event& event, Transport* transport, bool* jumped);

// Draws the panel over the lower part of the window for the transport's
// state, after the frame at the transport's time (the inspector shows the
// uniforms that frame set). GL state it changes is put back, so the next frame of
// the presentation draws as without it. With DEMO_STUDIO_INSPECT set in the
// environment the inspector's text also goes to stdout whenever it changes
// while shown.
void drawPanel(const Transport& transport);

// Stops the music's decoding and releases the panel's GL objects.
void stopPanel();

// The edited timeline, and how many edits (moves, undos, redos) were made:
// a change of the count means the music must follow.
const Timeline& panelTimeline();
int panelEdits();
bool panelUnsaved();

// What the title adds: the unsaved mark and the last note (a save, an
// undo with nothing to undo, or one set by setPanelNote).
std::string panelTitleText();
void setPanelNote(const std::string& note);

// The waveform is decoded again from `musicPath` (the music of an edit).
void setPanelMusic(const std::string& musicPath);
