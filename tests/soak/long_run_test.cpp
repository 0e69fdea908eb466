// The whole 130 s in a real window, watched from outside: it ends by itself
// with status 0, prints nothing (so no sanitizer report either) and its
// memory stays flat after start-up.
#include "tests/support/demo_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace testing_support;

TEST(LongRun, TheWholePresentationEndsCleanlyWithFlatMemory) {
  const char* media = std::getenv("DEMO_MEDIA_DIR");
  DemoOptions o = presentationIn(media ? media : DEMO_BINARY_DIR "/media");
  // AddressSanitizer keeps freed memory in quarantine (up to 256 MB) to catch
  // late uses; that would read as growth here, so this run keeps none.
  o.env.push_back({"ASAN_OPTIONS", "quarantine_size_mb=0"});
  o.timeLimit = 200;
  long rssAt10 = -1, rssAt125 = -1;
  o.onWindow = [&](DemoWindow& w) {
    sleepSeconds(10);
    rssAt10 = residentKilobytes(w);
    sleepSeconds(115);
    rssAt125 = residentKilobytes(w);
  };
  DemoRun run = runDemo(o);
  std::printf("resident memory: %ld kB at 10 s, %ld kB at 125 s (%+ld kB); run took %.1f s\n",
              rssAt10, rssAt125, rssAt125 - rssAt10, run.seconds);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "") << "a normal run prints nothing, and the sanitizers found nothing";
  EXPECT_GT(run.seconds, 125.0);
  EXPECT_LT(run.seconds, 140.0);
  ASSERT_GT(rssAt10, 0);
  ASSERT_GT(rssAt125, 0);
  EXPECT_LT(rssAt125 - rssAt10, 4096) << "memory grew by more than 4 MB after start-up";
}
