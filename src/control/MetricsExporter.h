#pragma once

#include "control/Coverage.h"
#include "control/Trouble.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace prometheus {
class Counter;
class Exposer;
class Gauge;
class Registry;
} // namespace prometheus

class TRecordingController;

// The address civetweb is to listen on for Listen ("host:port" or a bare port, which means
// loopback); none, with Error set in Dutch, for anything else. IPv6 addresses are refused: the
// system's civetweb is built without IPv6.
std::optional<std::string> MetricsListenAddress(const QString& Listen, QString& Error);

// Serves the recorder's state as Prometheus metrics at /metrics: whether it records and in
// which format, seconds and recordings counted, trouble by kind, free space, the peak level,
// dropped audio, seconds missing from scheduled hours and alert command failures. Every series
// carries the instance label.
//
// Fed on the user-interface thread from the controller's events and the session's tick; the
// library's own thread answers the scrapes (its metrics are thread-safe).
class TMetricsExporter : public QObject {
    Q_OBJECT
public:
    // Instance: the label value that tells this copy of the program from others.
    TMetricsExporter(const TRecordingController& Controller, const QString& Instance);
    ~TMetricsExporter() override;

    // Listens on Listen; the Dutch reason when that is not possible (metrics then stay off).
    QString Start(const QString& Listen);
    // One clock tick, after the controller's: the time recorded, levels, free space and
    // dropped audio.
    void Tick();
    void TroubleBegan(const TTrouble& Trouble);
    void TroubleEnded(const TTrouble& Trouble);
    // FilePath: the new file, named with its format's extension.
    void RecordingStarted(const QString& FilePath);
    void RecordingStopped();
    void AlertCommandEnded(bool Failed);
    // A clock hour ended: what is missing of it counts when it was scheduled.
    void HourAccounted(const TCoverageHour& Hour);

private:
    const TRecordingController& FController;
    std::shared_ptr<prometheus::Registry> FRegistry;
    std::unique_ptr<prometheus::Exposer> FExposer;
    prometheus::Gauge* FRecording;
    std::map<QString, prometheus::Gauge*> FFormats;
    prometheus::Counter* FSecondsRecorded;
    prometheus::Counter* FRecordingsStarted;
    std::array<prometheus::Gauge*, TroubleKindCount> FTroubleActive{};
    std::array<prometheus::Counter*, TroubleKindCount> FTroubleEpisodes{};
    prometheus::Gauge* FFreeBytes;
    prometheus::Gauge* FPeakLeft;
    prometheus::Gauge* FPeakRight;
    prometheus::Counter* FDroppedSeconds;
    prometheus::Counter* FAlertFailures;
    prometheus::Counter* FMissingSeconds;
    prometheus::Gauge* FSwitchGap;
    bool FStoppedThisTick = false; // a start after it is an hour switch
    QElapsedTimer FSinceTick;
    double FDroppedSoFar = 0; // of the running recording, already counted
};
