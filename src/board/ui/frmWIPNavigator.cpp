#include "board/ui/frmWIPNavigator.h"

#include "reports/ui/modReports.h"

#include "base/Clock.h"
#include "base/Colors.h"
#include "board/BoardCsv.h"
#include "board/BoardLines.h"
#include "drying/ui/frmDryingLog.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

constexpr int kFlashMs = 1000;
// How long the window may go without painting while a fill runs.
constexpr int kPaintEveryMs = 300;

// Delete or Backspace on a filter list picks nothing.
class ClearPickOnDelete : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
                static_cast<QComboBox *>(watched)->setCurrentIndex(-1);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

frmWIPNavigator::frmWIPNavigator(AppContext &context)
    : Screen(context, QStringLiteral("frmWIPNavigator"), QStringLiteral("WIPs Navigator"))
{
    buildUi();
    wireUi();
}

frmWIPNavigator::~frmWIPNavigator() = default;

void frmWIPNavigator::buildUi()
{
    // Pick lists of names: no entry typed, none picked at first. Delete or
    // Backspace takes the pick back, so that one filter can be dropped alone.
    cmbType = build::pickList("cmbType", 14);
    cmbStatus = build::pickList("cmbStatus", 14);
    txtSearch = build::textBox("txtSearch");
    chkDate = build::checkBox("chkDate", u"Date:");
    dtStart = build::datePicker("dtStart");
    dtStop = build::datePicker("dtStop");
    chkActive = build::checkBox("chkActive", u"Active Only");
    chkActive->setChecked(true);
    chkStalled = build::checkBox("chkStalled", u"Stalled only");
    chkStalled->setToolTip(QStringLiteral("Jobs longer in their status than the status's alert"));
    btnRefresh = build::button("btnRefresh", u"Refresh");
    btnClear = build::button("btnClear", u"Clear");
    btnPrint = build::button("btnPrint", u"Print");
    btnExport = build::button("btnExport", u"Export");
    btnExit = build::button("btnExit", u"Exit");
    vsfgWIP = build::named(new GridWidget, "vsfgWIP");
    tmrDryingDays = build::named(new QTimer(this), "tmrDryingDays");
    vsfgWIP->viewport()->installEventFilter(this);

    auto *search = build::named(new QGroupBox(QStringLiteral("Search")), "fraSearch");
    auto *lines = new QGridLayout(search);
    auto *first = new QHBoxLayout;
    for (auto [label, box] : { std::pair<QStringView, QWidget *> { u"Job Type:", cmbType }, { u"Status:", cmbStatus },
             { u"Search:", txtSearch } }) {
        first->addWidget(build::caption(label, box));
        first->addWidget(box, box == txtSearch ? 2 : 1);
        first->addSpacing(8);
    }
    auto *second = new QHBoxLayout;
    for (QWidget *widget : std::initializer_list<QWidget *> { chkDate, dtStart, dtStop, chkActive, chkStalled })
        second->addWidget(widget);
    second->addStretch(1);
    for (QPushButton *b : { btnRefresh, btnClear, btnPrint, btnExport, btnExit })
        second->addWidget(b);
    lines->addLayout(first, 0, 0);
    lines->addLayout(second, 1, 0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(search);
    layout->addWidget(vsfgWIP, 1);

    build::tabOrder({ cmbType, cmbStatus, txtSearch, chkDate, dtStart, dtStop, chkActive, chkStalled, btnRefresh,
        btnClear, btnPrint, btnExport, btnExit, vsfgWIP });
    resize(1100, 650);
}

void frmWIPNavigator::wireUi()
{
    connect(btnRefresh, &QPushButton::clicked, this, &frmWIPNavigator::btnRefresh_Click);
    connect(btnClear, &QPushButton::clicked, this, &frmWIPNavigator::btnClear_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmWIPNavigator::btnPrint_Click);
    connect(btnExport, &QPushButton::clicked, this, &frmWIPNavigator::btnExport_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmWIPNavigator::btnExit_Click);
    connect(vsfgWIP, &GridWidget::rowActivated, this, &frmWIPNavigator::vsfgWIP_RowActivated);
    // The row's drying log, from the row's context menu.
    auto *mnuDryingLog = build::named(new QAction(QStringLiteral("Drying Log"), vsfgWIP), "mnuDryingLog");
    vsfgWIP->setContextMenuPolicy(Qt::ActionsContextMenu);
    vsfgWIP->addAction(mnuDryingLog);
    connect(mnuDryingLog, &QAction::triggered, this, &frmWIPNavigator::mnuDryingLog_Click);
    connect(tmrDryingDays, &QTimer::timeout, this, &frmWIPNavigator::tmrDryingDays_Timer);
    // A click on a header sorts the lines, and the alerted ones move with them.
    connect(vsfgWIP->gridModel(), &QAbstractItemModel::layoutChanged, this, &frmWIPNavigator::findAlertedRows);
    auto *clearPick = new ClearPickOnDelete(this);
    cmbType->installEventFilter(clearPick);
    cmbStatus->installEventFilter(clearPick);
    // Enter in the filters refreshes; the grid keeps Enter for opening a job.
    setDefaultButton(btnRefresh);
}

void frmWIPNavigator::load()
{
    const board::FilterLists lists = board::loadFilterLists(context().db());
    build::setItems(cmbStatus, lists.statuses);
    build::setItems(cmbType, lists.jobTypes);
    dtStart->setDate(Clock::today());
    dtStop->setDate(Clock::today());
    tmrDryingDays->setInterval(kFlashMs);
    tmrDryingDays->start();
}

board::Filter frmWIPNavigator::filter() const
{
    board::Filter f;
    f.jobType = cmbType->currentText();
    f.status = cmbStatus->currentText();
    f.search = txtSearch->text();
    f.useDates = chkDate->isChecked();
    f.startFrom = dtStart->date();
    f.startTo = dtStop->date();
    f.activeOnly = chkActive->isChecked();
    f.stalledOnly = chkStalled->isChecked();
    f.today = Clock::today();
    return f;
}

// ---- the board

void frmWIPNavigator::SetupWIPGrid()
{
    m_alertRows.clear();
    m_dryingTips.clear();
    vsfgWIP->setCols(board::kColumnCount);
    vsfgWIP->setRows(0);
    vsfgWIP->addItem(board::headers().join(u'\t'));
    FormatWIPGrid(false);
}

void frmWIPNavigator::FormatWIPGrid(bool fitWidths)
{
    for (int c = 0; c < board::kColumnCount; ++c)
        vsfgWIP->setColAlignmentCenter(c);
    vsfgWIP->setColHidden(board::ColFlash);
    vsfgWIP->setColFormat(board::ColBilledAmount, QStringLiteral("$#,##0.00"));
    vsfgWIP->setColFormat(board::ColHours, QStringLiteral("#,##0.00"));
    for (int c : board::kDateColumns)
        vsfgWIP->setColDataType(c, GridWidget::DataType::Date);
    for (int c : board::kBooleanColumns)
        vsfgWIP->setColDataType(c, GridWidget::DataType::Boolean);
    if (fitWidths)
        vsfgWIP->autoSize(0, board::kColumnCount - 1);
    vsfgWIP->setFixedRows(1);
    vsfgWIP->setFixedCols(0);
    vsfgWIP->redraw();
}

void frmWIPNavigator::LoadWIPs()
{
    if (m_filling)
        return;
    guarded([this] { fill(); });
}

void frmWIPNavigator::fill()
{
    m_filling = true;
    bool whole = false;
    const auto done = qScopeGuard([this, &whole] {
        m_filling = false;
        // A board whose reading failed part-way shows no jobs rather than
        // some of them.
        if (!whole)
            SetupWIPGrid();
        vsfgWIP->viewport()->setUpdatesEnabled(true);
        FormatWIPGrid(true);
    });
    SetupWIPGrid();
    const board::DryingLogOptions drying { .summaries = true, .alertFromLog = context().company().dryingLogAlert };
    const int rowHeight = std::max(1, vsfgWIP->verticalHeader()->defaultSectionSize());
    const int firstScreen = vsfgWIP->viewport()->height() / rowHeight + 1;
    board::BoardLine line;
    auto addLine = [this, &line](int row) {
        vsfgWIP->addItem(line.text);
        if (!line.dryingTip.isEmpty())
            m_dryingTips.insert(QStringView(line.text).left(line.text.indexOf(u'\t')).toLongLong(), line.dryingTip);
        if (line.rowColour)
            vsfgWIP->setCellBackColor(row, 0, row, board::kColumnCount - 1, *line.rowColour);
        if (line.dryingAlert) {
            vsfgWIP->setCellBackColor(row, board::ColDryingDays, Colors::kRed);
            m_alertRows.push_back(row);
        }
        if (line.statusAlert) {
            vsfgWIP->setCellBackColor(row, board::ColDaysInStatus, Colors::kRed);
            vsfgWIP->setCellFontBold(row, board::ColDaysInStatus);
        }
        // After the row's colour: the status cell always shows its status
        // (a cell left alone already shows the row's colour or the grid's).
        if (line.statusColour != line.rowColour.value_or(Colors::kWindowBackground))
            vsfgWIP->setCellBackColor(row, board::ColStatus, line.statusColour);
    };
    // The grid keeps showing the first screenful till the end: each line's
    // colour would have it repaint the whole view at every pause.
    auto showFirstScreen = [this] {
        FormatWIPGrid(true);
        keepPainting();
        vsfgWIP->viewport()->setUpdatesEnabled(false);
    };

    // Where the server can give the first jobs alone, they are read and shown
    // first: the whole board's hours take a sum over every booking before
    // its first line comes. The whole board then fills in behind that
    // screenful, in the same order.
    const data::DbKind kind = context().db().dialect().kind();
    bool firstShown = false;
    if (kind == data::DbKind::SQLite || kind == data::DbKind::PostgreSQL) {
        board::Filter first = filter();
        first.firstJobs = firstScreen;
        board::BoardReader reader(context().db(), first, Clock::today(), context().company().dryingDays, drying);
        for (int row = 1; reader.next(line); ++row)
            addLine(row);
        showFirstScreen();
        firstShown = true;
        SetupWIPGrid();
    }

    board::BoardReader reader(context().db(), filter(), Clock::today(), context().company().dryingDays, drying);
    QElapsedTimer sincePaint;
    sincePaint.start();
    for (int row = 1; reader.next(line); ++row) {
        addLine(row);
        if (!firstShown && row == firstScreen) {
            firstShown = true;
            showFirstScreen();
            sincePaint.restart();
        } else if ((row & 0xff) == 0 && sincePaint.elapsed() >= kPaintEveryMs) {
            keepPainting();
            sincePaint.restart();
        }
    }
    whole = true;
}

QString frmWIPNavigator::dryingTip(int row) const
{
    if (row < vsfgWIP->fixedRows() || row >= vsfgWIP->rows())
        return {};
    return m_dryingTips.value(vsfgWIP->textMatrix(row, board::ColId).toLongLong());
}

bool frmWIPNavigator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == vsfgWIP->viewport() && event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = vsfgWIP->indexAt(help->pos());
        const int row = index.isValid() ? vsfgWIP->gridModel()->gridRow(index) : -1;
        const QString tip = index.isValid() && index.column() == board::ColDryingDays ? dryingTip(row) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, vsfgWIP->viewport(), vsfgWIP->visualRect(index));
        return true;
    }
    return Screen::eventFilter(watched, event);
}

