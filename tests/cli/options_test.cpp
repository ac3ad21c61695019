// The option table: what each command accepts, and the one-line reason for
// everything it refuses.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ParseResult parse(std::vector<const char*> args, Options& o) {
  args.insert(args.begin(), "uploader-cli");
  return parseOptions(static_cast<int>(args.size()), args.data(), o);
}

TEST(Options, UploadTakesEveryOptionInAnyOrder) {
  Options o;
  const ParseResult r = parse({"--fast", "upload", "fw.bin", "--address", "512", "--profile=early",
                               "--adapter", "sim", "--serial", "A1", "--capture", "c.pcap",
                               "--quiet", "--sim-device=3", "--sim-fail", "write-after:12"},
                              o);
  ASSERT_EQ(r.status, ParseStatus::run) << r.error;
  EXPECT_EQ(o.command, Command::upload);
  EXPECT_EQ(o.file, "fw.bin");
  EXPECT_EQ(o.addresses.front(), 512);
  EXPECT_EQ(o.profile, "early");
  EXPECT_TRUE(o.fast);
  EXPECT_EQ(o.adapterNames, std::vector<std::string>{"sim"});
  EXPECT_EQ(o.serial, "A1");
  EXPECT_EQ(o.capture, "c.pcap");
  EXPECT_TRUE(o.quiet);
  // The driver's own options are kept for it as given.
  ASSERT_EQ(o.driverSettings.size(), 2u);
  EXPECT_EQ(o.driverSettings[0].name, "--sim-device");
  EXPECT_EQ(o.driverSettings[0].value, "3");
  EXPECT_EQ(o.driverSettings[1].value, "write-after:12");
}

TEST(Options, DefaultsAreAddressOneProfileV12AndNoAdapterNamed) {
  Options o;
  ASSERT_EQ(parse({"upload", "fw.bin"}, o).status, ParseStatus::run);
  EXPECT_EQ(o.addresses.front(), 1);
  EXPECT_EQ(o.profile, "v1.2");
  EXPECT_FALSE(o.fast);
  EXPECT_TRUE(o.adapterNames.empty());
  EXPECT_TRUE(o.serial.empty());
  EXPECT_TRUE(o.driverSettings.empty());
}

TEST(Options, DashDashEndsTheOptions) {
  Options o;
  ASSERT_EQ(parse({"upload", "--", "--fast"}, o).status, ParseStatus::run);
  EXPECT_EQ(o.file, "--fast");
  EXPECT_FALSE(o.fast);
}

TEST(Options, HelpAndVersionWinOverEverythingElse) {
  Options o;
  EXPECT_EQ(parse({"--help"}, o).status, ParseStatus::help);
  EXPECT_EQ(parse({"upload", "-h"}, o).status, ParseStatus::help);
  EXPECT_EQ(parse({"--version"}, o).status, ParseStatus::version);
}

