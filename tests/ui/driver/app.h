// One running window program, started by the test as an operator would start
// it, with the test double of the adapter library beside it.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "tests/ui/driver/programs.h"

struct Launch {
  const ProgramFacts* program = &kV1_2;
  // FTD2XX_DOUBLE_* settings (name without the prefix -> value).
  std::map<std::string, std::string> adapterDouble;
  bool libraryPresent = true;  // false: FTD2XX.dll cannot be found
  // true: standard output and error go to stdout.txt in the test's folder;
  // false: the program is given no standard handles and no console, as when
  // a command prompt starts a window program.
  bool outputToFile = true;
};

class App {
 public:
  // Starts the program with its standard output in `workDir`\stdout.txt and the
  // double's record in `workDir`\line.log, and waits for its main window.
  App(const Launch& launch, const std::string& workDir);
  ~App();  // ends the process if the test left it running
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  const ProgramFacts& program() const { return *launch_.program; }
  DWORD pid() const { return process_.dwProcessId; }
  HWND window() const { return window_; }
  bool running() const;

  // Closes the main window as the operator would and returns the exit code
  // (or -1 when the program does not end within `timeoutMs`).
  long closeAndWait(DWORD timeoutMs = 10000);

  std::string stdoutText() const;
  std::string lineLogPath() const { return workDir_ + "\\line.log"; }

 private:
  Launch launch_;
  std::string workDir_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// Folder of the window programs and of the adapter double, from the
// environment the test runs in (UPLOADER_UI_PROGRAMS, UPLOADER_UI_DOUBLE).
std::string programsFolder();
std::string doubleFolder();
