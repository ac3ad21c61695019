// The service records' routes. This build keeps no records: both answer
// 404 with the reason, and the page's records pane shows it. A build with
// the records library answers here with its history (the uploads, newest
// first) and inventory (each fixture's last known version) as JSON, the
// same objects as uploader-cli history --json and inventory --json.
#include <httplib.h>

#include "console/api_routes.h"

void addRecordRoutes(httplib::Server& s) {
  for (const char* path : {"/api/history", "/api/inventory"})
    s.Get(path, [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content(errorJson("this build keeps no service records"), "application/json");
    });
}
