#pragma once

#include "control/Coverage.h"

#include <QColor>
#include <QString>
#include <QVector>
#include <QWidget>

// The coverage of one day as a strip of its clock hours, left to right, each labelled with its
// hour: green where the files hold the whole hour, amber where they hold part of it (the part
// drawn), red where they hold none of it, dark grey where the schedule named no preset, an
// outline for an hour still to come. The autumn day shows its repeated hour twice, the spring
// day 23 hours. Each hour tells its figures and gaps as a tooltip and to screen readers.

// One clock hour of the strip.
class TCoverageCell : public QWidget {
    Q_OBJECT
public:
    // Repeated: the clock shows this hour twice on this day, so its texts name the offset.
    TCoverageCell(const TCoverageHour& Hour, bool Repeated, QWidget* Parent);

    const TCoverageHour& Hour() const { return FHour; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    TCoverageHour FHour;
};

class TCoverageStrip : public QWidget {
    Q_OBJECT
public:
    explicit TCoverageStrip(QWidget* Parent = nullptr);

    // Shows the hours of Day, in place of what was shown.
    void SetDay(const TCoverageDay& Day);
    // Shows no hours.
    void Clear();
    // The hours shown, in order.
    QVector<TCoverageCell*> Cells() const;
};

// The colour a cell of State is filled with (for Partial: the recorded part); an hour still
// to come is only outlined, in its colour.
QColor CoverageColour(TCoverageHour::TState State, const QPalette& Palette);
// What a cell says about its hour: the tooltip, and the screen reader's description.
QString CoverageHourText(const TCoverageHour& Hour, bool Repeated);
// The cell's short name for screen readers: the hour and how much of it is recorded.
QString CoverageHourName(const TCoverageHour& Hour, bool Repeated);
