#include "console/console.h"

#include <httplib.h>

#include <thread>

#include "console/api_routes.h"
#include "console/event_log.h"
#include "console/upload_runs.h"
#include "session/image.h"

namespace {

// An upload's body: the image at its largest, and room for the form's
// other fields and the parts' headers.
constexpr std::size_t kUploadBodyLimit = kLargestImage + 16 * 1024;
// The largest body any other call takes.
constexpr std::size_t kOtherBodyLimit = 4 * 1024;

void refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(errorJson(why), "application/json");
}

}  // namespace

struct Console::Parts {
  explicit Parts(ConsoleSettings s) : settings(std::move(s)), runs(events) {}

  // Every request passes here before any route, and before its body is read.
  httplib::Server::HandlerResponse check(const httplib::Request& req, httplib::Response& res) {
    using Handled = httplib::Server::HandlerResponse;
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
    const std::string host = req.get_header_value("Host");
    if (!hostAllowed(host, settings.listen)) {
      res.set_header("Connection", "close");
      refuse(res, 403,
             "this console answers to " + settings.listen.host + ":" +
                 std::to_string(settings.listen.port) + " or localhost only, not to the Host \"" +
                 host + "\"");
      return Handled::Handled;
    }
    const bool api = req.path.rfind("/api/", 0) == 0;
    const std::string given =
        requestToken(req.get_header_value("Authorization"), req.get_header_value("Cookie"));
    bool allowed = sameToken(given, settings.token);
    // The page's address carries the token once: it becomes a cookie, and
    // the address loses it (it would stay in the history and in screenshots).
    if (!api && req.path == "/" && req.has_param("token")) {
      if (!sameToken(req.get_param_value("token"), settings.token)) {
        res.status = 401;
        res.set_content(
            "The token in this address is not this console's. Open the address uploader-cli "
            "serve printed when it started.\n",
            "text/plain; charset=utf-8");
        return Handled::Handled;
      }
      res.set_header("Set-Cookie",
                     "uploader_token=" + settings.token + "; Path=/; HttpOnly; SameSite=Strict");
      res.set_redirect("/", 303);
      return Handled::Handled;
    }
    if (!allowed) {
      if (api) {
        refuse(res, 401,
               "this call needs the console's token: Authorization: Bearer TOKEN, or open the "
               "address uploader-cli serve printed");
      } else {
        res.status = 401;
        res.set_content(
            "This console needs its token: open the address uploader-cli serve printed when it "
            "started (http://HOST:PORT/?token=...).\n",
            "text/plain; charset=utf-8");
      }
      res.set_header("Connection", "close");
      return Handled::Handled;
    }
    if (req.method != "GET" && req.method != "HEAD") {
      const std::string origin = req.get_header_value("Origin");
      if (!originAllowed(origin, host)) {
        res.set_header("Connection", "close");
        refuse(res, 403, "a page from " + origin + " may not change anything here");
        return Handled::Handled;
      }
      const bool upload = req.path == "/api/uploads";
      const BodyCheck body = checkBodyLength(req.get_header_value("Content-Length"),
                                             req.has_header("Transfer-Encoding"),
                                             upload ? kUploadBodyLimit : kOtherBodyLimit);
      if (body == BodyCheck::tooLarge) {
        res.set_header("Connection", "close");
        refuse(res, 413,
               "the body is over " + std::to_string(upload ? kUploadBodyLimit : kOtherBodyLimit) +
                   " bytes; an image is at most " + std::to_string(kLargestImage) + " bytes");
        return Handled::Handled;
      }
      if (body != BodyCheck::fits &&
          !(body == BodyCheck::noLength && !upload && !req.has_header("Transfer-Encoding"))) {
        res.set_header("Connection", "close");
        refuse(res, body == BodyCheck::noLength ? 411 : 400,
               "send the body with its Content-Length (no chunked body)");
        return Handled::Handled;
      }
    }
    return Handled::Unhandled;
  }

  ConsoleSettings settings;
  EventLog events;
  UploadRuns runs;
  httplib::Server server;
  std::thread thread;
  bool stopped = false;  // stop() has run
};

Console::Console(ConsoleSettings settings) : parts_(std::make_unique<Parts>(std::move(settings))) {}

Console::~Console() { stop(); }

bool Console::start(std::string& error) {
  Parts& p = *parts_;
  httplib::Server& s = p.server;
  // A thread per connection at most: pages that listen hold one each.
  s.new_task_queue = [] { return new httplib::ThreadPool(32); };
  s.set_payload_max_length(kUploadBodyLimit);
  s.set_pre_routing_handler(
      [&p](const httplib::Request& req, httplib::Response& res) { return p.check(req, res); });
  addApiRoutes(s, p.events, p.runs, kLargestImage);
  const std::string& host = p.settings.listen.host;
  int port = p.settings.listen.port;
  if (port == 0) {
    port = s.bind_to_any_port(host);
    if (port < 0) port = 0;
  } else if (!s.bind_to_port(host, port)) {
    port = 0;
  }
  if (port == 0) {
    error = "cannot listen on " + host + ":" + std::to_string(p.settings.listen.port) +
            " (in use, or no such address here); choose another with --listen HOST:PORT";
    return false;
  }
  p.settings.listen.port = port;
  p.thread = std::thread([&s] { s.listen_after_bind(); });
  return true;
}

int Console::port() const { return parts_->settings.listen.port; }

void Console::stop() {
  Parts& p = *parts_;
  if (p.stopped) return;
  p.stopped = true;
  p.runs.stopAll();
  // The pages that listen get the last events, then their streams end.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  p.events.close();
  p.server.stop();
  if (p.thread.joinable()) p.thread.join();
}
