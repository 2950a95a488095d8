#include "ui/LevelMeter.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <gtest/gtest.h>

namespace {

// Counts the segments of the bar at row Y that show a lit colour, walking the 10-pixel pitch
// of a 316-pixel paint box; checks that every segment is 8 pixels wide.
int LitSegments(const QImage& Image, int Y) {
    const QRgb Lit[] = {qRgb(40, 220, 40), qRgb(220, 210, 40), qRgb(230, 40, 40)};
    int Count = 0;
    for (int I = 0; I < 30; ++I) {
        const QRgb C = Image.pixel(I * 10, Y);
        EXPECT_EQ(Image.pixel(I * 10 + 7, Y), C) << "segment " << I;
        EXPECT_EQ(Image.pixel(I * 10 + 8, Y), qRgb(10, 10, 10)) << "gap after segment " << I;
        if (std::find(std::begin(Lit), std::end(Lit), C) != std::end(Lit))
            ++Count;
    }
    return Count;
}

QImage Draw(float Level) {
    QImage Image(316, 96, QImage::Format_RGB32);
    Image.fill(QColor(10, 10, 10));
    QPainter Canvas(&Image);
    DrawMeter(Canvas, 316, 4, 42, Level);
    return Image;
}

} // namespace

TEST(LevelMeter, LightsLevelTimesThirtySegmentsRoundedHalfToEven) {
    const std::pair<float, int> Cases[] = {
        {1.0f, 30}, {0.6f, 18}, {0.0f, 0}, {0.01f, 0}, {14.5f / 30, 14}, {15.5f / 30, 16},
    };
    for (const auto& [Level, Lit] : Cases)
        EXPECT_EQ(LitSegments(Draw(Level), 20), Lit) << Level;
}

TEST(LevelMeter, SegmentGeometryAndColours) {
    const QImage Image = Draw(27.0f / 30);
    // The bar covers rows 4 to 45; the 18 pixels right of the last segment stay background.
    EXPECT_EQ(Image.pixel(0, 3), qRgb(10, 10, 10));
    EXPECT_EQ(Image.pixel(0, 4), qRgb(40, 220, 40));
    EXPECT_EQ(Image.pixel(0, 45), qRgb(40, 220, 40));
    EXPECT_EQ(Image.pixel(0, 46), qRgb(10, 10, 10));
    EXPECT_EQ(Image.pixel(297, 20), qRgb(48, 0, 0));
    EXPECT_EQ(Image.pixel(298, 20), qRgb(10, 10, 10));
    EXPECT_EQ(Image.pixel(315, 20), qRgb(10, 10, 10));
    // Green up to segment 17, yellow 18 to 25, red from 26; lit up to segment 26.
    EXPECT_EQ(Image.pixel(170, 20), qRgb(40, 220, 40));
    EXPECT_EQ(Image.pixel(180, 20), qRgb(220, 210, 40));
    EXPECT_EQ(Image.pixel(250, 20), qRgb(220, 210, 40));
    EXPECT_EQ(Image.pixel(260, 20), qRgb(230, 40, 40));
    EXPECT_EQ(Image.pixel(270, 20), qRgb(48, 0, 0));
    const QImage Dark = Draw(0.0f);
    EXPECT_EQ(Dark.pixel(0, 20), qRgb(0, 48, 0));
    EXPECT_EQ(Dark.pixel(180, 20), qRgb(40, 40, 0));
}

// The window repaints only ChangedSegments: painting the new level there, over the old
// picture, must give the picture of the new level, and nothing else may differ.
TEST(LevelMeter, RepaintingTheChangedSegmentsGivesTheNewPicture) {
    const std::pair<float, float> Cases[] = {
        {0.0f, 1.0f}, {1.0f, 0.0f},  {0.5f, 11.0f / 30}, {11.0f / 30, 0.5f},
        {0.9f, 0.9f}, {0.2f, 0.21f}, {0.0f, 1.0f / 30},
    };
    for (const auto& [Before, After] : Cases) {
        QImage Image = Draw(Before);
        const QRect Changed = ChangedSegments(316, 4, 42, LitSegments(Before), LitSegments(After));
        EXPECT_EQ(Changed.isEmpty(), LitSegments(Before) == LitSegments(After)) << Before;
        {
            QPainter Canvas(&Image);
            Canvas.setClipRect(Changed);
            DrawMeter(Canvas, 316, 4, 42, After);
        }
        EXPECT_EQ(Image, Draw(After)) << Before << " to " << After;
    }
}

TEST(LevelMeter, RisesAtOnceAndFalls) {
    // 0.8 displayed with a reading of 0.7: it falls to 0.6 first, then takes the 0.7.
    float Shown = MeterStep(0.8f, true, 0.7f);
    EXPECT_FLOAT_EQ(Shown, 0.6f);
    Shown = MeterStep(Shown, true, 0.7f);
    EXPECT_EQ(Shown, 0.7f);
    // Full scale followed by silence goes dark (no segment lit) after 15 steps while
    // recording, after 9 once the recording stopped.
    for (const auto& [Recording, Steps] : {std::pair{true, 15}, std::pair{false, 9}}) {
        float Level = 1.0f;
        int N = 0;
        while (std::nearbyint(Level * 30.0f) > 0) {
            Level = MeterStep(Level, Recording, 0.0f);
            ++N;
        }
        EXPECT_EQ(N, Steps) << Recording;
    }
}
