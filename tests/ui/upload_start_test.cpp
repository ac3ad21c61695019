// Starting the upload worker from "Program": the thread runs the upload, and
// a thread that cannot be started does not leave the controls disabled.
#include "ui/upload_start.h"

#include <windows.h>

#include "engine/state.h"
#include "profiles/profiles.h"
#include "tests/support/upload_harness.h"

namespace {

HANDLE noThread() { return nullptr; }

HANDLE started = nullptr;  // a second handle to the worker, to wait for it

HANDLE startAndKeep() {
  HANDLE worker = startWorkerThread();
  if (worker != nullptr)
    DuplicateHandle(GetCurrentProcess(), worker, GetCurrentProcess(), &started, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  return worker;
}

TEST_F(UploadTest, ThreadThatCannotStartGivesTheControlsBack) {
  selectProfile(profileV1_2);
  startUpload(noThread);
  ASSERT_EQ(op.events.size(), 2u);
  EXPECT_EQ(op.events[0].kind, OperatorEvent::error);
  EXPECT_EQ(op.events[0].text, "CANNOT START UPLOAD");
  EXPECT_EQ(op.events[1].kind, OperatorEvent::enable);
  EXPECT_TRUE(record().empty());
}

TEST_F(UploadTest, WorkerRunsTheUploadOnItsOwnThread) {
  selectProfile(profileV1_2);
  started = nullptr;
  startUpload(startAndKeep);
  ASSERT_NE(started, nullptr);
  ASSERT_EQ(WaitForSingleObject(started, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(started, &code);
  CloseHandle(started);
  EXPECT_EQ(static_cast<int>(code), -1);  // no file chosen
  ASSERT_EQ(op.events.size(), 2u);
  EXPECT_EQ(op.events[0].text, "FILE NOT SELECTED!");
  EXPECT_EQ(op.events[1].kind, OperatorEvent::enable);
}

}  // namespace
