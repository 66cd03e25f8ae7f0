#include "widgets/GridWidget.h"

#include "widgets/Messages.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

// Check box cells draw their box where the column's alignment puts it (the
// stock delegate always puts it at the left edge) and toggle only from a
// click on that box or from Space.
class CheckCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static bool isCheckCell(const QModelIndex &index)
    {
        return index.data(Qt::CheckStateRole).isValid() && index.data(Qt::DisplayRole).toString().isEmpty();
    }

    // Whether pos (viewport coordinates) is on the box of a cell the user may tick.
    bool hitsCheckBox(const QStyleOptionViewItem &option, const QModelIndex &index, const QPoint &pos) const
    {
        if (!isCheckCell(index) || !(index.flags() & Qt::ItemIsUserCheckable))
            return false;
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        return checkRect(opt).contains(pos);
    }

    static QRect checkRect(const QStyleOptionViewItem &option)
    {
        const QWidget *widget = option.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget),
            style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget));
        Qt::Alignment alignment = option.displayAlignment;
        if (!(alignment & Qt::AlignHorizontal_Mask))
            alignment |= Qt::AlignLeft;
        if (!(alignment & Qt::AlignVertical_Mask))
            alignment |= Qt::AlignVCenter;
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, widget) + 1;
        return QStyle::alignedRect(option.direction, alignment, size, option.rect.adjusted(margin, 0, -margin, 0));
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!isCheckCell(index)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget *widget = opt.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const Qt::CheckState state = opt.checkState;
        opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        opt.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        QStyleOptionViewItem box = opt;
        box.rect = checkRect(opt);
        box.state &= ~QStyle::State_HasFocus;
        box.state |= state == Qt::Checked   ? QStyle::State_On
            : state == Qt::PartiallyChecked ? QStyle::State_NoChange
                                            : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
    }

    bool editorEvent(
        QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index) override
    {
        if (!isCheckCell(index))
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        const Qt::ItemFlags flags = model->flags(index);
        if (!(flags & Qt::ItemIsUserCheckable) || !(flags & Qt::ItemIsEnabled))
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() != Qt::LeftButton || !checkRect(opt).contains(mouse->position().toPoint()))
                return false;
            // The press and a double-click are taken so that they neither
            // select nor activate the row; the release ticks.
            if (event->type() != QEvent::MouseButtonRelease)
                return true;
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select)
                return false;
            break;
        }
        default:
            return false;
        }
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
};

} // namespace

GridWidget::GridWidget(QWidget *parent)
    : QTableView(parent)
    , m_model(new GridModel(this))
{
    setModel(m_model);
    setItemDelegate(new CheckCellDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid; arrows, Home/End and the page keys move within it.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    // The header flips its indicator on a click; section -1 shows none.
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->setSortIndicatorShown(true);

    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        applyColumnLayout();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit rowActivated();
    });
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &GridWidget::sortByHeader);
}

void GridWidget::applyColumnLayout()
{
    horizontalHeader()->setVisible(m_model->fixedRows() > 0);
    for (int col = 0; col < m_model->cols(); ++col) {
        setColumnHidden(col, m_model->colHidden(col));
        if (m_model->colWidth(col) >= 0)
            setColumnWidth(col, m_model->colWidth(col));
    }
}

void GridWidget::setColHidden(int col, bool hidden)
{
    if (col < 0 || col >= cols())
        return;
    m_model->setColHidden(col, hidden);
    setColumnHidden(col, hidden);
}

void GridWidget::setColAlignmentCenter(int col)
{
    m_model->setColAlignment(col, Qt::AlignCenter);
    m_model->setFixedAlignment(col, Qt::AlignCenter);
}

void GridWidget::setFixedRows(int count)
{
    m_model->setFixedRows(count);
    horizontalHeader()->setVisible(m_model->fixedRows() > 0);
}

// ---- widths

