#include "ui/LevelMeter.h"

#include <QColor>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cmath>

namespace {

constexpr int SegmentCount = 30;

int SegmentWidth(int BoxWidth) {
    return (BoxWidth - 58) / SegmentCount;
}

QColor SegmentColour(int Index, bool Lit) {
    if (Index < 18)
        return Lit ? QColor(40, 220, 40) : QColor(0, 48, 0);
    if (Index < 26)
        return Lit ? QColor(220, 210, 40) : QColor(40, 40, 0);
    return Lit ? QColor(230, 40, 40) : QColor(48, 0, 0);
}

} // namespace

void DrawMeter(QPainter& Canvas, int BoxWidth, int Top, int Height, float Level) {
    const int W = SegmentWidth(BoxWidth);
    const int Lit = LitSegments(Level);
    for (int I = 0; I < SegmentCount; ++I) {
        const int X = I * (W + 2);
        Canvas.fillRect(X, Top, W, Height, SegmentColour(I, I < Lit));
    }
}

int LitSegments(float Level) {
    // Single-precision product, rounded with halves to the even number (the default
    // floating-point rounding mode): 14.5 lights 14 segments, 15.5 lights 16.
    return static_cast<int>(std::nearbyint(Level * static_cast<float>(SegmentCount)));
}

QRect ChangedSegments(int BoxWidth, int Top, int Height, int LitBefore, int LitAfter) {
    const int Pitch = SegmentWidth(BoxWidth) + 2;
    const auto [From, To] =
        std::minmax(std::clamp(LitBefore, 0, SegmentCount), std::clamp(LitAfter, 0, SegmentCount));
    return QRect(From * Pitch, Top, (To - From) * Pitch, Height);
}

float MeterStep(float Displayed, bool HaveReading, float Reading) {
    if (!HaveReading)
        return static_cast<float>(static_cast<double>(Displayed) * 0.6);
    if (Reading > Displayed)
        return Reading;
    return static_cast<float>(static_cast<double>(Displayed) * 0.75);
}
