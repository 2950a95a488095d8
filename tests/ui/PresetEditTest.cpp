#include "DialogTestKit.h"
#include "ui/RadioGroup.h"
#include "ui/uPresetEdit.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The editor's controls, found by name.
struct TEditor {
    explicit TEditor(TfrmPresetEdit* D)
        : Dialog(D), edtName(D->findChild<QLineEdit*>("edtName")),
          rgFormat(D->findChild<TRadioGroup*>("rgFormat")),
          rgSample(D->findChild<TRadioGroup*>("rgSample")),
          rgChannels(D->findChild<TRadioGroup*>("rgChannels")),
          gbBitrate(D->findChild<QGroupBox*>("gbBitrate")),
          lblBitrate(D->findChild<QLabel*>("lblBitrate")),
          tbBitrate(D->findChild<QSlider*>("tbBitrate")),
          btnOK(D->findChild<QPushButton*>("btnOK")),
          btnCancel(D->findChild<QPushButton*>("btnCancel")) {}

    // The option button of a group with the given caption.
    QRadioButton* Option(TRadioGroup* Group, const QString& Caption) {
        for (QRadioButton* B : Group->findChildren<QRadioButton*>())
            if (B->text() == Caption)
                return B;
        ADD_FAILURE() << "no option " << Caption.toStdString();
        return nullptr;
    }

    TfrmPresetEdit* Dialog;
    QLineEdit* edtName;
    TRadioGroup* rgFormat;
    TRadioGroup* rgSample;
    TRadioGroup* rgChannels;
    QGroupBox* gbBitrate;
    QLabel* lblBitrate;
    QSlider* tbBitrate;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Opens the editor on P and lets Act work in it; returns what Edit returned.
bool RunEditor(TPreset& P, std::function<void(TEditor&)> Act) {
    const auto Watch = WhenModal<TfrmPresetEdit>([Act](TfrmPresetEdit* D) {
        TEditor E(D);
        Act(E);
    });
    return TfrmPresetEdit::Edit(nullptr, P);
}

bool SamePreset(const TPreset& A, const TPreset& B) {
    return A.Id == B.Id && A.Name == B.Name && A.Format == B.Format &&
           A.SampleRate == B.SampleRate && A.Channels == B.Channels && A.Bitrate == B.Bitrate &&
           A.SortOrder == B.SortOrder;
}

} // namespace

TEST(PresetEditTest, ANewPresetOpensWithTheDefaultsAndComesBackUnchanged) {
    const TPreset New{0, "Nieuwe preset", afMP3, 44100, 2, 128, 0};
    TPreset P = New;
    EXPECT_TRUE(RunEditor(P, [](TEditor& E) {
        EXPECT_EQ(E.Dialog->windowTitle(), "Opname-instellingen");
        EXPECT_EQ(E.Dialog->size(), QSize(452, 449));
        EXPECT_EQ(E.edtName->text(), "Nieuwe preset");
        EXPECT_EQ(E.rgFormat->ItemIndex(), 1);
        EXPECT_EQ(E.rgSample->ItemIndex(), 6);
        EXPECT_EQ(E.rgChannels->ItemIndex(), 1);
        EXPECT_EQ(E.tbBitrate->value(), 8);
        EXPECT_EQ(E.lblBitrate->text(), "Bitrate: 128 kbit");
        EXPECT_TRUE(E.gbBitrate->isEnabled());
        EXPECT_TRUE(E.tbBitrate->isEnabled());
        ExpectDarkEverywhere(E.Dialog);
        QTest::mouseClick(E.btnOK, Qt::LeftButton);
    }));
    EXPECT_TRUE(SamePreset(P, New));
}

TEST(PresetEditTest, StoredValuesLoadAsOfferedChoicesAndAreStoredSoOnOk) {
    struct Case {
        int32_t Bitrate, SampleRate, Channels;
        int Position, SampleIndex, ChannelIndex;
        int32_t StoredBitrate, StoredRate, StoredChannels;
    };
    const Case Cases[] = {
        {100, 96000, 2, 7, 6, 1, 112, 44100, 2},  {0, 8000, 1, 8, 0, 0, 128, 8000, 1},
        {-5, 48000, 3, 8, 7, 0, 128, 48000, 1},   {384, 11025, 0, 8, 1, 0, 128, 11025, 1},
        {320, 22050, 2, 13, 3, 1, 320, 22050, 2}, {1, 32000, 2, 0, 5, 1, 32, 32000, 2},
        {32, 16000, 2, 0, 2, 1, 32, 16000, 2},    {33, 24000, 2, 1, 4, 1, 40, 24000, 2},
    };
    for (const Case& C : Cases) {
        TPreset P{7, "Test", afOGG, C.SampleRate, C.Channels, C.Bitrate, 4};
        EXPECT_TRUE(RunEditor(P, [&](TEditor& E) {
            EXPECT_EQ(E.tbBitrate->value(), C.Position) << C.Bitrate;
            EXPECT_EQ(E.rgSample->ItemIndex(), C.SampleIndex) << C.SampleRate;
            EXPECT_EQ(E.rgChannels->ItemIndex(), C.ChannelIndex) << C.Channels;
            QTest::mouseClick(E.btnOK, Qt::LeftButton);
        }));
        const TPreset Expected{7, "Test", afOGG, C.StoredRate, C.StoredChannels, C.StoredBitrate,
                               4};
        EXPECT_TRUE(SamePreset(P, Expected)) << C.Bitrate;
    }
}

