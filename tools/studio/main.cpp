// demo-studio: the presentation under a transport (pause, seek, step, loop,
// speed) with its music following, and its programs rebuilt as their source
// files are saved.
#include "gpu/frame_readback.h"
#include "platform/regular_file.h"
#include "platform/sound.h"
#include "presentation/clock.h"
#include "presentation/layers.h"
#include "presentation/maker_layers.h"
#include "presentation/media.h"
#include "presentation/player.h"
#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tools/common/png_file.h"
#include "tools/common/stop_signals.h"
#include "tools/studio/music_follow.h"
#include "tools/studio/options.h"
#include "tools/studio/panel.h"
#include "tools/studio/scratch_folder.h"
#include "tools/studio/shader_watch.h"
#include "tools/studio/timeline_edit.h"
#include "tools/studio/transport.h"

#include <SDL.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool transportKeyOf(SDLKey key, TransportKey* out) {
  static const struct {
    SDLKey sdl;
    TransportKey key;
  } keys[] = {
      {SDLK_SPACE, TransportKey::pauseResume},  {SDLK_RIGHT, TransportKey::forward1},
      {SDLK_LEFT, TransportKey::back1},         {SDLK_UP, TransportKey::forward10},
      {SDLK_DOWN, TransportKey::back10},        {SDLK_HOME, TransportKey::home},
      {SDLK_PERIOD, TransportKey::stepForward}, {SDLK_COMMA, TransportKey::stepBack},
      {SDLK_i, TransportKey::setLoopStart},     {SDLK_o, TransportKey::setLoopEnd},
      {SDLK_l, TransportKey::toggleLoop},       {SDLK_RIGHTBRACKET, TransportKey::faster},
      {SDLK_LEFTBRACKET, TransportKey::slower},
  };
  for (const auto& k : keys) {
    if (k.sdl == key) {
      *out = k.key;
      return true;
    }
  }
  return false;
}

// The strip of the drawn back buffer (above the panel) as a PNG named by the
// demo time; the writer puts it under a temporary name and renames it into place.
void saveFrame(double seconds, int width, int height) {
  std::vector<uint8_t> rgb;
  readFrameRgb(width, height, &rgb, kPanelHeight);
  char name[64];
  std::snprintf(name, sizeof name, "frame-%07.3f.png", seconds);
  std::string error;
  if (!writePngRgb(name, width, height, rgb, &error)) {
    std::fprintf(stderr, "demo-studio: cannot write \"%s\": %s\n", name, error.c_str());
    return;
  }
  std::printf("demo-studio: saved %s\n", name);
  std::fflush(stdout);
}

// DEMO_STUDIO_TIMES: what the strip and the panel cost per frame, each waited
// for with glFinish, as wall time and as the process's CPU time (llvmpipe's
// threads included, so a busy machine stretches the first but hardly the
// second); the means of every 60 frames go to stdout.
struct FrameTimes {
  static constexpr int kFrames = 60;
  double wall[3] = {}, cpu[3] = {};
  double wallSum[2] = {}, cpuSum[2] = {};
  int frames = 0;

  // Stage 0 starts the strip, 1 ends it and starts the panel, 2 ends the
  // panel and the frame; true when kFrames frames are summed.
  bool mark(int stage) {
    if (stage > 0) glFinish();
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    cpu[stage] = static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    wall[stage] =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    if (stage < 2) return false;
    for (int i = 0; i < 2; ++i) {
      wallSum[i] += wall[i + 1] - wall[i];
      cpuSum[i] += cpu[i + 1] - cpu[i];
    }
    return ++frames == kFrames;
  }

  void print(double seconds) {
    std::printf(
        "demo-studio: at %.3f s, mean of %d frames: strip %.2f ms (CPU %.2f ms), panel %.2f ms "
        "(CPU %.2f ms)\n",
        seconds, kFrames, wallSum[0] * 1000 / kFrames, cpuSum[0] * 1000 / kFrames,
        wallSum[1] * 1000 / kFrames, cpuSum[1] * 1000 / kFrames);
    std::fflush(stdout);
    *this = FrameTimes{};
  }
};

