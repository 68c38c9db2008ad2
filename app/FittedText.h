// Captions laid out for narrow fixed widths: when the fonts at hand run wider than the ones
// the layout was drawn for, text is squeezed a little before it is cut.
#pragma once

#include <QPainter>
#include <QRect>
#include <QString>

namespace morvik::app {

void DrawFittedText(QPainter& painter, const QRect& rect, Qt::Alignment align, const QString& text);

// Gives a push button the largest pixel size, up to that of `base`, at which its caption
// fits inside its fixed width.
void FitButtonFont(QWidget* button, const QFont& base, int padding = 10);

}  // namespace morvik::app
