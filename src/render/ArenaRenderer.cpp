#include "render/ArenaRenderer.h"

#include "render/ArenaPicture.h"
#include "render/QtCanvas.h"
#include "simulation/Simulation.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// Larger frames would need more memory than a frame is worth, and more than
// QImage takes.
constexpr int kLargestSide = 16384;

QString sizeText(QSize size) {
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

int scaledLength(int modelLength, double scale) {
    return static_cast<int>(std::lround(modelLength * scale));
}

// Light text on a dark, half-transparent box, readable on any arena colour.
void drawTextBox(QPainter& painter, const QStringList& lines, bool rightAligned) {
    const QFontMetrics metrics(painter.font());
    const int padding = std::max(2, metrics.height() / 5);
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const QSize box(width + 2 * padding,
                    static_cast<int>(lines.size()) * metrics.height() + 2 * padding);
    const int frameWidth = painter.device()->width();
    const QPoint corner(rightAligned ? frameWidth - box.width() - padding : padding, padding);
    painter.fillRect(QRect(corner, box), QColor(0, 0, 0, 150));
    painter.setPen(Qt::white);
    int baseline = corner.y() + padding + metrics.ascent();
    for (const QString& line : lines) {
        const int x = rightAligned
                          ? corner.x() + box.width() - padding - metrics.horizontalAdvance(line)
                          : corner.x() + padding;
        painter.drawText(x, baseline, line);
        baseline += metrics.height();
    }
}

} // namespace

TFrameLayout LayOutFrame(QSize arena, const TFrameOptions& options) {
    if (arena.width() <= 0 || arena.height() <= 0)
        throw ERenderError("The arena of " + sizeText(arena).toStdString() +
                           " pixels has nothing to draw");
    TFrameLayout layout;
    if (options.Size) {
        const QSize size = *options.Size;
        if (size.width() <= 0 || size.height() <= 0)
            throw ERenderError("The frame size " + sizeText(size).toStdString() + " is empty");
        if (options.EvenSize && (size.width() % 2 != 0 || size.height() % 2 != 0))
            throw ERenderError("A video's width and height must be even, not " +
                               sizeText(size).toStdString());
        layout.Frame = size;
        layout.Scale = std::min(static_cast<double>(size.width()) / arena.width(),
                                static_cast<double>(size.height()) / arena.height());
    } else {
        if (!(options.Scale > 0) || !std::isfinite(options.Scale))
            throw ERenderError("The scale must be a number above 0");
        layout.Scale = options.Scale;
    }
    const double width = arena.width() * layout.Scale;
    const double height = arena.height() * layout.Scale;
    if (width > kLargestSide || height > kLargestSide)
        throw ERenderError("A frame of the arena at this scale would be larger than " +
                           std::to_string(kLargestSide) + " pixels");
    layout.Picture = QSize(scaledLength(arena.width(), layout.Scale),
                           scaledLength(arena.height(), layout.Scale));
    if (options.Size)
        layout.Picture = layout.Picture.boundedTo(layout.Frame);
    if (layout.Picture.isEmpty())
        throw ERenderError("The arena scaled by " + std::to_string(layout.Scale) +
                           " is less than a pixel");
    if (!options.Size) {
        layout.Frame = layout.Picture;
        if (options.EvenSize)
            layout.Frame =
                QSize((layout.Frame.width() + 1) / 2 * 2, (layout.Frame.height() + 1) / 2 * 2);
        if (layout.Frame.width() > kLargestSide || layout.Frame.height() > kLargestSide)
            throw ERenderError("A frame of the arena at this scale would be larger than " +
                               std::to_string(kLargestSide) + " pixels");
    }
    layout.Offset = QPoint((layout.Frame.width() - layout.Picture.width()) / 2,
                           (layout.Frame.height() - layout.Picture.height()) / 2);
    return layout;
}

