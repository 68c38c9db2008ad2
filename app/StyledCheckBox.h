// The use check boxes under the page control: a caption and a checked state, drawn flat.
#pragma once

#include <QAbstractButton>

namespace morvik::app {

class StyledCheckBox : public QAbstractButton {
    Q_OBJECT
  public:
    explicit StyledCheckBox(const QString& caption, QWidget* parent = nullptr);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace morvik::app
