#pragma once

#include <QProcess>
#include <string>

// The tests' private PulseAudio server (the PulseServer fixture). Tests that stop or restart
// it hold RESOURCE_LOCK PulseServer.

// Starts the server afresh; false when it does not answer.
bool StartPulseServer();
// Ends the server at once (SIGKILL), as a crash would.
void KillPulseServer();
// The server's socket address for PULSE_SERVER.
std::string PulseServerAddress();
// The recording device number of the server's 1 kHz sine source; -1 (and a test failure)
// when it is not listed.
int SineDevice();

// A 1 kHz tone played into the null sink by a low-latency client, so that the sink's monitor
// source delivers small fragments in real time, as a sound card does. Stops on destruction.
class TPacedTone {
public:
    TPacedTone();
    ~TPacedTone();
    TPacedTone(const TPacedTone&) = delete;
    TPacedTone& operator=(const TPacedTone&) = delete;
    bool Running() const { return FPlayer.state() == QProcess::Running; }

private:
    QProcess FPlayer;
};
