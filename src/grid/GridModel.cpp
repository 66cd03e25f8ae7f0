#include "grid/GridModel.h"

#include "base/Colors.h"
#include "base/Formats.h"
#include "grid/GridCells.h"
#include "grid/GridValues.h"

#include <QBrush>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>
#include <algorithm>

namespace {

constexpr Qt::Alignment kGeneralText = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kGeneralNumber = Qt::AlignRight | Qt::AlignVCenter;

const QString kMoneyFormat = QStringLiteral("$#,##0.00");
const QString kNumberFormat = QStringLiteral("#,##0.00");

} // namespace

struct GridModel::RowColours
{
    // Cells [0, span) take spanColour unless they have their own colour.
    int span = 0;
    quint32 spanColour = 0;
    std::vector<std::pair<int, quint32>> cells; // sorted by column
    std::vector<int> bold; // the columns whose text is bold, sorted
};

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_backColor(Colors::kWindowBackground)
{
}

GridModel::~GridModel() = default;

// ---- rows and columns

void GridModel::setRows(int count)
{
    count = std::max(0, count);
    if (count == rows())
        return;
    beginResetModel();
    if (count < rows())
        m_rows.erase(m_rows.begin() + count, m_rows.end());
    else
        m_rows.resize(size_t(count));
    if (count == 0)
        m_rows.shrink_to_fit();
    endResetModel();
}

void GridModel::setCols(int count)
{
    count = std::max(0, count);
    if (count == m_cols)
        return;
    beginResetModel();
    if (count < m_cols) {
        for (Row &row : m_rows) {
            GridCells::truncate(row.cells, count);
            if (RowColours *colours = row.colours.get()) {
                colours->span = std::min(colours->span, count);
                std::erase_if(colours->cells, [count](const auto &cell) { return cell.first >= count; });
                std::erase_if(colours->bold, [count](int col) { return col >= count; });
            }
        }
    }
    m_cols = count;
    m_columns.resize(size_t(count));
    endResetModel();
}