TEST(Options, RefusalsNameTheArgument) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"send", "f"}, "unknown command \"send\""},
      {{"upload"}, "upload needs a FILE"},
      {{"decode"}, "decode needs a FILE.pcap"},
      {{"upload", "a", "b"}, "unexpected argument \"b\""},
      {{"list", "x"}, "unexpected argument \"x\""},
      {{"upload", ""}, "the file name is empty"},
      {{"upload", "f", "--adress", "3"}, "unknown option \"--adress\""},
      {{"upload", "f", "-a"}, "-a needs a value N"},
      {{"upload", "f", "-x"}, "unknown option \"-x\" (try --help)"},
      {{"upload", "f", "--adress", "3"}, "(did you mean --address?)"},
      {{"uplaod", "f"}, "unknown command \"uplaod\" (did you mean upload?)"},
      {{"upload", "f", "-a", "3", "--address", "4"}, "--address given twice"},
      {{"upload", "f", "--address"}, "--address needs a value N"},
      {{"upload", "f", "--address", "0"}, "--address takes 1 to 512, not 0"},
      {{"upload", "f", "--address", "513"}, "--address takes 1 to 512, not 513"},
      {{"upload", "f", "--address=-1"}, "--address takes 1 to 512, not -1"},
      {{"upload", "f", "--address", "7x"}, "--address takes a number from 1 to 512, not \"7x\""},
      {{"upload", "f", "--address", "99999999999999999999"}, "not 99999999999999999999"},
      {{"upload", "f", "--address=", ""}, "a number from 1 to 512, not \"\""},
      {{"upload", "f", "--address", "3", "--address", "4"}, "--address given twice"},
      {{"upload", "f", "--profile", "v1.3"}, "unknown profile \"v1.3\""},
      {{"upload", "f", "--fast=yes"}, "--fast takes no value"},
      {{"upload", "f", "--adapter", ""}, "--adapter needs a non-empty value"},
      {{"upload", "f", "--serial",
        "0123456789012345678901234567890123456789012345678901234567890123"},
       "longer than a serial number"},
      {{"upload", "f", "--sim-fail", "read"}, "\"read\" is not list, open, write or write-after:N"},
      {{"upload", "f", "--sim-fail", "write-after:"}, "write-after:N takes a number from 0 to"},
      {{"upload", "f", "--sim-fail", "write-after:100000000"},
       "--sim-fail write-after:N takes 0 to 99999999, not 100000000"},
      {{"upload", "f", "--sim-device", "600"}, "--sim-device takes 1 to 512, not 600"},
      {{"upload", "f", "--adapter", "sim\x1b[0m"}, "--adapter: \"sim\\x1b[0m\" holds control"},
      {{"upload", "f", "--out", "x"}, "--out does not apply to upload"},
      {{"list", "--fast"}, "--fast does not apply to list"},
      {{"decode", "c.pcap", "--capture", "x"}, "--capture does not apply to decode"},
      {{"decode", "c.pcap", "--sim-none"}, "--sim-none does not apply to decode"},
      {{"fixtures", "f"}, "unexpected argument \"f\""},
      {{"fixtures", "--read-back"}, "--read-back does not apply to fixtures"},
      {{"list", "--rdm-uid", "7FF0:00000002"}, "--rdm-uid does not apply to list"},
      {{"upload", "f", "--settle", "601"}, "--settle takes 0 to 600, not 601"},
      {{"upload", "f", "--node-gap", "10001"}, "--node-gap takes 0 to 10000, not 10001"},
      {{"upload", "f", "--node-gap", "-5"}, "--node-gap needs a value"},
      {{"list", "--node-gap", "50"}, "--node-gap does not apply to list"},
      {{"upload", "f", "--rdm-uid", "7FF0:0000001"}, "not a controller UID MMMM:DDDDDDDD"},
      {{"upload", "f", "--rdm-uid", "FFFF:FFFFFFFF"}, "not a broadcast UID"},
      {{"upload", "f", "--settle", "5"}, "--settle does nothing without --read-back"},
      {{"upload", "f", "--rdm-uid", "7FF0:00000002"}, "--rdm-uid does nothing without --read-back"},
  };
  for (const Case& k : cases) {
    Options o;
    const ParseResult r = parse(k.args, o);
    std::string joined;
    for (const char* a : k.args) joined += std::string(a) + " ";
    EXPECT_EQ(r.status, ParseStatus::usage) << joined;
    EXPECT_NE(r.error.find(k.says), std::string::npos) << joined << "-> " << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
}

TEST(Options, AValueThatLooksLikeAnOptionIsTakenOnlyAfterEquals) {
  for (const char* option : {"--address", "--profile", "--adapter", "--serial", "--cid",
                             "--capture", "--sim-device", "--sim-fail"}) {
    Options o;
    for (const char* value : {"--fast", "-h", "-"}) {
      const ParseResult r = parse({"upload", "f", option, value}, o);
      EXPECT_EQ(r.status, ParseStatus::usage) << option << " " << value;
      EXPECT_NE(r.error.find(std::string("write ") + option + "=VALUE"), std::string::npos)
          << r.error;
    }
  }
  Options o;
  ASSERT_EQ(parse({"decode", "c", "--out=-x.bin", "--expect=--fast"}, o).status, ParseStatus::run);
  EXPECT_EQ(o.out, "-x.bin");
  EXPECT_EQ(o.expect, "--fast");
}

