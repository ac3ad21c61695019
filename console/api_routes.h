// The console's routes: the page, and the JSON API it uses (and scripts
// may use): adapters, fixtures, uploads, their reports and stops, and the
// event stream. The checks of every request come before (console.cpp).
#pragma once

#include <cstddef>
#include <string>

namespace httplib {
class Server;
}
class EventLog;
class UploadRuns;

// {"error": "why"} as a body.
std::string errorJson(const std::string& why);

// GET /api/history and GET /api/inventory: the service records, where the
// build keeps them (console/record_routes.cpp).
void addRecordRoutes(httplib::Server& server);

// Adds every route; `imageLimit` is the largest image an upload takes.
void addApiRoutes(httplib::Server& server, EventLog& events, UploadRuns& runs,
                  std::size_t imageLimit);
