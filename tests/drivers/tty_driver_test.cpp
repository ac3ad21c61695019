// The tty driver against a pseudo-terminal pair made here: a whole upload
// arrives on the other side byte-exact, the line is set up as DMX512 asks,
// and opening and sending failures reach the log and the operator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <tuple>

#include "drivers/registry.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/drivers/driver_upload.h"
#include "tests/drivers/pty_line_probe.h"

namespace {

// A pseudo-terminal pair; the test keeps the terminal side open too, so
// that it can read the line settings and the other side never sees a hang-up.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    path = ptsname(master);
    terminal = open(path.c_str(), O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (terminal >= 0) close(terminal);
    if (master >= 0) close(master);
  }
  bool ok() const { return master >= 0 && terminal >= 0; }
  int master = -1;
  int terminal = -1;
  std::string path;
};

// Drains the pty's other side on its own thread while the upload writes.
class Reader {
 public:
  // `hangUpAfter`: close that side after this many bytes, as an unplugged adapter would.
  explicit Reader(int& master, std::size_t hangUpAfter = 0)
      : master_(master), hangUpAfter_(hangUpAfter), thread_([this] { loop(); }) {}
  ~Reader() { finish(); }
  // Everything written so far, once it has all been read.
  const std::vector<std::uint8_t>& finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return got_;
  }

 private:
  void loop() {
    std::uint8_t buffer[4096];
    while (master_ >= 0) {
      pollfd p{master_, POLLIN, 0};
      const int ready = poll(&p, 1, 50);
      if (ready == 0 && stop_) return;
      if (ready <= 0) continue;
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return;
      got_.insert(got_.end(), buffer, buffer + n);
      if (hangUpAfter_ != 0 && got_.size() >= hangUpAfter_) {
        close(master_);
        master_ = -1;
      }
    }
  }
  int& master_;
  std::size_t hangUpAfter_;
  std::atomic<bool> stop_{false};
  std::vector<std::uint8_t> got_;
  std::thread thread_;
};

class TtyDriver : public DriverUpload {
 protected:
  // Port paths fit the 63 characters of a serial-number slot; the fixture's
  // own folder can be longer, so ports are made in a short one.
  void SetUp() override {
    DriverUpload::SetUp();
    char name[] = "/tmp/ttyXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    portDir = name;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(portDir, ec);
    DriverUpload::TearDown();
  }
  // The adapter for the port, kept for the test.
  Adapter& tty(const std::string& path) {
    std::string error;
    made.push_back(makeAdapter("tty:" + path, {}, error));
    EXPECT_NE(made.back(), nullptr) << error;
    return *made.back();
  }
  void expectCannotConnect(const std::string& reason) {
    auto lines = logLines();
    // The reason holds the advice: nothing about ftdi_sio follows it.
    ASSERT_EQ(lines.size(), 3u) << log;
    EXPECT_EQ(lines[1], "Error FT_OpenEx(3), device 0");
    EXPECT_EQ(lines[2], "  tty: " + reason);
    ASSERT_GE(op.events.size(), 2u);
    EXPECT_EQ(op.events[op.events.size() - 2].text, "CANNOT CONNECT TO PROGRAMMER");
  }
  std::string portDir;
  std::vector<std::unique_ptr<Adapter>> made;
};

TEST_F(TtyDriver, WholeUploadArrivesByteExactInOrderIn76BytePackets) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  chooseImage(everyByteImage(600));
  address = 300;
  checked = true;
  const Frames expected = referenceFrames(profileV1_1);
  ASSERT_GT(expected.size(), 100u);

  Reader reader(pty.master);
  ASSERT_EQ(runOn(tty(pty.path), profileV1_1), uploadDone);
  const std::vector<std::uint8_t>& got = reader.finish();
  EXPECT_TRUE(logged("Opened device " + pty.path));
  EXPECT_TRUE(logged("Closed device " + pty.path));

  ASSERT_EQ(got.size(), expected.size() * 76);
  for (std::size_t f = 0; f < expected.size(); ++f) {
    const std::vector<std::uint8_t> packet(got.begin() + f * 76, got.begin() + (f + 1) * 76);
    ASSERT_EQ(packet, expected[f]) << "frame " << f;
    ASSERT_EQ(packet[0], 0x91) << "frame " << f;
  }
}

