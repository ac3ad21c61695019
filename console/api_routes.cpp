#include "console/api_routes.h"

#include <httplib.h>

#include <nlohmann/json.hpp>

#include "console/event_log.h"
#include "console/listing_json.h"
#include "console/page.h"
#include "console/upload_runs.h"

using Json = nlohmann::ordered_json;

namespace {

std::string text(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

void answer(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, "application/json");
}

// The number in a route's match; 0 when it is none.
std::uint64_t idOf(const httplib::Request& req) {
  try {
    return std::stoull(req.matches[1].str());
  } catch (const std::exception&) {
    return 0;
  }
}

// A part of the upload form as it arrives.
struct FormPart {
  std::string name;
  std::string fileName;
  std::string content;
};

// How large a field other than the image may be.
constexpr std::size_t kFieldLimit = 4096;
constexpr std::size_t kMostParts = 1100;  // lines, at most kMaxLines, and the rest

// Reads the multipart form, keeping at most `imageLimit` + 1 bytes of the
// image: one byte over says it is too large, without reading further.
int readForm(const httplib::ContentReader& reader, std::size_t imageLimit, UploadRequest& request,
             std::string& why) {
  std::vector<FormPart> parts;
  bool tooLarge = false;
  const bool read = reader(
      [&](const httplib::MultipartFormData& part) {
        if (parts.size() >= kMostParts) return false;
        parts.push_back({part.name, part.filename, ""});
        return true;
      },
      [&](const char* data, std::size_t length) {
        FormPart& part = parts.back();
        const std::size_t limit = part.name == "image" ? imageLimit : kFieldLimit;
        if (part.content.size() + length > limit) {
          tooLarge = true;
          return false;
        }
        part.content.append(data, length);
        return true;
      });
  if (tooLarge) {
    why = "image: over " + std::to_string(imageLimit) + " bytes, the most the uploader sends";
    return 413;
  }
  if (!read) {
    why = "the form could not be read whole (multipart/form-data, at most " +
          std::to_string(kMostParts) + " parts)";
    return 400;
  }
  for (FormPart& p : parts) {
    if (p.name == "image") {
      request.imageGiven = true;
      request.fileName = p.fileName;
      request.image.assign(p.content.begin(), p.content.end());
    } else if (p.name == "adapter") {
      // A field may name several lines, one a line or separated by spaces.
      std::size_t at = 0;
      while (at < p.content.size()) {
        const std::size_t start = p.content.find_first_not_of(" \t\r\n", at);
        if (start == std::string::npos) break;
        const std::size_t end = p.content.find_first_of(" \t\r\n", start);
        request.adapters.push_back(p.content.substr(start, end - start));
        at = end;
      }
    } else if (p.name == "profile") {
      request.profile = p.content;
    } else if (p.name == "address") {
      request.address = p.content;
    } else if (p.name == "fast") {
      request.fast = p.content == "1";
    } else if (p.name == "read_back") {
      request.readBack = p.content == "1";
    } else {
      why = "unknown field \"" + p.name + "\" (image, adapter, profile, address, fast, read_back)";
      return 400;
    }
  }
  return 0;
}

}  // namespace

std::string errorJson(const std::string& why) { return text({{"error", why}}); }

void addApiRoutes(httplib::Server& s, EventLog& events, UploadRuns& runs, std::size_t imageLimit) {
  s.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    res.set_content(pageHtml(), "text/html; charset=utf-8");
  });
  s.Get("/console.css", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(pageCss(), "text/css; charset=utf-8");
  });
  s.Get("/console.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(pageScript(), "text/javascript; charset=utf-8");
  });

  s.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

  s.Get("/api/adapters", [](const httplib::Request& req, httplib::Response& res) {
    int status = 200;
    const std::string body = req.has_param("adapter")
                                 ? adapterListingJson(req.get_param_value("adapter"), status)
                                 : everyDriverJson();
    answer(res, status, body);
  });
  s.Get("/api/fixtures", [](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_param("adapter"))
      return answer(res, 400, errorJson("adapter: name the node's port, artnet:HOST:PORT-ADDRESS"));
    int status = 200;
    const std::string body = fixturesJson(req.get_param_value("adapter"), status);
    answer(res, status, body);
  });

  s.Post("/api/uploads", [&runs, imageLimit](const httplib::Request& req, httplib::Response& res,
                                             const httplib::ContentReader& reader) {
    if (!req.is_multipart_form_data()) {
      res.set_header("Connection", "close");
      return answer(res, 400, errorJson("send the upload as multipart/form-data"));
    }
    UploadRequest request;
    std::string why;
    const int status = readForm(reader, imageLimit, request, why);
    if (status != 0) {
      res.set_header("Connection", "close");
      return answer(res, status, errorJson(why));
    }
    const UploadAnswer a = runs.start(std::move(request));
    if (a.status != 202) return answer(res, a.status, errorJson(a.error));
    res.set_header("Location", "/api/uploads/" + std::to_string(a.id));
    answer(res, 202, text({{"id", a.id}}));
  });
  s.Get("/api/uploads", [&runs](const httplib::Request&, httplib::Response& res) {
    answer(res, 200, runs.state());
  });
  s.Get(R"(/api/uploads/(\d+))", [&runs](const httplib::Request& req, httplib::Response& res) {
    const std::string report = runs.report(idOf(req));
    if (report.empty()) return answer(res, 404, errorJson("no such upload"));
    answer(res, 200, report);
  });
  s.Post(R"(/api/uploads/(\d+)/stop)",
         [&runs](const httplib::Request& req, httplib::Response& res) {
           const std::uint64_t id = idOf(req);
           if (!runs.stop(id)) return answer(res, 404, errorJson("no such upload"));
           answer(res, 202, text({{"id", id}, {"stopping", true}}));
         });

  s.Get("/api/events", [&events](const httplib::Request& req, httplib::Response& res) {
    // From the last event the page saw (a reconnection), from ?after= (a
    // page that has just read the state), or from now.
    std::uint64_t after = events.newest();
    const std::string last = req.has_header("Last-Event-ID") ? req.get_header_value("Last-Event-ID")
                             : req.has_param("after")        ? req.get_param_value("after")
                                                             : "";
    try {
      if (!last.empty()) after = std::stoull(last);
    } catch (const std::exception&) {
    }
    res.set_header("X-Accel-Buffering", "no");
    res.set_chunked_content_provider(
        "text/event-stream", [&events, after](std::size_t, httplib::DataSink& sink) mutable {
          std::string out;
          for (int waited = 0; out.empty() && waited < 15; ++waited) {
            if (events.closed() || !sink.is_writable()) {
              sink.done();
              return true;
            }
            for (const ConsoleEvent& e : events.after(after, 512, std::chrono::seconds(1)))
              out += sseText(e);
          }
          if (out.empty()) out = ": still here\n\n";
          return sink.write(out.data(), out.size());
        });
  });

  addRecordRoutes(s);
}
