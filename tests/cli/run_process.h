// Runs a program as a child process with its output caught in files, for the
// end-to-end tests of uploader-cli.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
  int exitCode = -1;       // -1 when it did not exit normally
  std::string out;         // standard output
  std::string err;         // standard error
  long peakKilobytes = 0;  // the child's largest resident memory
};

// How the child starts, where a test needs other than the defaults.
struct ChildSetup {
  bool closeIn = false;  // start with standard input, output or error closed
  bool closeOut = false;
  bool closeErr = false;
  std::string outTo;  // standard output to this file instead (then out stays empty)
  std::vector<std::pair<std::string, std::string>> environment;  // variables to set
  long fileSizeLimit = 0;  // files stop growing at this many bytes (a full disk); 0: no limit
};

// Runs `program` with `args` in `workDir` and waits for it (at most
// `timeoutSeconds`; then it is killed and the test fails).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, int timeoutSeconds = 120,
                         const ChildSetup& setup = {});

// A started child that the test may stop before it ends.
struct RunningProcess {
  int pid = -1;
  std::string outPath;
  std::string errPath;
};
RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const std::string& workDir, const ChildSetup& setup = {});
// Kills it (SIGKILL) and reaps it.
void killProcess(RunningProcess& p);
// Waits for it to end (killing it after `timeoutSeconds`) and collects its output.
ProcessResult finishProcess(RunningProcess& p, int timeoutSeconds);
