#include "control/StatusText.h"

#include "base/RegionalText.h"

#include <cmath>

namespace ControlText {

QString ClockTime(const QDateTime& Moment) {
    return TimeDisplayText(Moment.toLocalTime().time());
}

QString FreeSpace(int64_t FreeBytes) {
    return QStringLiteral("Vrije Schijfruimte : ") + ByteCountText(FreeBytes);
}

QString FormatLine(const TPreset& P) {
    const QString Channels = P.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono");
    if (IsEncodedFormat(P.Format))
        return QStringLiteral("%1 %2 Kbps, %3 Hz, %4")
            .arg(FormatToStr(P.Format))
            .arg(P.Bitrate)
            .arg(P.SampleRate)
            .arg(Channels);
    return QStringLiteral("WAV 16-bit, %1 Hz, %2").arg(P.SampleRate).arg(Channels);
}

QString StartFailed(int SoundLibraryError) {
    return QStringLiteral("Kon opname niet starten (BASS fout %1).").arg(SoundLibraryError);
}

QString LogBehind(const QString& Reason, int RetrySeconds) {
    return QStringLiteral("Opname nog niet in het logboek: %1. Nieuwe poging elke %2 seconden.")
        .arg(Reason)
        .arg(RetrySeconds);
}

QString CaptureLost(const QDateTime& Moment, int RetrySeconds) {
    return QStringLiteral(
               "Apparaat weggevallen om %1, opname bewaard. Nieuwe poging elke %2 seconden...")
        .arg(ClockTime(Moment))
        .arg(RetrySeconds);
}

QString VolumeFull(const QDateTime& Moment, int64_t AwaitedBytes) {
    return QStringLiteral("Schijf vol om %1, opname bewaard. Hervat zodra er %2 vrij is...")
        .arg(ClockTime(Moment), ByteCountText(AwaitedBytes));
}

QString LowSpace(int64_t NeededBytes) {
    return QStringLiteral("Let op: weinig schijfruimte, minder dan voor een uur opname (%1).")
        .arg(ByteCountText(NeededBytes));
}

QString WritesFailingSince(const QDateTime& Since) {
    return QStringLiteral("Schrijven mislukt sinds %1").arg(ClockTime(Since));
}

QString NoRecordingSince(const QDateTime& Since, bool VolumeFull) {
    return QStringLiteral("Geen opname sinds %1: %2")
        .arg(ClockTime(Since),
             VolumeFull ? QStringLiteral("schijf vol") : QStringLiteral("geen geluid"));
}

QString AudioLost(const QDateTime& At, double Seconds) {
    return QStringLiteral("Audio verloren om %1: %2 s (schijf te traag)")
        .arg(ClockTime(At))
        .arg(static_cast<int64_t>(std::ceil(Seconds)));
}

QString NoAudioSince(const QDateTime& Since) {
    return QStringLiteral("Geen geluid ontvangen sinds %1").arg(ClockTime(Since));
}

QString SilenceSince(const QDateTime& Since) {
    return QStringLiteral("Stilte sinds %1").arg(ClockTime(Since));
}

QString RetentionSummary(int Count, int64_t Bytes) {
    return QStringLiteral("Opgeruimd: %1 %2 verwijderd, %3 vrijgemaakt.")
        .arg(Count)
        .arg(Count == 1 ? QStringLiteral("opname") : QStringLiteral("opnamen"))
        .arg(ByteCountText(Bytes));
}

QString RetentionDeleted(const QString& Path, int AgeDays, int64_t Bytes) {
    return QStringLiteral("Verwijderd: %1 (%2 dagen oud, %3)")
        .arg(Path)
        .arg(AgeDays)
        .arg(ByteCountText(Bytes));
}

QString RetentionLinksLeft(int Count) {
    return Count == 1 ? QStringLiteral("1 opname in het logboek is een symbolische koppeling en "
                                       "blijft staan.")
                      : QStringLiteral("%1 opnamen in het logboek zijn symbolische koppelingen en "
                                       "blijven staan.")
                            .arg(Count);
}

QString RetentionBrokenOff(const QString& Reason) {
    return QStringLiteral("Opruimen afgebroken: %1.").arg(Reason);
}

QString RetentionUnrecorded(int Count) {
    return QStringLiteral("%1 verwijderde %2 niet in de gebeurtenissen.")
        .arg(Count)
        .arg(Count == 1 ? QStringLiteral("opname staat") : QStringLiteral("opnamen staan"));
}

QString Repaired(const QStringList& FileNames) {
    if (FileNames.size() == 1)
        return QStringLiteral("Onderbroken opname hersteld: %1").arg(FileNames.first());
    if (FileNames.size() > 1)
        return QStringLiteral("%1 onderbroken opnamen hersteld: %2")
            .arg(FileNames.size())
            .arg(FileNames.join(QStringLiteral(", ")));
    return {};
}

QString RepairFailed(const QString& Reason) {
    return QStringLiteral("Herstel van onderbroken opnamen mislukt: %1").arg(Reason);
}

} // namespace ControlText