TEST_F(TtyDriver, SetsTheLineUpForDmx512) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  chooseImage(everyByteImage(10));
  Reader reader(pty.master);
  ASSERT_EQ(runOn(tty(pty.path), profileV1_2), uploadDone);
  reader.finish();

  LineView v;
  ASSERT_TRUE(readLine(pty.terminal, v));
  EXPECT_TRUE(v.otherBaud);
  EXPECT_EQ(v.ospeed, 250000u);
  EXPECT_EQ(v.ispeed, 250000u);
  EXPECT_EQ(v.dataBits, 8u);
  EXPECT_TRUE(v.twoStopBits);
  EXPECT_FALSE(v.parity);
  EXPECT_FALSE(v.hardwareFlow);
  EXPECT_FALSE(v.softwareFlow);
  EXPECT_TRUE(v.ignoreModemLines);
  EXPECT_TRUE(v.receiver);
  EXPECT_FALSE(v.outputProcessing);
  EXPECT_FALSE(v.canonical);
  EXPECT_FALSE(v.echo);
  EXPECT_FALSE(v.signals);
  EXPECT_FALSE(v.inputMapping);
}

TEST_F(TtyDriver, TableCallsChangeOnlyWhatTheyName) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  Adapter& t = tty(pty.path);
  FT_HANDLE h = nullptr;
  ASSERT_EQ(t.FT_OpenEx(pty.path.data(), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK) << t.lastError();
  // A pseudo-terminal keeps the stop bits but always reports 8 data bits
  // and no parity, so only the stop bits can be seen changing here.
  LineView v;
  ASSERT_EQ(t.FT_SetDataCharacteristics(h, 8, 0, 0), FT_OK);
  ASSERT_TRUE(readLine(pty.terminal, v));
  EXPECT_FALSE(v.twoStopBits);
  EXPECT_EQ(v.ospeed, 250000u);
  ASSERT_EQ(t.FT_SetDataCharacteristics(h, 8, 2, 0), FT_OK);
  ASSERT_TRUE(readLine(pty.terminal, v));
  EXPECT_TRUE(v.twoStopBits);
  for (const auto& [bits, stop, parity] : {std::tuple{8, 1, 0}, {9, 2, 0}, {8, 2, 5}}) {
    EXPECT_NE(t.FT_SetDataCharacteristics(h, bits, stop, parity), FT_OK);
    EXPECT_STREQ(t.lastError(), "unsupported data characteristics");
  }
  ASSERT_TRUE(readLine(pty.terminal, v));
  EXPECT_TRUE(v.twoStopBits);  // a refused change leaves the line alone
  ASSERT_EQ(t.FT_SetBaudRate(h, 115200), FT_OK);
  ASSERT_TRUE(readLine(pty.terminal, v));
  EXPECT_EQ(v.ospeed, 115200u);
  EXPECT_EQ(v.dataBits, 8u);
  // A pseudo-terminal has no modem lines: clearing RTS fails and says so.
  EXPECT_EQ(t.FT_W32_EscapeCommFunction(h, FT_CLRRTS), 0);
  EXPECT_EQ(std::string(t.lastError()).rfind("RTS on " + pty.path + ": ", 0), 0u) << t.lastError();
  EXPECT_EQ(t.FT_W32_SetCommBreak(h), 1);
  EXPECT_EQ(t.FT_W32_ClearCommBreak(h), 1);
  EXPECT_EQ(t.FT_Close(h), FT_OK);
}