void frmWIPNavigator::keepPainting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmWIPNavigator::findAlertedRows()
{
    m_alertRows.clear();
    const int rows = vsfgWIP->rows();
    for (int row = vsfgWIP->fixedRows(); row < rows; ++row) {
        if (vsfgWIP->textMatrix(row, board::ColFlash) == u"True")
            m_alertRows.push_back(row);
    }
}

void frmWIPNavigator::tmrDryingDays_Timer()
{
    // Each alerted cell goes from red to its row's own colour and back.
    for (const int row : m_alertRows) {
        const quint32 colour = vsfgWIP->cellBackColor(row, board::ColDryingDays) == Colors::kRed
            ? vsfgWIP->cellBackColor(row, board::ColStartDate)
            : Colors::kRed;
        vsfgWIP->setCellBackColor(row, board::ColDryingDays, colour);
    }
}

// ---- buttons

void frmWIPNavigator::btnRefresh_Click()
{
    LoadWIPs();
}

void frmWIPNavigator::btnClear_Click()
{
    cmbType->setCurrentIndex(-1);
    cmbStatus->setCurrentIndex(-1);
    txtSearch->clear();
    dtStart->setDate(Clock::today());
    dtStop->setDate(Clock::today());
    chkDate->setChecked(false);
    chkActive->setChecked(true);
    chkStalled->setChecked(false);
}

