// The presentation in a web page: start-up, media download, one frame per
// animation frame of the browser, and a still mode for tests and thumbnails.
// The page (index.html) calls the exported functions and shows what they
// report through Module.onDemo(...).
#include "gpu/program.h"
#include "platform/sound.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/media.h"
#include "presentation/music.h"
#include "presentation/player.h"
#include "tools/web/web_shaders.h"

#include <SDL.h>
#include <emscripten.h>
#include <emscripten/wget.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

double clockStart = 0;
bool playing = false;
int framesShown = 0;
int mediaPending = kMediaFileCount;
// The music's one channel, made at the first click and replayed after
// (null when the page is silent).
SoundChannel* music = nullptr;
bool musicStarted = false;

// The music's <audio> element starts playing some time after the click
// (about 0.3 s in Chromium), and its position then runs slow for about
// 0.15 s before it keeps time. So the clock holds at 0 until the music plays
// and then follows it: each reading of the music's position gives a moment
// at which the music started, and the latest of them is kept, which puts the
// picture on the music and keeps it there if the music stalls. The clock
// never runs backwards. Music that has not started within kMusicWaitMs
// (sound blocked, no device) leaves the clock to run alone.
const double kMusicWaitMs = 1000;
bool waitingForMusic = false;
double lastMs = 0;

// Seconds the music has played, or -1 while it is not playing. (The macro
// needs an argument; the 0 is unused.)
double musicPosition() {
  return EM_ASM_DOUBLE(
      {
        var audio = SDL.music && SDL.music.audio;
        return audio && !audio.paused && audio.currentTime > 0 ? audio.currentTime : -1;
      },
      0);
}

// Once per animation frame, not at every reading of the clock: the music's
// position moves the clock's start as described above.
void followMusic() {
  const double now = emscripten_get_now();
  const double position = music ? musicPosition() : -1;
  if (position >= 0) {
    const double musicStart = now - position * 1000.0;
    clockStart = waitingForMusic ? musicStart : std::max(clockStart, musicStart);
    waitingForMusic = false;
  } else if (waitingForMusic && now - clockStart >= kMusicWaitMs) {
    clockStart = now;
    waitingForMusic = false;
  }
}

// The player's clock arithmetic: whole milliseconds times single-precision
// 0.001, from the start of the music instead of from SDL_Init.
float pageSeconds() {
  if (waitingForMusic) return 0.0f;
  lastMs = std::max(lastMs, std::floor(emscripten_get_now() - clockStart));
  return static_cast<float>(static_cast<Uint32>(lastMs)) * 0.001f;
}

// Tells the page what happened: "ready", "ended" or "failed".
void report(const char* what) {
  const std::string script = std::string("if (Module.onDemo) Module.onDemo('") + what + "')";
  emscripten_run_script(script.c_str());
}

void stop() {
  playing = false;
  emscripten_cancel_main_loop();
  if (music) soundChannelPause(music);
}

// The demo time is set once per animation frame, so every reading of a
// frame agrees.
void step() {
  followMusic();
  setDemoTime(pageSeconds());
  if (playFrame()) {
    ++framesShown;
    return;
  }
  stop();
  report("ended");
}

// Once every media file has arrived (or failed), the one start-up opens the
// canvas's GL context and loads them; the music waits for the click.
void mediaArrived() {
  if (--mediaPending > 0) return;
  Startup startup;
  startup.openContext = [](std::string*) { return initVideo() && openWindow(); };
  std::string error;
  if (!startPresentation(startup, nullptr, &error)) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    report("failed");
    return;
  }
  report("ready");
}

void onMediaLoaded(unsigned, void*, const char*) { mediaArrived(); }

void onMediaFailed(unsigned, void* file, int status) {
  std::fprintf(stderr, "cannot download \"%s\": HTTP status %d\n", static_cast<const char*>(file),
               status);
  mediaArrived();
}

}  // namespace

extern "C" {

// Starts the presentation from 0 s with its music; the page calls it from a
// click, since browsers play sound only after the user has interacted.
EMSCRIPTEN_KEEPALIVE void demoPlay() {
  stop();
  clockStart = emscripten_get_now();
  framesShown = 0;
  playing = true;
  if (!musicStarted) {
    music = startMusic();
    musicStarted = true;
  } else if (music) {
    soundChannelPlayFrom(music, 0);
  }
  waitingForMusic = music != nullptr;
  lastMs = 0;
  emscripten_set_main_loop(step, 0, 0);
}

// Esc's counterpart for the page: leaving it ends the presentation.
EMSCRIPTEN_KEEPALIVE void demoStop() { stop(); }

// Draws the frame at demo time `seconds` once, without sound.
EMSCRIPTEN_KEEPALIVE void demoStill(float seconds) {
  setDemoTime(seconds);
  drawFrame();
}

EMSCRIPTEN_KEEPALIVE int demoFrames() { return framesShown; }
EMSCRIPTEN_KEEPALIVE float demoSeconds() { return playing ? pageSeconds() : demoTime(); }

}  // extern "C"

int main() {
  setFragmentPrelude(webShaders::prelude);
  // Every media file is fetched into the module's file system under its
  // own name, where loadTextures() and startMusic() look for it.
  for (const MediaFile& media : kMediaFiles) {
    emscripten_async_wget2(media.name, media.name, "GET", "", const_cast<char*>(media.name),
                           onMediaLoaded, onMediaFailed, nullptr);
  }
  return 0;
}