void GridModel::addItem(QStringView tabText)
{
    const int gridRow = rows();
    Row row { GridCells::fromTabText(tabText, m_cols), nullptr };
    if (gridRow < m_fixedRows) {
        m_rows.push_back(std::move(row));
        if (m_cols > 0)
            emit headerDataChanged(Qt::Horizontal, 0, m_cols - 1);
        return;
    }
    const int modelRow = gridRow - m_fixedRows;
    beginInsertRows({}, modelRow, modelRow);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void GridModel::addItems(const QStringList &tabTexts)
{
    qsizetype next = 0;
    // The header line, when it comes first, goes as a header does.
    for (; next < tabTexts.size() && rows() < m_fixedRows; ++next)
        addItem(tabTexts[next]);
    if (next == tabTexts.size())
        return;
    const int first = rows() - m_fixedRows;
    beginInsertRows({}, first, first + int(tabTexts.size() - next) - 1);
    m_rows.reserve(m_rows.size() + size_t(tabTexts.size() - next));
    for (; next < tabTexts.size(); ++next)
        m_rows.push_back(Row { GridCells::fromTabText(tabTexts[next], m_cols), nullptr });
    endInsertRows();
}

bool GridModel::validCell(int row, int col) const
{
    return row >= 0 && row < rows() && col >= 0 && col < m_cols;
}

QString GridModel::textMatrix(int row, int col) const
{
    if (!validCell(row, col))
        return {};
    return GridCells::text(m_rows[size_t(row)].cells, col);
}

bool GridModel::setTextMatrix(int row, int col, const QString &text)
{
    if (!validCell(row, col))
        return false;
    Row &r = m_rows[size_t(row)];
    r.cells = GridCells::replaced(r.cells, col, text);
    cellsChanged(row, col, row, col);
    return true;
}

void GridModel::cellsChanged(int row1, int col1, int row2, int col2)
{
    if (row1 < m_fixedRows)
        emit headerDataChanged(Qt::Horizontal, col1, col2);
    const int first = std::max(row1, m_fixedRows);
    if (first <= row2)
        emit dataChanged(indexOf(first, col1), indexOf(row2, col2));
}

// ---- colours

void GridModel::setColourSpan(Row &row, int from, int to, quint32 colour)
{
    if (!row.colours)
        row.colours = std::make_unique<RowColours>();
    RowColours &c = *row.colours;
    if (from == 0 && to == m_cols - 1) {
        // A whole-row colour (the usual job-type tint) costs one entry.
        c.span = m_cols;
        c.spanColour = colour;
        c.cells.clear();
        return;
    }
    for (int col = from; col <= to; ++col) {
        auto it = std::lower_bound(
            c.cells.begin(), c.cells.end(), col, [](const auto &cell, int key) { return cell.first < key; });
        if (it != c.cells.end() && it->first == col)
            it->second = colour;
        else
            c.cells.insert(it, { col, colour });
    }
}

bool GridModel::setCellBackColor(int row, int col, quint32 colour)
{
    return setCellBackColor(row, col, row, col, colour);
}

bool GridModel::setCellBackColor(int row1, int col1, int row2, int col2, quint32 colour)
{
    if (row1 > row2)
        std::swap(row1, row2);
    if (col1 > col2)
        std::swap(col1, col2);
    if (!validCell(row1, col1) || !validCell(row2, col2))
        return false;
    for (int r = row1; r <= row2; ++r)
        setColourSpan(m_rows[size_t(r)], col1, col2, colour);
    cellsChanged(row1, col1, row2, col2);
    return true;
}

quint32 GridModel::cellBackColor(int row, int col) const
{
    if (!validCell(row, col))
        return m_backColor;
    const RowColours *c = m_rows[size_t(row)].colours.get();
    if (!c)
        return m_backColor;
    auto it = std::lower_bound(
        c->cells.begin(), c->cells.end(), col, [](const auto &cell, int key) { return cell.first < key; });
    if (it != c->cells.end() && it->first == col)
        return it->second;
    return col < c->span ? c->spanColour : m_backColor;
}

bool GridModel::setCellFontBold(int row, int col, bool bold)
{
    if (!validCell(row, col))
        return false;
    Row &r = m_rows[size_t(row)];
    if (!r.colours)
        r.colours = std::make_unique<RowColours>();
    std::vector<int> &columns = r.colours->bold;
    const auto it = std::lower_bound(columns.begin(), columns.end(), col);
    const bool was = it != columns.end() && *it == col;
    if (was == bold)
        return true;
    if (bold)
        columns.insert(it, col);
    else
        columns.erase(it);
    cellsChanged(row, col, row, col);
    return true;
}

bool GridModel::cellFontBold(int row, int col) const
{
    if (!validCell(row, col))
        return false;
    const RowColours *c = m_rows[size_t(row)].colours.get();
    return c && std::binary_search(c->bold.cbegin(), c->bold.cend(), col);
}

void GridModel::setBackColor(quint32 colour)
{
    m_backColor = colour;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_cols - 1), { Qt::BackgroundRole });
}

// ---- fixed rows and columns

void GridModel::setFixedRows(int count)
{
    count = std::clamp(count, 0, 1);
    if (count == m_fixedRows)
        return;
    beginResetModel();
    m_fixedRows = count;
    endResetModel();
}

void GridModel::setFixedCols(int count)
{
    count = std::max(0, count);
    if (count == m_fixedCols)
        return;
    m_fixedCols = count;
    if (rowCount() > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_cols - 1));
}

// ---- column settings

GridModel::Column &GridModel::column(int col)
{
    return m_columns[size_t(col)];
}

const GridModel::Column *GridModel::columnOrNull(int col) const
{
    return col >= 0 && col < m_cols ? &m_columns[size_t(col)] : nullptr;
}

void GridModel::setColDataType(int col, DataType type)
{
    if (!columnOrNull(col) || column(col).type == type)
        return;
    column(col).type = type;
    cellsChanged(0, col, rows() - 1, col);
}

GridModel::DataType GridModel::colDataType(int col) const
{
    const Column *c = columnOrNull(col);
    return c ? c->type : DataType::Text;
}

bool GridModel::setColFormat(int col, const QString &format)
{
    if (!columnOrNull(col))
        return false;
    Format f;
    if (format.isEmpty())
        f = Format::None;
    else if (format == kMoneyFormat)
        f = Format::Money;
    else if (format == kNumberFormat)
        f = Format::Number;
    else
        return false;
    if (column(col).format != f) {
        column(col).format = f;
        cellsChanged(0, col, rows() - 1, col);
    }
    return true;
}

QString GridModel::colFormat(int col) const
{
    const Column *c = columnOrNull(col);
    if (!c)
        return {};
    switch (c->format) {
    case Format::Money:
        return kMoneyFormat;
    case Format::Number:
        return kNumberFormat;
    case Format::None:
        break;
    }
    return {};
}

