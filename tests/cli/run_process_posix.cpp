#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cli/run_process.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int counter = 0;

}  // namespace

RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const std::string& workDir, const ChildSetup& setup) {
  RunningProcess p;
  const std::string stem =
      workDir + "/.run" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  p.outPath = stem + ".out";
  p.errPath = stem + ".err";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string outPath = setup.outTo.empty() ? p.outPath : setup.outTo;
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(p.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || chdir(workDir.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (int fd : {in, out, err})
      if (fd > 2) close(fd);
    if (setup.closeIn) close(0);
    if (setup.closeOut) close(1);
    if (setup.closeErr) close(2);
    // The service records of a test's runs stay in the test's own folder.
    setenv("XDG_DATA_HOME", (workDir + "/data").c_str(), 1);
    for (const auto& [name, value] : setup.environment) setenv(name.c_str(), value.c_str(), 1);
    if (setup.fileSizeLimit > 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit size{static_cast<rlim_t>(setup.fileSizeLimit),
                        static_cast<rlim_t>(setup.fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &size);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  p.pid = pid;
  return p;
}

void killProcess(RunningProcess& p) {
  if (p.pid <= 0) return;
  kill(p.pid, SIGKILL);
  int status = 0;
  waitpid(p.pid, &status, 0);
  p.pid = -1;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, int timeoutSeconds, const ChildSetup& setup) {
  RunningProcess p = startProcess(program, args, workDir, setup);
  return finishProcess(p, timeoutSeconds);
}

ProcessResult finishProcess(RunningProcess& p, int timeoutSeconds) {
  ProcessResult r;
  if (p.pid < 0) return r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(p.pid, &status, WNOHANG, &usage);
    if (done == p.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      killProcess(p);
      r.err = "(killed after " + std::to_string(timeoutSeconds) + " s)";
      return r;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  p.pid = -1;
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  r.peakKilobytes = usage.ru_maxrss;
  r.out = slurp(p.outPath);
  r.err = slurp(p.errPath);
  unlink(p.outPath.c_str());
  unlink(p.errPath.c_str());
  return r;
}