TEST(PresetEditTest, WavDisablesTheBitrateAndMp3BringsItBackAtTheLoadedPosition) {
    TPreset P{3, "Wav", afWAV, 44100, 2, 0, 1};
    EXPECT_TRUE(RunEditor(P, [](TEditor& E) {
        EXPECT_FALSE(E.gbBitrate->isEnabled());
        EXPECT_FALSE(E.tbBitrate->isEnabled());
        EXPECT_FALSE(E.lblBitrate->isEnabled());
        EXPECT_EQ(E.lblBitrate->text(), "Bitrate: 128 kbit");
        QTest::mouseClick(E.btnOK, Qt::LeftButton);
    }));
    EXPECT_EQ(P.Bitrate, 0);

    EXPECT_TRUE(RunEditor(P, [](TEditor& E) {
        QTest::mouseClick(E.Option(E.rgFormat, "MP3"), Qt::LeftButton);
        EXPECT_TRUE(E.gbBitrate->isEnabled());
        EXPECT_TRUE(E.tbBitrate->isEnabled());
        EXPECT_TRUE(E.lblBitrate->isEnabled());
        EXPECT_EQ(E.tbBitrate->value(), 8);
        QTest::mouseClick(E.Option(E.rgFormat, "WAV"), Qt::LeftButton);
        EXPECT_FALSE(E.tbBitrate->isEnabled());
        QTest::mouseClick(E.Option(E.rgFormat, "OPUS"), Qt::LeftButton);
        QTest::mouseClick(E.btnOK, Qt::LeftButton);
    }));
    EXPECT_EQ(P.Format, afOPUS);
    EXPECT_EQ(P.Bitrate, 128);
}

TEST(PresetEditTest, ABlankNameIsRefusedAndTheDialogStaysOpenWithTheFocusOnTheName) {
    TPreset P{5, "Oud", afMP3, 44100, 2, 128, 0};
    EXPECT_TRUE(RunEditor(P, [](TEditor& E) {
        E.edtName->setText(QStringLiteral(" \t\u00a0 "));
        QString Warning;
        const auto Watch = WhenModal<QMessageBox>([&](QMessageBox* Box) {
            Warning = Box->text();
            EXPECT_EQ(Box->icon(), QMessageBox::Warning);
            Box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(E.btnOK, Qt::LeftButton);
        EXPECT_EQ(Warning, "Geef een naam op voor de preset.");
        EXPECT_TRUE(E.Dialog->isVisible());
        EXPECT_EQ(E.Dialog->focusWidget(), E.edtName);
        // Typed with the keyboard and confirmed with Enter.
        E.edtName->clear();
        QTest::keyClicks(E.edtName, QStringLiteral("  Ochtend"));
        E.edtName->insert(QStringLiteral("\u0001 "));
        QTest::keyClick(E.edtName, Qt::Key_Return);
    }));
    EXPECT_EQ(P.Name, "Ochtend");
}

TEST(PresetEditTest, TheKeyboardSetsEveryChoice) {
    TPreset P{5, "Toetsen", afMP3, 44100, 2, 128, 0};
    EXPECT_TRUE(RunEditor(P, [](TEditor& E) {
        E.Option(E.rgFormat, "MP3")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        E.Option(E.rgChannels, "Stereo")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        E.tbBitrate->setFocus();
        QTest::keyClick(E.tbBitrate, Qt::Key_Right);
        EXPECT_EQ(E.lblBitrate->text(), "Bitrate: 160 kbit");
        QTest::keyClick(E.tbBitrate, Qt::Key_Return);
    }));
    EXPECT_EQ(P.Format, afOGG);
    EXPECT_EQ(P.Channels, 1);
    EXPECT_EQ(P.Bitrate, 160);
}

TEST(PresetEditTest, CancelLeavesEveryFieldAsItWas) {
    const TPreset Original{9, "Blijft", afOGG, 22050, 1, 96, 3};
    const std::function<void(TEditor&)> Closers[] = {
        [](TEditor& E) { QTest::mouseClick(E.btnCancel, Qt::LeftButton); },
        [](TEditor& E) { QTest::keyClick(E.edtName, Qt::Key_Escape); },
        [](TEditor& E) { E.Dialog->close(); },
    };
    for (const auto& Close : Closers) {
        TPreset P = Original;
        EXPECT_FALSE(RunEditor(P, [&](TEditor& E) {
            E.edtName->setText("Anders");
            QTest::mouseClick(E.Option(E.rgFormat, "WAV"), Qt::LeftButton);
            QTest::mouseClick(E.Option(E.rgSample, "48000"), Qt::LeftButton);
            QTest::mouseClick(E.Option(E.rgChannels, "Stereo"), Qt::LeftButton);
            E.tbBitrate->setValue(13);
            Close(E);
        }));
        EXPECT_TRUE(SamePreset(P, Original));
    }
}
