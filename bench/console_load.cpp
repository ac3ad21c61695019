// What a page costs: uploader-cli serve running 64 simulated lines, with no
// page listening and with one reading the event stream (as the console page
// does), measured as the serve process's CPU time over the wall time of the
// upload. Prints the figures; the target is at most 1 % of a core more with
// the page than without.
//   console_load [LINES] [ROUNDS] [IMAGE_BYTES]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Serve {
  pid_t pid = -1;
  int port = 0;
  std::string token;
};

// Starts serve on a free loopback port and reads the address it prints.
bool startServe(Serve& s) {
  int out[2];
  if (pipe(out) != 0) return false;
  s.pid = fork();
  if (s.pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    execl(UPLOADER_CLI_PATH, "uploader-cli", "serve", "--listen", "127.0.0.1:0", "-q",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(out[0]);
  const std::size_t colon = line.rfind(':');
  const std::size_t slash = line.find('/', colon);
  const std::size_t token = line.find("token=");
  if (colon == std::string::npos || slash == std::string::npos || token == std::string::npos)
    return false;
  s.port = std::atoi(line.substr(colon + 1, slash - colon - 1).c_str());
  s.token = line.substr(token + 6);
  return true;
}

int connectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One request, the whole answer (the server closes after it).
std::string call(const Serve& s, const std::string& method, const std::string& path,
                 const std::string& type = "", const std::string& body = "") {
  const int fd = connectTo(s.port);
  if (fd < 0) return "";
  std::string head =
      method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(s.port) +
      "\r\nAuthorization: Bearer " + s.token +
      "\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  if (!type.empty()) head += "Content-Type: " + type + "\r\n";
  const std::string all = head + "\r\n" + body;
  if (write(fd, all.data(), all.size()) != static_cast<ssize_t>(all.size())) {
    close(fd);
    return "";
  }
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
    answer.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return answer;
}

// The serve process's CPU time so far, in seconds.
double cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string f;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stoull(f);
    if (i == 15) stime = std::stoull(f);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A page listening: reads the event stream until told to stop.
struct Listener {
  explicit Listener(const Serve& s) {
    fd = connectTo(s.port);
    const std::string req =
        "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(s.port) +
        "\r\nAuthorization: Bearer " + s.token + "\r\n\r\n";
    if (write(fd, req.data(), req.size()) < 0) return;
    thread = std::thread([this] {
      char buf[8192];
      for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) bytes += static_cast<std::size_t>(n);
    });
  }
  ~Listener() {
    shutdown(fd, SHUT_RDWR);
    thread.join();
    close(fd);
  }
  int fd = -1;
  std::atomic<std::size_t> bytes{0};
  std::thread thread;
};

struct Figures {
  double wall = 0;
  double cpu = 0;
};

// One upload on `lines` simulated lines, to its end.
Figures uploadOnce(const Serve& s, int lines, std::size_t imageBytes) {
  std::string image(imageBytes, '\0');
  for (std::size_t i = 0; i < imageBytes; ++i) image[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  const std::string b = "bench-boundary";
  const auto field = [&b](const std::string& name, const std::string& value) {
    return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
           "\r\n";
  };
  const std::string body =
      "--" + b +
      "\r\nContent-Disposition: form-data; name=\"image\"; "
      "filename=\"bench.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
      image + "\r\n" + field("adapter", "sim:" + std::to_string(lines)) + field("fast", "1") +
      "--" + b + "--\r\n";
  const double cpu0 = cpuSeconds(s.pid);
  const auto t0 = Clock::now();
  const std::string answer =
      call(s, "POST", "/api/uploads", "multipart/form-data; boundary=" + b, body);
  const std::size_t id = answer.find("{\"id\":");
  if (id == std::string::npos) {
    std::fprintf(stderr, "the upload was refused:\n%s\n", answer.c_str());
    std::exit(1);
  }
  const std::string path = "/api/uploads/" + std::to_string(std::atoi(answer.c_str() + id + 6));
  while (call(s, "GET", path).find("\"exitStatus\":null") != std::string::npos)
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Figures f;
  f.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  f.cpu = cpuSeconds(s.pid) - cpu0;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 64;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::size_t imageBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1500;
  Serve s;
  if (!startServe(s)) {
    std::fprintf(stderr, "uploader-cli serve did not start\n");
    return 1;
  }
  std::printf("serve: %d simulated lines, %zu-byte image, fast; CPU of the serve process\n", lines,
              imageBytes);
  std::printf("%-6s %-14s %8s %8s %10s %12s\n", "round", "page", "wall s", "cpu s", "% of core",
              "event bytes");
  double without = 0, with = 0;
  for (int r = 1; r <= rounds; ++r) {
    const Figures a = uploadOnce(s, lines, imageBytes);
    std::printf("%-6d %-14s %8.2f %8.2f %10.2f %12s\n", r, "none", a.wall, a.cpu,
                100 * a.cpu / a.wall, "-");
    std::size_t bytes = 0;
    Figures b;
    {
      Listener page(s);
      b = uploadOnce(s, lines, imageBytes);
      bytes = page.bytes.load();
    }
    std::printf("%-6d %-14s %8.2f %8.2f %10.2f %12zu\n", r, "one listening", b.wall, b.cpu,
                100 * b.cpu / b.wall, bytes);
    without += a.cpu / a.wall;
    with += b.cpu / b.wall;
  }
  std::printf(
      "mean: %.2f %% of a core without a page, %.2f %% with one: %+.2f %% (target <= 1 %%)\n",
      100 * without / rounds, 100 * with / rounds, 100 * (with - without) / rounds);
  kill(s.pid, SIGTERM);
  int status = 0;
  waitpid(s.pid, &status, 0);
  return 0;
}
