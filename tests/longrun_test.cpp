// Many uploads in one process must not grow the heap or leak descriptors:
// a production line runs the uploader all day.
#include <gtest/gtest.h>
#include <malloc.h>

#include <filesystem>

#include "engine/program.h"
#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/upload_harness.h"

namespace {

std::size_t openDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

TEST_F(UploadTest, TwoHundredUploadsLeaveHeapAndDescriptorsAsTheyWere) {
  simulated().settings().keepRecord = false;
  chooseImage(patternImage(1000));
  const ReleaseProfile* profiles[] = {&profileV1_2, &profileV1_1, &profileEarly};
  auto uploadOnce = [&](int i) {
    op.events.clear();
    clock.pauses.clear();
    checked = (i % 2) == 0;
    // Every fifth upload fails somewhere, so the failure paths run too.
    simulated().settings().failOpen = (i % 5) == 3;
    return run(*profiles[i % 3]);
  };
  for (int i = 0; i < 10; ++i) uploadOnce(i);  // warm up buffers and the log capture
  const std::size_t heap = heapInUse();
  const std::size_t fds = openDescriptors();
  for (int i = 0; i < 200; ++i) {
    const int result = uploadOnce(i);
    ASSERT_EQ(result, (i % 5) == 3 ? uploadLinkFailed : uploadDone) << "upload " << i;
  }
  EXPECT_EQ(openDescriptors(), fds);
  // Allow for allocator bookkeeping, not for growth with the upload count.
  EXPECT_LE(heapInUse(), heap + 64 * 1024);
}

}  // namespace