int GridWidget::twipsToPixels(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

void GridWidget::setColWidthTwips(int col, int twips)
{
    if (col < 0 || col >= cols())
        return;
    const int pixels = std::max(0, twipsToPixels(twips));
    m_model->setColWidth(col, pixels);
    setColumnWidth(col, pixels);
}

std::vector<int> GridWidget::sampleRows() const
{
    const int first = m_model->fixedRows();
    const int count = m_model->rows() - first;
    std::vector<int> rows;
    if (count <= 0)
        return rows;
    if (count <= kAutoSizeSampleRows) {
        rows.resize(size_t(count));
        for (int i = 0; i < count; ++i)
            rows[size_t(i)] = first + i;
        return rows;
    }
    // The first screenfuls are what the user sees first; the rest is spread
    // evenly, the last rows included.
    const int head = kAutoSizeSampleRows / 2;
    const int spread = kAutoSizeSampleRows - head;
    rows.reserve(size_t(kAutoSizeSampleRows));
    for (int i = 0; i < head; ++i)
        rows.push_back(first + i);
    for (int i = 1; i <= spread; ++i)
        rows.push_back(first + head + int(qint64(count - head - 1) * i / spread));
    return rows;
}

void GridWidget::autoSize(int firstCol, int lastCol)
{
    if (firstCol > lastCol)
        std::swap(firstCol, lastCol);
    firstCol = std::max(0, firstCol);
    lastCol = std::min(cols() - 1, lastCol);
    if (firstCol > lastCol)
        return;

    const QFontMetrics metrics(font());
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
    const int checkWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + margin;
    const std::vector<int> sample = sampleRows();
    const bool header = m_model->fixedRows() > 0 && m_model->rows() > 0;

    for (int col = firstCol; col <= lastCol; ++col) {
        int width = header ? horizontalHeader()->sectionSizeHint(col) : 0;
        if (m_model->colDataType(col) == DataType::Boolean && !sample.empty()) {
            width = std::max(width, checkWidth);
        } else {
            // A column repeats its values (days, names, stamps): each
            // distinct text is converted and measured once.
            QSet<QString> measured;
            for (const int row : sample) {
                const QString text = m_model->textMatrix(row, col);
                if (measured.contains(text))
                    continue;
                measured.insert(text);
                width = std::max(width, metrics.horizontalAdvance(m_model->displayText(row, col)) + margin);
            }
        }
        width = std::max(width, margin);
        m_model->setColWidth(col, width);
        setColumnWidth(col, width);
    }
}

// ---- current row and activation

int GridWidget::row() const
{
    return m_model->gridRow(currentIndex());
}

bool GridWidget::setRow(int row)
{
    int col = 0;
    while (col < cols() && (isColumnHidden(col) || col < fixedCols()))
        ++col;
    const QModelIndex index = m_model->indexOf(row, col);
    if (!index.isValid())
        return false;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    return true;
}

void GridWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (index.isValid()) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = visualRect(index);
        if (static_cast<CheckCellDelegate *>(itemDelegate())->hitsCheckBox(option, index, pos)) {
            // A quick second tick, not an activation.
            QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                event->globalPosition(), event->button(), event->buttons(), event->modifiers());
            mousePressEvent(&press);
            return;
        }
    }
    QTableView::mouseDoubleClickEvent(event);
}

void GridWidget::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    // Focus makes the first row current; show it selected, since Enter opens it.
    if (currentIndex().isValid() && !selectionModel()->hasSelection())
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void GridWidget::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
        // Taken here so the key does not also reach a default button.
        event->accept();
        if (currentIndex().isValid())
            emit rowActivated();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridWidget::redraw()
{
    viewport()->update();
    horizontalHeader()->viewport()->update();
}

// ---- sorting

void GridWidget::setUserSortable(bool on)
{
    m_userSortable = on;
    horizontalHeader()->setSectionsClickable(on);
    if (!on)
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void GridWidget::sortByHeader(int col, Qt::SortOrder order)
{
    if (!m_userSortable || col < 0 || col >= cols())
        return;
    WaitCursor wait;
    m_model->sort(col, order);
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}
