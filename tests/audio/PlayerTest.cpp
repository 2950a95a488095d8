#include "soundlib/CaptureHelpers.h"
#include "support/AudioCheck.h"
#include "support/PulseTestServer.h"
#include "support/ToneFiles.h"
#include "support/WaitUntil.h"

#include "audio/Player.h"
#include "soundlib/bass.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <thread>
#include <unistd.h>

// Plays files through the tests' private PulseAudio server (the PulseServer fixture), whose
// default sink is the null sink: its monitor carries what the player plays.

using namespace std::chrono_literals;

namespace {

// Sets PULSE_SERVER for the lifetime of the object.
class TServerAddress {
public:
    explicit TServerAddress(const QString& Address) { qputenv("PULSE_SERVER", Address.toUtf8()); }
    ~TServerAddress() { qputenv("PULSE_SERVER", PulseServerAddress().c_str()); }
};

} // namespace

TEST(Player, EachFormatSoundsWithinTwoSecondsOfPlay) {
    QTemporaryDir Dir;
    const QStringList Files = WriteToneInEachFormat(Dir.path(), "tone", 4);
    ASSERT_EQ(Files.size(), 4);
    for (const QString& File : Files) {
        SCOPED_TRACE(File.toStdString());
        TPlayer Player;
        ASSERT_TRUE(Player.Open(File)) << Player.Error().toStdString();
        EXPECT_NEAR(Player.LengthSeconds(), 4, 0.1);
        EXPECT_EQ(Player.PositionSeconds(), 0);
        EXPECT_FALSE(Player.IsPlaying());

        TMonitorRecording Monitor(Dir.filePath("heard-" + QFileInfo(File).fileName() + ".wav"));
        ASSERT_TRUE(Player.Play()) << Player.Error().toStdString();
        std::this_thread::sleep_for(2s);
        EXPECT_TRUE(Player.IsPlaying());
        // What has been heard: two seconds less the start of the stream.
        const double Position = Player.PositionSeconds();
        EXPECT_GT(Position, 1.5);
        EXPECT_LE(Position, 2.05);
        // The tone fills the second second after Play.
        const TDecodedAudio Heard = Tail(Monitor.Stop(), 1);
        EXPECT_NEAR(DominantFrequency(Heard), 1000, 25);
        EXPECT_GT(Level(Heard), 0.2);
    }
}

// Seconds 0 to 3 hold 1 kHz, 3 to 6 hold 2 kHz, so what is heard tells where the player is.
TEST(Player, SeekPauseAndTheEnd) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("two tones.wav");
    WriteToneWav(Path, {{1000, 3}, {2000, 3}});
    TPlayer Player;
    ASSERT_TRUE(Player.Open(Path)) << Player.Error().toStdString();
    EXPECT_DOUBLE_EQ(Player.LengthSeconds(), 6);

    // Paused, a seek only moves the position; playing goes on from there.
    ASSERT_TRUE(Player.Seek(2));
    EXPECT_DOUBLE_EQ(Player.PositionSeconds(), 2);
    EXPECT_FALSE(Player.IsPlaying());
    ASSERT_TRUE(Player.Play());
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(Player.PositionSeconds(), 2.2);
    EXPECT_LE(Player.PositionSeconds(), 2.55);

    // Playing, a seek is heard at once.
    {
        TMonitorRecording Monitor(Dir.filePath("after seek.wav"));
        ASSERT_TRUE(Player.Seek(4));
        EXPECT_NEAR(Player.PositionSeconds(), 4, 0.05);
        EXPECT_TRUE(Player.IsPlaying());
        std::this_thread::sleep_for(1s);
        EXPECT_NEAR(DominantFrequency(Tail(Monitor.Stop(), 0.6)), 2000, 25);
    }

    // A pause silences it at once and holds the position.
    {
        TMonitorRecording Monitor(Dir.filePath("paused.wav"));
        Player.Pause();
        EXPECT_FALSE(Player.IsPlaying());
        const double Paused = Player.PositionSeconds();
        EXPECT_GT(Paused, 4.5);
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(Player.PositionSeconds(), Paused);
        EXPECT_LT(Level(Tail(Monitor.Stop(), 0.4)), 0.01);
    }

    // The end stops it there; Play then starts from the beginning.
    ASSERT_TRUE(Player.Seek(5.5));
    ASSERT_TRUE(Player.Play());
    EXPECT_TRUE(WaitUntil([&] { return !Player.IsPlaying(); }, 3s));
    EXPECT_DOUBLE_EQ(Player.PositionSeconds(), 6);
    ASSERT_TRUE(Player.Play());
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(Player.PositionSeconds(), 0.3);
    Player.Stop();
    EXPECT_FALSE(Player.IsOpen());
    EXPECT_FALSE(Player.Play());
    EXPECT_EQ(Player.Error(), "Er is geen opname geopend om af te spelen.");
}

