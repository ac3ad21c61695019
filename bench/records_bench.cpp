// How fast history and inventory answer from a large record: 100,000
// uploads and 20,000 fixtures (two readings each) in one file, each
// question asked five times through the store and rendered as uploader-cli
// renders it, and once as a whole uploader-cli process. Prints a Markdown
// table for docs/performance.md.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cli/records_output.h"
#include "records/store.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int kUploads = 100000;
constexpr int kFixtures = 20000;

std::string sha(int image) {
  char text[65];
  for (int i = 0; i < 64; ++i) text[i] = "0123456789abcdef"[(image * 7 + i * 13) % 16];
  text[64] = 0;
  return text;
}

std::string at(long long second) {
  // Two years of service, from 2025-01-01T00:00:00Z.
  const long long t = 1735689600LL + second;
  const long long day = t / 86400, rest = t % 86400;
  // Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
  const long long z = day + 719468, era = z / 146097, doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.000Z", y, m, d,
                rest / 3600, rest / 60 % 60, rest % 60);
  return text;
}

void exec(sqlite3* db, const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

void fill(const std::string& path) {
  records::OpenProblem problem;
  std::string why;
  records::Store::open(path, records::Access::write, problem, why).reset();
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  exec(db, "BEGIN");
  sqlite3_stmt* up = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO uploads (run, started_at, ended_at, host, user, image_name, "
                     "image_path, image_size, image_sha256, profile, fast, driver, line, serial, "
                     "node, port_address, universe, addresses, result, reason, bytes_delivered, "
                     "frames_sent, exit_status) VALUES (?1, ?2, ?3, 'rig-laptop', 'tech', ?4, "
                     "?4, 40960, ?5, 'v1.2', 1, ?6, ?7, NULL, ?8, ?9, NULL, '1', ?10, ?11, "
                     "40960, 6000, ?12)",
                     -1, &up, nullptr);
  std::mt19937 random(7);
  static const char* const results[] = {"done", "done", "done",   "done",    "done",
                                        "done", "done", "failed", "stopped", "done"};
  for (int i = 0; i < kUploads; ++i) {
    const int image = static_cast<int>(random() % 60);
    const int line = static_cast<int>(random() % 256);
    const std::string node = "10.0." + std::to_string(line / 16) + ".5";
    const std::string label = "artnet:" + node + ":0:0:" + std::to_string(line % 16);
    const long long second = static_cast<long long>(i) * 630;  // two years over the rows
    const std::string name = "fixture-fw-" + std::to_string(image) + ".bin";
    const std::string s = sha(image), run = "rig:" + std::to_string(i / 16);
    const std::string start = at(second), end = at(second + 40);
    const char* result = results[random() % 10];
    sqlite3_bind_text(up, 1, run.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 2, start.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 3, end.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 4, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 5, s.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 6, "artnet", -1, SQLITE_STATIC);
    sqlite3_bind_text(up, 7, label.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(up, 8, node.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(up, 9, line % 16);
    sqlite3_bind_text(up, 10, result, -1, SQLITE_STATIC);
    sqlite3_bind_text(up, 11, result[0] == 'd' ? "verified over RDM" : "the node went away", -1,
                      SQLITE_STATIC);
    sqlite3_bind_int(up, 12, result[0] == 'd' ? 0 : result[0] == 'f' ? 1 : 130);
    sqlite3_step(up);
    sqlite3_reset(up);
  }
  sqlite3_finalize(up);
  exec(db, "COMMIT");
  sqlite3_close(db);

  auto store = records::Store::open(path, records::Access::write, problem, why);
  sqlite3_open(path.c_str(), &db);
  exec(db, "BEGIN");
  sqlite3_stmt* rd = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO readings (read_at, uid, manufacturer_id, model_id, "
                     "manufacturer_label, model_label, start_address, software_version, "
                     "software_label, line, occasion) VALUES (?1, ?2, 10665, ?3, 'Tavik', ?4, "
                     "?5, ?6, ?7, ?8, 'fixtures')",
                     -1, &rd, nullptr);
  sqlite3_stmt* last = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO fixtures (uid, reading_id) VALUES (?1, last_insert_rowid()) "
                     "ON CONFLICT (uid) DO UPDATE SET reading_id = excluded.reading_id",
                     -1, &last, nullptr);
  for (int pass = 0; pass < 2; ++pass)
    for (int f = 0; f < kFixtures; ++f) {
      char uid[16];
      std::snprintf(uid, sizeof uid, "29A9:%08X", f + 1);
      const int model = f % 12;
      const int version = 0x00010000 + pass * 0x100 + (f % 97 == 0 ? 0 : pass);
      const std::string model_label = "Wash " + std::to_string(model);
      const std::string label = "1." + std::to_string(version & 0xFFFF);
      const std::string line = "artnet:10.0." + std::to_string(f / 1280) + ".5";
      const std::string when = at(pass * 40000000LL + f * 60);
      sqlite3_bind_text(rd, 1, when.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(rd, 2, uid, -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(rd, 3, model);
      sqlite3_bind_text(rd, 4, model_label.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(rd, 5, 1 + (f % 32) * 16);
      sqlite3_bind_int(rd, 6, version);
      sqlite3_bind_text(rd, 7, label.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(rd, 8, line.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(rd);
      sqlite3_reset(rd);
      sqlite3_bind_text(last, 1, uid, -1, SQLITE_TRANSIENT);
      sqlite3_step(last);
      sqlite3_reset(last);
    }
  sqlite3_finalize(rd);
  sqlite3_finalize(last);
  exec(db, "COMMIT");
  exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
  sqlite3_close(db);
}

double ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The median of five: open, ask, render.
double median(const std::function<std::size_t()>& ask, std::size_t& rows) {
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    rows = ask();
    times.push_back(ms(std::chrono::steady_clock::now() - t0));
  }
  std::sort(times.begin(), times.end());
  return times[2];
}

// uploader-cli's whole run, its output to /dev/null.
double processMs(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = UPLOADER_CLI_PATH;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      if (std::freopen("/dev/null", "w", stdout) == nullptr ||
          std::freopen("/dev/null", "w", stderr) == nullptr)
        _exit(126);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    times.push_back(ms(std::chrono::steady_clock::now() - t0));
  }
  std::sort(times.begin(), times.end());
  return times[2];
}

}  // namespace

int main() {
  TempFolder folder("uploader-records-bench");
  if (const char* keep = std::getenv("RECORDS_BENCH_KEEP"); keep != nullptr) {
    folder.keep();
    std::printf("kept %s\n", folder.string().c_str());
  }
  const std::string path = (folder / "records.sqlite").string();
  const auto t0 = std::chrono::steady_clock::now();
  fill(path);
  std::printf("filled %d uploads and %d fixtures (2 readings each) in %.0f ms\n\n", kUploads,
              kFixtures, ms(std::chrono::steady_clock::now() - t0));

  struct Question {
    const char* name;
    records::HistoryFilter filter;
    std::vector<std::string> args;
  };
  const std::string since = at(kUploads * 630LL - 7 * 86400);
  std::vector<Question> questions = {
      {"history --since (last 7 days)",
       {since, "", "", ""},
       {"--since", since.substr(0, 19) + "Z"}},
      {"history --image SHA-256", {"", sha(17), "", ""}, {"--image", sha(17)}},
      {"history --image NAME", {"", "fixture-fw-17.bin", "", ""}, {"--image", "fixture-fw-17.bin"}},
      {"history --adapter LINE",
       {"", "", "artnet:10.0.3.5:0:0:7", ""},
       {"--adapter", "artnet:10.0.3.5:0:0:7"}},
      {"history --adapter NODE", {"", "", "10.0.3.5", ""}, {"--adapter", "10.0.3.5"}},
      {"history --result stopped", {"", "", "", "stopped"}, {"--result", "stopped"}},
      {"history --result unfinished", {"", "", "", "unfinished"}, {"--result", "unfinished"}},
      {"history --since --adapter --result",
       {since, "", "artnet:10.0.3.5", "failed"},
       {"--since", since.substr(0, 19) + "Z", "--adapter", "artnet:10.0.3.5", "--result",
        "failed"}},
      {"history (no filter: the table's newest 1000; JSON all)", {"", "", "", ""}, {}},
  };
  std::printf(
      "| question | uploads matched | store + table ms | store + JSON ms | uploader-cli (table) "
      "ms | uploader-cli --json ms |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const Question& q : questions) {
    std::size_t rows = 0;
    const auto ask = [&](RecordsFormat format) {
      return [&, format] {
        records::OpenProblem problem;
        std::string why;
        auto store = records::Store::open(path, records::Access::read, problem, why);
        std::vector<records::HistoryRow> found;
        records::HistoryFilter filter = q.filter;
        // As uploader-cli: a table shows the newest 1000 (and learns there are more).
        if (format == RecordsFormat::table) filter.limit = 1001;
        store->history(filter, found, why);
        return historyText(found, format, path).size() > 0 ? found.size() : 0;
      };
    };
    const double table = median(ask(RecordsFormat::table), rows);
    const double json = median(ask(RecordsFormat::json), rows);
    std::vector<std::string> args = {"history", "--records", path};
    args.insert(args.end(), q.args.begin(), q.args.end());
    const double process = processMs(args);
    args.push_back("--json");
    std::printf("| %s | %zu | %.1f | %.1f | %.1f | %.1f |\n", q.name, rows, table, json, process,
                processMs(args));
  }
  std::size_t rows = 0;
  const auto inventory = [&](RecordsFormat format) {
    return [&, format] {
      records::OpenProblem problem;
      std::string why;
      auto store = records::Store::open(path, records::Access::read, problem, why);
      std::vector<records::InventoryRow> found;
      store->inventory(found, why);
      return inventoryText(found, format, path).size() > 0 ? found.size() : 0;
    };
  };
  const double table = median(inventory(RecordsFormat::table), rows);
  const double json = median(inventory(RecordsFormat::json), rows);
  std::printf("| inventory | %zu | %.1f | %.1f | %.1f | %.1f |\n", rows, table, json,
              processMs({"inventory", "--records", path}),
              processMs({"inventory", "--records", path, "--json"}));
  return 0;
}
