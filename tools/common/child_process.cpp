// Child processes of the tools, started from argument vectors.
#include "tools/common/child_process.h"

#include "platform/regular_file.h"
#include "tools/common/stop_signals.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

int unlinkedFile() {
  char name[] = "/tmp/demo-child-XXXXXX";
  const int fd = mkostemp(name, O_CLOEXEC);
  if (fd >= 0) unlink(name);
  return fd;
}

int outputFor(ChildOutput kind) {
  if (kind == ChildOutput::keep) return unlinkedFile();
  if (kind == ChildOutput::discard) return open("/dev/null", O_WRONLY | O_CLOEXEC);
  return -1;
}

std::string keptText(int* fd) {
  std::string text, reason;
  if (*fd >= 0) {
    readFromStart(*fd, &text, &reason);
    close(*fd);
  }
  *fd = -1;
  return text;
}

void closeIfOpen(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Writes the chunks of `input` to `fd` until there are none, the child stops
// reading or a stop signal arrives.
void feed(int fd, const std::function<bool(std::vector<uint8_t>*)>& input) {
  std::vector<uint8_t> chunk;
  while (!stopSignal() && input(&chunk)) {
    for (size_t done = 0; done < chunk.size();) {
      const ssize_t n = write(fd, chunk.data() + done, chunk.size() - done);
      if (n < 0 && errno == EINTR && !stopSignal()) continue;
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
}

[[noreturn]] void execChild(const ChildRun& run, pid_t parent, int input, const Child& c) {
  if (run.ownGroup) setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, run.endSignal);
  if (getppid() != parent) _exit(127);
  dup2(input, 0);
  if (c.out >= 0) dup2(c.out, 1);
  if (c.err >= 0) dup2(c.err, 2);
  struct sigaction defaults = {};
  defaults.sa_handler = SIG_DFL;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &defaults, nullptr);
  for (const auto& [name, value] : run.env) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
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

bool startChild(const ChildRun& run, Child* c) {
  *c = Child();
  if (stopSignal() || run.args.empty()) return false;
  const bool piped = run.pipedInput || static_cast<bool>(run.input);
  int fds[2] = {-1, -1};
  if (piped ? pipe2(fds, O_CLOEXEC) != 0 : (fds[0] = open("/dev/null", O_RDONLY | O_CLOEXEC)) < 0) {
    return false;
  }
  // A child that stops reading must show up as a failed write, not end this process.
  if (piped) std::signal(SIGPIPE, SIG_IGN);
  c->out = outputFor(run.out);
  c->err = outputFor(run.err);
  // Output that cannot be kept must not silently go to this process's own.
  if ((run.out != ChildOutput::inherit && c->out < 0) ||
      (run.err != ChildOutput::inherit && c->err < 0)) {
    const int openError = errno;
    closeIfOpen(&fds[0]);
    closeIfOpen(&fds[1]);
    closeIfOpen(&c->out);
    closeIfOpen(&c->err);
    errno = openError;
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) execChild(run, parent, fds[0], *c);
  const int forkError = errno;
  closeIfOpen(&fds[0]);
  if (pid < 0) {
    closeIfOpen(&fds[1]);
    closeIfOpen(&c->out);
    closeIfOpen(&c->err);
    errno = forkError;
    return false;
  }
  c->pid = pid;
  c->input = fds[1];
  noteRunningChild(pid, run.endSignal);
  return true;
}

ChildResult waitChild(Child* c) {
  ChildResult result;
  closeIfOpen(&c->input);
  if (c->pid > 0) {
    int status = 0;
    while (waitpid(c->pid, &status, 0) < 0 && errno == EINTR) {
    }
    noteRunningChild(0, SIGTERM);
    result.status = status;
  }
  c->pid = -1;
  result.out = keptText(&c->out);
  result.err = keptText(&c->err);
  return result;
}

void endChild(Child* c) {
  if (c->pid > 0) kill(c->pid, SIGKILL);
  waitChild(c);
}

ChildResult runChild(const ChildRun& run) {
  Child child;
  if (!startChild(run, &child)) return ChildResult();
  if (run.input) feed(child.input, run.input);
  ChildResult result = waitChild(&child);
  if (run.out != ChildOutput::keep) result.out.clear();
  if (run.err != ChildOutput::keep) result.err.clear();
  return result;
}