TEST(Player, OpenRefusesWhatItCannotPlay) {
    QTemporaryDir Dir;
    QFile Text(Dir.filePath("notes.mp3"));
    ASSERT_TRUE(Text.open(QIODevice::WriteOnly));
    Text.write("Geen geluid, alleen tekst.\n");
    Text.close();
    QFile(Dir.filePath("empty.wav")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.wav"));
    const QString Locked = Dir.filePath("locked.wav");
    WriteToneWav(Locked, {{1000, 0.1}});
    QFile::setPermissions(Locked, {});
    std::vector<std::pair<QString, QString>> Cases = {
        {Dir.filePath("missing.wav"), "Bestand niet gevonden: %1"},
        {Dir.filePath("folder.wav"), "Kan bestand %1 niet lezen: is een map"},
        {Dir.filePath("notes.mp3"), "%1 is geen geluidsbestand."},
        {Dir.filePath("empty.wav"), "%1 is geen geluidsbestand."},
    };
    // Root reads any file.
    if (::geteuid() != 0)
        Cases.push_back({Locked, "Kan bestand %1 niet lezen: geen toestemming"});
    for (const auto& [Path, Message] : Cases) {
        TPlayer Player;
        EXPECT_FALSE(Player.Open(Path));
        EXPECT_EQ(Player.Error(), Message.arg(QDir::toNativeSeparators(Path)));
        EXPECT_FALSE(Player.IsOpen());
    }
}

// Without a server Open fails within its time limit; with one that hangs, pausing and closing
// do not wait for it.
TEST(Player, AbsentOrHungServer) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("tone.wav");
    WriteToneWav(Path, {{1000, 3}});
    {
        TServerAddress Use("unix:" + Dir.filePath("nothing"));
        TPlayer Player;
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Player.Open(Path));
        EXPECT_LT(std::chrono::steady_clock::now() - Start, 2500ms);
        EXPECT_EQ(Player.Error(),
                  "Geen verbinding met de geluidsserver; afspelen is niet mogelijk.");
    }
    TPlayer Player;
    ASSERT_TRUE(Player.Open(Path)) << Player.Error().toStdString();
    ASSERT_TRUE(Player.Play());
    THungPulseServer Hung;
    ASSERT_TRUE(Hung.Hung());
    const auto Start = std::chrono::steady_clock::now();
    Player.Pause();
    EXPECT_FALSE(Player.IsPlaying());
    Player.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - Start, 500ms);
}

// Playback is a connection of its own: starting, seeking, pausing and closing it leave a
// recording on the same server delivering every second of its source.
TEST(Player, ARecordingBesideItGoesOn) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("tone.wav");
    WriteToneWav(Path, {{2000, 3}});
    ASSERT_TRUE(BASS_RecordInit(SineDevice()));
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(ToneRate, 1, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    const auto Started = std::chrono::steady_clock::now();
    {
        TPlayer Player;
        ASSERT_TRUE(Player.Open(Path)) << Player.Error().toStdString();
        ASSERT_TRUE(Player.Play());
        std::this_thread::sleep_for(700ms);
        ASSERT_TRUE(Player.Seek(2.5));
        std::this_thread::sleep_for(700ms);
        Player.Pause();
        ASSERT_TRUE(Player.Play());
        std::this_thread::sleep_for(700ms);
    }
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(BASS_ChannelIsActive(Channel), BASS_ACTIVE_PLAYING);
    const double Elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
    ASSERT_TRUE(BASS_ChannelStop(Channel));
    TDecodedAudio Recorded{1, ToneRate, {}};
    for (int16_t S : Got.Copy())
        Recorded.Samples.push_back(S / 32768.0f);
    // The sine source sends ahead of time, so only a shortfall would tell of a loss.
    EXPECT_GT(Recorded.Seconds(), Elapsed - 0.2);
    EXPECT_NEAR(DominantFrequency(Tail(Recorded, 1)), 1000, 25);
    BASS_Free();
}