TArenaRenderer::TArenaRenderer(TSimulation& simulation, const TFrameOptions& options)
    : simulation_(simulation), options_(options), picture_(std::make_unique<TQtSurface>()) {
    simulation_.Pause();
    simulation_.SetHost(this);
    TGraphicDoc& doc = simulation_.Doc;
    auto buffer = std::make_unique<TQtSurface>();
    buffer_ = buffer.get();
    doc.SetBuffer(std::move(buffer));
    doc.SetPaintBox(picture_.get());
    doc.SetDoubleBuffered(true);
    ApplyArena(simulation_);
    layout_ = LayOutFrame(QSize(doc.Width, doc.Height), options_);
    // The arena view's picture holds what shows of the arena: the whole of it
    // here, in frame pixels when reduced, in model pixels from 1 up. The
    // buffer holds the same.
    const double scale = std::min(layout_.Scale, 1.0);
    const QRect area = layout_.Scale < 1 ? QRect(QPoint(0, 0), layout_.Picture)
                                         : QRect(0, 0, doc.Width, doc.Height);
    picture_->ShowArea(area, scale);
    buffer_->ShowArea(area, scale);
    // As after opening a file: the buffer holds the background, the picture
    // the arena.
    doc.ClearBuffer();
    simulation_.Repaint();
}

TArenaRenderer::~TArenaRenderer() {
    simulation_.Pause();
    simulation_.Doc.SetPaintBox(nullptr);
    simulation_.Doc.SetBuffer(nullptr);
    simulation_.SetHost(nullptr);
}

void TArenaRenderer::Step() {
    if (!simulation_.Running)
        simulation_.BeginRun();
    simulation_.StepFrame();
}

QImage TArenaRenderer::Frame() {
    QImage frame;
    DrawFrame(frame);
    return frame;
}

void TArenaRenderer::DrawFrame(QImage& frame) {
    if (frame.size() != layout_.Frame || frame.format() != QImage::Format_RGB32 ||
        !frame.isDetached())
        frame = QImage(layout_.Frame, QImage::Format_RGB32);
    picture_->QtCanvas().End();
    QPainter painter(&frame);
    const QRect pictureRect(layout_.Offset, layout_.Picture);
    for (const QRect& margin : QRegion(frame.rect()).subtracted(pictureRect))
        painter.fillRect(margin, options_.Margin);
    if (layout_.Scale <= 1) {
        painter.drawImage(layout_.Offset, picture_->Image(), QRect(QPoint(0, 0), layout_.Picture));
    } else {
        painter.save();
        painter.setClipRect(pictureRect);
        painter.translate(layout_.Offset);
        DrawEnlargedPicture(painter, *picture_, layout_.Scale);
        painter.restore();
    }
    if (options_.TimeStamp || options_.StatisticsOverlay) {
        QFont font = painter.font();
        font.setPixelSize(std::max(11, layout_.Frame.height() / 40));
        painter.setFont(font);
        if (options_.TimeStamp)
            drawTimeStamp(painter);
        if (options_.StatisticsOverlay)
            drawStatistics(painter);
    }
}

void TArenaRenderer::drawTimeStamp(QPainter& painter) const {
    const QString time = QString("%1:%2")
                             .arg(simulation_.CurrentSecond)
                             .arg(simulation_.CurrentFrame, 2, 10, QChar('0'));
    drawTextBox(painter, {time}, true);
}

void TArenaRenderer::drawStatistics(QPainter& painter) {
    QStringList lines;
    for (const auto& group : simulation_.Groups) {
        const TGroupStatistics statistics = meter_.Measure(*group);
        lines << QString("%1 (%2): polarisation %3, milling %4, clusters %5")
                     .arg(QString::fromStdString(group->Name))
                     .arg(statistics.Members)
                     .arg(statistics.Polarisation, 0, 'f', 2)
                     .arg(statistics.Milling, 0, 'f', 2)
                     .arg(statistics.Clusters);
    }
    if (!lines.isEmpty())
        drawTextBox(painter, lines, false);
}

} // namespace kova
