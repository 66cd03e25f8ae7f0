#include "staff/ui/TimeGrid.h"

#include "base/Formats.h"

#include "staff/ui/frmTimeEntry.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "widgets/ScreenHost.h"

#include <QHash>
#include <bit>

namespace TimeGrid {

namespace {
    constexpr int kCols = 7;
    constexpr int kNotesCol = 4;
    constexpr int kNotesTwips = 5000;
} // namespace

void SetupTimeGrid(GridWidget *grid, const QString &thirdHeader)
{
    grid->setRows(0);
    grid->setCols(kCols);
    grid->addItem(QStringLiteral("ID\tDate\t") + thirdHeader + QStringLiteral("\tHours\tNotes\tEntered\tEdited"));
    FormatTimeGrid(grid);
}

void FormatTimeGrid(GridWidget *grid)
{
    for (int col = 0; col < kCols; ++col)
        grid->setColAlignmentCenter(col);
    grid->setColHidden(0);
    grid->setColDataType(1, GridWidget::DataType::Date);
    grid->setColFormat(3, QStringLiteral("#,##0.00"));
    // The ID column is hidden for good: its width never shows. The notes
    // keep a width of their own, so their texts are not measured.
    grid->autoSize(1, kNotesCol - 1);
    grid->autoSize(kNotesCol + 1, kCols - 1);
    grid->setColWidthTwips(kNotesCol, kNotesTwips);
    grid->setFixedRows(1);
    grid->setFixedCols(0);
    grid->redraw();
}

void fill(GridWidget *grid, const QString &thirdHeader, const QList<staff::TimeLine> &lines)
{
    SetupTimeGrid(grid, thirdHeader);
    // Bookings repeat a few numbers of hours: each is formatted once (keyed
    // by its bits, so that -0 keeps its sign).
    QHash<quint64, QString> hours;
    QStringList texts;
    texts.reserve(lines.size());
    for (const staff::TimeLine &line : lines) {
        const quint64 key = std::bit_cast<quint64>(line.hours);
        auto known = hours.constFind(key);
        if (known == hours.cend())
            known = hours.insert(key, Formats::plainNumber(line.hours));
        texts << staff::lineText(line, *known);
    }
    grid->addItems(texts);
    FormatTimeGrid(grid);
}

QString currentId(const GridWidget *grid)
{
    const int row = grid->row();
    if (row < grid->fixedRows())
        return {};
    return grid->textMatrix(row, 0);
}

void openCurrentBooking(const GridWidget *grid)
{
    const QString id = currentId(grid);
    ScreenHost *host = ScreenHost::of(grid);
    if (id.isEmpty() || !host)
        return;
    const WaitCursor wait;
    // Read-only for a user who may not book time: the job's hours are theirs
    // to look at.
    if (auto *entry = qobject_cast<frmTimeEntry *>(
            host->showScreen(QStringLiteral("frmTimeEntry"), {}, ScreenHost::OpenMode::ReadOnlyIfDenied)))
        entry->LoadTime(id);
}

} // namespace TimeGrid
