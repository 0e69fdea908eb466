// The presentation's music through our sound layer.
#include "presentation/music.h"

#include "platform/sound.h"
#include "presentation/media.h"

SoundChannel* startMusic() {
  // The handles live as long as the process; the music plays out by itself
  // and the timeline never asks where it is.
  static SoundSystem* system = nullptr;
  static Sound* music = nullptr;
  static SoundChannel* channel = nullptr;
  soundSystemCreate(&system);
  soundSystemSetOutput(system, kSoundOutputDefault);
  soundSystemInit(system, 10, 0, nullptr);
  soundSystemCreateStream(system, mediaName(MediaId::music),
                          kSoundLoopOff | kSound2d | kSoundSoftware | kSoundCreateSample |
                              kSoundAccurateTime | kSoundUnique,
                          nullptr, &music);
  soundSystemPlaySound(system, kSoundChannelFree, music, false, &channel);
  return channel;
}
