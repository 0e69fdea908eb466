// A small music player: a sound system on the default audio device that
// plays one file as a stream, built on SDL_mixer. The presentation makes
// exactly five calls, create, set output, init, create stream, play, and
// looks at no result; each failure prints one line on stderr and leaves the
// run silent. Later calls on a system that failed stay quiet.
#pragma once

struct SoundSystem;
struct Sound;
struct SoundChannel;

enum SoundResult {
  kSoundOk = 0,
  kSoundErrInvalidParam,
  kSoundErrOutputType,
  kSoundErrNoDevice,
  kSoundErrNotReady,
  kSoundErrFile,
};

// Output types. 11 asks for the platform's default device (SDL's audio
// driver, which SDL_AUDIODRIVER can choose).
enum { kSoundOutputDefault = 11 };

// Stream mode bits. Only the loop bits change playback; the others describe
// how a stream is kept and are accepted as they are.
enum : unsigned {
  kSoundLoopOff = 0x1,
  kSoundLoopNormal = 0x2,
  kSound2d = 0x8,
  kSoundSoftware = 0x40,
  kSoundCreateSample = 0x100,
  kSoundAccurateTime = 0x4000,
  kSoundUnique = 0x20000,
};

enum { kSoundChannelFree = -1 };

// The output format. The buffer is what the device plays ahead of the
// mixer, so it is also how far the music lags behind the picture on top of
// the start-up: 1024 frames is 23 ms, and mixing one buffer of the
// soundtrack costs about 1 % of that, leaving the rest as slack against
// scheduling stalls.
enum { kSoundRate = 44100, kSoundBufferFrames = 1024 };

int soundSystemCreate(SoundSystem** system);
int soundSystemSetOutput(SoundSystem* system, int outputType);
int soundSystemInit(SoundSystem* system, int maxChannels, unsigned flags, void* extraDriverData);
int soundSystemCreateStream(SoundSystem* system, const char* path, unsigned mode,
                            void* extendedInfo, Sound** sound);
int soundSystemPlaySound(SoundSystem* system, int channelIndex, Sound* sound, bool paused,
                         SoundChannel** channel);

// Not used by the presentation, whose sound lives as long as the process:
// whether the channel is still playing, and tearing a system down (tests).
bool soundChannelIsPlaying(const SoundChannel* channel);

// For drivers that move the music with their picture (the studio, the
// browser page's transport): plays the channel's stream from `seconds` after
// its start, whether it was playing, paused or had ended, from any working
// folder; and pauses it where it is (a resume is a play from the time shown).
int soundChannelPlayFrom(SoundChannel* channel, double seconds);
int soundChannelPause(SoundChannel* channel);

// For a player whose picture runs on its own clock: plays the channel's
// stream from `now()` (seconds on that clock) plus the time until what the
// mixer makes next is output by the device, so that the device outputs at
// every moment the part of the stream that the clock reads then. `now` is
// read under the audio lock, between two mixed blocks. The time until output
// is the wait for the next block (the mixer's last block is timed) plus the
// device's latency (soundOutputLatency).
int soundChannelPlayInStep(SoundChannel* channel, double (*now)());

// How long after the mixer makes a block the device outputs it: one buffer
// on a sound card (SDL keeps one mixed block queued while the card plays the
// one before), none for SDL's disk and dummy drivers, which take each block
// the moment it is mixed. 0 when the system has no device.
double soundOutputLatency(const SoundSystem* system);

// Puts another file of the same kind in place of the channel's stream (the
// music of an edited timeline): it stops, and the next play plays the new one.
int soundChannelSetStream(SoundChannel* channel, const char* path);
void soundSystemRelease(SoundSystem* system);
