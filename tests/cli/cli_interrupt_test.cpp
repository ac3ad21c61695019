// Stopping uploader-cli with real signals: the upload ends after the send in
// progress, the adapter is closed, the capture holds whole records, and the
// exit status is 130; a reader that goes away does not stop the upload.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/capture_reader.h"
#include "tests/cli/cli_fixture.h"

namespace {

using CliInterrupt = CliTest;

// Waits until the child's standard output holds `text` (at most 10 s).
bool waitForOutput(const RunningProcess& p, const std::string& text) {
  for (int i = 0; i < 1000; ++i) {
    std::ifstream in(p.outPath);
    std::stringstream s;
    s << in.rdbuf();
    if (contains(s.str(), text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST_F(CliInterrupt, EachStopSignalEndsTheUploadCleanly) {
  const std::string path = image(3000);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const std::string capture = dir + "/cut.pcap";
    RunningProcess p = startProcess(
        UPLOADER_CLI_PATH, {"upload", path, "--adapter", "sim", "--capture", capture}, dir);
    ASSERT_TRUE(waitForOutput(p, "Sending data"));
    kill(p.pid, signal);
    const ProcessResult r = finishProcess(p, 10);
    EXPECT_EQ(r.exitCode, 130) << show(r);
    EXPECT_TRUE(contains(r.out, "Stopped at frame ")) << show(r);
    EXPECT_TRUE(contains(r.out, "Closed device SIM00001\n")) << show(r);
    EXPECT_TRUE(contains(r.err, "interrupted at byte ")) << show(r);
    EXPECT_TRUE(contains(r.err, "run the same command again")) << show(r);
    vdev::Capture c;
    std::string error;
    EXPECT_TRUE(vdev::readCapture(capture, c, error)) << error;
    EXPECT_EQ(c.trailingBytes, 0u);
    EXPECT_GE(c.records.size(), 10u);  // the reset burst at least
  }
}

TEST_F(CliInterrupt, AReaderThatGoesAwayDoesNotStopTheUpload) {
  // head reads the first log line and goes away; the upload's own status is kept.
  const std::string script = std::string("'") + UPLOADER_CLI_PATH + "' upload '" + image(100) +
                             "' --adapter sim --fast | head -1; exit ${PIPESTATUS[0]}";
  const ProcessResult r = runProcess("/bin/bash", {"-c", script}, dir, 30);
  EXPECT_EQ(r.exitCode, 0) << show(r);
  EXPECT_TRUE(contains(r.err, "DONE")) << show(r);
}

}  // namespace
