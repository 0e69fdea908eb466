// The presentation in a web page: start-up, media download, one frame per
// animation frame of the browser, a transport (play from a time, pause,
// seek) and a still mode for tests and thumbnails. The page (index.html)
// calls the exported functions and shows what they report through
// Module.onDemo(...) and Module.onProgress(...).
#include "gpu/program.h"
#include "platform/sound.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/media.h"
#include "presentation/music.h"
#include "presentation/player.h"
#include "presentation/window.h"
#include "tools/web/web_shaders.h"

#include <SDL.h>
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

enum class Run { stopped, playing, paused };
Run run = Run::stopped;
// emscripten_get_now() at demo time 0, in milliseconds.
double clockStart = 0;
// Where the clock stands while it waits for the music or is paused.
double heldSeconds = 0;
int framesShown = 0;
int mediaPending = kMediaFileCount;
// Whether the page draws the strip kLargePictureWidth device pixels wide or
// wider (Module.largePictures, set by the page before the module runs): the
// canvas is then drawn at twice the window's size with the large pictures.
bool largePictures = false;
// The music's one channel, made at the first play and moved after (null
// when the page is silent).
SoundChannel* music = nullptr;
bool musicStarted = false;

// The music's <audio> element starts playing some time after it is asked
// to (about 0.3 s in Chromium after the first click), and its position then
// runs slow for about 0.15 s before it keeps time; a jump stalls it too. So
// the clock holds where it was sent until the music plays and then follows
// it: each reading of the music's position gives a moment at which the
// music would have been at 0 s, and the latest of them is kept, which puts
// the picture on the music and keeps it there if the music stalls. The
// clock never runs backwards between jumps. Music that has not started
// within kMusicWaitMs (sound blocked, no device) leaves the clock to run
// alone.
const double kMusicWaitMs = 1000;
bool waitingForMusic = false;
double waitStart = 0;
double lastMs = 0;

// Seconds into the music, or -1 while it is not playing. (The macro needs
// an argument; the 0 is unused.)
double musicPosition() {
  return EM_ASM_DOUBLE(
      {
        var audio = SDL.music && SDL.music.audio;
        return audio && !audio.paused && !audio.seeking && audio.currentTime > 0 ? audio.currentTime
                                                                                 : -1;
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
  } else if (waitingForMusic && now - waitStart >= kMusicWaitMs) {
    clockStart = now - heldSeconds * 1000.0;
    waitingForMusic = false;
  }
}

// The player's clock arithmetic: whole milliseconds times single-precision
// 0.001, from the start of the music instead of from SDL_Init.
float pageSeconds() {
  if (run == Run::playing && !waitingForMusic) {
    lastMs = std::max(lastMs, std::floor(emscripten_get_now() - clockStart));
  }
  return static_cast<float>(static_cast<Uint32>(lastMs)) * 0.001f;
}

// A time from the page: not a number is 0 s, anything else within the run.
double withinRun(double seconds) {
  return std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, static_cast<double>(kEndTime));
}

// Tells the page what happened: "ready", "ended" or "failed".
void report(const char* what) {
  const std::string script = std::string("if (Module.onDemo) Module.onDemo('") + what + "')";
  emscripten_run_script(script.c_str());
}

void stop() {
  emscripten_cancel_main_loop();
  if (music) soundChannelPause(music);
  run = Run::stopped;
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

// Holds the clock at `seconds` until the music plays from there.
void holdAt(double seconds) {
  heldSeconds = seconds;
  lastMs = std::floor(seconds * 1000.0);
  clockStart = emscripten_get_now() - lastMs;
  setDemoTime(pageSeconds());
}

// The media list's files are fetched by the page's script into the
// module's file system under their own names, where loadTextures() and
// startMusic() look for them, with progress in bytes for the page
// (Module.onProgress(name, bytes so far, bytes in all, over), from the
// request's start, so that the page sees a download that stalls); a file
// that fails is named in one line and leaves its layer empty, as on the
// desktop.
EM_JS(void, fetchMedia, (const char* nameText), {
  var name = UTF8ToString(nameText);
  var progress = function(loaded, total, over) {
    if (Module.onProgress) Module.onProgress(name, loaded, total, over);
  };
  var request = new XMLHttpRequest();
  request.open('GET', name);
  request.responseType = 'arraybuffer';
  request.onprogress = function(e) { progress(e.loaded, e.lengthComputable ? e.total : 0, false); };
  request.onload = function() {
    if (request.status == 200) {
      var slash = name.lastIndexOf('/');
      if (slash > 0 && !FS.analyzePath(name.substring(0, slash)).exists)
        FS.mkdir(name.substring(0, slash));
      FS.writeFile(name, new Uint8Array(request.response));
      progress(request.response.byteLength, request.response.byteLength, true);
    } else {
      progress(0, 0, true);
      err('cannot download "' + name + '": HTTP status ' + request.status);
    }
    _demoMediaArrived();
  };
  request.onerror = function() {
    progress(0, 0, true);
    err('cannot download "' + name + '": the server did not answer');
    _demoMediaArrived();
  };
  progress(0, 0, false);
  request.send();
});

// The page's <audio> element for the music, when it made one on a click
// while the media downloaded (Module.musicElement): the browser's mixer
// takes an element it finds under the file's path in Module.preloadedAudios
// instead of making its own, which the browser could refuse to start, the
// click being over by now.
EM_JS(void, lendMusicElement, (const char* nameText), {
  var name = UTF8ToString(nameText);
  var audio = Module.musicElement;
  if (!audio || !FS.analyzePath(name).exists) return;
  audio.src = URL.createObjectURL(new Blob([FS.readFile(name)]));
  Module.preloadedAudios[PATH_FS.resolve(name)] = audio;
});

}  // namespace

