// A tap on the adapter table: every call goes through to the real driver,
// and each packet the driver accepts is also written to a capture.
#pragma once

#include "cli/capture_writer.h"
#include "engine/adapter_table.h"

// The tap around `inner`, writing to `writer`. One tap at a time: a second
// call redirects the first.
const AdapterTable& captureTap(const AdapterTable& inner, CaptureWriter& writer);
