// Runs a program as a child process with its output caught in files, for the
// end-to-end tests of uploader-cli.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs `program` with `args` in `workDir` and waits for it (at most
// `timeoutSeconds`; then it is killed and the test fails).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, int timeoutSeconds = 120);

// A started child that the test may stop before it ends.
struct RunningProcess {
  int pid = -1;
  std::string outPath;
  std::string errPath;
};
RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const std::string& workDir);
// Kills it (SIGKILL) and reaps it.
void killProcess(RunningProcess& p);
// Waits for it to end (killing it after `timeoutSeconds`) and collects its output.
ProcessResult finishProcess(RunningProcess& p, int timeoutSeconds);
