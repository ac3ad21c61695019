// uploader-cli serve: the rig console (console/) on the listen address
// until Ctrl-C or SIGTERM; then every upload stops cleanly and the exit
// status is 130, as an interrupted upload's.
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/commands.h"
#include "cli/file_bytes.h"
#include "cli/interrupt.h"
#include "cli/terminal_operator.h"
#include "console/console.h"
#include "files/shown_text.h"
#include "session/exit_codes.h"

namespace {

// "127.0.0.1:8417" or "[::1]:8417" into the host (without brackets) and port.
void splitListen(const std::string& text, ListenAddress& listen) {
  const std::size_t colon = text.rfind(':');
  std::string host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  listen.host = host;
  listen.port = std::stoi(text.substr(colon + 1));
}

bool everywhere(const std::string& host) { return host == "0.0.0.0" || host == "::"; }

// A token others may have been given: printable, no spaces, long enough.
bool tokenFromFile(const std::string& path, std::string& token, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error, 4096)) return false;
  token.assign(bytes.begin(), bytes.end());
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r' || token.back() == ' '))
    token.pop_back();
  for (char c : token) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (!plain) {
      error = "--token-file " + files::quoted(path) +
              ": the token may hold letters, digits and - _ . ~ only";
      return false;
    }
  }
  if (token.size() < 16) {
    error = "--token-file " + files::quoted(path) +
            ": the token is shorter than 16 characters; anyone could guess it";
    return false;
  }
  return true;
}

}  // namespace

int runServe(const Options& o) {
  ConsoleSettings settings;
  splitListen(o.listen, settings.listen);
  std::string error;
  if (o.tokenFile.empty() ? !randomToken(settings.token, error)
                          : !tokenFromFile(o.tokenFile, settings.token, error)) {
    printError(stderr, error.c_str());
    return o.tokenFile.empty() ? exitLineFailed : exitFileRefused;
  }
  const std::string& host = settings.listen.host;
  Console console(settings);
  if (!console.start(error)) {
    printError(stderr, error.c_str());
    return exitLineFailed;
  }
  // Opened here, the page is on this machine; from elsewhere, through this
  // machine's own address.
  const std::string shownHost = everywhere(host)                      ? "127.0.0.1"
                                : host.find(':') != std::string::npos ? "[" + host + "]"
                                                                      : host;
  std::printf("console: http://%s:%d/?token=%s\n", shownHost.c_str(), console.port(),
              settings.token.c_str());
  std::fflush(stdout);
  if (!isLoopbackHost(host))
    std::fprintf(stderr,
                 "warning: the console is reachable from the network on %s port %d: anyone who "
                 "has its address with the token can upload firmware; the traffic is not "
                 "encrypted (docs/console.md: behind a reverse proxy for TLS)\n",
                 host.c_str(), console.port());
  while (!interruptRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!o.quiet) std::fputs("stopping: every upload stops after its send in progress\n", stderr);
  console.stop();
  return exitInterrupted;
}
