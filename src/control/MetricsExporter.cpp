#include "control/MetricsExporter.h"

#include "audio/uRecorder.h"
#include "control/RecordingController.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <exception>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <string>
#include <vector>

std::optional<std::string> MetricsListenAddress(const QString& Listen, QString& Error) {
    const QString Text = Listen.trimmed();
    // A bracketed address, or hexadecimal groups with two colons, is IPv6.
    static const QRegularExpression Ipv6(QStringLiteral(R"(^\[|^[0-9A-Fa-f.]*:[0-9A-Fa-f.]*:)"));
    if (Ipv6.match(Text).hasMatch()) {
        Error = QStringLiteral("[Metrics] Listen=%1: IPv6 wordt niet ondersteund; geef een "
                               "IPv4-adres of een naam, zoals 127.0.0.1:9732. De metrics staan "
                               "uit.")
                    .arg(Listen);
        return std::nullopt;
    }
    // Host names and IPv4 addresses only: civetweb reads a comma as a second address and a
    // letter after the port as an option.
    static const QRegularExpression Form(
        QStringLiteral(R"(^(?:([A-Za-z0-9.\-]+):)?([0-9]{1,5})$)"));
    const QRegularExpressionMatch Match = Form.match(Text);
    const int Port = Match.hasMatch() ? Match.captured(2).toInt() : 0;
    if (Port < 1 || Port > 65535) {
        Error = QStringLiteral("[Metrics] Listen=%1 is geen adres zoals 127.0.0.1:9732; de "
                               "metrics staan uit.")
                    .arg(Listen);
        return std::nullopt;
    }
    const QString Host =
        Match.captured(1).isEmpty() ? QStringLiteral("127.0.0.1") : Match.captured(1);
    return QStringLiteral("%1:%2").arg(Host).arg(Port).toStdString();
}

namespace {

// Scrapes come from a few Prometheus servers; the rest of the threads wait out idle clients.
constexpr int RequestThreads = 6;
constexpr int RequestTimeoutMs = 5000;

double DbFs(float Level) {
    return Level > 0.00001f ? 20.0 * std::log10(static_cast<double>(Level)) : -100.0;
}

} // namespace

TMetricsExporter::TMetricsExporter(const TRecordingController& Controller, const QString& Instance)
    : FController(Controller), FRegistry(std::make_shared<prometheus::Registry>()) {
    const prometheus::Labels Labels{{"instance", Instance.toStdString()}};
    using prometheus::BuildCounter;
    using prometheus::BuildGauge;
    const auto Gauge = [&](const char* Name,
                           const char* Help) -> prometheus::Family<prometheus::Gauge>& {
        return BuildGauge().Name(Name).Help(Help).Labels(Labels).Register(*FRegistry);
    };
    const auto Counter = [&](const char* Name,
                             const char* Help) -> prometheus::Family<prometheus::Counter>& {
        return BuildCounter().Name(Name).Help(Help).Labels(Labels).Register(*FRegistry);
    };
    FRecording = &Gauge("vantor_recording", "1 while a recording runs").Add({});
    auto& Formats = Gauge("vantor_recording_format",
                          "1 for the format of the running recording, 0 for the others");
    for (const char* Name : FormatNames) {
        const std::string Format = QString::fromLatin1(Name).toLower().toStdString();
        FFormats[QString::fromStdString(Format)] = &Formats.Add({{"format", Format}});
    }
    FSecondsRecorded = &Counter("vantor_recorded_seconds_total", "Seconds spent recording").Add({});
    FRecordingsStarted = &Counter("vantor_recordings_started_total", "Recordings started").Add({});
    auto& Active = Gauge("vantor_trouble_active", "1 while trouble of the kind lasts");
    auto& Episodes = Counter("vantor_trouble_episodes_total", "Troubles of the kind that began");
    for (const TTroubleKindNames& Names : TroubleKinds) {
        const auto K = static_cast<size_t>(Names.Kind);
        const std::string Kind(Names.Code);
        FTroubleActive[K] = &Active.Add({{"kind", Kind}});
        FTroubleEpisodes[K] = &Episodes.Add({{"kind", Kind}});
    }
    FFreeBytes = &Gauge("vantor_free_bytes", "Free bytes on the recording volume").Add({});
    auto& Peak = Gauge("vantor_peak_dbfs", "Peak level of the last block, -100 for silence");
    FPeakLeft = &Peak.Add({{"channel", "left"}});
    FPeakRight = &Peak.Add({{"channel", "right"}});
    FPeakLeft->Set(-100);
    FPeakRight->Set(-100);
    FDroppedSeconds = &Counter("vantor_dropped_audio_seconds_total",
                               "Seconds of audio the capture had to drop (a stalled disk)")
                           .Add({});
    FSwitchGap = &Gauge("vantor_hour_switch_gap_samples",
                        "Audio frames lost between the last two files of a switch")
                      .Add({});
    FAlertFailures =
        &Counter("vantor_alert_command_failures_total", "Runs of the alert command that failed")
             .Add({});
    FMissingSeconds = &Counter("vantor_missing_seconds_total",
                               "Seconds of scheduled hours that no recording holds, counted as "
                               "each hour ends")
                           .Add({});
}

