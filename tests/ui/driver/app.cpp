#include "tests/ui/driver/app.h"

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

#include "tests/ui/driver/wait.h"

namespace {

const char* const kDoubleSettings[] = {"LOG", "ADAPTERS", "FAIL_LIST", "FAIL_OPEN",
                                       "FAIL_WRITES_FROM"};

std::string requiredEnv(const char* name) {
  char value[1024];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) throw std::runtime_error(std::string(name) + " is not set");
  return std::string(value, n);
}

std::string currentPath() {
  static const std::string path = [] {
    char value[8192];
    const DWORD n = GetEnvironmentVariableA("PATH", value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
  }();
  return path;
}

// The environment the program inherits: the double's settings and, when the
// library is to be found, the double's folder first on the search path.
void prepareEnvironment(const Launch& launch, const std::string& workDir) {
  for (const char* name : kDoubleSettings)
    SetEnvironmentVariableA((std::string("FTD2XX_DOUBLE_") + name).c_str(), nullptr);
  SetEnvironmentVariableA("FTD2XX_DOUBLE_LOG", (workDir + "\\line.log").c_str());
  for (const auto& [name, value] : launch.adapterDouble)
    SetEnvironmentVariableA(("FTD2XX_DOUBLE_" + name).c_str(), value.c_str());
  const std::string path =
      launch.libraryPresent ? doubleFolder() + ";" + currentPath() : currentPath();
  SetEnvironmentVariableA("PATH", path.c_str());
}

void restoreEnvironment() {
  for (const char* name : kDoubleSettings)
    SetEnvironmentVariableA((std::string("FTD2XX_DOUBLE_") + name).c_str(), nullptr);
  SetEnvironmentVariableA("PATH", currentPath().c_str());
}

struct WindowSearch {
  DWORD pid;
  std::string className;
  HWND found;
};

BOOL CALLBACK findMainWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char className[256] = "";
  GetClassNameA(hwnd, className, sizeof className);
  if (pid == search->pid && search->className == className && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string programsFolder() { return requiredEnv("UPLOADER_UI_PROGRAMS"); }
std::string doubleFolder() { return requiredEnv("UPLOADER_UI_DOUBLE"); }

App::App(const Launch& launch, const std::string& workDir) : launch_(launch), workDir_(workDir) {
  const std::string exe = programsFolder() + "\\" + launch.program->name + ".exe";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileA((workDir + "\\stdout.txt").c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create stdout.txt");

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  // Without a file: no standard handles and no console, which is what a
  // window program started from a command prompt has.
  startup.hStdOutput = launch.outputToFile ? out : nullptr;
  startup.hStdError = launch.outputToFile ? out : nullptr;
  const DWORD flags = launch.outputToFile ? 0 : DETACHED_PROCESS;
  std::string commandLine = "\"" + exe + "\"";
  prepareEnvironment(launch, workDir);
  const BOOL started =
      CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, launch.outputToFile, flags,
                     nullptr, workDir.c_str(), &startup, &process_);
  restoreEnvironment();
  CloseHandle(out);
  if (!started) throw std::runtime_error("cannot start " + exe);

  WindowSearch search{process_.dwProcessId, launch.program->title, nullptr};
  waitUntil(
      [&] {
        EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || !running();
      },
      20000);
  window_ = search.found;
  if (window_ == nullptr) throw std::runtime_error(exe + " showed no main window");
}

App::~App() {
  if (process_.hProcess == nullptr) return;
  if (running()) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool App::running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

long App::closeAndWait(DWORD timeoutMs) {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<long>(code);
}

std::string App::stdoutText() const {
  std::ifstream in(workDir_ + "\\stdout.txt", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
