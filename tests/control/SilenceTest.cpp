#include "support/Presets.h"
#include "support/RecordingFixture.h"

#include <QElapsedTimer>
#include <QThread>
#include <cmath>
#include <numbers>

namespace {

// A stretch of a 1 kHz tone with the given peak in each channel (fraction of full scale).
struct TStretch {
    double Seconds;
    double Left;
    double Right;
};

// The stretches one after another; the last one goes on for ever.
soundlib::TScriptedSignal Stretches(std::vector<TStretch> List) {
    return [List](uint64_t Pos, int16_t* Out, uint32_t Frames, uint32_t Rate,
                  uint32_t Channels) -> uint32_t {
        for (uint32_t F = 0; F < Frames; ++F) {
            const double T = static_cast<double>(Pos + F) / Rate;
            const TStretch* Now = &List.back();
            double End = 0;
            for (const TStretch& S : List)
                if (T < (End += S.Seconds)) {
                    Now = &S;
                    break;
                }
            const double Wave = std::sin(2 * std::numbers::pi * 1000 * T);
            for (uint32_t C = 0; C < Channels; ++C)
                Out[F * Channels + C] = static_cast<int16_t>(
                    std::lround((C == 0 ? Now->Left : Now->Right) * 32767 * Wave));
        }
        return Frames;
    };
}

double DbFs(double Db) {
    return std::pow(10.0, Db / 20);
}

class Silence : public testing::Test, public TRecordingFixture {};

} // namespace

// Eight seconds of input, played four times as fast, against a 3-second silence limit at
// -50 dBFS: only input that stays below the level on every channel for the whole limit is
// silence, and it ends once sound returns.
TEST_F(Silence, OnlyEveryChannelBelowTheLevelForTheWholeTimeIsSilence) {
    constexpr double Loud = 0.5;
    const struct {
        const char* Name;
        std::vector<TStretch> Input;
        int32_t SilenceSeconds;
        QStringList Events;
    } Cases[] = {
        {"shorter than the limit", {{1, Loud, Loud}, {2.5, 0, 0}, {1, Loud, Loud}}, 3, {}},
        {"just above the level", {{1, DbFs(-49), DbFs(-49)}}, 3, {}},
        {"one channel silent", {{1, Loud, 0}}, 3, {}},
        {"detection off", {{1, 0, 0}}, 0, {}},
        {"just below the level, then sound",
         {{1, Loud, Loud}, {5, DbFs(-51), DbFs(-51)}, {1, Loud, Loud}},
         3,
         {"begin", "einde"}},
    };
    TPreset Stereo = Preset(afWAV, 8000, 2);
    Stereo.Name = QStringLiteral("WAV 8 kHz Stereo");
    Stereo.Id = Data->AddPreset(Stereo);
    ScheduleAll(Stereo.Id);
    constexpr double Speed = 4;
    for (const auto& C : Cases) {
        Config->SetAlarm({C.SilenceSeconds, -50, QString(), false});
        soundlib::TScript Script;
        Script.Signal = Stretches(C.Input);
        Script.Speed = Speed;
        soundlib::InstallScriptedBackend(Script);
        const QDateTime Start = Amsterdam("2026-03-05T12:20:00Z");
        Now = Start;
        TRecordingController Controller(*Config, Data, Clock());
        QStringList Events;
        QString Ended;
        QObject::connect(&Controller, &TRecordingController::TroubleBegan, [&](const TTrouble& T) {
            if (T.Kind == TTroubleKind::Silence)
                Events << "begin";
        });
        QObject::connect(&Controller, &TRecordingController::TroubleEnded, [&](const TTrouble& T) {
            if (T.Kind != TTroubleKind::Silence)
                return;
            Events << "einde";
            Ended = TroubleEndText(T);
        });
        Controller.Startup();
        ASSERT_TRUE(Controller.IsRecording()) << C.Name;
        QElapsedTimer Real;
        Real.start();
        while (Real.elapsed() < 8000 / Speed) {
            QThread::msleep(25);
            Now = Start.addMSecs(static_cast<int64_t>(Real.elapsed() * Speed));
            Controller.TimerClockTimer();
        }
        Controller.Shutdown();
        EXPECT_EQ(Events, C.Events) << C.Name;
        if (!C.Events.isEmpty()) {
            EXPECT_TRUE(Ended.startsWith("Stilte sinds 13:20:0") && Ended.contains(": voorbij na"))
                << Ended.toStdString();
        }
    }
}
