#pragma once

#include "grid/GridModel.h"

#include <QTableView>

// The grid the list screens share. Rows and columns count from 0 and row 0
// is the header (the one fixed row), so textMatrix(0, c) is a header text and
// data rows start at 1. The grid is read-only except for boolean columns
// made editable, whose check boxes the user ticks with a click or Space.
//
// A whole row is selected at a time; arrows and the page keys move, Tab
// leaves the grid. A double-click on a data row, or Enter on the current row,
// raises rowActivated(). Clicking a header sorts by that column (dates as
// dates, numbers as numbers) unless setUserSortable(false); a refill shows
// the rows in the order they were added again.
class GridWidget : public QTableView
{
    Q_OBJECT

public:
    using DataType = GridModel::DataType;

    explicit GridWidget(QWidget *parent = nullptr);

    GridModel *gridModel() const { return m_model; }

    // ---- rows, columns and text
    int rows() const { return m_model->rows(); }
    // 0 empties the grid, header included.
    void setRows(int count) { m_model->setRows(count); }
    int cols() const { return m_model->cols(); }
    void setCols(int count) { m_model->setCols(count); }
    // Appends a row from tab-separated cell texts.
    void addItem(const QString &tabText) { m_model->addItem(tabText); }
    void addItems(const QStringList &tabTexts) { m_model->addItems(tabTexts); }
    QString textMatrix(int row, int col) const { return m_model->textMatrix(row, col); }
    bool setTextMatrix(int row, int col, const QString &text) { return m_model->setTextMatrix(row, col, text); }

    // ---- colours (0x00BBGGRR, or 0x80000000 + n for system colour n)
    bool setCellBackColor(int row, int col, quint32 colour) { return m_model->setCellBackColor(row, col, colour); }
    bool setCellBackColor(int row1, int col1, int row2, int col2, quint32 colour)
    {
        return m_model->setCellBackColor(row1, col1, row2, col2, colour);
    }
    quint32 cellBackColor(int row, int col) const { return m_model->cellBackColor(row, col); }
    quint32 backColor() const { return m_model->backColor(); }
    bool setCellFontBold(int row, int col, bool bold = true) { return m_model->setCellFontBold(row, col, bold); }
    bool cellFontBold(int row, int col) const { return m_model->cellFontBold(row, col); }

    // ---- columns
    void setColHidden(int col, bool hidden = true);
    bool colHidden(int col) const { return m_model->colHidden(col); }
    void setColDataType(int col, DataType type) { m_model->setColDataType(col, type); }
    DataType colDataType(int col) const { return m_model->colDataType(col); }
    // "$#,##0.00" or "#,##0.00" (empty clears); false for any other format.
    bool setColFormat(int col, const QString &format) { return m_model->setColFormat(col, format); }
    void setColAlignment(int col, Qt::Alignment alignment) { m_model->setColAlignment(col, alignment); }
    void setFixedAlignment(int col, Qt::Alignment alignment) { m_model->setFixedAlignment(col, alignment); }
    // Body and header centred horizontally and vertically.
    void setColAlignmentCenter(int col);
    // Lets the user tick a boolean column's check boxes.
    void setColEditable(int col, bool editable = true) { m_model->setColEditable(col, editable); }

    // Fits columns first..last to their texts as shown, header included. On a
    // grid of more than kAutoSizeSampleRows rows a sample is measured: the
    // first rows, then an even spread down to the last row.
    void autoSize(int firstCol, int lastCol);
    // Widths in twips (1440 per inch at the screen's logical resolution).
    void setColWidthTwips(int col, int twips);
    int twipsToPixels(int twips) const;

    // ---- fixed rows and columns
    int fixedRows() const { return m_model->fixedRows(); }
    void setFixedRows(int count);
    int fixedCols() const { return m_model->fixedCols(); }
    void setFixedCols(int count) { m_model->setFixedCols(count); }

    // ---- current row
    // The grid row the user last selected, or -1 when there is none.
    int row() const;
    // Makes a data row current and selected; false for a row that is not one.
    bool setRow(int row);

    // Repaints the grid.
    void redraw();

    void setUserSortable(bool on);

    // Rows measured by autoSize() on a large grid.
    static constexpr int kAutoSizeSampleRows = 1000;

signals:
    // Double-click on a data row, or Enter on the current row. The screen
    // reads the row through row() and textMatrix().
    void rowActivated();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void applyColumnLayout();
    void sortByHeader(int col, Qt::SortOrder order);
    std::vector<int> sampleRows() const;

    GridModel *m_model;
    bool m_userSortable = true;
};
