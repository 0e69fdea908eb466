// The music player on SDL_mixer: one device, one music stream.
#include "platform/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "platform/regular_file.h"
#include "platform/stderr_capture.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

struct Sound {
  Mix_Music* music;
  bool loop;
  std::string path;  // absolute, to open the stream again from any folder
};

struct SoundChannel {
  Sound* sound;
  double latency;  // the system's, for soundChannelPlayInStep
};

struct SoundSystem {
  int outputType = kSoundOutputDefault;
  bool open = false;
  double latency = 0;  // seconds from a mixed block to its output
  bool failed = false;
  Sound* sound = nullptr;
  SoundChannel channel = {nullptr, 0};
};

namespace {

// Mix_PlayMusic counts plays: 1 plays the music through once, -1 without end.
const int kPlayOnce = 1;
const int kPlayForever = -1;

#ifdef __EMSCRIPTEN__
// The browser mixer's <audio> element for the music, moved to `seconds`.
EM_JS(void, moveMusicElement, (double seconds), {
  if (SDL.music.audio) SDL.music.audio.currentTime = seconds;
});
#endif

#ifndef __EMSCRIPTEN__
// SDL_GetTicks() when the mixer finished each of its last blocks (a ring,
// written by the audio thread under the audio lock), and the length of one
// block in seconds.
constexpr int kMixRing = 16;
Uint32 mixTicks[kMixRing];
std::atomic<int> mixCount{0};
double blockSeconds = 0;

void noteMix(void*, Uint8*, int) {
  mixTicks[mixCount % kMixRing] = SDL_GetTicks();
  ++mixCount;
}

// Seconds until the mixer starts its next block, read under the audio lock:
// the last block's time plus the pace of the blocks before it. A sound card
// takes blocks at its own rate, one block's length apart; a driver that
// takes them as fast as the process delivers them (SDL's disk driver, a
// loaded machine) sets its own pace, which the mean of the last blocks
// follows.
double untilNextMix() {
  const int count = mixCount;
  if (count == 0) return blockSeconds;  // not mixing yet: a block's length at most
  const int newest = (count - 1) % kMixRing;
  const int span = std::min(count, kMixRing) - 1;
  const double pace =
      span > 0 ? (mixTicks[newest] - mixTicks[(count - 1 - span) % kMixRing]) * 0.001 / span
               : blockSeconds;
  const double wait = mixTicks[newest] * 0.001 + pace - SDL_GetTicks() * 0.001;
  return wait > 0 ? wait : 0;
}
#endif

// SDL_mixer opens the file by name and would block for good on a FIFO, so
// only a readable regular file is handed to it; null with the reason else.
Mix_Music* openStream(const char* path, std::string* reason) {
  if (!isReadableRegularFile(path, reason)) return nullptr;
  Mix_Music* music = Mix_LoadMUS(path);
  if (!music) *reason = Mix_GetError();
  return music;
}

// Playing from a position opens the file again, and the studio has left the
// media folder by then: the stream keeps its absolute path.
std::string absolutePath(const char* path) {
  char* absolute = realpath(path, nullptr);
  const std::string result = absolute ? absolute : path;
  std::free(absolute);
  return result;
}

}  // namespace

int soundSystemCreate(SoundSystem** system) {
  if (!system) return kSoundErrInvalidParam;
  *system = new SoundSystem;
  return kSoundOk;
}

int soundSystemSetOutput(SoundSystem* system, int outputType) {
  if (!system) return kSoundErrInvalidParam;
  if (outputType != kSoundOutputDefault) {
    std::fprintf(stderr, "sound: output type %d is not supported; the run is silent\n", outputType);
    system->failed = true;
    return kSoundErrOutputType;
  }
  system->outputType = outputType;
  return kSoundOk;
}

int soundSystemInit(SoundSystem* system, int maxChannels, unsigned flags, void*) {
  if (!system || maxChannels <= 0 || flags != 0) return kSoundErrInvalidParam;
  if (system->failed) return kSoundErrNotReady;
  // The audio back ends (ALSA's library among them) print their own
  // complaints while SDL tries them; the last one joins our line.
  bool opened = false;
  const std::string driverMessage = lastStderrLineOf([&] {
    opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 &&
             Mix_OpenAudio(kSoundRate, AUDIO_S16SYS, 2, kSoundBufferFrames) == 0;
  });
  if (!opened) {
    std::fprintf(stderr, "sound: no audio device (%s%s%s); the run is silent\n", SDL_GetError(),
                 driverMessage.empty() ? "" : "; ", driverMessage.c_str());
    system->failed = true;
    return kSoundErrNoDevice;
  }
  Mix_AllocateChannels(maxChannels);
#ifndef __EMSCRIPTEN__
  int rate = kSoundRate, channels = 2;
  Uint16 format = AUDIO_S16SYS;
  Mix_QuerySpec(&rate, &format, &channels);
  blockSeconds = static_cast<double>(kSoundBufferFrames) / rate;
  char driver[32] = "";
  SDL_AudioDriverName(driver, sizeof driver);
  const bool takesAtOnce = std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0;
  system->latency = takesAtOnce ? 0 : blockSeconds;
  // Runs in the audio thread after every mixed block: the time of the last
  // block tells soundChannelPlayInStep when the next one begins.
  Mix_SetPostMix(noteMix, nullptr);
#endif
  system->open = true;
  return kSoundOk;
}