TMetricsExporter::~TMetricsExporter() = default;

QString TMetricsExporter::Start(const QString& Listen) {
    QString Error;
    const std::optional<std::string> Address = MetricsListenAddress(Listen, Error);
    if (!Address)
        return Error;
    try {
        // Idle or slow connections each hold a request thread until they time out: enough
        // threads, and a short time-out, so that they never lock a scrape out.
        FExposer = std::make_unique<prometheus::Exposer>(std::vector<std::string>{
            "listening_ports", *Address, "num_threads", std::to_string(RequestThreads),
            "request_timeout_ms", std::to_string(RequestTimeoutMs)});
        FExposer->RegisterCollectable(FRegistry);
    } catch (const std::exception& E) {
        FExposer.reset();
        return QStringLiteral("Kan de metrics niet aanbieden op %1 (%2); is het adres al in "
                              "gebruik? Er wordt zonder metrics verder opgenomen.")
            .arg(QString::fromStdString(*Address), QString::fromUtf8(E.what()));
    }
    return {};
}

void TMetricsExporter::Tick() {
    const qint64 Elapsed = FSinceTick.isValid() ? FSinceTick.restart() : 0;
    if (!FSinceTick.isValid())
        FSinceTick.start();
    const TRecorder* Recorder = FController.Recorder();
    const bool Recording = FController.IsRecording();
    if (Recording)
        FSecondsRecorded->Increment(static_cast<double>(Elapsed) / 1000.0);
    float L = 0, R = 0;
    FController.GetLevels(L, R);
    FPeakLeft->Set(DbFs(L));
    FPeakRight->Set(DbFs(R));
    if (FController.LastFreeBytes() >= 0)
        FFreeBytes->Set(static_cast<double>(FController.LastFreeBytes()));
    if (Recorder && Recording) {
        const double Dropped = Recorder->DroppedSeconds();
        if (Dropped > FDroppedSoFar)
            FDroppedSeconds->Increment(Dropped - FDroppedSoFar);
        FDroppedSoFar = Dropped;
    }
    FStoppedThisTick = false;
}

void TMetricsExporter::TroubleBegan(const TTrouble& Trouble) {
    const auto K = static_cast<size_t>(Trouble.Kind);
    FTroubleActive[K]->Set(1);
    FTroubleEpisodes[K]->Increment();
}

void TMetricsExporter::TroubleEnded(const TTrouble& Trouble) {
    FTroubleActive[static_cast<size_t>(Trouble.Kind)]->Set(0);
}

void TMetricsExporter::RecordingStarted(const QString& FilePath) {
    FRecording->Set(1);
    FRecordingsStarted->Increment();
    FDroppedSoFar = 0;
    // The file is named with its format's extension.
    const QString Format = QFileInfo(FilePath).suffix().toLower();
    for (const auto& [Name, Gauge] : FFormats)
        Gauge->Set(Name == Format ? 1 : 0);
    if (const TRecorder* Recorder = FController.Recorder(); Recorder && FStoppedThisTick)
        FSwitchGap->Set(static_cast<double>(Recorder->GapFrames()));
}

void TMetricsExporter::RecordingStopped() {
    FStoppedThisTick = true;
    FRecording->Set(0);
    for (const auto& [Name, Gauge] : FFormats)
        Gauge->Set(0);
}

void TMetricsExporter::AlertCommandEnded(bool Failed) {
    if (Failed)
        FAlertFailures->Increment();
}

void TMetricsExporter::HourAccounted(const TCoverageHour& Hour) {
    if (Hour.Scheduled && Hour.MissingSeconds > 0)
        FMissingSeconds->Increment(Hour.MissingSeconds);
}
