#include "ui/CoverageStrip.h"

#include <QHBoxLayout>
#include <QHash>
#include <QPainter>
#include <QPalette>
#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace {

// The box below the hour's label.
constexpr int BoxHeight = 20;
constexpr int LabelGap = 2;
constexpr int CellSpacing = 2;
// The part of a partial hour that the files do not hold.
const QColor PartialRest(95, 70, 20);

QString SecondsText(double Seconds) {
    return QString::number(Seconds, 'f', 1).replace(u'.', u',') + QStringLiteral(" s");
}

QString OffsetText(const QDateTime& Moment) {
    const int Offset = Moment.offsetFromUtc();
    const int Minutes = std::abs(Offset) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(QChar(Offset < 0 ? u'-' : u'+'))
        .arg(Minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(Minutes % 60, 2, 10, QLatin1Char('0'));
}

// The end on the clock the hour began on: the first of the autumn's two 02:00 hours ends at
// 03:00 summer time, not at 02:00 winter time.
QString HourSpanText(const TCoverageHour& Hour, bool Repeated) {
    const QDateTime End = Hour.End.toOffsetFromUtc(Hour.Start.offsetFromUtc());
    QString Text = Hour.Start.toString(QStringLiteral("HH:mm")) + u'\u2013' +
                   End.toString(QStringLiteral("HH:mm"));
    if (Repeated)
        Text += QStringLiteral(" (%1)").arg(OffsetText(Hour.Start));
    return Text;
}

QString StateText(TCoverageHour::TState State) {
    switch (State) {
    case TCoverageHour::TState::Full:
        return QStringLiteral("volledig opgenomen");
    case TCoverageHour::TState::Partial:
        return QStringLiteral("gedeeltelijk opgenomen");
    case TCoverageHour::TState::Missing:
        return QStringLiteral("niet opgenomen");
    case TCoverageHour::TState::Future:
        return QStringLiteral("nog niet begonnen");
    case TCoverageHour::TState::NotScheduled:
        break;
    }
    return QStringLiteral("niet ingepland");
}

QString GapText(const TCoverageGap& Gap) {
    const QString Format = QStringLiteral("HH:mm:ss,zzz");
    return QStringLiteral("%1\u2013%2 (%3): %4")
        .arg(Gap.From.toString(Format), Gap.To.toString(Format), SecondsText(Gap.Seconds()),
             GapCauseDutch(Gap.Cause));
}

// The part of the hour's length that the files hold, 0 to 1.
double RecordedFraction(const TCoverageHour& Hour) {
    const double Length = Hour.Start.msecsTo(Hour.End) / 1000.0;
    return Length > 0 ? std::clamp(Hour.RecordedSeconds / Length, 0.0, 1.0) : 0.0;
}

} // namespace

QColor CoverageColour(TCoverageHour::TState State, const QPalette& Palette) {
    switch (State) {
    case TCoverageHour::TState::Full:
        return QColor(40, 170, 70);
    case TCoverageHour::TState::Partial:
        return QColor(235, 165, 40);
    case TCoverageHour::TState::Missing:
        return QColor(210, 55, 55);
    case TCoverageHour::TState::Future:
        return Palette.color(QPalette::Disabled, QPalette::WindowText);
    case TCoverageHour::TState::NotScheduled:
        break;
    }
    return Palette.color(QPalette::Light);
}

QString CoverageHourName(const TCoverageHour& Hour, bool Repeated) {
    return HourSpanText(Hour, Repeated) + QStringLiteral(": ") + StateText(Hour.State());
}

QString CoverageHourText(const TCoverageHour& Hour, bool Repeated) {
    QStringList Lines{HourSpanText(Hour, Repeated)};
    if (!Hour.Scheduled) {
        Lines << QStringLiteral("Niet ingepland");
        return Lines.join(u'\n');
    }
    Lines << QStringLiteral("Ingepland");
    if (Hour.State() == TCoverageHour::TState::Future) {
        Lines << QStringLiteral("Nog niet begonnen");
        return Lines.join(u'\n');
    }
    Lines << QStringLiteral("Opgenomen: ") + SecondsText(Hour.RecordedSeconds)
          << QStringLiteral("Ontbreekt: ") + SecondsText(Hour.MissingSeconds);
    for (const TCoverageGap& Gap : Hour.Gaps)
        Lines << GapText(Gap);
    return Lines.join(u'\n');
}

TCoverageCell::TCoverageCell(const TCoverageHour& Hour, bool Repeated, QWidget* Parent)
    : QWidget(Parent), FHour(Hour) {
    setObjectName(QStringLiteral("cell%1").arg(Hour.Hour, 2, 10, QLatin1Char('0')));
    setToolTip(CoverageHourText(Hour, Repeated));
    setAccessibleName(CoverageHourName(Hour, Repeated));
    setAccessibleDescription(toolTip());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QSize TCoverageCell::sizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("00")) + 12,
            fontMetrics().height() + LabelGap + BoxHeight};
}

QSize TCoverageCell::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("00")) + 2, sizeHint().height()};
}

void TCoverageCell::paintEvent(QPaintEvent*) {
    QPainter Canvas(this);
    const int LabelHeight = fontMetrics().height();
    Canvas.setPen(palette().color(QPalette::WindowText));
    Canvas.drawText(QRect(0, 0, width(), LabelHeight), Qt::AlignCenter,
                    QStringLiteral("%1").arg(FHour.Hour, 2, 10, QLatin1Char('0')));

    const QRect Box(0, LabelHeight + LabelGap, width(), height() - LabelHeight - LabelGap);
    const TCoverageHour::TState State = FHour.State();
    const QColor Colour = CoverageColour(State, palette());
    switch (State) {
    case TCoverageHour::TState::Future:
        Canvas.setPen(Colour);
        Canvas.setBrush(Qt::NoBrush);
        Canvas.drawRect(Box.adjusted(0, 0, -1, -1));
        break;
    case TCoverageHour::TState::Partial: {
        Canvas.fillRect(Box, PartialRest);
        // At least a pixel of each part shows, however little of the hour it is.
        const int Recorded = std::clamp(static_cast<int>(Box.width() * RecordedFraction(FHour)), 1,
                                        std::max(1, Box.width() - 1));
        Canvas.fillRect(QRect(Box.left(), Box.top(), Recorded, Box.height()), Colour);
        break;
    }
    default:
        Canvas.fillRect(Box, Colour);
    }
}

TCoverageStrip::TCoverageStrip(QWidget* Parent) : QWidget(Parent) {
    auto* Row = new QHBoxLayout(this);
    Row->setContentsMargins(0, 0, 0, 0);
    Row->setSpacing(CellSpacing);
}

void TCoverageStrip::SetDay(const TCoverageDay& Day) {
    Clear();
    QHash<int, int> Shown;
    for (const TCoverageHour& Hour : Day.Hours)
        ++Shown[Hour.Hour];
    for (const TCoverageHour& Hour : Day.Hours)
        layout()->addWidget(new TCoverageCell(Hour, Shown.value(Hour.Hour) > 1, this));
}

void TCoverageStrip::Clear() {
    qDeleteAll(Cells());
}

QVector<TCoverageCell*> TCoverageStrip::Cells() const {
    return findChildren<TCoverageCell*>(QString(), Qt::FindDirectChildrenOnly);
}
