// The presentation's music through our sound layer.
#include "presentation/music.h"

#include "platform/sound.h"
#include "presentation/clock.h"
#include "presentation/media.h"

namespace {

std::string musicFile;

SoundChannel* openMusic(bool paused) {
  // The handles live as long as the process; the music plays out by itself
  // and the timeline never asks where it is.
  static SoundSystem* system = nullptr;
  static Sound* music = nullptr;
  static SoundChannel* channel = nullptr;
  soundSystemCreate(&system);
  soundSystemSetOutput(system, kSoundOutputDefault);
  soundSystemInit(system, 10, 0, nullptr);
  soundSystemCreateStream(system, musicFile.empty() ? mediaName(MediaId::music) : musicFile.c_str(),
                          kSoundLoopOff | kSound2d | kSoundSoftware | kSoundCreateSample |
                              kSoundAccurateTime | kSoundUnique,
                          nullptr, &music);
  soundSystemPlaySound(system, kSoundChannelFree, music, paused, &channel);
  return channel;
}

double demoSeconds() { return static_cast<double>(demoTime()); }

}  // namespace

void setMusicFile(const std::string& path) { musicFile = path; }

SoundChannel* startMusic() { return openMusic(false); }

SoundChannel* startMusicInStep() {
  // The demo clock has run since SDL was initialised, so the music does not
  // start from its beginning but from the demo time at which the device
  // outputs its first block.
  SoundChannel* channel = openMusic(true);
  if (channel) soundChannelPlayInStep(channel, demoSeconds);
  return channel;
}
