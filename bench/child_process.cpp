// Child processes of the benchmark, started from argument vectors.
#include "bench/child_process.h"

#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t recordedStop = 0;
volatile std::sig_atomic_t runningChild = 0;

// kill() is safe in a handler; ending the child here leaves no moment in
// which a signal could arrive unseen before the wait for it begins.
void recordStop(int signal) {
  recordedStop = signal;
  if (runningChild > 0) kill(runningChild, SIGTERM);
}

// A file that is gone from its folder as soon as it is made, for output that
// is read back once the child has ended: nothing is left behind, and a child
// writing much while it is fed never waits on a full pipe.
int unlinkedFile() {
  char name[] = "/tmp/demo-bench-child-XXXXXX";
  const int fd = mkostemp(name, O_CLOEXEC);
  if (fd >= 0) unlink(name);
  return fd;
}

int outputFor(ChildOutput kind) {
  if (kind == ChildOutput::keep) return unlinkedFile();
  if (kind == ChildOutput::discard) return open("/dev/null", O_WRONLY | O_CLOEXEC);
  return -1;
}

std::string contentsOf(int fd) {
  std::string text, reason;
  readFromStart(fd, &text, &reason);
  return text;
}

// Writes the chunks of `input` to `fd` until there are none, the child stops
// reading or a stop signal arrives.
void feed(int fd, const std::function<bool(std::vector<uint8_t>*)>& input) {
  std::vector<uint8_t> chunk;
  while (!recordedStop && input(&chunk)) {
    for (size_t done = 0; done < chunk.size();) {
      const ssize_t n = write(fd, chunk.data() + done, chunk.size() - done);
      if (n < 0 && errno == EINTR && !recordedStop) continue;
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
}

void closeIfOpen(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace

bool ChildResult::succeeded() const {
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ChildResult::describe() const {
  if (status < 0) return "could not start";
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "exit status " + std::to_string(WEXITSTATUS(status));
}

ChildResult runChild(const ChildRun& run) {
  ChildResult result;
  if (recordedStop || run.args.empty()) return result;
  const int out = outputFor(run.out), err = outputFor(run.err);
  int fds[2] = {-1, -1};
  const bool piped = static_cast<bool>(run.input);
  const int input =
      piped ? (pipe2(fds, O_CLOEXEC) == 0 ? fds[0] : -1) : open("/dev/null", O_RDONLY | O_CLOEXEC);
  // A child that stops reading must show up as a failed write, not end this process.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  const pid_t parent = getpid();
  const pid_t pid = input >= 0 ? fork() : -1;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(input, 0);
    if (out >= 0) dup2(out, 1);
    if (err >= 0) dup2(err, 2);
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    for (int signal : kStopSignals) sigaction(signal, &defaults, nullptr);
    sigaction(SIGPIPE, &defaults, nullptr);
    for (const auto& [name, value] : run.env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  closeIfOpen(input);
  if (pid > 0) {
    runningChild = pid;
    if (recordedStop) kill(pid, SIGTERM);
    if (piped) feed(fds[1], run.input);
    closeIfOpen(fds[1]);
    fds[1] = -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    runningChild = 0;
    result.status = status;
  }
  closeIfOpen(fds[1]);
  sigaction(SIGPIPE, &previous, nullptr);
  if (run.out == ChildOutput::keep && out >= 0) result.out = contentsOf(out);
  if (run.err == ChildOutput::keep && err >= 0) result.err = contentsOf(err);
  closeIfOpen(out);
  closeIfOpen(err);
  return result;
}

void holdStopSignals() {
  struct sigaction action = {};
  // Without SA_RESTART a wait or a write in progress returns at the signal.
  action.sa_handler = recordStop;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

int stopSignal() { return recordedStop; }

void releaseStopSignals() {
  for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
  if (recordedStop) std::raise(recordedStop);
}
