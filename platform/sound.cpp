// The music player on SDL_mixer: one device, one music stream.
#include "platform/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "platform/regular_file.h"
#include "platform/stderr_capture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

struct Sound {
  Mix_Music* music;
  bool loop;
  std::string path;  // absolute, to open the stream again from any folder
};

struct SoundChannel {
  Sound* sound;
};

struct SoundSystem {
  int outputType = kSoundOutputDefault;
  bool open = false;
  bool failed = false;
  Sound* sound = nullptr;
  SoundChannel channel = {nullptr};
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
  system->open = true;
  return kSoundOk;
}

int soundSystemCreateStream(SoundSystem* system, const char* path, unsigned mode, void*,
                            Sound** sound) {
  if (!system || !path || !sound) return kSoundErrInvalidParam;
  *sound = nullptr;
  if (!system->open) return kSoundErrNotReady;
  // SDL_mixer opens the file by name and would block for good on a FIFO.
  std::string reason;
  if (!isReadableRegularFile(path, &reason)) {
    std::fprintf(stderr, "cannot play \"%s\": %s; the run is silent\n", path, reason.c_str());
    return kSoundErrFile;
  }
  Mix_Music* music = Mix_LoadMUS(path);
  if (!music) {
    std::fprintf(stderr, "cannot play \"%s\": %s; the run is silent\n", path, Mix_GetError());
    return kSoundErrFile;
  }
  // soundChannelPlayFrom opens the file again, and the studio has left the
  // media folder by then.
  char* absolute = realpath(path, nullptr);
  *sound = new Sound{music, (mode & kSoundLoopNormal) != 0, absolute ? absolute : path};
  std::free(absolute);
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
  if (channel) *channel = &system->channel;
  return kSoundOk;
}

bool soundChannelIsPlaying(const SoundChannel* channel) {
  return channel && channel->sound && Mix_PlayingMusic() && !Mix_PausedMusic();
}

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
  // SDL_mixer 1.2 keeps up to 1024 decoded frames (23 ms) of an Ogg stream
  // across a seek and plays them first; a stream opened anew has none, so
  // the jump lands exactly at the next mixed block. Opening costs ~1 ms.
  if (Mix_Music* fresh = Mix_LoadMUS(sound->path.c_str())) {
    Mix_FreeMusic(sound->music);
    sound->music = fresh;
  }
#endif
  // Starting at the position sets it under the audio lock, so no block from
  // the old position slips in; SDL_mixer 1.2 takes an Ogg position in
  // seconds from the start of the stream.
  if (Mix_FadeInMusicPos(sound->music, sound->loop ? kPlayForever : kPlayOnce, 0, seconds) < 0) {
    return kSoundErrFile;
  }
  return kSoundOk;
}

int soundChannelSetStream(SoundChannel* channel, const char* path) {
  if (!channel || !channel->sound || !path) return kSoundErrInvalidParam;
  Mix_Music* fresh = Mix_LoadMUS(path);
  if (!fresh) return kSoundErrFile;
  // Freeing the music that plays halts it first.
  Mix_FreeMusic(channel->sound->music);
  channel->sound->music = fresh;
  char* absolute = realpath(path, nullptr);
  channel->sound->path = absolute ? absolute : path;
  std::free(absolute);
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
