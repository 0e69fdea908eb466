// The tools' child processes: arguments reach the child untouched, fed
// input and kept output never deadlock, and a stop signal leaves no child.
#include "tools/common/child_process.h"
#include "tools/common/stop_signals.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

ChildRun command(std::vector<std::string> args) {
  ChildRun run;
  run.args = std::move(args);
  return run;
}

TEST(ChildProcess, RunsArgumentVectorsAndReportsHowTheyEnded) {
  const std::string quoted = "it's \"a\" $HOME; `x`";
  const size_t big = 1 << 20;  // more than a pipe holds, both ways
  struct Case {
    ChildRun run;
    bool succeeded;
    std::string describe, out, err;
  };
  ChildRun failing = command({"sh", "-c", "echo oops >&2; exit 3"});
  failing.err = ChildOutput::keep;
  ChildRun env = command({"sh", "-c", "printf %s \"$DEMO_X\""});
  env.env = {{"DEMO_X", quoted}};
  // tee copies what it is fed to stdout and stderr alike while it is still fed.
  ChildRun fed = command({"tee", "/dev/stderr"});
  fed.err = ChildOutput::keep;
  int chunks = 0;
  fed.input = [&chunks](std::vector<uint8_t>* chunk) {
    chunk->assign(big / 4, 'x');
    return chunks++ < 4;
  };
  const Case cases[] = {
      {command({"printf", "%s", quoted}), true, "exit status 0", quoted, ""},
      {failing, false, "exit status 3", "", "oops\n"},
      {env, true, "exit status 0", quoted, ""},
      {command({"/nonexistent/program"}), false, "exit status 127", "", ""},
      {fed, true, "exit status 0", std::string(big, 'x'), std::string(big, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run.args[0] + " " + (c.run.args.size() > 1 ? c.run.args.back() : ""));
    const ChildResult result = runChild(c.run);
    EXPECT_EQ(result.succeeded(), c.succeeded);
    EXPECT_EQ(result.describe(), c.describe);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

// A stop signal ends the running child at once; the process ends by that
// signal only once the run has returned, so the caller can clean up first.
TEST(ChildProcessDeathTest, StopSignalEndsTheChildThenTheProcess) {
  EXPECT_EXIT(
      {
        holdStopSignals();
        std::thread([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          kill(getpid(), SIGTERM);
        }).detach();
        const auto start = std::chrono::steady_clock::now();
        const ChildResult result = runChild(command({"sleep", "30"}));
        const bool quick = std::chrono::steady_clock::now() - start < std::chrono::seconds(10);
        const bool ended = WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGTERM;
        if (quick && ended && stopSignal() == SIGTERM && runChild(command({"true"})).status < 0) {
          releaseStopSignals();
        }
        std::_Exit(1);
      },
      testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
