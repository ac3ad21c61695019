// The console's event log: numbered events held for the pages that listen,
// replayed after a reconnection, and a reload for a page that fell behind.
#include "console/event_log.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using std::chrono::milliseconds;

std::vector<std::uint64_t> ids(const std::vector<ConsoleEvent>& events) {
  std::vector<std::uint64_t> out;
  for (const ConsoleEvent& e : events) out.push_back(e.id);
  return out;
}

TEST(EventLog, NumbersEventsInOrderAndReadsOnFromWhereAClientWas) {
  EventLog log(16);
  EXPECT_EQ(log.newest(), 0u);
  EXPECT_EQ(log.publish("line", "{\"a\":1}"), 1u);
  EXPECT_EQ(log.publish("progress", "{\"a\":2}"), 2u);
  EXPECT_EQ(log.publish("result", "{\"a\":3}"), 3u);
  std::uint64_t at = 0;
  const std::vector<ConsoleEvent> all = log.after(at, 100, milliseconds(0));
  EXPECT_EQ(ids(all), (std::vector<std::uint64_t>{1, 2, 3}));
  EXPECT_EQ(all[1].type, "progress");
  EXPECT_EQ(all[1].data, "{\"a\":2}");
  EXPECT_EQ(at, 3u);
  EXPECT_TRUE(log.after(at, 100, milliseconds(0)).empty());
}

TEST(EventLog, AReconnectionWithTheLastIdMissesNothingStillHeld) {
  EventLog log(16);
  for (int i = 0; i < 10; ++i) log.publish("progress", "{}");
  std::uint64_t lastSeen = 6;  // Last-Event-ID: 6
  EXPECT_EQ(ids(log.after(lastSeen, 100, milliseconds(0))),
            (std::vector<std::uint64_t>{7, 8, 9, 10}));
}

TEST(EventLog, AtMostTheAskedNumberAtOnceTheRestNextTime) {
  EventLog log(16);
  for (int i = 0; i < 5; ++i) log.publish("log", "{}");
  std::uint64_t at = 0;
  EXPECT_EQ(ids(log.after(at, 2, milliseconds(0))), (std::vector<std::uint64_t>{1, 2}));
  EXPECT_EQ(ids(log.after(at, 2, milliseconds(0))), (std::vector<std::uint64_t>{3, 4}));
  EXPECT_EQ(ids(log.after(at, 2, milliseconds(0))), (std::vector<std::uint64_t>{5}));
}

TEST(EventLog, AClientFallenBehindTheHeldEventsIsToldToReload) {
  EventLog log(4);
  for (int i = 0; i < 10; ++i) log.publish("progress", "{}");  // 7..10 held
  std::uint64_t at = 5;                                        // 6 is gone
  const std::vector<ConsoleEvent> got = log.after(at, 100, milliseconds(0));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, "reload");
  EXPECT_EQ(at, 10u);  // goes on from the newest
  log.publish("line", "{}");
  EXPECT_EQ(ids(log.after(at, 100, milliseconds(0))), (std::vector<std::uint64_t>{11}));
  // Exactly the oldest held one missing is no loss.
  std::uint64_t edge = 7;  // 8..11 held
  EXPECT_EQ(ids(log.after(edge, 100, milliseconds(0))), (std::vector<std::uint64_t>{8, 9, 10, 11}));
}

TEST(EventLog, AnIdFromAnotherRunOfTheConsoleReloads) {
  EventLog log(4);
  log.publish("line", "{}");
  std::uint64_t at = 500;
  const std::vector<ConsoleEvent> got = log.after(at, 100, milliseconds(0));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, "reload");
  EXPECT_EQ(at, 1u);
}

TEST(EventLog, PublishingNeverWaitsForAReaderThatDoesNotRead) {
  EventLog log(8);
  // Nobody reads: a thousand events go in at once all the same.
  for (int i = 0; i < 1000; ++i) log.publish("progress", "{}");
  EXPECT_EQ(log.newest(), 1000u);
}

TEST(EventLog, AWaitingReaderWakesOnAnEventAndOnClose) {
  EventLog log(8);
  std::uint64_t at = 0;
  std::thread later([&log] {
    std::this_thread::sleep_for(milliseconds(20));
    log.publish("line", "{}");
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ids(log.after(at, 10, milliseconds(5000))), (std::vector<std::uint64_t>{1}));
  EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(4000));
  later.join();
  std::thread closer([&log] {
    std::this_thread::sleep_for(milliseconds(20));
    log.close();
  });
  EXPECT_TRUE(log.after(at, 10, milliseconds(5000)).empty());
  EXPECT_TRUE(log.closed());
  closer.join();
}

TEST(EventLog, WrittenAsServerSentEvents) {
  EXPECT_EQ(sseText({7, "line", "{\"line\":0}"}), "id: 7\nevent: line\ndata: {\"line\":0}\n\n");
}

}  // namespace
