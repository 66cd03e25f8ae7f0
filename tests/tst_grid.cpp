#include "base/Colors.h"
#include "base/Formats.h"
#include "grid/GridValues.h"
#include "widgets/GridWidget.h"

#include "support/TestHelpers.h"
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLocale>
#include <QSignalSpy>

#include <QTest>

namespace {

constexpr quint32 kDefault = Colors::kWindowBackground;

// A grid of `cols` columns: a header row "H0\tH1...", then the given lines;
// shown on screen when the test clicks or measures.
std::unique_ptr<GridWidget> makeGrid(int cols, const QStringList &lines, bool show = false)
{
    auto grid = std::make_unique<GridWidget>();
    grid->setCols(cols);
    grid->setRows(0);
    QStringList header;
    for (int c = 0; c < cols; ++c)
        header << QStringLiteral("H%1").arg(c);
    grid->addItem(header.join(u'\t'));
    for (const QString &line : lines)
        grid->addItem(line);
    if (show) {
        grid->resize(600, 300);
        grid->show();
        if (!QTest::qWaitForWindowExposed(grid.get()))
            qWarning("grid window not exposed");
    }
    return grid;
}

// The texts of one column (data rows only), or of one row.
QStringList column(const GridWidget &grid, int col)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts << grid.textMatrix(r, col);
    return texts;
}
QStringList rowTexts(const GridWidget &grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.cols(); ++c)
        texts << grid.textMatrix(row, c);
    return texts;
}

QModelIndex cell(const GridWidget &grid, int row, int col)
{
    return grid.gridModel()->indexOf(row, col);
}

QPoint cellCentre(const GridWidget &grid, int row, int col)
{
    return grid.visualRect(cell(grid, row, col)).center();
}

