#pragma once

#include <QProcess>
#include <string>
#include <sys/types.h>

// The tests' private PulseAudio server (the PulseServer fixture). Tests that stop or restart
// it hold RESOURCE_LOCK PulseServer.

// Starts the server afresh; false when it does not answer.
bool StartPulseServer();
// Ends the server at once (SIGKILL), as a crash would.
void KillPulseServer();
// The server's process id; 0 when it does not run.
pid_t PulseServerPid();
// The server's socket address for PULSE_SERVER.
std::string PulseServerAddress();
// The recording device number of the server's 1 kHz sine source; -1 (and a test failure)
// when it is not listed.
int SineDevice();
// The recording device number of the null sink's monitor (the program's device setting),
// looked up with the sound library initialised for the call; -1 (and a test failure) when it
// is not listed.
int MonitorDevice();
// The device number of the source the server calls Name (for example
// "vantor_null.monitor"), or -2. Needs an initialised sound library.
int DeviceNamed(const std::string& Name);

// A 1 kHz tone played into the null sink by a low-latency client, so that the sink's monitor
// source delivers small fragments in real time, as a sound card does. Stops on destruction.
class TPacedTone {
public:
    // Settle: returns only once the sink delivers evenly, about 2 s after the start.
    explicit TPacedTone(bool Settle = true);
    ~TPacedTone();
    TPacedTone(const TPacedTone&) = delete;
    TPacedTone& operator=(const TPacedTone&) = delete;
    bool Running() const { return FPlayer.state() == QProcess::Running; }

private:
    QProcess FPlayer;
};

// Stops the server's process (SIGSTOP) while the object lives, as a server that hangs: its
// clients stay connected and get neither audio nor answers. Continues it (SIGCONT) at the
// latest on destruction, so that a failing test never leaves it stopped.
class THungPulseServer {
public:
    THungPulseServer();
    ~THungPulseServer() { Continue(); }
    THungPulseServer(const THungPulseServer&) = delete;
    THungPulseServer& operator=(const THungPulseServer&) = delete;

    bool Hung() const { return FPid > 0; }
    void Continue();

private:
    pid_t FPid;
};
