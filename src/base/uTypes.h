#pragma once

#include <QString>
#include <QVector>
#include <array>
#include <cstdint>
#include <string>

// Vocabulary shared by the store, the recorder, the controller and the dialogs.

enum TAudioFormat : int { afWAV = 0, afMP3 = 1, afOGG = 2, afOPUS = 3 };

inline constexpr std::array<const char*, 4> FormatNames = {"WAV", "MP3", "OGG", "OPUS"};
inline constexpr std::array<const char*, 4> FormatExtensions = {".wav", ".mp3", ".ogg", ".opus"};
inline constexpr std::array<int32_t, 8> SampleRates = {8000,  11025, 16000, 22050,
                                                       24000, 32000, 44100, 48000};

struct TPreset {
    int32_t Id = 0;
    QString Name;
    TAudioFormat Format = afWAV;
    int32_t SampleRate = 0;
    int32_t Channels = 0;
    int32_t Bitrate = 0;
    int32_t SortOrder = 0;
};

using TPresetList = QVector<TPreset>;

QString FormatToStr(TAudioFormat Format);
// Case of A to Z ignored, nothing trimmed; Fallback when no name matches.
TAudioFormat StrToFormat(const QString& Text, TAudioFormat Fallback);
QString FormatToExt(TAudioFormat Format);
bool IsEncodedFormat(TAudioFormat Format);