// A user's double-click: press, release, double-click, release (QTest's
// mouseDClick alone sends the double-click event only).
void doubleClick(QWidget *widget, QPoint pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

void clickHeader(GridWidget &grid, int col)
{
    QTest::mouseClick(
        grid.horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(grid.columnViewportPosition(col) + 5, 5));
}

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void addItemSplitsAtTabs_data()
    {
        columns<QString, QStringList>({ "line", "cells" });
        row("exact", "1\tSmith, Ann\t1.5", QStringList { "1", "Smith, Ann", "1.5" });
        row("short line", "7", QStringList { "7", "", "" });
        row("extra cells dropped", "a\tb\tc\td\te", QStringList { "a", "b", "c" });
        row("empty cells", "\t\tz", QStringList { "", "", "z" });
        row("non-ASCII", QString::fromUtf8("Müller\tÿ€\t日本"), QStringList { "Müller", "ÿ€", "日本" });
    }
    void addItemSplitsAtTabs()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, cells);
        auto grid = makeGrid(3, { line });
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(rowTexts(*grid, 1), cells);
    }

    // Lines added at once give the rows that adding them one by one gives,
    // a header line first included, and the view hears of one insertion.
    void addItemsAsOneInsertion_data()
    {
        columns<int, int, QStringList>({ "fixedRows", "rowsBefore", "lines" });
        row("empty grid, header first", 1, 0, QStringList { "H0\tH1", "1\tSmith", "2\tJones\textra" });
        row("after the header", 1, 1, QStringList { "1\tSmith", "\t", "Müller\tÿ€" });
        row("after some lines", 1, 3, QStringList { "9\tLast" });
        row("no fixed row", 0, 2, QStringList { "1\tA", "2\tB" });
        row("header only", 1, 0, QStringList { "H0\tH1" });
        row("nothing", 1, 2, QStringList {});
    }
    void addItemsAsOneInsertion()
    {
        QFETCH(int, fixedRows);
        QFETCH(int, rowsBefore);
        QFETCH(QStringList, lines);
        GridWidget batch, single;
        for (GridWidget *grid : { &batch, &single }) {
            grid->setCols(2);
            grid->setRows(0);
            grid->setFixedRows(fixedRows);
            for (int r = 0; r < rowsBefore; ++r)
                grid->addItem(QStringLiteral("r%1\tx").arg(r));
        }
        QAbstractItemModelTester tester(batch.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(batch.gridModel(), &QAbstractItemModel::rowsInserted);
        batch.addItems(lines);
        for (const QString &line : lines)
            single.addItem(line);
        QCOMPARE(batch.rows(), single.rows());
        for (int r = 0; r < single.rows(); ++r)
            QCOMPARE(rowTexts(batch, r), rowTexts(single, r));
        QCOMPARE(batch.gridModel()->rowCount(), single.gridModel()->rowCount());
        const bool bodyLines = single.rows() > std::max(rowsBefore, fixedRows);
        QCOMPARE(inserted.size(), bodyLines ? 1 : 0);
    }

    // One cell changes; a tab or line break is part of its text, shown on
    // one line.
    void setTextMatrixTouchesOneCell()
    {
        auto grid = makeGrid(4, { "a\tb\tc\td", "short" });
        QVERIFY(grid->setTextMatrix(1, 1, "tab\there"));
        QVERIFY(grid->setTextMatrix(1, 2, QString()));
        QVERIFY(grid->setTextMatrix(2, 3, "first\r\nsecond\nthird"));
        QCOMPARE(rowTexts(*grid, 1), (QStringList { "a", "tab\there", "", "d" }));
        QCOMPARE(rowTexts(*grid, 2), (QStringList { "short", "", "", "first\r\nsecond\nthird" }));
        QCOMPARE(cell(*grid, 2, 3).data().toString(), "first second third");
    }

    void cellsOutsideTheGrid_data()
    {
        columns<int, int>({ "row", "col" });
        row("row -1", -1, 0);
        row("row past end", 2, 0);
        row("col -1", 1, -1);
        row("col past end", 1, 3);
    }
    void cellsOutsideTheGrid()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        auto grid = makeGrid(3, { "a\tb\tc" });
        QCOMPARE(grid->textMatrix(row, col), QString());
        QVERIFY(!grid->setTextMatrix(row, col, "x"));
        QVERIFY(!grid->setCellBackColor(row, col, 0xFF));
        QVERIFY(!grid->setCellBackColor(1, 0, row, col, 0xFF));
        QCOMPARE(column(*grid, 0), QStringList { "a" });
        QCOMPARE(grid->cellBackColor(1, 0), kDefault);
    }

    // Row 0 is the header: a cell to read and write, served to the view as
    // the horizontal header. Without a fixed row it is a data row.
    void headerIsRowZero()
    {
        auto grid = makeGrid(3, {});
        GridModel *model = grid->gridModel();
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), "H1");
        QSignalSpy headerChanged(model, &QAbstractItemModel::headerDataChanged);
        QVERIFY(grid->setTextMatrix(0, 1, "Hours"));
        QCOMPARE(headerChanged.size(), 1);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), "Hours");

        grid->addItem("1\t2\t3");
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 2).data().toString(), "3");
        QCOMPARE(model->gridRow(model->index(0, 0)), 1);
        QVERIFY(!model->indexOf(0, 0).isValid());

        grid->resize(600, 300);
        grid->show();
        grid->setFixedRows(0);
        QVERIFY(grid->horizontalHeader()->isHidden());
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(cell(*grid, 0, 1).data().toString(), "Hours");
        QVERIFY(grid->setRow(0));
        QCOMPARE(grid->row(), 0);
        grid->setFixedRows(1);
        QVERIFY(!grid->horizontalHeader()->isHidden());
        QCOMPARE(model->rowCount(), 1);

        // A fixed column cannot be selected.
        grid->setFixedCols(1);
        QVERIFY(!(cell(*grid, 1, 0).flags() & Qt::ItemIsSelectable));
        QVERIFY(cell(*grid, 1, 1).flags() & Qt::ItemIsSelectable);
    }

    void setRowsZeroEmptiesEverything()
    {
        auto grid = makeGrid(3, { "1\t2\t3", "4\t5\t6" });
        grid->setCellBackColor(1, 0, 2, 2, 0xC0C0FF);
        grid->setRows(0);
        QCOMPARE(grid->rows(), 0);
        QCOMPARE(grid->gridModel()->rowCount(), 0);
        QVERIFY(grid->gridModel()->headerData(0, Qt::Horizontal).toString().isEmpty());
        QCOMPARE(grid->textMatrix(0, 0), QString());

        // The next line added is the header again; old colours are gone.
        grid->addItem("A\tB\tC");
        grid->addItem("x\ty\tz");
        QCOMPARE(grid->gridModel()->headerData(2, Qt::Horizontal).toString(), "C");
        QCOMPARE(grid->cellBackColor(1, 1), kDefault);
    }

    void changingRowAndColumnCounts()
    {
        auto grid = makeGrid(3, { "a\tb\tc", "d\te\tf" });
        grid->setCellBackColor(1, 0, 1, 2, 0xFF);
        grid->setCellBackColor(2, 2, 0xFF00);
        grid->setRows(5);
        QCOMPARE(column(*grid, 1), (QStringList { "b", "e", "", "" }));

        // Growing again gives empty, uncoloured cells, not the old ones back.
        grid->setCols(2);
        QCOMPARE(rowTexts(*grid, 1), (QStringList { "a", "b" }));
        grid->setCols(3);
        QCOMPARE(rowTexts(*grid, 1), (QStringList { "a", "b", "" }));
        QCOMPARE(grid->cellBackColor(1, 1), 0xFFu);
        QCOMPARE(grid->cellBackColor(1, 2), kDefault);
        QCOMPARE(grid->cellBackColor(2, 2), kDefault);

        grid->setRows(2);
        QCOMPARE(column(*grid, 0), QStringList { "a" });
    }

    void backColours()
    {
        auto grid = makeGrid(4, { "a", "b", "c" });
        QCOMPARE(grid->cellBackColor(1, 0), kDefault);
        // A whole-row block, a cell over it, and a block given corner-first.
        QVERIFY(grid->setCellBackColor(1, 0, 1, 3, 0xC0C0FF));
        QVERIFY(grid->setCellBackColor(1, 3, 0x80000005u));
        QVERIFY(grid->setCellBackColor(3, 2, 2, 1, 0xFF));
        const QList<quint32> expected { 0xC0C0FF, 0xC0C0FF, 0xC0C0FF, 0x80000005u, //
            kDefault, 0xFF, 0xFF, kDefault, //
            kDefault, 0xFF, 0xFF, kDefault };
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(grid->cellBackColor(1 + i / 4, i % 4), expected[i]);

        // A row colour set again replaces the cells' own colours.
        QVERIFY(grid->setCellBackColor(2, 0, 2, 3, 0xFFFFC0));
        QCOMPARE(grid->cellBackColor(2, 1), 0xFFFFC0u);

        // The view gets BGR turned into RGB, and system colours resolved.
        auto brush = [&](int row, int col) { return cell(*grid, row, col).data(Qt::BackgroundRole).value<QBrush>(); };
        QCOMPARE(brush(1, 0).color(), QColor(255, 192, 192));
        QCOMPARE(brush(1, 3).color(), QGuiApplication::palette().color(QPalette::Base)); // window background
        QCOMPARE(brush(2, 0).color(), QColor(192, 255, 255));
    }

    void booleanCells_data()
    {
        columns<QString, bool>({ "text", "checked" });
        row("True", "True", true);
        row("true", "true", true);
        row("-1", "-1", true);
        row("False", "False", false);
        row("empty", "", false);
        row("not a boolean", "Yes", false);
    }
    void booleanCells()
    {
        QFETCH(QString, text);
        QFETCH(bool, checked);
        auto grid = makeGrid(2, { "1\t" + text });
        grid->setColDataType(1, GridWidget::DataType::Boolean);
        QCOMPARE(cell(*grid, 1, 1).data(Qt::CheckStateRole).toInt(), checked ? Qt::Checked : Qt::Unchecked);
        QCOMPARE(cell(*grid, 1, 1).data().toString(), QString());
        QCOMPARE(grid->textMatrix(1, 1), text);
        QVERIFY(!(cell(*grid, 1, 1).flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!cell(*grid, 1, 0).data(Qt::CheckStateRole).isValid());
    }

    // Only an editable boolean column takes ticks: a click on the box or
    // Space writes "True"/"False"; a click beside the box only selects, and
    // a double-click on the box does not open the row.
    void tickingCheckBoxes()
    {
        auto grid = makeGrid(3, { "False\t1\tFalse", "True\t2\tTrue" }, true);
        for (int c : { 0, 2 }) {
            grid->setColDataType(c, GridWidget::DataType::Boolean);
            grid->setColAlignmentCenter(c);
        }
        grid->setColEditable(0);
        QSignalSpy activated(grid.get(), &GridWidget::rowActivated);
        auto clickAt = [&](QPoint pos) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, pos); };
        clickAt(cellCentre(*grid, 1, 0));
        QCOMPARE(grid->textMatrix(1, 0), "True");
        clickAt(cellCentre(*grid, 2, 0));
        QCOMPARE(grid->textMatrix(2, 0), "False");
        clickAt(cellCentre(*grid, 1, 2));
        QCOMPARE(grid->textMatrix(1, 2), "False");

        grid->setCurrentIndex(cell(*grid, 1, 0));
        QTest::keyClick(grid.get(), Qt::Key_Space);
        QCOMPARE(grid->textMatrix(1, 0), "False");

        clickAt(QPoint(grid->visualRect(cell(*grid, 2, 0)).left() + 2, cellCentre(*grid, 2, 0).y()));
        QCOMPARE(grid->textMatrix(2, 0), "False");
        QCOMPARE(grid->row(), 2);

        doubleClick(grid->viewport(), cellCentre(*grid, 2, 0));
        QCOMPARE(activated.size(), 0);
        QCOMPARE(grid->textMatrix(2, 0), "False");
    }

    void dateTexts_data()
    {
        const QDateTime march30(QDate(2026, 3, 30), QTime(0, 0));
        const QDateTime afternoon(QDate(2026, 3, 30), QTime(14, 5));
        columns<QString, QString, QDateTime>({ "locale", "text", "expected" });
        row("US two-digit year", "C", "3/30/26", march30);
        row("US with time", "C", "3/30/2026 2:05 PM", afternoon);
        row("ISO date", "C", "2026-03-30", march30);
        row("ISO date-time", "C", "2026-03-30T14:05:00", afternoon);
        row("window top", "C", "12/31/49", QDateTime(QDate(2049, 12, 31), QTime(0, 0)));
        row("window bottom", "C", "1/1/50", QDateTime(QDate(1950, 1, 1), QTime(0, 0)));
        row("en_US short with time", "en_US", "3/30/26 2:05 PM", afternoon);
        row("written by Formats", "C", Formats::date(march30.date()), march30);
        row("de_DE short", "de_DE", "30.03.26", march30);
        row("not a date", "C", "soon", QDateTime());
        row("empty", "C", "", QDateTime());
    }
    void dateTexts()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        QLocale::setDefault(QLocale(locale));
        const auto value = GridValues::toDateTime(text);
        QCOMPARE(value.has_value(), expected.isValid());
        if (value)
            QCOMPARE(*value, expected);
    }

    void dateColumnShowsAndSortsByDate()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        auto grid
            = makeGrid(2, { "a\t2/1/2026", "b\t12/25/2025", "c\tnever", "d\t1/15/2026 3:30 PM", "e\t2/1/2026" }, true);
        grid->setColDataType(1, GridWidget::DataType::Date);
        QCOMPARE(cell(*grid, 1, 1).data().toString(), "2/1/26");
        QCOMPARE(cell(*grid, 3, 1).data().toString(), "never");
        QCOMPARE(cell(*grid, 4, 1).data().toString(), Formats::dateTime(QDateTime(QDate(2026, 1, 15), QTime(15, 30))));
        clickHeader(*grid, 1);
        QCOMPARE(column(*grid, 0), (QStringList { "b", "d", "a", "e", "c" }));
        QCOMPARE(grid->textMatrix(0, 1), "H1");
    }

    void displayFormats_data()
    {
        columns<QString, QString, QString>({ "format", "text", "shown" });
        row("money", "$#,##0.00", "1234.5", "$1,234.50");
        row("money from grouped text", "$#,##0.00", "1,234.56", "$1,234.56");
        row("hours rounding", "#,##0.00", "0.125", "0.13");
        row("text kept", "#,##0.00", "n/a", "n/a");
        row("empty kept", "$#,##0.00", "", "");
    }
    void displayFormats()
    {
        QFETCH(QString, format);
        QFETCH(QString, text);
        auto grid = makeGrid(1, { text });
        QVERIFY(grid->setColFormat(0, format));
        QTEST(cell(*grid, 1, 0).data().toString(), "shown");
        QCOMPARE(grid->textMatrix(1, 0), text);
    }

    void unknownFormatIsRefused()
    {
        auto grid = makeGrid(1, { "3" });
        QVERIFY(grid->setColFormat(0, "#,##0.00"));
        QVERIFY(!grid->setColFormat(0, "0.000"));
        QCOMPARE(grid->gridModel()->colFormat(0), "#,##0.00");
        QCOMPARE(cell(*grid, 1, 0).data().toString(), "3.00");
    }

    void alignment()
    {
        auto grid = makeGrid(2, { "text\t12.5" });
        const GridModel *model = grid->gridModel();
        auto align = [](const QVariant &v) { return Qt::Alignment(v.toInt()); };
        auto body = [&](int col) { return align(cell(*grid, 1, col).data(Qt::TextAlignmentRole)); };
        auto head = [&](int col) { return align(model->headerData(col, Qt::Horizontal, Qt::TextAlignmentRole)); };
        QCOMPARE(body(0) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QCOMPARE(body(1) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        grid->setColAlignmentCenter(0);
        QCOMPARE(body(0), Qt::AlignCenter);
        QCOMPARE(head(0), Qt::AlignCenter);
        QCOMPARE(head(1) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    // Hidden state and widths (in twips) belong to the columns: a refill
    // keeps them.
    void columnSettingsSurviveARefill()
    {
        auto grid = makeGrid(5, { "57\ta\tb\tc\tnote" }, true);
        grid->setColHidden(0);
        grid->setColWidthTwips(4, 5000);
        const int pixels = qRound(5000 * grid->logicalDpiX() / 1440.0);
        QCOMPARE(grid->columnWidth(4), pixels);

        grid->setRows(0);
        grid->addItem("ID\tA\tB\tC\tNotes");
        grid->addItem("58\tx\ty\tz\tw");
        QVERIFY(grid->isColumnHidden(0));
        QVERIFY(grid->colHidden(0));
        QCOMPARE(grid->textMatrix(1, 0), "58");
        QCOMPARE(grid->columnWidth(4), pixels);
    }

    void autoSizeFitsTextAndHeader()
    {
        const QString wide = QStringLiteral("a considerably longer cell text than its header");
        auto grid = makeGrid(3, { "x\t" + wide + "\tTrue" }, true);
        grid->setTextMatrix(0, 0, "A header wider than its cells");
        grid->setColDataType(2, GridWidget::DataType::Boolean);
        grid->autoSize(0, 2);
        const QFontMetrics metrics(grid->font());
        QVERIFY(grid->columnWidth(0) >= grid->horizontalHeader()->sectionSizeHint(0));
        QVERIFY(grid->columnWidth(1) > metrics.horizontalAdvance(wide));
        QVERIFY(grid->columnWidth(2) < metrics.horizontalAdvance(wide));

        // A large grid measures a sample, which takes in the last row.
        QStringList lines(GridWidget::kAutoSizeSampleRows * 5, QStringLiteral("1"));
        lines.last() = QStringLiteral("the last row holds the widest text of all");
        auto large = makeGrid(1, lines);
        large->autoSize(0, 0);
        QVERIFY(large->columnWidth(0) > QFontMetrics(large->font()).horizontalAdvance(lines.last()));
    }

    void rowActivation()
    {
        auto grid = makeGrid(2, { "57\ta", "58\tb", "59\tc" });
        QSignalSpy activated(grid.get(), &GridWidget::rowActivated);
        QCOMPARE(grid->row(), -1);
        QTest::keyClick(grid.get(), Qt::Key_Return);
        QCOMPARE(activated.size(), 0);

        // Focus makes the first row current, and shows it selected.
        grid->resize(600, 300);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        grid->activateWindow();
        grid->setFocus();
        QTRY_COMPARE(grid->row(), 1);
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);

        doubleClick(grid->viewport(), cellCentre(*grid, 2, 1));
        QCOMPARE(activated.size(), 1);
        QCOMPARE(grid->row(), 2);
        QTest::keyClick(grid.get(), Qt::Key_Down);
        QCOMPARE(grid->row(), 3);
        QTest::keyClick(grid.get(), Qt::Key_Enter);
        QCOMPARE(activated.size(), 2);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QCOMPARE(grid->row(), 1);
        QTest::keyClick(grid.get(), Qt::Key_Return);
        QCOMPARE(activated.size(), 3);
        // Whole rows are selected, one at a time.
        const QModelIndexList selected = grid->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(grid->gridModel()->gridRow(selected.first()), 1);

        // Below the last row, or on the header, nothing opens.
        doubleClick(grid->viewport(), QPoint(10, grid->viewport()->height() - 5));
        doubleClick(grid->horizontalHeader()->viewport(), QPoint(10, 5));
        QCOMPARE(activated.size(), 3);

        // A refill leaves no current row.
        grid->setRows(1);
        QCOMPARE(grid->row(), -1);
        QVERIFY(!grid->setRow(1));
        QVERIFY(!grid->setRow(0));
    }

    // Numbers sort as numbers, empty first and text last; colours move with
    // their rows. A refill shows no sort order any more.
    void sortingByHeader()
    {
        auto grid = makeGrid(2, { "10\ta", "9\tb", "100\tc", "\td", "x\te", "9\tf" }, true);
        grid->setCellBackColor(2, 0, 2, 1, 0xFF);
        clickHeader(*grid, 0);
        QCOMPARE(column(*grid, 1), (QStringList { "d", "b", "f", "a", "c", "e" }));
        QCOMPARE(grid->cellBackColor(2, 1), 0xFFu);
        clickHeader(*grid, 0);
        QCOMPARE(column(*grid, 1), (QStringList { "e", "c", "a", "b", "f", "d" }));

        grid->setUserSortable(false);
        clickHeader(*grid, 1);
        QCOMPARE(column(*grid, 1), (QStringList { "e", "c", "a", "b", "f", "d" }));
        grid->setUserSortable(true);
        clickHeader(*grid, 1);
        QCOMPARE(grid->horizontalHeader()->sortIndicatorSection(), 1);
        grid->setRows(1);
        QCOMPARE(grid->horizontalHeader()->sortIndicatorSection(), -1);
    }

    // The view relies on the model's signals matching its changes.
    void modelKeepsItsContract()
    {
        auto grid = makeGrid(3, {}, true);
        QAbstractItemModelTester tester(grid->gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 20; ++i)
            grid->addItem(QStringLiteral("%1\t%2\tTrue").arg(i % 7).arg(i));
        grid->setCellBackColor(3, 0, 5, 2, 0xFF);
        grid->setTextMatrix(4, 1, "changed");
        grid->setColDataType(2, GridWidget::DataType::Boolean);
        grid->setRow(6);
        grid->gridModel()->sort(0, Qt::DescendingOrder);
        grid->setCols(2);
        grid->setFixedRows(0);
        grid->setFixedRows(1);
        grid->setRows(3);
        grid->setRows(0);
        grid->addItem("A\tB");
        grid->addItem("a\tb");
        QCOMPARE(grid->gridModel()->rowCount(), 1);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