void frmWIPNavigator::btnPrint_Click()
{
    printBoardReport(filter());
}

void frmWIPNavigator::printBoardReport(const board::Filter &filter)
{
    modReports::PrintWIPsBoardReport(context(), this, filter);
}

void frmWIPNavigator::btnExport_Click()
{
    if (m_exportFolder.isEmpty())
        m_exportFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = Messages::saveFileName(this, QStringLiteral("Export"),
        QDir(m_exportFolder).filePath(QStringLiteral("WIPs Board.csv")),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    m_exportFolder = QFileInfo(path).absolutePath();
    guarded([&] { writeCsv(path); });
}

void frmWIPNavigator::writeCsv(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(qPrintable(QStringLiteral("%1: %2").arg(path, file.errorString())));
    std::vector<int> columns;
    for (int c = 0; c < vsfgWIP->cols(); ++c) {
        if (!vsfgWIP->colHidden(c))
            columns.push_back(c);
    }
    board::CsvWriter csv(file);
    QStringList fields;
    for (int row = 0; row < vsfgWIP->rows(); ++row) {
        fields.clear();
        for (const int c : columns) {
            const QString text = vsfgWIP->textMatrix(row, c);
            fields << (row < vsfgWIP->fixedRows() ? text : board::csvCell(c, text));
        }
        csv.writeRow(fields);
    }
    if (!csv.finish() || !file.commit())
        throw std::runtime_error(qPrintable(QStringLiteral("%1: %2").arg(path, file.errorString())));
}

void frmWIPNavigator::btnExit_Click()
{
    closeScreen();
}

// ---- opening a job

void frmWIPNavigator::vsfgWIP_RowActivated()
{
    const WaitCursor wait;
    const QString id = vsfgWIP->textMatrix(vsfgWIP->row(), board::ColId);
    if (id.isEmpty())
        return;
    // The job opens for anyone who can see the board: read-only for a user
    // who may not change jobs.
    constexpr auto mode = ScreenHost::OpenMode::ReadOnlyIfDenied;
    if (auto *entry = showScreen<frmWIPEntry>(QStringLiteral("frmWIPEntry"), mode)) {
        entry->LoadWIP(id);
        // In front, in its normal state, whatever LoadWIP showed meanwhile.
        showScreen<frmWIPEntry>(QStringLiteral("frmWIPEntry"), mode);
    }
}

void frmWIPNavigator::mnuDryingLog_Click()
{
    const QString id
        = vsfgWIP->row() >= vsfgWIP->fixedRows() ? vsfgWIP->textMatrix(vsfgWIP->row(), board::ColId) : QString();
    if (id.isEmpty())
        return;
    if (auto *log = showScreen<frmDryingLog>(QStringLiteral("frmDryingLog")))
        log->LoadDryingLog(id);
}
