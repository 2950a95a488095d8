#include "ui/PlaybackBar.h"

#include "base/RegionalText.h"
#include "ui/MessageBoxes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTimer>
#include <cmath>
#include <optional>

namespace {

// The slider counts tenths of a second.
constexpr int SliderSteps = 10;

// "14:23", "14:23:10" or "14.23.10": the clock time typed, whatever the separator.
std::optional<QTime> TypedTime(const QString& Text) {
    static const QRegularExpression Fields(
        QStringLiteral("^\\s*(\\d{1,2})\\D(\\d{2})(?:\\D(\\d{2}))?\\s*$"));
    const QRegularExpressionMatch M = Fields.match(Text);
    if (!M.hasMatch())
        return std::nullopt;
    const QTime Time(M.captured(1).toInt(), M.captured(2).toInt(), M.captured(3).toInt());
    return Time.isValid() ? std::optional(Time) : std::nullopt;
}

} // namespace

TPlaybackBar::TPlaybackBar(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("pnlPlayback"));
    btnPlay = new QPushButton(QStringLiteral("Afspelen"), this);
    btnPlay->setObjectName(QStringLiteral("btnPlay"));
    btnPlay->setFixedWidth(110);
    sldPosition = new QSlider(Qt::Horizontal, this);
    sldPosition->setObjectName(QStringLiteral("sldPosition"));
    lblPosition = new QLabel(this);
    lblPosition->setObjectName(QStringLiteral("lblPosition"));
    lblPosition->setMinimumWidth(70);
    lblGoTo = new QLabel(QStringLiteral("Ga naar tijd:"), this);
    lblGoTo->setObjectName(QStringLiteral("lblGoTo"));
    edtGoTo = new QLineEdit(this);
    edtGoTo->setObjectName(QStringLiteral("edtGoTo"));
    edtGoTo->setPlaceholderText(QStringLiteral("uu:mm:ss"));
    edtGoTo->setFixedWidth(90);
    lblGoTo->setBuddy(edtGoTo);
    auto* Row = new QHBoxLayout(this);
    Row->setContentsMargins(16, 6, 16, 6);
    Row->setSpacing(8);
    Row->addWidget(btnPlay);
    Row->addWidget(sldPosition, 1);
    Row->addWidget(lblPosition);
    Row->addSpacing(16);
    Row->addWidget(lblGoTo);
    Row->addWidget(edtGoTo);

    tmrPosition = new QTimer(this);
    tmrPosition->setInterval(200);
    connect(tmrPosition, &QTimer::timeout, this, &TPlaybackBar::ShowPosition);
    connect(btnPlay, &QPushButton::clicked, this, &TPlaybackBar::btnPlayClick);
    connect(edtGoTo, &QLineEdit::returnPressed, this, &TPlaybackBar::edtGoToReturn);
    connect(sldPosition, &QSlider::sliderReleased, this, [this] {
        if (FPlayer.IsOpen() && !FPlayer.Seek(double(sldPosition->value()) / SliderSteps))
            ShowWarning(this, FPlayer.Error());
        ShowPosition();
    });
    SetRecording(QString(), QDateTime());
}

void TPlaybackBar::SetRecording(const QString& Path, const QDateTime& StartedAt) {
    if (Path == FPath && StartedAt == FStartedAt)
        return;
    FPlayer.Stop();
    FPath = Path;
    FStartedAt = StartedAt;
    sldPosition->setRange(0, 0);
    setEnabled(!Path.isEmpty());
    ShowPosition();
}

bool TPlaybackBar::OpenRecording() {
    if (FPlayer.IsOpen())
        return true;
    if (!FPlayer.Open(FPath)) {
        ShowWarning(this, FPlayer.Error());
        return false;
    }
    sldPosition->setRange(0, static_cast<int>(std::lround(FPlayer.LengthSeconds() * SliderSteps)));
    tmrPosition->start();
    return true;
}

void TPlaybackBar::btnPlayClick() {
    if (!OpenRecording())
        return;
    if (FPlayer.IsPlaying())
        FPlayer.Pause();
    else if (!FPlayer.Play())
        ShowWarning(this, FPlayer.Error());
    ShowPosition();
}

void TPlaybackBar::edtGoToReturn() {
    const std::optional<QTime> Time = TypedTime(edtGoTo->text());
    if (!Time) {
        ShowWarning(this, QStringLiteral("Typ een tijd als uu:mm:ss, bijvoorbeeld 14:23:10."));
        return;
    }
    if (!OpenRecording())
        return;
    // The clock time on the recording's day, or on the next when the recording runs past
    // midnight.
    QDateTime Target(FStartedAt.date(), *Time);
    if (Target < FStartedAt)
        Target = Target.addDays(1);
    const double Offset = FStartedAt.msecsTo(Target) / 1000.0;
    if (Offset > FPlayer.LengthSeconds()) {
        ShowWarning(
            this,
            QStringLiteral("%1 valt niet binnen deze opname (%2 tot %3).")
                .arg(TimeDisplayText(*Time), TimeDisplayText(FStartedAt.time()),
                     TimeDisplayText(
                         FStartedAt.addMSecs(static_cast<int64_t>(FPlayer.LengthSeconds() * 1000))
                             .time())));
        return;
    }
    if (!FPlayer.Seek(Offset))
        ShowWarning(this, FPlayer.Error());
    ShowPosition();
}

void TPlaybackBar::ShowPosition() {
    const bool Open = FPlayer.IsOpen();
    const double Position = Open ? FPlayer.PositionSeconds() : 0;
    if (Open && !sldPosition->isSliderDown())
        sldPosition->setValue(static_cast<int>(std::lround(Position * SliderSteps)));
    lblPosition->setText(
        FStartedAt.isValid()
            ? TimeDisplayText(FStartedAt.addMSecs(static_cast<int64_t>(Position * 1000)).time())
            : QString());
    btnPlay->setText(FPlayer.IsPlaying() ? QStringLiteral("Pauze") : QStringLiteral("Afspelen"));
    if (!Open)
        tmrPosition->stop();
}

void TPlaybackBar::hideEvent(QHideEvent* Event) {
    QWidget::hideEvent(Event);
    FPlayer.Stop();
    ShowPosition();
}
