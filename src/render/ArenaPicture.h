#pragma once

#include "foundations/Extended.h"

#include <cstdint>

class QPainter;

namespace kova {

class TQtSurface;
class TSimulation;

// What the desktop program's arena view and the off-screen renderer share, so
// that both show the arena with the same pixels.

// Metres to model pixels: metres x pixels per metre, halves rounded to even.
int MeterToPixel(Extended meters, std::uint8_t pixelsPerMeter);

// The drawing document takes the arena's size in model pixels and its colour,
// and hands the size on to its paint surface and buffer.
void ApplyArena(TSimulation& simulation);

// Draws a surface's picture, which holds its part of the arena one model
// pixel to a pixel, enlarged `zoom` times (above 1) at the place that part
// takes in the enlarged arena, whose top-left corner is the painter's origin.
// Every model pixel becomes a sharp square.
void DrawEnlargedPicture(QPainter& painter, const TQtSurface& surface, double zoom);

} // namespace kova
