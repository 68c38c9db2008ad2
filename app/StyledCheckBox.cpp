#include "StyledCheckBox.h"

#include <QPainter>
#include <QPainterPath>

#include "FittedText.h"

namespace morvik::app {
namespace {

constexpr int kBoxSize = 11;
constexpr int kGap = 3;
// The boxes stand 72 pixels apart and are 71 wide: a caption that fills its box would touch
// the next box.
constexpr int kRightMargin = 4;

}  // namespace

StyledCheckBox::StyledCheckBox(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    setText(caption);
    setCheckable(true);
    setChecked(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSize StyledCheckBox::sizeHint() const {
    const QFontMetrics fm(font());
    return {kBoxSize + kGap + fm.horizontalAdvance(text()) + kRightMargin,
            std::max(kBoxSize, fm.height())};
}

bool StyledCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void StyledCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, (height() - kBoxSize) / 2.0 + 0.5, kBoxSize - 1, kBoxSize - 1);
    const QColor accent = isEnabled() ? QColor(0, 84, 166) : QColor(150, 150, 150);

    p.setPen(QPen(accent, 1));
    p.setBrush(isDown() ? QColor(220, 230, 245) : QColor(Qt::white));
    p.drawRoundedRect(box, 2, 2);
    if (isChecked()) {
        QPainterPath tick;
        tick.moveTo(box.left() + 2.5, box.center().y());
        tick.lineTo(box.left() + 5.0, box.bottom() - 3.0);
        tick.lineTo(box.right() - 2.5, box.top() + 3.0);
        p.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }

    const QRect textRect(kBoxSize + kGap, 0, width() - kBoxSize - kGap - kRightMargin, height());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    DrawFittedText(p, textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        p.setPen(QPen(accent, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(textRect).adjusted(-1.5, 0.5, -0.5, -0.5));
    }
}

}  // namespace morvik::app
