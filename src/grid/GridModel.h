#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

// The text grid behind the list screens. Cells are addressed by grid row and
// column from 0; the first fixedRows() rows are fixed (row 0 is the header
// when there is one), so textMatrix(0, c) is the header text of column c.
//
// The Qt model side shows the rows after the fixed ones: model row i is grid
// row i + fixedRows(), and grid row 0 is served as the horizontal header.
//
// Rows are kept compactly for boards of 100,000 lines: one UTF-8 byte array
// per row with the cells joined by a byte that never occurs in UTF-8, and
// back colours only where set (a colour over a leading span of the row, plus
// single-cell overrides).
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum class DataType { Text, Date, Boolean };
    enum class Format { None, Money, Number };

    explicit GridModel(QObject *parent = nullptr);
    ~GridModel() override;

    // ---- grid operations (grid rows and columns, from 0)
    int rows() const { return int(m_rows.size()); }
    int cols() const { return m_cols; }
    // Fewer rows drop the rows past the new end; 0 empties the grid, header
    // included. More rows append empty ones.
    void setRows(int count);
    // Keeps the text and column settings of the columns that remain.
    void setCols(int count);
    // Appends a row; the text is split at tab characters into its cells from
    // column 0. Cells past the last column are dropped.
    void addItem(QStringView tabText);
    // addItem() for many lines at once: the view hears of them as one
    // insertion rather than one per line.
    void addItems(const QStringList &tabTexts);

    QString textMatrix(int row, int col) const;
    // False (and nothing changes) when the cell does not exist.
    bool setTextMatrix(int row, int col, const QString &text);

    // Colour values 0x00BBGGRR, or 0x80000000 + n for system colour n.
    bool setCellBackColor(int row, int col, quint32 colour);
    // The block from (row1, col1) to (row2, col2), corners in any order.
    bool setCellBackColor(int row1, int col1, int row2, int col2, quint32 colour);
    // What was set, or backColor() for a cell that has no colour of its own.
    quint32 cellBackColor(int row, int col) const;
    quint32 backColor() const { return m_backColor; }
    void setBackColor(quint32 colour);
    // The cell's text in bold, or not; false when the cell does not exist.
    bool setCellFontBold(int row, int col, bool bold);
    bool cellFontBold(int row, int col) const;

    int fixedRows() const { return m_fixedRows; }
    // 0 or 1: the one fixed row is the header.
    void setFixedRows(int count);
    int fixedCols() const { return m_fixedCols; }
    // Fixed columns are shown in the header colour and cannot be selected.
    void setFixedCols(int count);

    // ---- column settings (kept when rows change)
    void setColDataType(int col, DataType type);
    DataType colDataType(int col) const;
    // "$#,##0.00" or "#,##0.00"; an empty text clears the format. Returns
    // false for any other format text (which is then ignored).
    bool setColFormat(int col, const QString &format);
    QString colFormat(int col) const;
    // Body cells; a column without its own alignment puts numbers right and
    // text left.
    void setColAlignment(int col, Qt::Alignment alignment);
    Qt::Alignment colAlignment(int col) const;
    // The header cell of the column.
    void setFixedAlignment(int col, Qt::Alignment alignment);
    Qt::Alignment fixedAlignment(int col) const;
    // Lets the user tick the check boxes of a boolean column; ticking writes
    // "True" or "False" into the cell.
    void setColEditable(int col, bool editable);
    bool colEditable(int col) const;
    // Hidden columns keep their text. The view applies hidden state and
    // widths, and applies them again after the model is reset.
    void setColHidden(int col, bool hidden);
    bool colHidden(int col) const;
    // Width in pixels, or -1 for the view's default.
    void setColWidth(int col, int pixels);
    int colWidth(int col) const;

    // The text as the cell shows it: formatted number, date in the short
    // form, nothing for a boolean cell.
    QString displayText(int row, int col) const;

    int gridRow(const QModelIndex &index) const;
    QModelIndex indexOf(int row, int col) const;

    // ---- QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Sorts the rows below the fixed ones; dates by date, numbers by value,
    // booleans false first, other text case-insensitively. Stable; colours
    // move with their rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct RowColours;
    struct Row
    {
        QByteArray cells;
        std::unique_ptr<RowColours> colours;
    };
    struct Column
    {
        DataType type = DataType::Text;
        Format format = Format::None;
        Qt::Alignment alignment;
        Qt::Alignment fixedAlignment;
        bool editable = false;
        bool hidden = false;
        int width = -1;
    };

    bool validCell(int row, int col) const;
    bool isCell(const QModelIndex &index) const;
    Column &column(int col);
    const Column *columnOrNull(int col) const;
    QVariant cellData(int row, int col, int role) const;
    void cellsChanged(int row1, int col1, int row2, int col2);
    void setColourSpan(Row &row, int from, int to, quint32 colour);

    std::vector<Row> m_rows;
    std::vector<Column> m_columns;
    int m_cols = 0;
    int m_fixedRows = 1;
    int m_fixedCols = 0;
    quint32 m_backColor;
};
