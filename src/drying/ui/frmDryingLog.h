#pragma once

#include "drying/DryingLog.h"
#include "widgets/FieldTable.h"
#include "widgets/Screen.h"

class EquipmentPanel;
class GridWidget;
class PhotoPanel;
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

    // Shows the log of the WIP with this ID; an ID that is not a number or
    // not a job leaves the screen as it was. Errors are reported.
    void LoadDryingLog(const QString &wipId);

    qint64 wipId() const { return m_log.wipId; }

private:
    void buildUi();
    void wireUi();
    void buildFields();

    // Reads the log again and shows it, keeping the chosen room; throws.
    void reload();
    // Shows m_log: the room list, keeping the chosen room, and that room.
    void showLog();
    void showRoom();
    void fillReadings(const drying::RoomLog &room);
    void fillPoints(const drying::RoomLog &room);
    void fillCharts(const drying::RoomLog *room);
    // Shows the photos of the point chosen on the moisture points' tab, else
    // of the room.
    void showPhotos();
    const drying::RoomLog *currentRoom() const;
    drying::TemperatureUnit unit() const;

    // The boxes of one reading, one point and the point's value on a day,
    // each filled from a record held as a value (see frmDryingLogEntries.cpp).
    // A new reading, taken at `at` unless the user picks another time.
    void newReading(const QDateTime &at);
    // The point (a new one for nullptr) with its value on the day picked.
    void showPoint(const drying::PointLog *point);
    void showValue(const QDate &day);
    // The point of the current room with this ID, as last read; or nullptr.
    const drying::PointLog *findPoint(qint64 pointId) const;

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
    void dtMoisture_Change();
    void btnSaveMoisture_Click();
    void btnPrint_Click();
    void btnExit_Click();

    // The readings grid's hidden columns: the reading's ID (empty on a day
    // without one) and the row's day.
    static constexpr int kReadingId = 0;
    static constexpr int kReadingDay = 8;

    drying::JobLog m_log;
    qint64 m_roomId = 0;
    // The reading in the boxes as read (id 0: a new one), with its version.
    drying::AtmosphereReading m_reading;
    FieldTable<drying::AtmosphereReading> m_readingFields;
    // The point in the boxes as the log was read (id 0: a new one), with the
    // versions of its values.
    drying::PointLog m_point;
    FieldTable<drying::MoisturePoint> m_pointFields;
    // The point's value on the day in the boxes, as read (no value: NaN).
    drying::MoistureReading m_value;
    FieldTable<drying::MoistureReading> m_valueFields;

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

    EquipmentPanel *pnlEquipment = nullptr;

    QTabWidget *tabLower = nullptr; // the charts and the photos
    QLabel *lblRoomPhotos = nullptr;
    PhotoPanel *pnlPhotos = nullptr;

    QChartView *chtMoisture = nullptr;
    QChartView *chtGPP = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnExit = nullptr;
};