void GridModel::setColAlignment(int col, Qt::Alignment alignment)
{
    if (!columnOrNull(col))
        return;
    column(col).alignment = alignment;
    if (rowCount() > 0)
        emit dataChanged(indexOf(m_fixedRows, col), indexOf(rows() - 1, col), { Qt::TextAlignmentRole });
}

Qt::Alignment GridModel::colAlignment(int col) const
{
    const Column *c = columnOrNull(col);
    return c ? c->alignment : Qt::Alignment();
}

void GridModel::setFixedAlignment(int col, Qt::Alignment alignment)
{
    if (!columnOrNull(col))
        return;
    column(col).fixedAlignment = alignment;
    emit headerDataChanged(Qt::Horizontal, col, col);
}

Qt::Alignment GridModel::fixedAlignment(int col) const
{
    const Column *c = columnOrNull(col);
    return c ? c->fixedAlignment : Qt::Alignment();
}

void GridModel::setColEditable(int col, bool editable)
{
    if (!columnOrNull(col) || column(col).editable == editable)
        return;
    column(col).editable = editable;
    cellsChanged(m_fixedRows, col, rows() - 1, col);
}

bool GridModel::colEditable(int col) const
{
    const Column *c = columnOrNull(col);
    return c && c->editable;
}

void GridModel::setColHidden(int col, bool hidden)
{
    if (!columnOrNull(col) || column(col).hidden == hidden)
        return;
    column(col).hidden = hidden;
}

bool GridModel::colHidden(int col) const
{
    const Column *c = columnOrNull(col);
    return c && c->hidden;
}

void GridModel::setColWidth(int col, int pixels)
{
    if (!columnOrNull(col))
        return;
    column(col).width = pixels < 0 ? -1 : pixels;
}

int GridModel::colWidth(int col) const
{
    const Column *c = columnOrNull(col);
    return c ? c->width : -1;
}

// ---- conversions

QString GridModel::displayText(int row, int col) const
{
    const Column *c = columnOrNull(col);
    if (!c || row < 0 || row >= rows())
        return {};
    QString text = textMatrix(row, col);
    if (row < m_fixedRows)
        return text;
    switch (c->type) {
    case DataType::Boolean:
        return {};
    case DataType::Date:
        if (const auto value = GridValues::toDateTime(text))
            return value->time() == QTime(0, 0) ? Formats::date(value->date()) : Formats::dateTime(*value);
        return text;
    case DataType::Text:
        break;
    }
    if (c->format != Format::None) {
        if (const auto number = GridValues::toNumber(text))
            return c->format == Format::Money ? Formats::money(*number) : Formats::hours(*number);
    }
    // A cell is one line high: show a multi-line note on one line.
    if (text.contains(u'\n')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(u'\n', u' ');
        text.replace(u'\r', u' ');
    }
    return text;
}

bool GridModel::isCell(const QModelIndex &index) const
{
    // Views ask about invalid indexes too; that is no error worth a warning.
    return index.isValid() && index.model() == this && index.row() < rowCount() && index.column() < m_cols;
}

int GridModel::gridRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this ? index.row() + m_fixedRows : -1;
}

QModelIndex GridModel::indexOf(int row, int col) const
{
    if (row < m_fixedRows || !validCell(row, col))
        return {};
    return index(row - m_fixedRows, col);
}

