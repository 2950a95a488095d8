#include "audio/Player.h"

#include "base/SystemReason.h"
#include "soundlib/PulsePlayback.h"
#include "soundlib/bass.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

const QString NoServer =
    QStringLiteral("Geen verbinding met de geluidsserver; afspelen is niet mogelijk.");

} // namespace

TPlayer::TPlayer() = default;

TPlayer::~TPlayer() = default;

bool TPlayer::Open(const QString& Path) {
    Stop();
    FPath = QDir::toNativeSeparators(Path);
    int Error = BASS_OK;
    int FileErrno = 0;
    auto File = soundlib::TSoundFile::Open(QFile::encodeName(Path).toStdString(), Error, FileErrno);
    if (File)
        FPlayback = soundlib::TPulsePlayback::Create(std::move(File), Error);
    if (FPlayback)
        return true;
    if (Error == BASS_ERROR_FILEOPEN && FileErrno == ENOENT)
        FError = QStringLiteral("Bestand niet gevonden: %1").arg(FPath);
    else if (Error == BASS_ERROR_FILEOPEN)
        FError =
            QStringLiteral("Kan bestand %1 niet lezen: %2").arg(FPath, SystemReasonText(FileErrno));
    else if (Error == BASS_ERROR_FILEFORM)
        FError = QStringLiteral("%1 is geen geluidsbestand.").arg(FPath);
    else
        FError = NoServer;
    return false;
}

bool TPlayer::Play() {
    if (!FPlayback)
        return Succeeded(BASS_ERROR_HANDLE);
    if (FPlayback->Running())
        return true;
    const int64_t From = FPlayback->Position();
    return Succeeded(FPlayback->Start(From < FPlayback->File().Frames() ? From : 0));
}

void TPlayer::Pause() {
    if (FPlayback)
        FPlayback->Stop();
}

bool TPlayer::IsPlaying() const {
    return FPlayback && FPlayback->Running();
}

bool TPlayer::Seek(double Seconds) {
    if (!FPlayback)
        return Succeeded(BASS_ERROR_HANDLE);
    const double Frame = std::round(std::max(Seconds, 0.0) * FPlayback->File().Rate());
    return Succeeded(FPlayback->Seek(
        static_cast<int64_t>(std::min(Frame, static_cast<double>(FPlayback->File().Frames())))));
}

double TPlayer::PositionSeconds() const {
    return FPlayback ? double(FPlayback->Position()) / FPlayback->File().Rate() : 0;
}

double TPlayer::LengthSeconds() const {
    return FPlayback ? double(FPlayback->File().Frames()) / FPlayback->File().Rate() : 0;
}

void TPlayer::Stop() {
    FPlayback.reset();
}

bool TPlayer::Succeeded(int Error) {
    switch (Error) {
    case BASS_OK:
        return true;
    case BASS_ERROR_HANDLE:
        FError = QStringLiteral("Er is geen opname geopend om af te spelen.");
        break;
    case BASS_ERROR_FORMAT:
        FError =
            QStringLiteral("De geluidsserver kan het formaat van %1 niet afspelen.").arg(FPath);
        break;
    case BASS_ERROR_POSITION:
        FError = QStringLiteral("Kan in %1 niet naar die tijd gaan.").arg(FPath);
        break;
    case BASS_ERROR_NOTAVAIL:
        FError = QStringLiteral("De geluidsserver weigert %1 af te spelen.").arg(FPath);
        break;
    default:
        FError = NoServer;
    }
    return false;
}
