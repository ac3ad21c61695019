// Whole uploads on the virtual clock: every adapter call, every pause and
// every operator event, in order, for each profile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/upload_harness.h"

namespace {

using sim::Call;

struct Expectation {
  const ReleaseProfile* profile;
  std::uint16_t resetAddress;
  unsigned extraFrames;  // how many first data frames get 30 extra sends
};

// The adapter calls and pauses one upload must make, worked out from the
// protocol rather than from the engine.
struct Trace {
  std::vector<Call> calls;
  std::vector<unsigned> pauses;
  std::vector<std::int32_t> positions;
};

Trace expectedTrace(std::size_t n, unsigned extraFrames, unsigned pace) {
  Trace t;
  t.calls = {Call::list, Call::open, Call::setBaudRate, Call::setDataCharacteristics,
             Call::escapeCommFunction};
  auto send = [&](unsigned p) {
    t.calls.insert(t.calls.end(), {Call::setBreak, Call::clearBreak, Call::write});
    t.pauses.push_back(p);
  };
  for (int i = 0; i < 10; ++i) send(10);
  t.pauses.push_back(1000);
  const std::size_t frames = (n + 63) / 64;
  if (n != 0) t.positions.push_back(0);
  for (std::size_t j = 0; j < frames; ++j) {
    const unsigned sends = j < extraFrames ? 40 : 10;
    for (unsigned i = 0; i < sends; ++i) send(pace);
    t.positions.push_back(static_cast<std::int32_t>(std::min(n, (j + 1) * 64)));
  }
  t.calls.push_back(Call::close);
  return t;
}

void PrintTo(const Expectation& e, std::ostream* os) { *os << e.profile->id; }

class ProfileUpload : public UploadTest, public ::testing::WithParamInterface<Expectation> {};

TEST_P(ProfileUpload, SmallImageToAddress7FollowsTheProtocol) {
  const Expectation e = GetParam();
  const auto image = patternImage(130);  // three frames, the last 2 bytes long
  const std::string path = chooseImage(image);
  address = 7;
  ASSERT_EQ(run(*e.profile), uploadDone);

  const Trace want = expectedTrace(image.size(), e.extraFrames, 50);
  std::vector<Call> calls;
  for (const auto& r : record()) calls.push_back(r.call);
  EXPECT_EQ(calls, want.calls);
  EXPECT_EQ(clock.pauses, want.pauses);

  // Line set-up: 250 000 baud, 8N2, RTS cleared, opened by serial.
  const auto& rec = record();
  EXPECT_EQ(rec[0].args[0], 0x20000001u);
  EXPECT_EQ(rec[1].text, "SIM00001");
  EXPECT_EQ(rec[1].args[0], 1u);
  EXPECT_EQ(rec[2].args[0], 250000u);
  EXPECT_EQ((std::vector<std::uint32_t>{rec[3].args[0], rec[3].args[1], rec[3].args[2]}),
            (std::vector<std::uint32_t>{8, 2, 0}));
  EXPECT_EQ(rec[4].args[0], 4u);

  // Every write is one whole frame; reset frames first, then data frames
  // carrying the image at sequence * 64 with increasing sequence numbers.
  const auto w = writes();
  std::size_t at = 0;
  for (; at < 10; ++at) {
    const auto& b = w[at]->bytes;
    ASSERT_EQ(b.size(), 76u);
    EXPECT_EQ(b[3], 0xFF);
    EXPECT_EQ(b[4] | b[5] << 8, e.resetAddress);
    EXPECT_EQ(b[8] | b[9] << 8, 0);
  }
  for (std::size_t frame = 0; frame < 3; ++frame) {
    const unsigned sends = frame < e.extraFrames ? 40 : 10;
    for (unsigned s = 0; s < sends; ++s, ++at) {
      const auto& b = w[at]->bytes;
      ASSERT_EQ(b.size(), 76u);
      ASSERT_EQ(b[0], 0x91);
      ASSERT_EQ(b[3], 0xFE);
      ASSERT_EQ(b[4] | b[5] << 8, 0xFFFF);
      ASSERT_EQ(b[8] | b[9] << 8, static_cast<int>(frame));
      for (std::size_t i = 0; i < 64; ++i) {
        const std::size_t src = frame * 64 + i;
        ASSERT_EQ(b[10 + i], src < image.size() ? image[src] : 0)
            << "frame " << frame << " i " << i;
      }
      ASSERT_EQ(b[74] | b[75] << 8, get_CRC(b.data(), 74));
    }
  }
  EXPECT_EQ(at, w.size());

  // Each send follows the previous one by the pace (virtual time).
  for (std::size_t i = 1; i < 10; ++i) EXPECT_EQ(w[i]->micros - w[i - 1]->micros, 10'000);
  EXPECT_EQ(w[10]->micros - w[9]->micros, 1'010'000);
  for (std::size_t i = 11; i < w.size(); ++i) ASSERT_EQ(w[i]->micros - w[i - 1]->micros, 50'000);

  // The operator: range, positions, the closing box, and the controls last.
  std::vector<std::int32_t> positions;
  for (const auto& ev : op.events)
    if (ev.kind == OperatorEvent::position) positions.push_back(ev.value);
  EXPECT_EQ(positions, want.positions);
  ASSERT_GE(op.events.size(), 3u);
  EXPECT_EQ(op.events.front().kind, OperatorEvent::range);
  EXPECT_EQ(op.events.front().value, 130);
  EXPECT_EQ(op.events[op.events.size() - 2].kind, OperatorEvent::info);
  EXPECT_EQ(op.events[op.events.size() - 2].text, "\nDONE\n\n" + path + "\nAddress=7");
  EXPECT_EQ(op.events.back().kind, OperatorEvent::enable);

  EXPECT_EQ(logLines(), (std::vector<std::string>{
                            "Readed file \"" + path + "\" 130B",
                            "Opened device SIM00001",
                            "Send reset with address " + std::to_string(e.resetAddress),
                            "Sending data",
                            "Closed device SIM00001",
                        }));
  EXPECT_EQ(clock.begins, 1);
  EXPECT_EQ(clock.ends, 1);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfileUpload,
                         ::testing::Values(Expectation{&profileV1_2, 0xFFFF, 2},
                                           Expectation{&profileV1_1, 7, 2},
                                           Expectation{&profileEarly, 7, 0}),
                         [](const auto& info) {
                           std::string id = info.param.profile->id;
                           std::replace(id.begin(), id.end(), '.', '_');
                           return id;
                         });

TEST_F(UploadTest, FastModeShortensOnlyTheDataPace) {
  chooseImage(patternImage(200));
  checked = true;
  ASSERT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(clock.pauses, expectedTrace(200, 2, 11).pauses);
}

TEST_F(UploadTest, ImageSizesAtTheFrameBoundaries) {
  struct Case {
    std::size_t size;
    std::size_t frames;
  };
  for (Case c : {Case{1, 1}, Case{64, 1}, Case{65, 2}, Case{128, 2}, Case{65535, 1024}}) {
    SCOPED_TRACE("size " + std::to_string(c.size));
    resetSimulated();
    op.events.clear();
    clock.pauses.clear();
    const auto image = patternImage(c.size);
    chooseImage(image);
    ASSERT_EQ(run(profileEarly), uploadDone);
    const auto w = writes();
    ASSERT_EQ(w.size(), 10 + c.frames * 10);
    const auto& last = w.back()->bytes;
    EXPECT_EQ(last[8] | last[9] << 8, static_cast<int>(c.frames - 1));
    const std::size_t tail = c.size - (c.frames - 1) * 64;
    for (std::size_t i = 0; i < 64; ++i)
      ASSERT_EQ(last[10 + i], i < tail ? image[(c.frames - 1) * 64 + i] : 0) << i;
    EXPECT_EQ(op.events.front().value, static_cast<std::int32_t>(c.size));
    EXPECT_LE(fw_ptr, fw_size);
    EXPECT_EQ(fw_ptr, static_cast<std::int32_t>(c.size));
  }
}

TEST_F(UploadTest, EmptyFileSendsTheResetBurstOnlyAndLeavesProgressAlone) {
  const std::string path = chooseImage({});
  ASSERT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(writes().size(), 10u);
  EXPECT_EQ(clock.pauses, expectedTrace(0, 2, 50).pauses);
  ASSERT_EQ(op.events.size(), 2u);
  EXPECT_EQ(op.events[0].kind, OperatorEvent::info);
  EXPECT_EQ(op.events[0].text, "\nDONE\n\n" + path + "\nAddress=1");
  EXPECT_EQ(op.events[1].kind, OperatorEvent::enable);
  EXPECT_NE(log.find("Sending data\n"), std::string::npos);
}

TEST_F(UploadTest, TwoAdaptersUseTheFirstListedOrTheWantedSerial) {
  chooseImage(patternImage(10));
  simulated().settings().serials = {"FIRST001", "SECOND02"};
  ASSERT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(record()[1].text, "FIRST001");

  resetSimulated();
  simulated().settings().serials = {"FIRST001", "SECOND02"};
  mainLine.wantedSerial = "SECOND02";
  ASSERT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(record()[1].text, "SECOND02");
  EXPECT_NE(log.find("Closed device SECOND02\n"), std::string::npos);
  mainLine.wantedSerial = nullptr;
}

TEST_F(UploadTest, LongPathsAreFormattedWithinBounds) {
  // The longest path the buffer holds: 259 characters.
  const std::string name(kPathCapacity - 1 - dir.size() - 1, 'n');
  const std::string path = chooseImage(patternImage(3), name.c_str());
  ASSERT_EQ(path.size(), kPathCapacity - 1);
  ASSERT_EQ(run(profileV1_2), uploadDone);
  EXPECT_EQ(op.events[op.events.size() - 2].text, "\nDONE\n\n" + path + "\nAddress=1");
}

}  // namespace

namespace {

TEST_F(UploadTest, VerboseLogsEachFramesFirstSend) {
  chooseImage(patternImage(100));
  mainLine.verbose = true;
  const int result = run(profileV1_2);
  mainLine.verbose = false;
  ASSERT_EQ(result, uploadDone);
  // After the reset burst (100 ms) and the pause (1 s); the first frame gets 40 sends 50 ms apart.
  const std::vector<std::string> want = {"Frame 1 (reset): first send at 0 ms",
                                         "Frame 2 (bytes 0-63): first send at 1100 ms",
                                         "Frame 3 (bytes 64-99): first send at 3100 ms"};
  std::vector<std::string> got;
  for (const std::string& l : logLines())
    if (l.find("first send") != std::string::npos) got.push_back(l);
  EXPECT_EQ(got, want) << log;
}

}  // namespace
