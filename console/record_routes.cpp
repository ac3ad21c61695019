// The service records' routes: GET /api/history (the uploads, newest first;
// ?image=, ?adapter=, ?result=, ?limit= as uploader-cli history filters)
// and GET /api/inventory (each fixture's last reading), the same JSON as
// uploader-cli history --json and inventory --json (docs/records.md), from
// the records at their default place.
#include <httplib.h>

#include "console/api_routes.h"
#include "records/records_json.h"
#include "session/service_records.h"

namespace {

void answer(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, "application/json");
}

// The records to read, or false with the answer given.
bool opened(RecordsOpening& o, httplib::Response& res) {
  o = openRecords("", records::Access::read);
  if (o.store != nullptr || o.missing) return true;  // missing: no records yet
  answer(res, 503,
         errorJson("the service records " + o.path + " cannot be read: " + o.why +
                   "; uploader-cli history says more"));
  return false;
}

}  // namespace

void addRecordRoutes(httplib::Server& s) {
  s.Get("/api/history", [](const httplib::Request& req, httplib::Response& res) {
    RecordsOpening o;
    if (!opened(o, res)) return;
    std::vector<records::HistoryRow> rows;
    std::string why;
    if (o.store != nullptr) {
      records::HistoryFilter filter;
      filter.image = req.get_param_value("image");
      filter.adapter = req.get_param_value("adapter");
      filter.result = req.get_param_value("result");
      try {
        filter.limit = req.has_param("limit") ? std::stoul(req.get_param_value("limit")) : 200;
      } catch (const std::exception&) {
        return answer(
            res, 400,
            errorJson("limit: a number of uploads, not \"" + req.get_param_value("limit") + "\""));
      }
      if (!o.store->history(filter, rows, why))
        return answer(res, 500, errorJson("the service records could not be asked: " + why));
    }
    answer(res, 200, records::historyJson(rows, o.path));
  });
  s.Get("/api/inventory", [](const httplib::Request&, httplib::Response& res) {
    RecordsOpening o;
    if (!opened(o, res)) return;
    std::vector<records::InventoryRow> rows;
    std::string why;
    if (o.store != nullptr && !o.store->inventory(rows, why))
      return answer(res, 500, errorJson("the service records could not be asked: " + why));
    answer(res, 200, records::inventoryJson(rows, o.path));
  });
}
