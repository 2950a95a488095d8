#include "audio/SoundHandle.h"
#include "soundlib/ScriptedBackend.h"
#include "support/AudioCheck.h"
#include "support/FileSizeLimit.h"
#include "support/WaitUntil.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

// A handle is freed exactly once, by whoever holds it last: a move hands it over without
// freeing it, the end of its owner's life frees it.
TEST(SoundHandle, TheLastOwnerFreesTheHandle) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    ASSERT_TRUE(BASS_RecordInit(-1));
    TRecordChannel Outer;
    {
        TRecordChannel Inner(BASS_RecordStart(44100, 2, 0, nullptr, nullptr));
        ASSERT_TRUE(Inner);
        Outer = std::move(Inner);
        EXPECT_FALSE(Inner);
    }
    const DWORD Handle = Outer.Get();
    EXPECT_EQ(BASS_ChannelIsActive(Handle), BASS_ACTIVE_PLAYING) << "the move did not stop it";
    { const TRecordChannel Last = std::move(Outer); }
    EXPECT_EQ(BASS_ChannelIsActive(Handle), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE) << "stopped and forgotten";
    EXPECT_TRUE(Outer.Close()) << "nothing left to free";
    BASS_Free();
}

// An encoder's file is completed by Close, which reports a failed write, or else when its owner
// ends.
TEST(SoundHandle, AnEncoderCompletesItsFileAndCloseReportsAFailure) {
    QTemporaryDir Dir;
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5), .Speed = 4});
    ASSERT_TRUE(BASS_RecordInit(-1));
    const TRecordChannel Channel(BASS_RecordStart(44100, 2, 0, nullptr, nullptr));
    ASSERT_TRUE(Channel);
    const std::string Kept = (Dir.path() + "/kept.ogg").toStdString();
    {
        TEncoderHandle Encoder(
            BASS_Encode_OGG_StartFile(Channel.Get(), "-b 96", BASS_UNICODE, Kept.c_str()));
        ASSERT_TRUE(Encoder);
    }
    EXPECT_TRUE(DecodeAudioFile(Kept)) << "completed by the end of its owner";

    const std::string Full = (Dir.path() + "/full.ogg").toStdString();
    TFileSizeLimit SmallDisk(16384);
    TEncoderHandle Encoder(
        BASS_Encode_OGG_StartFile(Channel.Get(), "-b 96", BASS_UNICODE, Full.c_str()));
    ASSERT_TRUE(Encoder);
    ASSERT_TRUE(
        WaitUntil([&] { return BASS_Encode_IsActive(Encoder.Get()) == BASS_ACTIVE_STOPPED; }, 10s));
    EXPECT_FALSE(Encoder.Close());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_FALSE(Encoder);
    BASS_Free();
}
