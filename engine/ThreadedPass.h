// The flatting pass on worker threads: one band of rows per worker, with the
// host's thread reporting progress and passing on cancel while they run.
#pragma once

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PassSettings.h"
#include "engine/StripStop.h"

constexpr int kWorkerPollMs = 100;
// The worker count is held in a signed 8-bit value.
constexpr int kMaxWorkers = 127;

// Returns once every worker has ended, after a complete or cancelled pass.
// A failure of any worker, or of starting one, is rethrown here, and only
// after every worker already started has been stopped and joined: the host
// may release its buffers as soon as Start returns.
void RunThreadedPass(const SFlatImage& image, const SPassSettings& settings, CPassHost& host,
                     int workerCount);
