// The music player on SDL's real audio path, with the disk driver writing
// the mixed output to a file as fast as it can.
#include "platform/sound.h"
#include "bench/music_offset.h"
#include "tests/support/ogg_file.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const unsigned kPresentationMode = kSoundLoopOff | kSound2d | kSoundSoftware | kSoundCreateSample |
                                   kSoundAccurateTime | kSoundUnique;
const int kBytesPerSecond = 44100 * 2 * 2;

class MusicPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = makeTempDir();
    output = folder + "/device.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    ASSERT_EQ(SDL_Init(0), 0);
  }
  void TearDown() override { SDL_Quit(); }

  // The five calls of the presentation, with its arguments.
  SoundSystem* startPresentationMusic(const std::string& path, SoundChannel** channel) {
    SoundSystem* system = nullptr;
    Sound* music = nullptr;
    soundSystemCreate(&system);
    soundSystemSetOutput(system, kSoundOutputDefault);
    soundSystemInit(system, 10, 0, nullptr);
    soundSystemCreateStream(system, path.c_str(), kPresentationMode, nullptr, &music);
    soundSystemPlaySound(system, kSoundChannelFree, music, false, channel);
    return system;
  }

  std::string folder;
  std::string output;
};

// Seconds from the first to the last audible sample of the device file.
double audibleSeconds(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
  const size_t count = bytes.size() / 2;
  size_t first = count, last = 0;
  for (size_t i = 0; i < count; ++i) {
    if (std::abs(samples[i]) > 64) {
      first = std::min(first, i);
      last = i;
    }
  }
  return first < last ? double(last - first) * 2 / kBytesPerSecond : 0.0;
}

// What the sound layer printed, without the disk driver's own notice.
std::string withoutDiskNotice(const std::string& log) {
  std::string kept, line;
  std::istringstream lines(log);
  while (std::getline(lines, line)) {
    if (line.rfind("WARNING: You are using the SDL disk writer", 0) == 0 ||
        line.rfind(" Writing to file [", 0) == 0) {
      continue;
    }
    kept += line + "\n";
  }
  return kept;
}

}  // namespace

TEST_F(MusicPlayer, PlaysTheStreamOnceFromTheFifthCall) {
  const std::string music = folder + "/tone.ogg";
  ASSERT_TRUE(writeToneOgg(music, 1.0, 440.0));
  SoundChannel* channel = nullptr;
  SoundSystem* system = nullptr;
  std::string log =
      withoutDiskNotice(captureStderr([&] { system = startPresentationMusic(music, &channel); }));
  EXPECT_EQ(log, "") << "a working device prints nothing";
  ASSERT_NE(channel, nullptr);

  // With no delay the disk driver runs many times faster than real time. It
  // writes silence from the moment the device opens, and the tone once the
  // stream plays: wait for the stream to end, then for another second of
  // output, in which a looping stream would have started again.
  auto bytesWritten = [&] {
    std::ifstream probe(output, std::ios::binary | std::ios::ate);
    return probe ? static_cast<long>(probe.tellg()) : 0L;
  };
  const Uint32 start = SDL_GetTicks();
  while (soundChannelIsPlaying(channel) && SDL_GetTicks() - start < 20000) SDL_Delay(5);
  EXPECT_FALSE(soundChannelIsPlaying(channel)) << "the stream must end, not loop";
  const long atEnd = bytesWritten();
  while (bytesWritten() < atEnd + kBytesPerSecond && SDL_GetTicks() - start < 20000) SDL_Delay(5);
  EXPECT_FALSE(soundChannelIsPlaying(channel)) << "the stream must not start again";
  soundSystemRelease(system);

  const double audible = audibleSeconds(output);
  EXPECT_NEAR(audible, 1.0, 0.15) << "one pass of the one-second tone, and nothing after";
}

// A player's music starts from its clock's reading plus the wait for the
// device's next block: with the clock at 3 s, the first block that the disk
// driver receives (which takes blocks the moment they are mixed) holds the
// music from between 3 s and one block later, not from its beginning.
TEST_F(MusicPlayer, StartsInStepWithThePictureClock) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  const std::string music = kGeneratedMedia + "/music.ogg";
  // The driver at about a sound card's pace, so that blocks are timed.
  setenv("SDL_DISKAUDIODELAY", "23", 1);
  DiskAudioWatch watch(output);
  SoundSystem* system = nullptr;
  Sound* sound = nullptr;
  SoundChannel* channel = nullptr;
  captureStderr([&] {
    soundSystemCreate(&system);
    soundSystemSetOutput(system, kSoundOutputDefault);
    soundSystemInit(system, 10, 0, nullptr);
    soundSystemCreateStream(system, music.c_str(), kPresentationMode, nullptr, &sound);
    soundSystemPlaySound(system, kSoundChannelFree, sound, true, &channel);
  });
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(soundOutputLatency(system), 0.0) << "the disk driver outputs a block as it is mixed";
  SDL_Delay(100);  // the device runs before the music starts, as in the player
  ASSERT_EQ(soundChannelPlayInStep(channel, [] { return 3.0; }), kSoundOk);
  SDL_Delay(400);
  soundSystemRelease(system);
  double offsetMs = 0, moment = 0;
  std::string why;
  ASSERT_TRUE(measureMusicOffset(output, music, watch.stop(), &offsetMs, &why, &moment)) << why;
  const double block = double(kSoundBufferFrames) / kSoundRate;
  EXPECT_GE(moment, 3.0 - 1.0 / kSoundRate);
  EXPECT_LE(moment, 3.0 + block + 0.002);
}

TEST_F(MusicPlayer, FailuresWarnOnceAndLeaveTheRunSilent) {
  const std::string garbage = folder + "/garbage.ogg";
  std::ofstream(garbage) << "OggS but not really a stream";
  struct Case {
    const char* name;
    const char* driver;
    std::string path;
    const char* expected;
  } cases[] = {
      {"missing file", "disk", folder + "/missing.ogg", "cannot play \""},
      {"undecodable file", "disk", garbage, "cannot play \""},
      {"no audio device", "no-such-driver", folder + "/missing.ogg", "sound: no audio device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    SoundChannel* channel = nullptr;
    SoundSystem* system = nullptr;
    std::string log = withoutDiskNotice(
        captureStderr([&] { system = startPresentationMusic(c.path, &channel); }));
    EXPECT_NE(log.find(c.expected), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_EQ(channel, nullptr);
    EXPECT_FALSE(soundChannelIsPlaying(channel));
    soundSystemRelease(system);
  }
}

TEST(SoundArguments, CallsOnANullSystemAreRefusedQuietly) {
  Sound* music = nullptr;
  SoundChannel* channel = nullptr;
  std::string log = captureStderr([&] {
    EXPECT_EQ(soundSystemCreate(nullptr), kSoundErrInvalidParam);
    EXPECT_EQ(soundSystemSetOutput(nullptr, kSoundOutputDefault), kSoundErrInvalidParam);
    EXPECT_EQ(soundSystemInit(nullptr, 10, 0, nullptr), kSoundErrInvalidParam);
    EXPECT_EQ(soundSystemCreateStream(nullptr, "any.ogg", kPresentationMode, nullptr, &music),
              kSoundErrInvalidParam);
    EXPECT_EQ(soundSystemPlaySound(nullptr, kSoundChannelFree, music, false, &channel),
              kSoundErrInvalidParam);
  });
  EXPECT_EQ(log, "");
}