TEST_F(TtyDriver, OpeningFailuresNameThePortAndTheFix) {
  chooseImage(everyByteImage(10));
  {
    SCOPED_TRACE("missing");
    const std::string path = portDir + "/ttyUSB9";
    runOn(tty(path), profileV1_2);
    expectCannotConnect("cannot open " + path +
                        ": No such file or directory; is the adapter plugged in? (ls "
                        "/dev/ttyUSB* lists the ports)");
  }
  {
    SCOPED_TRACE("busy");
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(flock(pty.terminal, LOCK_EX | LOCK_NB), 0);  // another program holds it
    op.events.clear();
    runOn(tty(pty.path), profileV1_2);
    expectCannotConnect("cannot open " + pty.path + ": Device or resource busy; another program " +
                        "holds the port (fuser -v " + pty.path + " shows which): close it and " +
                        "try again");
  }
  {
    SCOPED_TRACE("not a serial port");
    const std::string path = portDir + "/notatty";
    close(open(path.c_str(), O_CREAT | O_WRONLY, 0600));
    op.events.clear();
    runOn(tty(path), profileV1_2);
    expectCannotConnect(path + ": not a serial port");
  }
}

// Opened by a user without access to the port (nobody, when the test runs as root).
TEST_F(TtyDriver, PermissionDeniedPointsAtTheDialoutGroup) {
  const std::string path = portDir + "/ttyS7";
  close(open(path.c_str(), O_CREAT | O_WRONLY, 0600));
  chmod(path.c_str(), geteuid() == 0 ? 0600 : 0);
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    std::string error;
    const std::unique_ptr<Adapter> t = makeAdapter("tty:" + path, {}, error);
    FT_HANDLE h = nullptr;
    const FT_STATUS status = t->FT_OpenEx(const_cast<char*>(path.c_str()), 1, &h);
    const std::string why = t->lastError();
    if (write(pipeFds[1], why.data(), why.size()) < 0) _exit(3);
    _exit(status == FT_DEVICE_NOT_OPENED ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string why;
  char buffer[512];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) why.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(why, "cannot open " + path +
                     ": Permission denied; add your user to the dialout group (sudo usermod "
                     "-aG dialout $USER) and log in again");
}

TEST_F(TtyDriver, HangUpMidUploadFailsTheUploadAndStillCloses) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  // Large enough that the writes block on the pty's buffer long before the end.
  const std::string path = chooseImage(everyByteImage(20000));
  address = 5;
  checked = true;
  int master = pty.master;
  pty.master = -1;  // the reader closes it
  Reader reader(master, 76 * 30);
  EXPECT_EQ(runOn(tty(pty.path), profileEarly), uploadLinkFailed);
  reader.finish();
  if (master >= 0) close(master);
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4].rfind("Send failed at frame ", 0), 0u);
  EXPECT_EQ(lines[lines.size() - 3].rfind("  tty: ", 0), 0u) << lines[lines.size() - 3];
  EXPECT_EQ(lines.back(), "Closed device " + pty.path);
  ASSERT_GE(op.events.size(), 2u);
  EXPECT_EQ(op.events[op.events.size() - 2].text.rfind(
                "UPLOAD FAILED!\n\n" + path + "\nAddress=5\nStopped at byte ", 0),
            0u);
  EXPECT_EQ(op.events.back().kind, OperatorEvent::enable);
}

TEST_F(TtyDriver, APortNobodyDrainsFailsTheUploadInsteadOfHanging) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  chooseImage(everyByteImage(20000));  // far more than the pty's buffer holds
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(runOn(tty(pty.path), profileEarly), uploadLinkFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
  EXPECT_NE(log.find("took no data for 2 s"), std::string::npos) << log;
  EXPECT_NE(log.find("Closed device " + pty.path), std::string::npos) << log;
}

TEST_F(TtyDriver, NeedsAUsablePath) {
  std::string error;
  EXPECT_EQ(makeAdapter("tty:", {}, error), nullptr);
  EXPECT_EQ(error, "the tty adapter needs the port's path, as in tty:/dev/ttyUSB0");
  EXPECT_EQ(makeAdapter("tty:/dev/" + std::string(60, 'x'), {}, error), nullptr);
  EXPECT_EQ(error.rfind("the port's path is longer than 63 characters", 0), 0u);
}

}  // namespace
