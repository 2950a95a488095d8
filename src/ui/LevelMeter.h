#pragma once

class QPainter;
class QRect;

// The level meters of the main window: 30 segments on a linear scale, green, yellow and red.

// Draws one meter bar into a paint box of width BoxWidth: segments of (BoxWidth - 58) / 30
// pixels on a pitch two pixels wider, from x 0, between Top and Top + Height; the first
// Level * 30 segments (rounded half to even) lit.
void DrawMeter(QPainter& Canvas, int BoxWidth, int Top, int Height, float Level);
// How many segments Level lights: all a meter's picture depends on.
int LitSegments(float Level);
// The part of a bar drawn by DrawMeter with the same box that differs between LitBefore and
// LitAfter lit segments: all that needs repainting. Empty when the two are the same.
QRect ChangedSegments(int BoxWidth, int Top, int Height, int LitBefore, int LitAfter);

// The displayed level after one 50 ms step: with a reading, it rises at once to a higher
// reading and otherwise falls by 0.75; without one (no recording) it falls by 0.6.
float MeterStep(float Displayed, bool HaveReading, float Reading);
