#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "data/uData.h"
#include "support/AudioCheck.h"
#include "support/PulseTestServer.h"
#include "support/SqlHelpers.h"
#include "ui/uMain.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The real sound server dies during a recording and comes back ten seconds later. The window
// completes and logs the first file, keeps its clock running meanwhile, and starts the next
// number in the same hour once the server answers; both files hold the 1 kHz tone.
TEST(ServerLoss, TheWindowRecordsOnUnderTheNextNumberWhenTheServerIsBack) {
    QTemporaryDir Dir;
    Config = std::make_unique<TConfig>(Dir.path());
    Config->SetRootFolder(Dir.path() + "/Opnames");
    Config->SetDatabasePath(Dir.path() + "/Vantor2026.sqlite");
    Config->SetRecordDevice(SineDevice());
    {
        TLogData Data(Config->DatabasePath());
        for (int Day = 1; Day <= 7; ++Day)
            for (int Hour = 0; Hour < 24; ++Hour)
                Data.SetSchedulePreset(Day, Hour, 1); // "MP3 128 Kbit Stereo"
    }
    // Real time, but from 13:20 local, so that no hour boundary falls in the test.
    QElapsedTimer Running;
    Running.start();
    const QDateTime Base(QDate(2026, 3, 5), QTime(13, 20));
    TClock Clock = [&] { return Base.addMSecs(Running.elapsed()); };

    auto Form = std::make_unique<TfrmMain>(Clock);
    TRecordingController& Controller = Form->Controller();
    auto* lblTime = Form->findChild<QLabel*>("lblTime");
    ASSERT_NE(lblTime, nullptr);
    ASSERT_TRUE(Controller.IsRecording());
    QTest::qWait(2500);

    // While the server is away the clock label changes at least every second.
    KillPulseServer();
    QElapsedTimer SinceChange;
    SinceChange.start();
    qint64 LongestStill = 0;
    QString Shown = lblTime->text();
    QElapsedTimer Away;
    Away.start();
    while (Away.elapsed() < 10000) {
        QTest::qWait(20);
        if (lblTime->text() != Shown) {
            LongestStill = std::max(LongestStill, SinceChange.restart());
            Shown = lblTime->text();
        }
    }
    EXPECT_LT(LongestStill, 1500);
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(Controller.RetryPending());
    EXPECT_TRUE(Controller.Status().InfoText.startsWith("Apparaat weggevallen om 13:20:0"))
        << Controller.Status().InfoText.toStdString();
    EXPECT_FALSE(Controller.Status().TroubleText.isEmpty());

    ASSERT_TRUE(StartPulseServer());
    QElapsedTimer Back;
    Back.start();
    while (!Controller.IsRecording() && Back.elapsed() < 15000)
        QTest::qWait(50);
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().TroubleText, "");
    QTest::qWait(3000);
    Form.reset();

    TLogData Data(Config->DatabasePath());
    const QList<QStringList> Rows = SqlRows(
        Data.Connection(), "SELECT rec_number, filepath, duration_sec FROM recordings ORDER BY id");
    ASSERT_EQ(Rows.size(), 2);
    EXPECT_EQ(Rows[0][0], "1");
    EXPECT_EQ(Rows[1][0], "2");
    for (const QStringList& Row : Rows) {
        const auto Audio = DecodeAudioFile(Row[1].toStdString());
        ASSERT_TRUE(Audio) << Row[1].toStdString();
        EXPECT_GT(Audio->Seconds(), 1.0) << Row[1].toStdString();
        EXPECT_NEAR(DominantFrequency(*Audio), 1000, 25) << Row[1].toStdString();
        // The logged length runs to the tick that saw the end, a moment after the audio.
        EXPECT_NEAR(Row[2].toInt(), Audio->Seconds(), 2) << Row[1].toStdString();
    }
    Config.reset();
}

} // namespace
