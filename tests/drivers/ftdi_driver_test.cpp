// The libftdi driver against a fake libftdi: what it asks of the library
// for listing, opening, the line and every frame, and how each failure
// reaches the log and the operator.
#include <ftdi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "drivers/ftdi.h"
#include "drivers/line_pace.h"
#include "drivers/registry.h"
#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/drivers/driver_upload.h"
#include "tests/drivers/fake_libftdi.h"

namespace {

using fake_ftdi::Call;
using fake_ftdi::callsNamed;
using fake_ftdi::world;

class FtdiDriver : public DriverUpload {
 protected:
  void SetUp() override {
    DriverUpload::SetUp();
    fake_ftdi::reset();
    world().clock = &clock;  // the driver times the line on the upload's clock
    std::string error;
    ftdi_ = makeFtdi("", {}, error);
    ASSERT_NE(ftdi_, nullptr) << error;
  }
  Adapter& ftdiAdapter() { return *ftdi_; }
  // Names and arguments of the calls made to the adapter `serial`, from its opening.
  std::vector<std::pair<std::string, std::vector<long>>> callsTo(const std::string& serial) {
    std::vector<std::pair<std::string, std::vector<long>>> out;
    for (const Call& c : world().calls)
      if (c.adapter == serial) out.emplace_back(c.name, c.args);
    return out;
  }
  // Nothing held after an upload: no open adapter, no live context.
  void expectAllReleased() {
    EXPECT_EQ(world().opened, 0);
    EXPECT_EQ(world().contexts, 0);
  }
  std::unique_ptr<Adapter> ftdi_;
};

fake_ftdi::Adapter adapterWith(std::string serial, std::uint8_t bus = 1,
                               std::vector<std::uint8_t> ports = {1}) {
  fake_ftdi::Adapter a;
  a.serial = std::move(serial);
  a.bus = bus;
  a.ports = std::move(ports);
  return a;
}

TEST_F(FtdiDriver, IsRegisteredAndTheDefaultOnThisPlatform) {
  std::string error;
  const std::unique_ptr<Adapter> named = makeAdapter("ftdi", {}, error);
  ASSERT_NE(named, nullptr) << error;
  EXPECT_STREQ(named->name(), "ftdi");
  EXPECT_STREQ(named->library(), ftdiAdapter().library());
  EXPECT_STREQ(defaultAdapterName(), "ftdi");
}

TEST_F(FtdiDriver, ListsBySerialOrByUsbPositionWhenTheSerialCannotBeRead) {
  world().adapters = {adapterWith("A10K3XQ9"), adapterWith("", 3, {1, 4}),
                      adapterWith("B2", 1, {2})};
  world().adapters[2].serialReadable = false;  // no permission to open it
  for (int i = 0; i < 4; ++i) world().adapters.push_back(adapterWith("EXTRA" + std::to_string(i)));

  ASSERT_EQ(runOn(ftdiAdapter(), profileV1_2), uploadRefused);  // no file: nothing touched
  EXPECT_TRUE(world().calls.empty());

  char slots[6][64] = {};
  char* pointers[6] = {slots[0], slots[1], slots[2], slots[3], slots[4], nullptr};
  std::int32_t count = -1;
  ASSERT_EQ(ftdiAdapter().FT_ListDevices(pointers, &count, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER),
            FT_OK);
  EXPECT_EQ(count, 7);
  EXPECT_STREQ(slots[0], "A10K3XQ9");
  EXPECT_STREQ(slots[1], "usb:3-1.4 (no serial number)");
  EXPECT_STREQ(slots[2], "usb:1-2 (no serial number)");
  EXPECT_STREQ(slots[3], "EXTRA0");
  EXPECT_STREQ(slots[4], "EXTRA1");
  EXPECT_STREQ(slots[5], "");  // the sixth slot is never offered
  // For a person: the product string and where the adapter is plugged in.
  EXPECT_EQ(ftdiAdapter().listingDetail(0), "\"FT232R USB UART\" usb:1-1");
  EXPECT_EQ(ftdiAdapter().listingDetail(1), "\"FT232R USB UART\" usb:3-1.4");
  EXPECT_EQ(ftdiAdapter().listingDetail(2), "usb:1-2");  // nothing readable
  // FTDI's default ids (vendor 0403; 6001, 6010, 6011, 6014, 6015) are asked for with 0, 0.
  const auto finds = callsNamed("ftdi_usb_find_all");
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_EQ(finds[0]->args, (std::vector<long>{0, 0}));
  EXPECT_EQ(world().contexts, 0);
}

TEST_F(FtdiDriver, RefusesAnInterfaceThatTakesAProtocolOfItsOwn) {
  world().adapters = {adapterWith("EN055ABC", 1, {3})};
  world().adapters[0].product = "DMX USB PRO Mk2";
  chooseImage(everyByteImage(100));
  EXPECT_EQ(runOn(ftdiAdapter(), profileV1_2), uploadLinkFailed);
  // The reason ends the log: it says what works instead.
  EXPECT_EQ(logLines().back().rfind("  ftdi: \"DMX USB PRO Mk2\" names an interface of the", 0), 0u)
      << log;
  EXPECT_TRUE(callsNamed("ftdi_usb_open_dev").empty());  // ftdi_sio is left alone
  expectAllReleased();
  EXPECT_EQ(ftdiAdapter().listingDetail(0),
            "\"DMX USB PRO Mk2\" usb:1-3 (refused: takes a protocol of its own)");
}

TEST_F(FtdiDriver, WholeUploadAsksForTheDmxLineAndBreaksBeforeEveryFrame) {
  world().adapters = {adapterWith("A10K3XQ9"), adapterWith("OTHER")};
  chooseImage(everyByteImage(300));
  address = 42;
  checked = true;
  const Frames expected = referenceFrames(profileV1_2);

  ASSERT_EQ(runOn(ftdiAdapter(), profileV1_2), uploadDone);
  EXPECT_TRUE(logged("Opened device A10K3XQ9"));
  EXPECT_TRUE(logged("Closed device A10K3XQ9"));
  EXPECT_TRUE(callsTo("OTHER").empty());  // the second adapter is never touched

  // Opening: first port, ftdi_sio detached and given back, then the line.
  EXPECT_EQ(world().detachModes, (std::vector<int>{AUTO_DETACH_REATACH_SIO_MODULE}));
  EXPECT_EQ(callsNamed("ftdi_set_interface").at(0)->args, (std::vector<long>{INTERFACE_A}));
  const auto calls = callsTo("A10K3XQ9");
  using Step = std::pair<std::string, std::vector<long>>;
  const std::vector<Step> setUp = {
      {"ftdi_usb_open_dev", {}},
      {"ftdi_set_baudrate", {250000}},
      {"ftdi_set_line_property2", {BITS_8, STOP_BIT_2, NONE, BREAK_OFF}},
      {"ftdi_setflowctrl", {SIO_DISABLE_FLOW_CTRL}},
      {"ftdi_setrts", {0}},
      {"ftdi_tcioflush", {}},
      // then what the engine asks: 250 000 baud, 8N2, RTS cleared
      {"ftdi_set_baudrate", {250000}},
      {"ftdi_set_line_property2", {BITS_8, STOP_BIT_2, NONE, BREAK_OFF}},
      {"ftdi_setrts", {0}},
  };
  ASSERT_GT(calls.size(), setUp.size());
  EXPECT_EQ(std::vector<Step>(calls.begin(), calls.begin() + setUp.size()), setUp);

  // Every frame: break on, break off, the 76 bytes; then the close.
  const Step on{"ftdi_set_line_property2", {BITS_8, STOP_BIT_2, NONE, BREAK_ON}};
  const Step off{"ftdi_set_line_property2", {BITS_8, STOP_BIT_2, NONE, BREAK_OFF}};
  std::size_t i = setUp.size();
  for (std::size_t f = 0; f < expected.size(); ++f, i += 3) {
    ASSERT_LT(i + 2, calls.size());
    ASSERT_EQ(calls[i], on) << "frame " << f;
    ASSERT_EQ(calls[i + 1], off) << "frame " << f;
    ASSERT_EQ(calls[i + 2], (Step{"ftdi_write_data", {76}})) << "frame " << f;
  }
  ASSERT_EQ(i + 1, calls.size());
  EXPECT_EQ(calls.back().first, "ftdi_usb_close");

  Frames sent;
  for (const Call* c : callsNamed("ftdi_write_data")) sent.push_back(c->bytes);
  EXPECT_EQ(sent, expected);
  expectAllReleased();
}

// A whole upload on the virtual clock, which the fake stamps its calls
// with. The engine's own pauses move that clock too and are longer than a
// frame, so they hide the driver's drain waits; the test after this one
// calls the driver alone for those.
TEST_F(FtdiDriver, ABreakNeverCutsThePreviousFrameAndLastsTheDmxMinimum) {
  world().adapters = {adapterWith("A10K3XQ9")};
  chooseImage(everyByteImage(64));
  ASSERT_EQ(runOn(ftdiAdapter(), profileEarly), uploadDone);

  using std::chrono::microseconds;
  const microseconds frameOnWire{76 * 44};
  std::chrono::steady_clock::time_point lastWrite{};
  std::chrono::steady_clock::time_point breakOn{};
  int frames = 0;
  for (const Call& c : world().calls) {
    if (c.name == "ftdi_set_line_property2" && c.args.at(3) == BREAK_ON) {
      if (frames > 0) {
        EXPECT_GE(c.at - lastWrite, frameOnWire) << "frame " << frames;
      }
      breakOn = c.at;
    } else if (c.name == "ftdi_set_line_property2" && breakOn != decltype(breakOn){}) {
      EXPECT_GE(c.at - breakOn, microseconds{88}) << "frame " << frames;
      breakOn = {};
    } else if (c.name == "ftdi_write_data") {
      lastWrite = c.at;
      ++frames;
    } else if (c.name == "ftdi_usb_close") {
      EXPECT_GE(c.at - lastWrite, frameOnWire) << "closed with the last frame still going out";
    }
  }
  EXPECT_GT(frames, 10);
}

// The driver's calls made back to back, with no engine between them: the
// clock moves only when the driver waits, so its own drain before a break
// and before the close must show.
TEST_F(FtdiDriver, WaitsForTheLastFrameToLeaveBeforeABreakAndBeforeClosing) {
  world().adapters = {adapterWith("A10K3XQ9")};
  Adapter& t = ftdiAdapter();
  t.useClock(clock);
  FT_HANDLE h = nullptr;
  ASSERT_EQ(t.FT_OpenEx(const_cast<char*>("A10K3XQ9"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  std::uint8_t frame[76] = {0x91};
  for (int f = 0; f < 3; ++f) {
    FT_DWORD written = 0;
    ASSERT_EQ(t.FT_W32_SetCommBreak(h), 1) << t.lastError();
    ASSERT_EQ(t.FT_W32_ClearCommBreak(h), 1) << t.lastError();
    ASSERT_EQ(t.FT_Write(h, frame, sizeof frame, &written), FT_OK) << t.lastError();
  }
  ASSERT_EQ(t.FT_Close(h), FT_OK);

  // The frame's 76 bytes at 44 us each, and the adapter's slack to start them.
  const std::chrono::microseconds drain{76 * line_pace::kByteMicros + line_pace::kSettleMicros};
  std::vector<const Call*> breaks;
  for (const Call* c : callsNamed("ftdi_set_line_property2"))
    if (c->args.at(3) == BREAK_ON) breaks.push_back(c);
  const auto writes = callsNamed("ftdi_write_data");
  ASSERT_EQ(breaks.size(), 3u);
  ASSERT_EQ(writes.size(), 3u);
  for (std::size_t f = 1; f < 3; ++f)
    EXPECT_GE(breaks[f]->at - writes[f - 1]->at, drain) << "break " << f;
  EXPECT_GE(callsNamed("ftdi_usb_close").at(0)->at - writes.back()->at, drain);
}

TEST_F(FtdiDriver, OpensAnAdapterWithoutSerialByItsUsbPosition) {
  world().adapters = {adapterWith("", 2, {3, 1}), adapterWith("", 2, {3, 2})};
  chooseImage(everyByteImage(10));
  mainLine.wantedSerial = "usb:2-3.2 (no serial number)";
  ASSERT_EQ(runOn(ftdiAdapter(), profileV1_1), uploadDone);
  EXPECT_TRUE(logged("Opened device usb:2-3.2 (no serial number)"));
  const auto writes = callsNamed("ftdi_write_data");
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(world().opened, 0);
  // Opened the second one: the first never saw a write (both have serial "").
  EXPECT_EQ(world().detachModes.size(), 1u);
}

struct OpenFailure {
  const char* name;
  fake_ftdi::Adapter adapter;
  bool noAdapter;
  int findAllResult;
  std::vector<std::string> lines;  // log lines expected after "Readed file"
};

void PrintTo(const OpenFailure& f, std::ostream* os) { *os << f.name; }

fake_ftdi::Adapter failing(int openResult, int openErrno = 0, int baudResult = 0) {
  fake_ftdi::Adapter a = adapterWith("A10K3XQ9", 3, {2});
  a.address = 5;
  a.openResult = openResult;
  a.openErrno = openErrno;
  a.baudResult = baudResult;
  return a;
}

// The driver's own advice after the reason (not FTD2XX's lsmod and rmmod).
const char* const kLsmod =
    "Is the adapter plugged in? uploader-cli list --adapter ftdi shows what libftdi finds.";
const char* const kRmmod =
    "Without root it needs the udev rule of docs/adapters.md; close any other program using it.";

class FtdiOpenFailure : public FtdiDriver, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(FtdiOpenFailure, ReachesTheLogWithLibftdisWordsAndTheOperatorCannotConnect) {
  const OpenFailure& f = GetParam();
  if (!f.noAdapter) world().adapters = {f.adapter};
  world().findAllResult = f.findAllResult;
  chooseImage(everyByteImage(100));
  EXPECT_EQ(runOn(ftdiAdapter(), profileV1_2), uploadLinkFailed);
  auto lines = logLines();
  ASSERT_FALSE(lines.empty());
  lines.erase(lines.begin());  // "Readed file ..."
  EXPECT_EQ(lines, f.lines);
  ASSERT_GE(op.events.size(), 2u);
  EXPECT_EQ(op.events[op.events.size() - 2].text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_TRUE(callsNamed("ftdi_write_data").empty());
  expectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtdiOpenFailure,
    ::testing::Values(
        OpenFailure{"NoAdapter",
                    {},
                    true,
                    0,
                    {"Error FT_OpenEx(2), device 0",
                     "  ftdi: no FTDI adapter found on USB (is it plugged in?)", kLsmod, kRmmod}},
        OpenFailure{"ListingFails",
                    {},
                    true,
                    -5,
                    {"Error: FT_ListDevices(18)",
                     "  ftdi: ftdi_usb_find_all: libusb_get_device_list() failed"}},
        OpenFailure{"Busy",
                    failing(-5, EBUSY),
                    false,
                    0,
                    {"Error FT_OpenEx(3), device 0",
                     "  ftdi: ftdi_usb_open_dev: unable to claim usb device. Make sure the default "
                     "FTDI driver is not in use; another program holds the adapter (a second "
                     "uploader, a DMX program such as OLA or QLC+): close it and try again",
                     kLsmod, kRmmod}},
        OpenFailure{"PermissionDenied",
                    failing(-4, EACCES),
                    false,
                    0,
                    {"Error FT_OpenEx(3), device 0",
                     "  ftdi: ftdi_usb_open_dev: libusb_open() failed; no permission to use "
                     "/dev/bus/usb/003/005: install the udev rule from docs/adapters.md and plug "
                     "the adapter in again, or run as root",
                     kLsmod, kRmmod}},
        OpenFailure{"DetachRefused",
                    failing(-8, EPERM),
                    false,
                    0,
                    {"Error FT_OpenEx(3), device 0",
                     "  ftdi: ftdi_usb_open_dev: inappropriate permissions on device!; no "
                     "permission to use /dev/bus/usb/003/005: install the udev rule from "
                     "docs/adapters.md and plug the adapter in again, or run as root",
                     kLsmod, kRmmod}},
        OpenFailure{"UnpluggedWhileOpening",
                    failing(-4, ENODEV),
                    false,
                    0,
                    {"Error FT_OpenEx(3), device 0",
                     "  ftdi: ftdi_usb_open_dev: libusb_open() failed; the adapter is gone "
                     "(unplugged?)",
                     kLsmod, kRmmod}},
        OpenFailure{"BaudRateRefused",
                    failing(0, 0, -1),
                    false,
                    0,
                    {"Error FT_OpenEx(4), device 0",
                     "  ftdi: the adapter refused the DMX512 line settings: "
                     "ftdi_set_baudrate(250000): Unsupported baudrate. Note: bitbang baudrates "
                     "are automatically multiplied by 4",
                     kLsmod, kRmmod}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtdiDriver, UnpluggedMidUploadFailsTheUploadAndStillCloses) {
  world().adapters = {adapterWith("A10K3XQ9")};
  // Writes 1-10 carry the reset frame, 11-20 the first data frame (frame 2):
  // pulled out at the first send of frame 3.
  world().adapters[0].unplugAtWrite = 21;
  const std::string path = chooseImage(everyByteImage(200));
  address = 9;
  ASSERT_EQ(runOn(ftdiAdapter(), profileEarly), uploadLinkFailed);
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4], "Send failed at frame 3");
  // libftdi's reason for the failed write reaches the log.
  EXPECT_EQ(lines[lines.size() - 3].rfind("  ftdi: ", 0), 0u) << lines[lines.size() - 3];
  EXPECT_EQ(lines.back(), "Closed device A10K3XQ9");
  ASSERT_GE(op.events.size(), 2u);
  EXPECT_EQ(op.events[op.events.size() - 2].text,
            "UPLOAD FAILED!\n\n" + path + "\nAddress=9\nStopped at byte 64 of 200");
  EXPECT_EQ(callsNamed("ftdi_write_data").size(), 30u);
  expectAllReleased();
}

TEST_F(FtdiDriver, CallsOnAnUnpluggedAdapterFailAndSayWhy) {
  world().adapters = {adapterWith("A10K3XQ9")};
  world().adapters[0].unplugAtWrite = 2;
  Adapter& t = ftdiAdapter();
  FT_HANDLE h = nullptr;
  ASSERT_EQ(t.FT_OpenEx(const_cast<char*>("A10K3XQ9"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  std::uint8_t frame[76] = {0x91};
  FT_DWORD written = 0;
  EXPECT_EQ(t.FT_Write(h, frame, 76, &written), FT_OK);
  EXPECT_EQ(written, 76u);
  EXPECT_EQ(t.FT_Write(h, frame, 76, &written), FT_IO_ERROR);
  EXPECT_EQ(written, 0u);
  EXPECT_STREQ(t.lastError(),
               "ftdi_write_data: usb bulk write failed (was the adapter unplugged?)");
  EXPECT_EQ(t.FT_W32_SetCommBreak(h), 0);
  EXPECT_EQ(t.FT_W32_ClearCommBreak(h), 0);
  EXPECT_EQ(t.FT_Close(h), FT_IO_ERROR);
  expectAllReleased();
  // Opened by anything but serial number, or with an unknown serial: refused.
  EXPECT_NE(t.FT_OpenEx(const_cast<char*>("A10K3XQ9"), 2, &h), FT_OK);
  EXPECT_EQ(t.FT_OpenEx(const_cast<char*>("NOPE"), FT_OPEN_BY_SERIAL_NUMBER, &h),
            FT_DEVICE_NOT_FOUND);
  EXPECT_STREQ(t.lastError(), "no FTDI adapter \"NOPE\" among the 1 found");
  expectAllReleased();
}

}  // namespace