// ---- QAbstractItemModel

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(0, rows() - m_fixedRows);
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant GridModel::cellData(int row, int col, int role) const
{
    const Column &c = m_columns[size_t(col)];
    const bool fixed = col < m_fixedCols;
    switch (role) {
    case Qt::DisplayRole:
        return fixed ? textMatrix(row, col) : displayText(row, col);
    case Qt::EditRole:
        return textMatrix(row, col);
    case Qt::CheckStateRole:
        if (c.type != DataType::Boolean || fixed)
            return {};
        return GridValues::toBool(GridCells::text(m_rows[size_t(row)].cells, col)).value_or(false) ? Qt::Checked
                                                                                                   : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        if (c.alignment)
            return int(c.alignment);
        if (c.type == DataType::Boolean)
            return int(Qt::AlignCenter);
        return int(GridValues::toNumber(textMatrix(row, col)) ? kGeneralNumber : kGeneralText);
    case Qt::FontRole: {
        if (!cellFontBold(row, col))
            return {};
        QFont font = QGuiApplication::font();
        font.setBold(true);
        return font;
    }
    case Qt::BackgroundRole: {
        const RowColours *colours = m_rows[size_t(row)].colours.get();
        if (colours)
            return QBrush(Colors::toQColor(cellBackColor(row, col)));
        if (fixed)
            return QGuiApplication::palette().button();
        if (m_backColor != Colors::kWindowBackground)
            return QBrush(Colors::toQColor(m_backColor));
        return {};
    }
    default:
        return {};
    }
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return {};
    return cellData(index.row() + m_fixedRows, index.column(), role);
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!isCell(index) || !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    const int row = index.row() + m_fixedRows;
    if (role == Qt::CheckStateRole)
        return setTextMatrix(
            row, index.column(), value.toInt() == Qt::Checked ? QStringLiteral("True") : QStringLiteral("False"));
    if (role == Qt::EditRole)
        return setTextMatrix(row, index.column(), value.toString());
    return false;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section + m_fixedRows;
        return {};
    }
    if (section < 0 || section >= m_cols || m_fixedRows == 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return textMatrix(0, section);
    case Qt::TextAlignmentRole:
        if (m_columns[size_t(section)].fixedAlignment)
            return int(m_columns[size_t(section)].fixedAlignment);
        return int(kGeneralText);
    case Qt::BackgroundRole:
        if (rows() > 0 && m_rows.front().colours)
            return QBrush(Colors::toQColor(cellBackColor(0, section)));
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    const int col = index.column();
    if (col < m_fixedCols)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Column &c = m_columns[size_t(col)];
    if (c.type == DataType::Boolean && c.editable)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void GridModel::sort(int column, Qt::SortOrder order)
{
    const int first = m_fixedRows;
    const int count = rows() - first;
    if (column < 0 || column >= m_cols || count < 2)
        return;

    // One key per row, worked out once: parsing a date per comparison would
    // make a 100,000-row sort crawl.
    struct Key
    {
        int kind = 0; // 0 empty, 1 number, 2 text
        double number = 0;
        QString text;
    };
    const DataType type = colDataType(column);
    std::vector<Key> keys(static_cast<size_t>(count));
    QHash<QString, std::optional<double>> parsedDates;
    for (int i = 0; i < count; ++i) {
        const QString text = textMatrix(first + i, column);
        Key &key = keys[size_t(i)];
        if (type == DataType::Boolean) {
            key.kind = 1;
            key.number = GridValues::toBool(text).value_or(false) ? 1 : 0;
        } else if (type == DataType::Date) {
            // A board repeats its dates: parse each distinct text once.
            auto known = parsedDates.constFind(text);
            if (known == parsedDates.cend()) {
                const auto value = GridValues::toDateTime(text);
                known = parsedDates.insert(
                    text, value ? std::optional<double>(double(value->toMSecsSinceEpoch())) : std::nullopt);
            }
            if (known.value()) {
                key.kind = 1;
                key.number = *known.value();
            } else if (!text.trimmed().isEmpty()) {
                key.kind = 2;
                key.text = text;
            }
        } else if (const auto number = GridValues::toNumber(text)) {
            key.kind = 1;
            key.number = *number;
        } else if (!text.isEmpty()) {
            key.kind = 2;
            key.text = text;
        }
    }
    auto less = [&keys](int a, int b) {
        const Key &x = keys[size_t(a)];
        const Key &y = keys[size_t(b)];
        if (x.kind != y.kind)
            return x.kind < y.kind;
        if (x.kind == 1)
            return x.number < y.number;
        if (x.kind == 2)
            return x.text.compare(y.text, Qt::CaseInsensitive) < 0;
        return false;
    };
    std::vector<int> order_(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order_[size_t(i)] = i;
    if (order == Qt::AscendingOrder)
        std::stable_sort(order_.begin(), order_.end(), less);
    else
        std::stable_sort(order_.begin(), order_.end(), [&less](int a, int b) { return less(b, a); });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(static_cast<size_t>(count));
    std::vector<Row> sorted;
    sorted.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        newPosition[size_t(order_[size_t(i)])] = i;
        sorted.push_back(std::move(m_rows[size_t(first + order_[size_t(i)])]));
    }
    std::move(sorted.begin(), sorted.end(), m_rows.begin() + first);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newPosition[size_t(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
