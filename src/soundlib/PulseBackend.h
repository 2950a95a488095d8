#pragma once

#include "soundlib/CaptureBackend.h"

#include <memory>

namespace soundlib {

// Captures from the PulseAudio server (or PipeWire's PulseAudio service) named by the usual
// client settings (PULSE_SERVER, client.conf). Devices are the server's sources in index
// order, monitors included; -1 is the server's default source.
std::unique_ptr<TCaptureBackend> CreatePulseBackend();

} // namespace soundlib
