#include "GridModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QToolTip>
#include <algorithm>

#include "FittedText.h"
#include "core/DataExchange.h"

namespace morvik::app {

TextTableModel::TextTableModel(TextTable& table, int fixedCols, int fixedRows, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      fixedCols_(fixedCols),
      fixedRows_(fixedRows),
      shownRows_(table.RowCount()) {}

int TextTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int TextTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.ColCount();
}

bool TextTableModel::IsFixed(const QModelIndex& index) const {
    return index.column() < fixedCols_ || index.row() < fixedRows_;
}

QVariant TextTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return QString::fromStdString(table_.Cell(index.column(), index.row()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole:
            if (marker_ && !IsFixed(index) && marker_(index.column(), index.row()))
                return QColor(255, 205, 205);
            return {};
        default:
            return {};
    }
}

bool TextTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || IsFixed(index)) return false;
    const std::string text = value.toString().toStdString();
    // Writing what the cell holds already leaves nothing to undo.
    if (beforeEdit_ && text != table_.Cell(index.column(), index.row())) beforeEdit_();
    table_.SetCell(index.column(), index.row(), text);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit Edited();
    return true;
}

Qt::ItemFlags TextTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (IsFixed(index)) return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_) f |= Qt::ItemIsEditable;
    return f;
}