extern "C" {

// Once every media file has arrived (or failed), the one start-up opens the
// canvas's GL context and loads them; the music waits for the first play.
EMSCRIPTEN_KEEPALIVE void demoMediaArrived() {
  if (--mediaPending > 0) return;
  Startup startup;
  startup.openContext = [](std::string* error) {
    return initVideo(error) && openWindow(largePictures ? kLargePictureScale : 1, 0, error);
  };
  startup.largePictures = largePictures;
  std::string error;
  if (!startPresentation(startup, nullptr, &error)) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    report("failed");
    return;
  }
  report("ready");
}

// Plays the presentation with its music from demo time `seconds` (not a
// number is 0 s). The first call must come from a click or key, since
// browsers play sound only after the user has interacted; later ones
// resume, jump or play again, the music moved to the same time.
EMSCRIPTEN_KEEPALIVE void demoPlay(double seconds) {
  emscripten_cancel_main_loop();
  seconds = withinRun(seconds);
  if (!musicStarted) {
    lendMusicElement(mediaName(MediaId::music));
    music = startMusic();
    musicStarted = true;
    if (music && seconds > 0) soundChannelPlayFrom(music, seconds);
  } else if (music) {
    soundChannelPlayFrom(music, seconds);
  }
  run = Run::playing;
  framesShown = 0;
  holdAt(seconds);
  waitingForMusic = music != nullptr;
  waitStart = emscripten_get_now();
  emscripten_set_main_loop(step, 0, 0);
}

// Freezes the picture and the music where they are; demoPlay(demoSeconds())
// continues both.
EMSCRIPTEN_KEEPALIVE void demoPause() {
  if (run != Run::playing) return;
  const double now = demoTime();
  stop();
  run = Run::paused;
  holdAt(now);
}

// Moves to demo time `seconds`: playing on from there with the music, or,
// when paused or ended, showing that frame and staying paused.
EMSCRIPTEN_KEEPALIVE void demoSeek(double seconds) {
  if (run == Run::playing) {
    demoPlay(seconds);
    return;
  }
  run = Run::paused;
  holdAt(withinRun(seconds));
  drawFrame();
}

// Esc: the run ends as at 130 s, with "play again".
EMSCRIPTEN_KEEPALIVE void demoEnd() {
  stop();
  report("ended");
}

// Leaving the page stops the presentation without a word.
EMSCRIPTEN_KEEPALIVE void demoStop() { stop(); }

// Draws the frame at demo time `seconds` once, without sound.
EMSCRIPTEN_KEEPALIVE void demoStill(float seconds) {
  setDemoTime(seconds);
  drawFrame();
}

EMSCRIPTEN_KEEPALIVE int demoFrames() { return framesShown; }
EMSCRIPTEN_KEEPALIVE float demoSeconds() {
  return run == Run::playing ? pageSeconds() : demoTime();
}

}  // extern "C"

int main() {
  setFragmentPrelude(webShaders::prelude);
  // (The macro needs an argument; the 0 is unused.)
  largePictures = EM_ASM_INT({ return Module.largePictures ? 1 : 0; }, 0);
  for (const MediaFile& media : kMediaFiles) fetchMedia(media.name);
    // The large copies come beside the others; one that fails leaves the
    // window-sized picture in its place, as on the desktop.
#define DEMO_FETCH_LARGE(id, file, handle, role) \
  ++mediaPending;                                \
  fetchMedia(DEMO_LARGE_PICTURE_FOLDER "/" file);
  if (largePictures) {
    DEMO_TEXTURE_LIST(DEMO_FETCH_LARGE)
  }
#undef DEMO_FETCH_LARGE
  return 0;
}
