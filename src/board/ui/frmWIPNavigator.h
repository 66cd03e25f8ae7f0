#pragma once

#include "board/BoardQuery.h"
#include "widgets/Screen.h"

#include <QHash>
#include <vector>

class GridWidget;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimer;

// The board of jobs: one grid line per WIP that passes the filters, tinted by
// job type, the status cell in its status's colour, and the drying-days cell
// of overdue jobs flashing once a second. A line opens its job in the entry
// screen. The board stays empty until the first Refresh.
class frmWIPNavigator : public Screen
{
    Q_OBJECT
public:
    explicit frmWIPNavigator(AppContext &context);
    ~frmWIPNavigator() override;

    // Fills the board from the filters as they stand. Database errors are
    // reported; the board then shows what was read so far.
    void LoadWIPs();

    // The filters on the screen, as the board and its report select.
    board::Filter filter() const;

    // The drying-days cell's tooltip of a grid row: the job's drying log in
    // brief, empty for a job without one.
    QString dryingTip(int row) const;

protected:
    // Fills the filter lists and starts the flash timer.
    void load() override;
    // The drying-days cells' tooltips.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void wireUi();

    // Empties the board to its header row.
    void SetupWIPGrid();
    // Column kinds, formats and alignment; widths fitted when asked.
    void FormatWIPGrid(bool fitWidths);
    // LoadWIPs() without the error report; throws.
    void fill();
    // Lets the window paint part-way through a long fill; the user's clicks
    // and keys wait until it is done.
    void keepPainting();
    // The rows whose "Flash" cell says "True", read again after a sort.
    void findAlertedRows();

    void btnRefresh_Click();
    void btnClear_Click();
    void btnPrint_Click();
    void btnExport_Click();
    void btnExit_Click();
    void vsfgWIP_RowActivated();
    // Opens the current row's job in the drying log.
    void mnuDryingLog_Click();

private slots:
    // A slot so that a benchmark can tick it.
    void tmrDryingDays_Timer();

private:
    // The board report of the filters as they stand.
    void printBoardReport(const board::Filter &filter);
    // Writes the board as it stands (order, visible columns) to a CSV file.
    // Throws on a file that cannot be written.
    void writeCsv(const QString &path);

    // Grid rows in drying alert: the tick touches these cells only.
    std::vector<int> m_alertRows;
    // Job ID to its drying log tooltip, for the jobs that have one; by ID
    // so that they follow the rows through a sort.
    QHash<qint64, QString> m_dryingTips;
    bool m_filling = false;
    QString m_exportFolder;

    QComboBox *cmbType = nullptr;
    QComboBox *cmbStatus = nullptr;
    QLineEdit *txtSearch = nullptr;
    QCheckBox *chkDate = nullptr;
    QDateEdit *dtStart = nullptr;
    QDateEdit *dtStop = nullptr;
    QCheckBox *chkActive = nullptr;
    QCheckBox *chkStalled = nullptr;
    QPushButton *btnRefresh = nullptr;
    QPushButton *btnClear = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnExport = nullptr;
    QPushButton *btnExit = nullptr;
    GridWidget *vsfgWIP = nullptr;
    QTimer *tmrDryingDays = nullptr;
};