// Ends the studio on a stop signal, within a frame of it: unsaved edits are
// written beside the timeline file as NAME.unsaved, the music's folder is
// removed, and the process ends by the signal (status 128 + its number)
// without waiting for music being made.
[[noreturn]] void endByStopSignal(int signal, const std::string& savePath) {
  const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
  if (panelUnsaved()) {
    const std::string kept = savePath + ".unsaved";
    std::string error;
    if (saveTimeline(kept, panelTimeline(), &error)) {
      std::fprintf(stderr, "demo-studio: stopped by %s; the unsaved edits are in %s\n", name,
                   kept.c_str());
    } else {
      std::fprintf(stderr,
                   "demo-studio: stopped by %s; cannot keep the unsaved edits in \"%s\": %s\n",
                   name, kept.c_str(), error.c_str());
    }
  }
  endMusicFollow();
  std::fflush(stdout);
  std::fflush(stderr);
  releaseStopSignals();
  _exit(128 + signal);
}

int runStudio(const StudioOptions& o, const std::string& shaderDir, const Timeline& loaded,
              const TimelineFile& file) {
  // The player's start-up in the media folder, then back to the folder the
  // studio started in, where saved frames go.
  SoundChannel* music = nullptr;
  std::string error;
  Startup startup = windowStartup(o.mediaDir, o.scale, kPanelHeight);
  if (!startPresentation(startup, &music, &error)) {
    if (!error.empty()) std::fprintf(stderr, "demo-studio: %s\n", error.c_str());
    return makerLayersRefused() ? 2 : 1;
  }
  SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, SDL_DEFAULT_REPEAT_INTERVAL);
  startShaderWatch(shaderDir);
  watchMakerLayers(loaded, o.mediaDir, startup.largePictures);
  const int width = kWindowWidth * o.scale, height = kWindowHeight * o.scale;
  const bool pathGiven = !o.timelinePath.empty();
  startPanel(width, height, o.mediaDir + "/" + mediaName(MediaId::music), loaded, file, pathGiven);
  // The media's music is the built-in timeline's; another one gets its own.
  int edits = panelEdits();
  if (!loaded.sameFades(timeline::builtin())) {
    requestMusic(loaded);
    setPanelNote("making the music of this timeline");
  }
  bool quitAsked = false;
  const bool timed = std::getenv("DEMO_STUDIO_TIMES") != nullptr;
  FrameTimes times;

  Transport transport;
  transport.time = o.at;
  transport.paused = o.paused;
  transport.speed = o.speed;
  transport.looping = o.looping;
  if (o.looping) {
    transport.loopStart = o.loopStart;
    transport.loopEnd = o.loopEnd;
  }
  // The player's start-up set the music playing from 0; it is moved to the
  // transport's time (or paused) before the first frame.
  bool audible = !musicAudible(transport);
  bool jumped = true;

  using Clock = std::chrono::steady_clock;
  Clock::time_point last = Clock::now(), fpsStart = last;
  int framesCounted = 0;
  double framesPerSecond = 0;
  std::string title;
  for (;;) {
    // The time moves on under the state the last frame left; the keys of
    // this frame act after that, so a resume or a seek starts exactly at the
    // time shown when the key came.
    if (const int signal = stopSignal()) endByStopSignal(signal, file.path());
    const Clock::time_point now = Clock::now();
    jumped =
        advanceTransport(&transport, std::chrono::duration<double>(now - last).count()) || jumped;
    last = now;

    const FrameEvents events = takeFrameEvents();
    if (events.quit) {
      // Unsaved edits: the first Esc (or close) asks, the next one quits.
      if (!panelUnsaved() || quitAsked) break;
      quitAsked = true;
      setPanelNote("unsaved edits: Esc again quits without saving, Ctrl+S saves");
    }
    bool save = false;
    for (int i = 0; i < events.eventCount; ++i) {
      const SDL_Event& event = events.events[i];
      if (panelEvent(event, &transport, &jumped) || event.type != SDL_KEYDOWN) continue;
      TransportKey action;
      if (event.key.keysym.sym == SDLK_F12) {
        save = true;
      } else if (transportKeyOf(event.key.keysym.sym, &action)) {
        jumped = applyTransportKey(&transport, action) || jumped;
      }
    }

    // An edit asks for the music of the edited timeline, made beside the
    // frames; when it is ready it takes the old one's place at the playhead.
    if (panelEdits() != edits) {
      edits = panelEdits();
      quitAsked = false;
      requestMusic(panelTimeline());
      setPanelNote("making the music of the edit");
    }
    std::string madeMusic;
    double sinceEdit = 0, cpu = 0;
    if (takeMadeMusic(&madeMusic, &sinceEdit, &cpu)) {
      if (music && soundChannelSetStream(music, madeMusic.c_str()) == kSoundOk) {
        jumped = true;
        audible = false;
      }
      setPanelMusic(madeMusic);
      setPanelNote("music follows the edit");
      std::printf(
          "demo-studio: the music of the edited timeline plays from %.3f s, %.2f s after "
          "the edit (%.2f s of CPU to make it)\n",
          transport.time, sinceEdit, cpu);
      std::fflush(stdout);
    }

    // Every jump, and every return to 1× play, starts the stream at the
    // demo time; a pause or another speed silences it.
    const bool nowAudible = musicAudible(transport);
    if (music && nowAudible && (jumped || !audible)) {
      soundChannelPlayFrom(music, transport.time);
    } else if (music && !nowAudible && audible) {
      soundChannelPause(music);
    }
    audible = nowAudible;
    jumped = false;

    pollShaderWatch();
    setDemoTime(static_cast<float>(transport.time));
    // The presentation fills a strip-sized viewport at the top of the window.
    glViewport(0, kPanelHeight, width, height);
    if (timed) times.mark(0);
    drawFrame();
    if (timed) times.mark(1);
    drawPanel(transport);
    if (timed && times.mark(2)) times.print(transport.time);
    if (save) saveFrame(transport.time, width, height);
    SDL_GL_SwapBuffers();

    ++framesCounted;
    const double counted = std::chrono::duration<double>(Clock::now() - fpsStart).count();
    if (counted >= 1.0) {
      framesPerSecond = framesCounted / counted;
      framesCounted = 0;
      fpsStart = Clock::now();
    }
    const std::string heading =
        headsUpText(transport, framesPerSecond, failingShaderFiles()) + panelTitleText();
    if (heading != title) {
      title = heading;
      SDL_WM_SetCaption(title.c_str(), "demo-studio");
    }
    // About 60 frames a second is enough to edit by, and leaves the CPU to
    // the compiler and the editor.
    const double spent = std::chrono::duration<double>(Clock::now() - now).count();
    if (spent < kStepSeconds) SDL_Delay(static_cast<Uint32>((kStepSeconds - spent) * 1000));
  }
  if (const int signal = stopSignal()) endByStopSignal(signal, file.path());
  stopPanel();
  // Quitting never waits for music being made: its files are removed, and
  // the process ends under the composing thread.
  if (endMusicFollow()) {
    std::fflush(stdout);
    _exit(0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  preferX11Video();
  StudioOptions options;
  std::string error;
  if (!parseStudioOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "demo-studio: %s\n%s", error.c_str(), studioUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(studioHelp().c_str(), stdout);
    return 0;
  }
  std::string shaderDir = options.shaderDir.empty() ? DEMO_SHADER_DIR : options.shaderDir;
  if (!isDirectory(shaderDir)) {
    std::fprintf(stderr, "demo-studio: cannot open the shader folder \"%s\"\n", shaderDir.c_str());
    return 1;
  }
  if (!isDirectory(options.mediaDir)) {
    std::fprintf(stderr, "demo-studio: cannot open the media folder \"%s\"\n",
                 options.mediaDir.c_str());
    return 1;
  }
  // The file is read once: its bytes are what a save checks the file
  // against, so that another program's writes since are not lost unseen.
  const bool pathGiven = !options.timelinePath.empty();
  const std::string savePath = pathGiven ? options.timelinePath : "timeline.txt";
  const FileContent read = fileContentOf(savePath);
  Timeline loaded = timeline::builtin();
  if (pathGiven && !read.readable) {
    std::fprintf(stderr, "demo-studio: timeline \"%s\": %s\n", savePath.c_str(), read.text.c_str());
    return 1;
  }
  if (pathGiven && !parseTimelineFile(read.text, savePath, &loaded, &error)) {
    std::fprintf(stderr, "demo-studio: timeline %s\n", error.c_str());
    return 2;
  }
  timeline::setActive(loaded);
  // Relative folders are taken from where the studio starts, before the
  // start-up visits the media folder.
  char* absolute = realpath(shaderDir.c_str(), nullptr);
  if (absolute) {
    shaderDir = absolute;
    std::free(absolute);
  }
  // Stop signals are held before SDL starts: SDL then leaves SIGINT and
  // SIGTERM to this handler instead of turning them into a quit event.
  holdStopSignals();
  removeLeftoverScratchFolders(temporaryParent(), processRuns);
  return runStudio(options, shaderDir, loaded, TimelineFile(savePath, read));
}
