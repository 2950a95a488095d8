#include "support/PulseTestServer.h"

#include "soundlib/bass.h"

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

pid_t PulseServerPid() {
    QFile PidFile(QStringLiteral(VANTOR_TEST_PULSE_DIR "/runtime/pid"));
    if (!PidFile.open(QIODevice::ReadOnly))
        return 0;
    const pid_t Pid = PidFile.readAll().trimmed().toInt();
    return Pid > 0 && ::kill(Pid, 0) == 0 ? Pid : 0;
}

void KillPulseServer() {
    const pid_t Pid = PulseServerPid();
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

int MonitorDevice() {
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    const int Monitor = DeviceNamed("vantor_null.monitor");
    BASS_Free();
    EXPECT_GE(Monitor, 0) << "no monitor of the null sink";
    return Monitor < 0 ? -1 : Monitor;
}

int DeviceNamed(const std::string& Name) {
    BASS_DEVICEINFO Info{};
    for (DWORD I = 0; BASS_RecordGetDeviceInfo(I, &Info); ++I)
        if (Info.driver == Name)
            return int(I);
    return -2;
}

TPacedTone::TPacedTone(bool Settle) {
    // Its own process group, so that both ends of the pipe stop together.
    FPlayer.setChildProcessModifier([] { ::setpgid(0, 0); });
    FPlayer.start("sh", {"-c", "sox -q -n -t raw -r 44100 -c 2 -b 16 -e signed-integer - "
                               "synth 3600 sine 1000 vol 0.5 | "
                               "pacat --latency-msec=20 --raw --rate=44100 --channels=2 "
                               "--format=s16le -d vantor_null"});
    FPlayer.waitForStarted();
    // The sink needs a moment before its monitor delivers evenly.
    if (Settle)
        QThread::msleep(2000);
}

TPacedTone::~TPacedTone() {
    if (FPlayer.processId() > 0)
        ::kill(-static_cast<pid_t>(FPlayer.processId()), SIGTERM);
    FPlayer.waitForFinished(3000);
}

THungPulseServer::THungPulseServer() : FPid(PulseServerPid()) {
    if (FPid > 0 && ::kill(FPid, SIGSTOP) != 0)
        FPid = 0;
}

void THungPulseServer::Continue() {
    if (FPid > 0)
        ::kill(FPid, SIGCONT);
    FPid = 0;
}