void TextTableModel::EmptyCells(const QModelIndexList& cells) {
    QModelIndexList filled;
    for (const QModelIndex& index : cells) {
        if (index.isValid() && !IsFixed(index) && !table_.IsEmpty(index.column(), index.row()))
            filled << index;
    }
    if (filled.isEmpty()) return;
    if (beforeEdit_) beforeEdit_();
    for (const QModelIndex& index : filled) {
        table_.ClearCell(index.column(), index.row());
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
    emit Edited();
}

void TextTableModel::Refresh() {
    if (shownRows_ != table_.RowCount()) {
        beginResetModel();
        shownRows_ = table_.RowCount();
        endResetModel();
    } else if (shownRows_ > 0 && table_.ColCount() > 0) {
        emit dataChanged(index(0, 0), index(shownRows_ - 1, table_.ColCount() - 1));
    }
}

void FixedCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const auto* model = qobject_cast<const TextTableModel*>(index.model());
    if (!model || !model->IsFixed(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionHeader header;
    header.rect = option.rect;
    header.state = QStyle::State_Enabled | QStyle::State_Raised;
    header.text = index.data(Qt::DisplayRole).toString();
    header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    header.fontMetrics = option.fontMetrics;
    header.palette = option.palette;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : nullptr;
    if (!style) return;
    painter->save();
    painter->setFont(option.font);
    style->drawControl(QStyle::CE_HeaderSection, &header, painter, widget);
    painter->setPen(option.palette.color(QPalette::ButtonText));
    DrawFittedText(*painter, option.rect.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   header.text);
    painter->restore();
}

namespace {

void ConfigureView(QTableView* view, TextTableModel* model, int colWidth, int rowHeight) {
    view->setModel(model);
    view->setItemDelegate(new FixedCellDelegate(view));
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    for (QHeaderView* header : {view->horizontalHeader(), view->verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    view->horizontalHeader()->setDefaultSectionSize(colWidth);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->setShowGrid(true);
    view->setWordWrap(false);
}

}  // namespace

StringGrid::StringGrid(TextTable& table, int fixedCols, int fixedRows, int colWidth, int rowHeight,
                       QWidget* parent)
    : QTableView(parent),
      model_(new TextTableModel(table, fixedCols, fixedRows, this)),
      fixedCols_(fixedCols),
      fixedRows_(fixedRows) {
    ConfigureView(this, model_, colWidth, rowHeight);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);  // as a string grid scrolls
    // Tab moves on to the next control, as in every other control of the window; the arrow
    // keys move between cells.
    setTabKeyNavigation(false);
    setCurrentIndex(model_->index(fixedRows_, fixedCols_));

    if (fixedRows_ > 0) {
        frozenRows_ = new QTableView(this);
        ConfigureView(frozenRows_, model_, colWidth, rowHeight);
        frozenRows_->setFocusPolicy(Qt::NoFocus);
        frozenRows_->setSelectionMode(QAbstractItemView::NoSelection);
        frozenRows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        frozenRows_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozenRows_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozenRows_->setFrameShape(QFrame::NoFrame);
        frozenRows_->setContextMenuPolicy(Qt::NoContextMenu);
        connect(horizontalHeader(), &QHeaderView::sectionResized, frozenRows_,
                [this](int section, int, int size) { frozenRows_->setColumnWidth(section, size); });
        connect(horizontalScrollBar(), &QScrollBar::valueChanged,
                frozenRows_->horizontalScrollBar(), &QScrollBar::setValue);
        UpdateFrozenRows();
    }
}

QPoint StringGrid::Anchor() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        const QModelIndex current = currentIndex();
        return current.isValid() ? QPoint(current.column(), current.row())
                                 : QPoint(fixedCols_, fixedRows_);
    }
    QPoint topLeft(selected.first().column(), selected.first().row());
    for (const QModelIndex& index : selected) {
        topLeft.setX(std::min(topLeft.x(), index.column()));
        topLeft.setY(std::min(topLeft.y(), index.row()));
    }
    return topLeft;
}

bool StringGrid::IsCutOff(const QModelIndex& index) const {
    if (!index.isValid()) return false;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return false;
    // The item's text margins: the style's focus frame on each side plus one pixel.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    return fontMetrics().horizontalAdvance(text) > columnWidth(index.column()) - margin;
}

void StringGrid::DeleteSelection() {
    if (!model_->Editable()) return;
    QModelIndexList cells = selectionModel()->selectedIndexes();
    if (cells.isEmpty() && currentIndex().isValid()) cells << currentIndex();
    model_->EmptyCells(cells);
}

QString StringGrid::SelectionText() const {
    const QModelIndexList cells = selectionModel()->selectedIndexes();
    if (cells.isEmpty()) return {};
    int left = cells.first().column(), right = left;
    int top = cells.first().row(), bottom = top;
    for (const QModelIndex& index : cells) {
        left = std::min(left, index.column());
        right = std::max(right, index.column());
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
    }
    return QString::fromStdString(core::CopyText(model_->Table(), left, top, right, bottom));
}

void StringGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (const QString text = SelectionText(); !text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        DeleteSelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool StringGrid::event(QEvent* event) {
    const bool handled = QTableView::event(event);
    if (event->type() == QEvent::Paint && hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    return handled;
}

void StringGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    update();
}

void StringGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    update();
}

bool StringGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (IsCutOff(index)) {
            QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(),
                               viewport(), visualRect(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QTableView::viewportEvent(event);
}

void StringGrid::SetEditable(bool editable) {
    FinishEditing();
    model_->SetEditable(editable);
}

void StringGrid::FinishEditing() {
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void StringGrid::Refresh() {
    model_->Refresh();
    viewport()->update();
    if (frozenRows_) frozenRows_->viewport()->update();
}

void StringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QTableView::scrollTo(index, hint);
    // A cell must not end up beneath the frozen rows; rows scroll one item at a time.
    if (frozenRows_ && index.isValid() && index.row() >= fixedRows_ &&
        verticalScrollBar()->value() > 0 &&
        verticalScrollBar()->value() > index.row() - fixedRows_) {
        verticalScrollBar()->setValue(index.row() - fixedRows_);
    }
}

void StringGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    UpdateFrozenRows();
}

void StringGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    UpdateFrozenRows();
}

void StringGrid::UpdateFrozenRows() {
    if (!frozenRows_) return;
    int height = 0;
    for (int r = 0; r < fixedRows_ && r < model_->rowCount(); ++r) height += rowHeight(r);
    const QRect area = viewport()->geometry();
    frozenRows_->setGeometry(area.x(), area.y(), area.width(), height + 1);
    // Only needed once the grid has scrolled: before that the real rows sit underneath.
    frozenRows_->setVisible(verticalScrollBar()->value() > 0);
    frozenRows_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

}  // namespace morvik::app