int soundSystemCreateStream(SoundSystem* system, const char* path, unsigned mode, void*,
                            Sound** sound) {
  if (!system || !path || !sound) return kSoundErrInvalidParam;
  *sound = nullptr;
  if (!system->open) return kSoundErrNotReady;
  std::string reason;
  Mix_Music* music = openStream(path, &reason);
  if (!music) {
    std::fprintf(stderr, "cannot play \"%s\": %s; the run is silent\n", path, reason.c_str());
    return kSoundErrFile;
  }
  *sound = new Sound{music, (mode & kSoundLoopNormal) != 0, absolutePath(path)};
  system->sound = *sound;
  return kSoundOk;
}

int soundSystemPlaySound(SoundSystem* system, int channelIndex, Sound* sound, bool paused,
                         SoundChannel** channel) {
  if (!system || !sound || channelIndex != kSoundChannelFree) return kSoundErrInvalidParam;
  if (!system->open) return kSoundErrNotReady;
  if (Mix_PlayMusic(sound->music, sound->loop ? kPlayForever : kPlayOnce) < 0) {
    std::fprintf(stderr, "sound: cannot start the music: %s; the run is silent\n", Mix_GetError());
    return kSoundErrFile;
  }
  if (paused) Mix_PauseMusic();
  system->channel.sound = sound;
  system->channel.latency = system->latency;
  if (channel) *channel = &system->channel;
  return kSoundOk;
}

bool soundChannelIsPlaying(const SoundChannel* channel) {
  return channel && channel->sound && Mix_PlayingMusic() && !Mix_PausedMusic();
}

namespace {

#ifndef __EMSCRIPTEN__
// SDL_mixer 1.2 keeps up to 1024 decoded frames (23 ms) of an Ogg stream
// across a seek and plays them first; a stream opened anew has none, so a
// jump lands exactly at the next mixed block. Opening costs ~1 ms.
void reopenStream(Sound* sound) {
  if (Mix_Music* fresh = Mix_LoadMUS(sound->path.c_str())) {
    Mix_FreeMusic(sound->music);
    sound->music = fresh;
  }
}
#endif

// Starting at the position sets it under the audio lock, so no block from
// the old position slips in; SDL_mixer 1.2 takes an Ogg position in seconds
// from the start of the stream.
int playStreamAt(Sound* sound, double seconds) {
  const int loops = sound->loop ? kPlayForever : kPlayOnce;
  return Mix_FadeInMusicPos(sound->music, loops, 0, seconds) < 0 ? kSoundErrFile : kSoundOk;
}

}  // namespace

int soundChannelPlayFrom(SoundChannel* channel, double seconds) {
  if (!channel || !channel->sound || seconds < 0) return kSoundErrInvalidParam;
  Sound* sound = channel->sound;
#ifdef __EMSCRIPTEN__
  // The browser's mixer plays the file through one <audio> element and
  // ignores the position it is given, so the element itself is moved: its
  // currentTime seeks to the sample. Pausing first keeps the mixer from
  // calling the element's play a second time as an error.
  Mix_PauseMusic();
  if (Mix_PlayMusic(sound->music, sound->loop ? kPlayForever : kPlayOnce) < 0) return kSoundErrFile;
  moveMusicElement(seconds);
  return kSoundOk;
#else
  reopenStream(sound);
#endif
  return playStreamAt(sound, seconds);
}

int soundChannelPlayInStep(SoundChannel* channel, double (*now)()) {
  if (!channel || !channel->sound || !now) return kSoundErrInvalidParam;
#ifdef __EMSCRIPTEN__
  // The browser plays through its own element, whose start the page follows.
  return soundChannelPlayFrom(channel, now());
#else
  Sound* sound = channel->sound;
  // Opened before the lock, so the mixer never waits on the file.
  reopenStream(sound);
  // A device that has just opened writes its first block before the mixer
  // runs; the time of the mixer's first block is waited for (a block's
  // length, 23 ms), so that the next is known.
  for (int waited = 0; mixCount == 0 && waited < 200; ++waited) SDL_Delay(1);
  // Under the audio lock no block is mixed, so the next one begins where
  // untilNextMix says and starts from the position set here. SDL's audio
  // lock is recursive, and Mix_FadeInMusicPos takes it once more.
  SDL_LockAudio();
  const int result = playStreamAt(sound, now() + untilNextMix() + channel->latency);
  SDL_UnlockAudio();
  return result;
#endif
}

double soundOutputLatency(const SoundSystem* system) {
  return system && system->open ? system->latency : 0;
}

int soundChannelSetStream(SoundChannel* channel, const char* path) {
  if (!channel || !channel->sound || !path) return kSoundErrInvalidParam;
  std::string reason;
  Mix_Music* fresh = openStream(path, &reason);
  if (!fresh) return kSoundErrFile;
  // Freeing the music that plays halts it first.
  Mix_FreeMusic(channel->sound->music);
  channel->sound->music = fresh;
  channel->sound->path = absolutePath(path);
  return kSoundOk;
}

int soundChannelPause(SoundChannel* channel) {
  if (!channel || !channel->sound) return kSoundErrInvalidParam;
  Mix_PauseMusic();
  return kSoundOk;
}

void soundSystemRelease(SoundSystem* system) {
  if (!system) return;
  if (system->sound) {
    Mix_HaltMusic();
    Mix_FreeMusic(system->sound->music);
    delete system->sound;
  }
  if (system->open) {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  delete system;
}
