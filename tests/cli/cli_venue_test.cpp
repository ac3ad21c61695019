// A venue's checks before anything is sent, against nodes of the tests' own
// on the Art-Net port of loopback addresses: a dry run sends no frame, and
// --model refuses a line whose fixtures are of another model.
#include "tests/cli/cli_fixture.h"
#include "tests/net/fake_node.h"
#include "tests/net/fake_rdm_node.h"

namespace {

using CliVenue = CliTest;

TEST_F(CliVenue, ADryRunResolvesTheLineAndSendsNothing) {
  testnet::FakeNode node({testnet::NodeIdentity{}}, 0x7F000002, 6454);
  if (!node.good()) GTEST_SKIP() << "127.0.0.2:6454 is taken";
  const std::string bin = image(600);
  ProcessResult r = cli({"upload", bin, "--adapter", "artnet:127.0.0.2:0:0:1", "--adapter",
                         "artnet:127.0.0.2:0:0:2", "--fast", "-n"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "artnet:127.0.0.2:0:0:1: reaches 127.0.0.2 FakeNode")) << show(r);
  EXPECT_TRUE(contains(r.out, "node 127.0.0.2: 2 lines, packets at least 100 us apart")) << show(r);
  EXPECT_TRUE(contains(r.out, "10 frames")) << show(r);
  EXPECT_TRUE(contains(r.out, "nothing was sent (--dry-run)")) << show(r);
  EXPECT_EQ(node.count(), 0u) << "a dry run sent something other than ArtPoll";
  // The same command, sent: the node does get the frames.
  r = cli({"upload", bin, "--adapter", "artnet:127.0.0.2:0:0:1", "--fast", "-q"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_GT(node.count(), 0u);
}

TEST_F(CliVenue, ModelsAreCheckedOnTheFixturesThatWouldTakeTheUpload) {
  testnet::FakeResponder spot, wash;
  spot.device = 1;
  spot.address = 1;
  spot.modelId = 0x0010;
  wash.device = 2;
  wash.address = 20;
  wash.modelId = 0x0020;
  wash.model = "Wash 7";
  testnet::FakeRdmNode node(0x0001, {spot, wash}, 6454);
  if (!node.good()) GTEST_SKIP() << "127.0.0.1:6454 is taken";
  const std::string bin = image(600);
  const std::vector<std::string> line = {"upload", bin, "--adapter", "artnet:127.0.0.1:0:0:1",
                                         "-n"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = line;
    args.insert(args.end(), more.begin(), more.end());
    return cli(args);
  };
  // v1.2 reaches both: a line of two models is refused, naming the other one.
  ProcessResult r = with({"--model", "0x10"});
  EXPECT_EQ(r.exitCode, 6) << show(r);
  EXPECT_TRUE(contains(r.err, "29A9:00000002 at address 20: model 0x0020 \"Wash 7\"")) << show(r);
  EXPECT_FALSE(contains(r.err, "29A9:00000001 at")) << show(r);
  EXPECT_EQ(with({"--model", "16,0x0020"}).exitCode, 0);
  EXPECT_EQ(with({"--model", "0x10", "--force"}).exitCode, 0);
  // v1.1 reaches only the fixture at the address.
  r = with({"--model", "0x10", "-p", "v1.1", "-a", "1"});
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.out, "model passed")) << show(r);
  EXPECT_EQ(with({"--model", "0x10", "-p", "v1.1", "-a", "20"}).exitCode, 6);
  EXPECT_EQ(with({"--model", "0x1234x"}).exitCode, 64);
}

}  // namespace
