// Prints the JSON report of a --read-back run against nodes of the tests'
// own on 127.0.0.1: two fixtures read over RDM before, an upload through a
// node's universe (a second stand-in, which answers ArtPoll), one fixture
// with a new version after (the other kept its own), so the report carries
// both a confirmed and an unconfirmed fixture. The
// schema test validates what this prints.
#include <cstdio>

#include "cli/options.h"
#include "cli/read_back_view.h"
#include "drivers/artnet.h"
#include "session/report_json.h"
#include "tests/net/fake_node.h"
#include "tests/net/fake_rdm_node.h"
#include "tests/net/read_back_tuning.h"
#include "tests/support/session_plan.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: read_back_report IMAGE\n", stderr);
    return 64;
  }
  testnet::FakeResponder a, b;
  a.device = 1;
  a.address = 7;
  b.device = 2;
  b.address = 9;
  testnet::FakeRdmNode node(0x0001, {a, b});
  const std::string adapter = "artnet:127.0.0.1:0:0:1";
  Options o;
  const char* args[] = {"uploader-cli", "upload", argv[1],     "--adapter", adapter.c_str(),
                        "--read-back",  "--json", "--address", "7",         "--fast"};
  if (parseOptions(10, args, o).status != ParseStatus::run) return 64;
  ReadBackRun readBack(o, quickReadBackTuning(node.port()));
  if (readBack.setLines({{adapter, adapter, "", "", false}}) != 0 || readBack.before() != 0)
    return 1;

  testnet::FakeNode universe;
  artnet::Settings settings;
  settings.nodePort = universe.port();
  settings.replyPort = 0;
  std::string error;
  std::vector<SessionLine> lines;
  lines.push_back(
      {{adapter, adapter, "", "", false}, artnet::makeWith("127.0.0.1:0:0:1", settings, error)});
  if (lines.back().adapter == nullptr) return 1;
  FleetSummary summary;
  const UploadPlan plan = planFor(argv[1]);
  summary.uploads = runQuietly(plan, lines);
  summary.sha256 = plan.image->sha256;
  node.change([](std::vector<testnet::FakeResponder>& all) { all[0].version = 0x01000100; });
  summary.file = argv[1];
  summary.profile = "v1.2";
  summary.fast = true;
  summary.resetsToEveryDevice = true;
  summary.exitStatus = allDone(summary.uploads) ? readBack.after() : 1;
  summary.readBack = &readBack.lines();
  std::fputs(fleetJson(summary).c_str(), stdout);
  return 0;
}
