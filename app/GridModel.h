// A string grid: a table view over one workspace table, with fixed rows and columns drawn
// as headers inside the grid itself.
#pragma once

#include <QAbstractTableModel>
#include <QPoint>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

#include "compute/Workspace.h"

namespace morvik::app {

// Every cell of the table, fixed ones included; the workspace stays the only copy of the
// data, so a grid of 65,535 rows costs no more than its visible cells.
class TextTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    TextTableModel(TextTable& table, int fixedCols, int fixedRows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool IsFixed(const QModelIndex& index) const;
    TextTable& Table() const { return table_; }
    void SetEditable(bool editable) { editable_ = editable; }
    bool Editable() const { return editable_; }

    // Cells (column, row) the predicate picks get a marked background.
    using Marker = std::function<bool(int col, int row)>;
    void SetMarker(Marker marker) { marker_ = std::move(marker); }

    // Called once before the grid changes the table (typing, Delete): the window records
    // what stood before for undo.
    void SetBeforeEdit(std::function<void()> hook) { beforeEdit_ = std::move(hook); }
    // Empties the cells as one edit; fixed and already empty cells are left alone.
    void EmptyCells(const QModelIndexList& cells);

    // Shows what the table holds now; a changed row count resets the view.
    void Refresh();

  signals:
    // A cell was changed through the grid (typed, or emptied by Delete).
    void Edited();

  private:
    TextTable& table_;
    int fixedCols_;
    int fixedRows_;
    int shownRows_;
    bool editable_ = true;
    Marker marker_;
    std::function<void()> beforeEdit_;
};

// Fixed cells are painted as header sections, the rest as ordinary cells.
class FixedCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class StringGrid : public QTableView {
    Q_OBJECT
  public:
    StringGrid(TextTable& table, int fixedCols, int fixedRows, int colWidth, int rowHeight,
               QWidget* parent = nullptr);

    TextTableModel* Model() const { return model_; }
    TextTable& Table() const { return model_->Table(); }
    int FixedCols() const { return fixedCols_; }
    int FixedRows() const { return fixedRows_; }

    // Top-left cell (column, row) of the selection, or the current cell without one.
    QPoint Anchor() const;
    // The cell's text does not fit its column: its tooltip shows the whole value.
    bool IsCutOff(const QModelIndex& index) const;
    // Empties the selected cells when the grid is editable (the Delete key).
    void DeleteSelection();
    // The selected range as TAB separated lines (Ctrl+C).
    QString SelectionText() const;
    void SetEditable(bool editable);
    // Writes a cell being edited into the table and closes its editor.
    void FinishEditing();
    void Refresh();

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The focused grid draws a focus frame over its border, so the grid that a paste or a
    // clear goes to is plain to see.
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void UpdateFrozenRows();

    TextTableModel* model_;
    QTableView* frozenRows_ = nullptr;  // keeps the fixed rows in view while scrolling
    int fixedCols_;
    int fixedRows_;
};

}  // namespace morvik::app
