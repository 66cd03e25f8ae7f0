#pragma once

#include "drying/DryingLog.h"
#include "widgets/Screen.h"

class GridWidget;
class QChartView;
class QCheckBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

// The drying log of one job: its rooms, each room's daily temperature and
// humidity with the GPP and dew point they give, its moisture points read
// daily against their dry goals, and the charts of both. Opened for a saved
// job from the entry screen or the board (LoadDryingLog).
class frmDryingLog : public Screen
{
    Q_OBJECT
public:
    explicit frmDryingLog(AppContext &context);
    ~frmDryingLog() override;

    // Shows the log of the WIP with this ID; an ID that is not a number or
    // not a job leaves the screen as it was. Errors are reported.
    void LoadDryingLog(const QString &wipId);

    qint64 wipId() const { return m_log.wipId; }

private:
    void buildUi();
    void wireUi();

    // Reads the log again and shows it, keeping the chosen room; throws.
    void reload();
    // Shows m_log: the room list, keeping the chosen room, and that room.
    void showLog();
    void showRoom();
    void fillReadings(const drying::RoomLog &room);
    void fillPoints(const drying::RoomLog &room);
    void fillCharts(const drying::RoomLog *room);
    const drying::RoomLog *currentRoom() const;
    drying::TemperatureUnit unit() const;
    // Shows a refused value and focuses its box.
    void refuse(const FieldProblem &problem, QWidget *control);
    void clearReading();
    void clearPoint();

    void lstRooms_Click();
    void btnAddRoom_Click();
    void btnRenameRoom_Click();
    void btnDeleteRoom_Click();
    void txtReading_Change();
    void vsfgReadings_Click();
    void btnSaveReading_Click();
    void btnNewReading_Click();
    void btnDeleteReading_Click();
    void vsfgPoints_Click();
    void btnSavePoint_Click();
    void btnNewPoint_Click();
    void btnDeletePoint_Click();
    void btnSaveMoisture_Click();
    void btnPrint_Click();
    void btnExit_Click();

    drying::JobLog m_log;
    qint64 m_roomId = 0;
    qint64 m_readingId = 0; // the reading in the boxes; 0 for a new one
    QVariant m_readingVersion; // its row version as read
    qint64 m_pointId = 0; // the point in the boxes; 0 for a new one
    // The row version of the point in the boxes, as last read.
    QVariant pointVersion() const;

    QListWidget *lstRooms = nullptr;
    QLineEdit *txtRoom = nullptr;
    QCheckBox *chkAffected = nullptr;
    QPushButton *btnAddRoom = nullptr;
    QPushButton *btnRenameRoom = nullptr;
    QPushButton *btnDeleteRoom = nullptr;
    QTabWidget *tabLog = nullptr;

    GridWidget *vsfgReadings = nullptr;
    QDateTimeEdit *dtReading = nullptr;
    QLineEdit *txtTemperature = nullptr;
    QLabel *lblTemperatureUnit = nullptr;
    QLineEdit *txtHumidity = nullptr;
    QLabel *lblGPP = nullptr;
    QLabel *lblDewPoint = nullptr;
    QPushButton *btnSaveReading = nullptr;
    QPushButton *btnNewReading = nullptr;
    QPushButton *btnDeleteReading = nullptr;

    GridWidget *vsfgPoints = nullptr;
    QLineEdit *txtMaterial = nullptr;
    QLineEdit *txtLocation = nullptr;
    QLineEdit *txtMeter = nullptr;
    QLineEdit *txtGoal = nullptr;
    QPushButton *btnSavePoint = nullptr;
    QPushButton *btnNewPoint = nullptr;
    QPushButton *btnDeletePoint = nullptr;
    QDateEdit *dtMoisture = nullptr;
    QLineEdit *txtMoisture = nullptr;
    QPushButton *btnSaveMoisture = nullptr;

    QChartView *chtMoisture = nullptr;
    QChartView *chtGPP = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnExit = nullptr;
};
