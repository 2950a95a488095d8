#include "support/PulseTestServer.h"

#include "audio/DeviceList.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

bool StartPulseServer() {
    const std::string Command =
        std::string(VANTOR_PULSE_SCRIPT) + " start " + VANTOR_TEST_PULSE_DIR + " >/dev/null 2>&1";
    return std::system(Command.c_str()) == 0;
}

void KillPulseServer() {
    QFile PidFile(QStringLiteral(VANTOR_TEST_PULSE_DIR "/runtime/pid"));
    if (!PidFile.open(QIODevice::ReadOnly))
        return;
    const pid_t Pid = PidFile.readAll().trimmed().toInt();
    if (Pid <= 0 || ::kill(Pid, SIGKILL) != 0)
        return;
    for (int I = 0; I < 100 && ::kill(Pid, 0) == 0; ++I)
        QThread::msleep(20);
}

std::string PulseServerAddress() {
    return std::string("unix:") + VANTOR_TEST_PULSE_DIR + "/native";
}

int SineDevice() {
    TDeviceList Devices;
    ListRecordDevices(Devices);
    for (const TDeviceEntry& D : Devices)
        if (D.Text.contains(QStringLiteral("sine"), Qt::CaseInsensitive))
            return D.Value;
    ADD_FAILURE() << "no sine source among " << Devices.size() << " devices";
    return -1;
}

TPacedTone::TPacedTone() {
    // Its own process group, so that both ends of the pipe stop together.
    FPlayer.setChildProcessModifier([] { ::setpgid(0, 0); });
    FPlayer.start("sh", {"-c", "sox -q -n -t raw -r 44100 -c 2 -b 16 -e signed-integer - "
                               "synth 3600 sine 1000 vol 0.5 | "
                               "pacat --latency-msec=20 --raw --rate=44100 --channels=2 "
                               "--format=s16le -d vantor_null"});
    FPlayer.waitForStarted();
    // The sink needs a moment before its monitor delivers evenly.
    QThread::msleep(2000);
}

TPacedTone::~TPacedTone() {
    if (FPlayer.processId() > 0)
        ::kill(-static_cast<pid_t>(FPlayer.processId()), SIGTERM);
    FPlayer.waitForFinished(3000);
}
