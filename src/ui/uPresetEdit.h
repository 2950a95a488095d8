#pragma once

#include "base/uTypes.h"

#include <QDialog>
#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TRadioGroup;

// The bitrates in kbit/s that the slider offers, by position; position 8 is the default.
inline constexpr std::array<int32_t, 14> Bitrates = {32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 160, 192, 224, 256, 320};
inline constexpr int DefaultBitratePosition = 8;
inline constexpr int DefaultSampleRateIndex = 6;

// The slider position of a bitrate: the first offered bitrate at or above it; above 320 the
// default position.
int BitrateToIndex(int32_t Bitrate);
// The option of a sample rate; a rate that is not offered shows as 44100 Hz.
int SampleRateToIndex(int32_t SampleRate);

// The modal editor "Opname-instellingen" of one recording preset.
class TfrmPresetEdit : public QDialog {
    Q_OBJECT
public:
    // Shows the editor for P; on OK writes the edited values into P and returns true, otherwise
    // leaves P as it was and returns false.
    static bool Edit(QWidget* AOwner, TPreset& P);

private:
    explicit TfrmPresetEdit(QWidget* AOwner);
    void LoadPreset(const TPreset& P);
    void StorePreset(TPreset& P) const;

    void rgFormatClick();
    void tbBitrateChange();
    void btnOKClick();

    QLabel* lblName;
    QLineEdit* edtName;
    TRadioGroup* rgFormat;
    TRadioGroup* rgSample;
    TRadioGroup* rgChannels;
    QGroupBox* gbBitrate;
    QLabel* lblBitrate;
    QSlider* tbBitrate;
    QLabel* lblLowQ;
    QLabel* lblHighQ;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
