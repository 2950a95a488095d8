#pragma once

#include "support/AudioCheck.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>
#include <vector>

// Tone files to play and a recording of what the tests' PulseAudio server plays: its default
// sink is the null sink, whose monitor carries it.

inline constexpr int ToneRate = 44100;

// A 16-bit stereo WAV holding the tones {frequency, seconds} one after the other.
inline void WriteToneWav(const QString& Path,
                         std::initializer_list<std::pair<double, double>> Tones) {
    std::vector<int16_t> Samples;
    for (const auto& [Hz, Seconds] : Tones)
        for (int I = 0; I < int(Seconds * ToneRate); ++I) {
            const auto Sample = int16_t(16000 * std::sin(2 * std::numbers::pi * Hz * I / ToneRate));
            Samples.insert(Samples.end(), {Sample, Sample});
        }
    SF_INFO Info{};
    Info.samplerate = ToneRate;
    Info.channels = 2;
    Info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* File = sf_open(QFile::encodeName(Path).constData(), SFM_WRITE, &Info);
    ASSERT_TRUE(File) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_short(File, Samples.data(), sf_count_t(Samples.size() / 2)),
              sf_count_t(Samples.size() / 2));
    sf_close(File);
}

// The last Seconds of Audio.
inline TDecodedAudio Tail(const TDecodedAudio& Audio, double Seconds) {
    TDecodedAudio Last{Audio.Channels, Audio.Rate, {}};
    const size_t Count =
        std::min(Audio.Samples.size(), size_t(Seconds * Audio.Rate) * Audio.Channels);
    Last.Samples.assign(Audio.Samples.end() - Count, Audio.Samples.end());
    return Last;
}

inline double Level(const TDecodedAudio& Audio) {
    double Sum = 0;
    for (float S : Audio.Samples)
        Sum += S * S;
    return Audio.Samples.empty() ? 0 : std::sqrt(Sum / Audio.Samples.size());
}

// Records the null sink's monitor, where the player's sound goes, while the object lives or
// until Stop.
class TMonitorRecording {
public:
    explicit TMonitorRecording(const QString& Path) : FPath(Path) {
        FRecorder.start("parecord", {"--device=vantor_null.monitor", "--latency-msec=20",
                                     "--file-format=wav", "--rate=44100", "--channels=2", Path});
        // Returns once the first tenth of a second arrived.
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo(Path).size() > 44 + ToneRate * 4 / 10; },
                              std::chrono::seconds(3)));
    }
    ~TMonitorRecording() { Stop(); }

    // Stops recording; what was heard.
    TDecodedAudio Stop() {
        FRecorder.terminate();
        FRecorder.waitForFinished(3000);
        return DecodeAudioFile(QFile::encodeName(FPath).toStdString()).value_or(TDecodedAudio{});
    }

private:
    QString FPath;
    QProcess FRecorder;
};

// Writes Seconds of a 1 kHz tone into Folder as Stem.wav, and encodes it to Stem.mp3, Stem.ogg
// and Stem.opus with lame, oggenc and opusenc; the four paths, or none when an encoder failed.
inline QStringList WriteToneInEachFormat(const QString& Folder, const QString& Stem,
                                         double Seconds) {
    const QString Base = Folder + u'/' + Stem;
    const QString Wav = Base + QStringLiteral(".wav");
    WriteToneWav(Wav, {{1000, Seconds}});
    const bool Encoded =
        QProcess::execute("lame", {"--quiet", "-b", "128", Wav, Base + ".mp3"}) == 0 &&
        QProcess::execute("oggenc", {"--quiet", "-b", "96", "-o", Base + ".ogg", Wav}) == 0 &&
        QProcess::execute("opusenc", {"--quiet", "--bitrate", "64", Wav, Base + ".opus"}) == 0;
    EXPECT_TRUE(Encoded);
    return Encoded ? QStringList{Wav, Base + ".mp3", Base + ".ogg", Base + ".opus"} : QStringList();
}
