#include "render/ArenaPicture.h"

#include "render/QtCanvas.h"
#include "simulation/Simulation.h"

#include <QPainter>

#include <cmath>

namespace kova {

int MeterToPixel(Extended meters, std::uint8_t pixelsPerMeter) {
    // The default rounding mode sends halves to the even neighbour.
    return static_cast<int>(std::llrint(meters * pixelsPerMeter));
}

void ApplyArena(TSimulation& simulation) {
    TGraphicDoc& doc = simulation.Doc;
    doc.SetWidth(MeterToPixel(simulation.Space.Width, simulation.PixelsPerMeter));
    doc.SetHeight(MeterToPixel(simulation.Space.Height, simulation.PixelsPerMeter));
    doc.SetBackgroundColor(simulation.Space.Color);
    doc.ApplySize();
}

void DrawEnlargedPicture(QPainter& painter, const TQtSurface& surface, double zoom) {
    const QRect placement = surface.Placement();
    // Target pixels per picture pixel.
    const double enlargement = zoom / surface.Scale();
    // Without smooth transformation the painter picks the nearest picture
    // pixel for every target pixel.
    painter.drawImage(
        QRectF(QPointF(placement.topLeft()) * enlargement, QSizeF(placement.size()) * enlargement),
        surface.Image());
}

} // namespace kova
