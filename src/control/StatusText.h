#pragma once

#include "base/uTypes.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

// The texts the controller shows in the status lines; the views and the tests use the same.
namespace ControlText {
inline const QString NoRecording = QStringLiteral("Geen opname");
inline const QString ByClock = QStringLiteral("Opname gestart door interne klok");
inline const QString ByHand = QStringLiteral("Opname handmatig gestart");
inline const QString NoDatabase = QStringLiteral("Geen database beschikbaar.");
inline const QString NoPresets = QStringLiteral("Er zijn geen opname-presets gedefinieerd.");
inline const QString NoDatabasePresets =
    QStringLiteral("Er is geen database beschikbaar, dus ook geen opname-presets.");
inline const QString Ready = QStringLiteral("Klaar.");
inline const QString WaitClock = QStringLiteral("Wachten op interne klok...");
inline const QString NothingScheduled = QStringLiteral("Geen opname gepland voor dit uur.");
inline const QString WaitNextHour = QStringLiteral("Wachten op volgende geplande uur...");
inline const QString Stopped = QStringLiteral("Opname gestopt.");
inline const QString NoDevice = QStringLiteral("Geen opname-apparaat beschikbaar.");
inline const QString ChooseDevice =
    QStringLiteral("Kies een apparaat via Instellingen > Opname-apparaat.");

// The local time of Moment as the clock shows it.
QString ClockTime(const QDateTime& Moment);
// "Vrije Schijfruimte : 12,3 GB" (ByteCountText); an unknown amount (-1) shows as 0 MB.
QString FreeSpace(int64_t FreeBytes);
// The format line of a recording, for example "MP3 128 Kbps, 44100 Hz, Stereo".
QString FormatLine(const TPreset& P);
QString StartFailed(int SoundLibraryError);
// The information line while the database refuses log writes (they are kept and tried again
// every RetrySeconds), and once it took them all.
QString LogBehind(const QString& Reason, int RetrySeconds);
inline const QString LogCaughtUp = QStringLiteral("Het opnamelogboek is weer bijgewerkt.");
inline const QString OtherCopyRecords =
    QStringLiteral("Een andere kopie neemt al op in deze map; deze kopie neemt niet op.");
QString CaptureLost(const QDateTime& Moment, int RetrySeconds);
QString VolumeFull(const QDateTime& Moment, int64_t AwaitedBytes);
QString LowSpace(int64_t NeededBytes);
// The trouble texts of the status bar.
QString WritesFailingSince(const QDateTime& Since);
QString NoRecordingSince(const QDateTime& Since, bool VolumeFull);
QString AudioLost(const QDateTime& At, double Seconds);
QString NoAudioSince(const QDateTime& Since);
QString SilenceSince(const QDateTime& Since);
// The information line after a retention run, and the events log's line for each deletion;
// sizes as ByteCountText shows them.
QString RetentionSummary(int Count, int64_t Bytes);
QString RetentionDeleted(const QString& Path, int AgeDays, int64_t Bytes);
// What else a retention run tells: logged recordings left because they are links, a run the
// database broke off, and deletions that did not reach the events log.
QString RetentionLinksLeft(int Count);
QString RetentionBrokenOff(const QString& Reason);
QString RetentionUnrecorded(int Count);
// The information line after the start-up repair: empty when nothing was repaired.
QString Repaired(const QStringList& FileNames);
QString RepairFailed(const QString& Reason);
} // namespace ControlText
