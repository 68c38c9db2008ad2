#include "FittedText.h"

#include <QFontMetrics>
#include <QWidget>

namespace morvik::app {
namespace {

constexpr double kNarrowest = 0.78;  // below this the letters blur into each other

}  // namespace

void DrawFittedText(QPainter& painter, const QRect& rect, Qt::Alignment align,
                    const QString& text) {
    const QFontMetrics fm = painter.fontMetrics();
    const int width = fm.horizontalAdvance(text);
    if (width <= rect.width() || rect.width() <= 0) {
        painter.drawText(rect, static_cast<int>(align), text);
        return;
    }
    const double fit = static_cast<double>(rect.width()) / width;
    const double scale = std::max(kNarrowest, fit);
    const QString shown = fit >= kNarrowest ? text
                                            : fm.elidedText(text, Qt::ElideRight,
                                                            static_cast<int>(rect.width() / scale));
    painter.save();
    painter.translate(rect.left(), 0);
    painter.scale(scale, 1.0);
    const QRect scaled(0, rect.top(), static_cast<int>(rect.width() / scale) + 1, rect.height());
    painter.drawText(scaled, static_cast<int>((align & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft),
                     shown);
    painter.restore();
}

void FitButtonFont(QWidget* button, const QFont& base, int padding) {
    QFont font = base;
    QString text = button->property("text").toString();
    text.remove('&');
    for (int pixels = font.pixelSize(); pixels > 7; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance(text) + padding <= button->width()) break;
    }
    button->setFont(font);
}

}  // namespace morvik::app
