// Prepares a folder for the recording benchmark: the settings file (recordings under the
// folder, the given capture device, automatic recording on) and a database whose weekly
// schedule names one WAV 48 kHz stereo preset in every hour.
#include "base/uConfig.h"
#include "data/uData.h"

#include <QCoreApplication>
#include <cstdio>
#include <exception>

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    if (Argc != 3) {
        std::fprintf(stderr, "usage: control_bench_setup <folder> <device number>\n");
        return 2;
    }
    const QString Folder = QString::fromLocal8Bit(Argv[1]);
    try {
        TConfig Settings(Folder);
        Settings.SetRootFolder(Folder + QStringLiteral("/Opnames"));
        Settings.SetDatabasePath(Folder + QStringLiteral("/Vantor2026.sqlite"));
        Settings.SetRecordDevice(QString::fromLocal8Bit(Argv[2]).toInt());
        Settings.SetAutoRecord(true);
        Settings.Save();
        TLogData Data(Settings.DatabasePath());
        TPreset P;
        P.Name = QStringLiteral("WAV 48 kHz Stereo");
        P.Format = afWAV;
        P.SampleRate = 48000;
        P.Channels = 2;
        const int32_t Id = Data.AddPreset(P);
        for (int Day = 1; Day <= 7; ++Day)
            for (int Hour = 0; Hour < 24; ++Hour)
                Data.SetSchedulePreset(Day, Hour, Id);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