TEST(Options, ShortFormsAndTheTechniciansOptions) {
  Options o;
  const ParseResult r = parse({"upload", "fw.bin", "-a", "12", "-p", "v1.1", "-f", "-q", "-v",
                               "--force", "--log", "fixtures.log"},
                              o);
  ASSERT_EQ(r.status, ParseStatus::run) << r.error;
  EXPECT_EQ(o.addresses.front(), 12);
  EXPECT_EQ(o.profile, "v1.1");
  EXPECT_TRUE(o.fast && o.quiet && o.verbose && o.force);
  EXPECT_EQ(o.logFile, "fixtures.log");
  EXPECT_EQ(parse({"-V"}, o).status, ParseStatus::version);
}

TEST(Options, ACommandsHelpShowsThatCommandsOptionsOnly) {
  Options o;
  ASSERT_EQ(parse({"upload", "--help"}, o).status, ParseStatus::help);
  EXPECT_EQ(o.command, Command::upload);
  const std::string upload = helpText(Command::upload);
  for (const char* word : {"-a, --address N", "-v, --verbose", "--sim-fail", "every device on"})
    EXPECT_NE(upload.find(word), std::string::npos) << word;
  for (const char* word : {"--expect", "uploader-cli list", "[upload"})
    EXPECT_EQ(upload.find(word), std::string::npos) << word;
  EXPECT_EQ(helpText(Command::decode).find("--fast"), std::string::npos);
}

TEST(Options, TheNodeGapIsAHundredMicrosecondsUnlessGiven) {
  Options o;
  ASSERT_EQ(parse({"upload", "f"}, o).status, ParseStatus::run);
  EXPECT_EQ(o.nodeGapMicros, 100);
  Options off;
  ASSERT_EQ(parse({"upload", "f", "--node-gap", "0"}, off).status, ParseStatus::run);
  EXPECT_EQ(off.nodeGapMicros, 0);
  EXPECT_NE(helpText(Command::upload).find("--node-gap MICROSECONDS"), std::string::npos);
}

TEST(Options, ReadBackTakesItsOwnOptions) {
  Options o;
  ASSERT_EQ(
      parse({"upload", "f", "--read-back", "--settle=0", "--force", "--rdm-uid", "7ff0:0000abcd"},
            o)
          .status,
      ParseStatus::run);
  EXPECT_TRUE(o.readBack && o.force);
  EXPECT_EQ(o.settleSeconds, 0);
  EXPECT_EQ(o.rdmUid, "7ff0:0000abcd");
  Options f;
  ASSERT_EQ(
      parse({"fixtures", "--adapter", "artnet:10.0.0.5", "--rdm-uid", "7FF0:00000002"}, f).status,
      ParseStatus::run);
  EXPECT_EQ(f.command, Command::fixtures);
}

TEST(Options, HelpTextListsEveryAdapterAndEveryOptionInShortLines) {
  const std::string help = helpText();
  EXPECT_NE(help.find("  d2xx[:SERIAL|:all] "), std::string::npos);
  EXPECT_NE(help.find("  sim[:N] "), std::string::npos);
  const std::string options = help.substr(0, help.find("Adapters"));
  for (std::size_t at = 0; at < options.size();) {
    const std::size_t end = options.find('\n', at);
    EXPECT_LE(end - at, 88u) << options.substr(at, end - at);
    at = end + 1;
  }
}

}  // namespace

namespace {

TEST(Options, ServeListensOnLoopbackUnlessToldAndTakesItsOwnOptionsOnly) {
  Options o;
  ASSERT_EQ(parse({"serve"}, o).status, ParseStatus::run);
  EXPECT_EQ(o.command, Command::serve);
  EXPECT_EQ(o.listen, "127.0.0.1:8417");
  EXPECT_TRUE(o.tokenFile.empty());
  Options given;
  ASSERT_EQ(parse({"serve", "--listen", "[::1]:0", "--token-file", "t.txt"}, given).status,
            ParseStatus::run);
  EXPECT_EQ(given.listen, "[::1]:0");
  EXPECT_EQ(given.tokenFile, "t.txt");
  for (std::vector<const char*> bad : {std::vector<const char*>{"serve", "--listen", "8417"},
                                       {"serve", "--listen", "::1:8417"},
                                       {"serve", "--listen", "127.0.0.1:65536"},
                                       {"serve", "--listen", ":8417"},
                                       {"serve", "--fast"},
                                       {"upload", "fw.bin", "--listen", "127.0.0.1:1"},
                                       {"serve", "extra"}}) {
    Options x;
    EXPECT_EQ(parse(bad, x).status, ParseStatus::usage) << bad.back();
  }
}

}  // namespace
