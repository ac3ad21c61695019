#include "ui/upload_start.h"

#include "engine/operator.h"
#include "engine/program.h"
#include "engine/state.h"

namespace {

DWORD WINAPI uploadWorker(LPVOID) { return static_cast<DWORD>(program()); }

}  // namespace

HANDLE startWorkerThread() { return CreateThread(nullptr, 0, uploadWorker, nullptr, 0, nullptr); }

void startUpload(WorkerStarter start) {
  HANDLE worker = start();
  if (worker == nullptr) {
    // Like every box of the worker: shown first, the controls come back once
    // it is closed.
    messageErr(mainLine, "CANNOT START UPLOAD");
    componentEnable(mainLine, true);
    return;
  }
  // Nothing waits for the worker; it ends by itself.
  CloseHandle(worker);
}
