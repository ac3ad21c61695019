// Starting the upload worker on a thread of its own.
#pragma once

#include <windows.h>

// Starts a thread running program(); returns its handle, or null when no
// thread could be started.
using WorkerStarter = HANDLE (*)();

HANDLE startWorkerThread();

// Runs program() on a new detached thread. When the thread cannot be started
// the operator is told, and the controls (disabled by the caller) come back.
void startUpload(WorkerStarter start);
