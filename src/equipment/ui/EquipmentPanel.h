#pragma once

#include "equipment/Equipment.h"
#include "equipment/RoomTotals.h"
#include "equipment/Sizing.h"
#include "widgets/FieldTable.h"

#include <QWidget>
#include <functional>

class AppContext;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The equipment of one room of a job's drying log: the units standing in it
// (placed, removed, moved), the room's size and class of water with the
// equipment they call for, and the equipment-days of the room and the job.
// The drying log embeds it and tells it the room.
class EquipmentPanel : public QWidget
{
    Q_OBJECT
public:
    explicit EquipmentPanel(AppContext &context);
    // Asked before a unit is placed, moved or taken out and before a size is
    // saved: false (the user told) when the screen may not change the job
    // now (Screen::maySave()).
    void setWriteCheck(std::function<bool()> check) { m_mayWrite = std::move(check); }

    // An entry of the place and move dialogs: a unit in the shop, a room of
    // the job.
    struct Choice
    {
        qint64 id = 0;
        QString name {};
    };
    // Shows the room (0: none) of the job with its rooms; throws.
    void showRoom(qint64 wipId, qint64 roomId, const QList<Choice> &rooms);

private:
    void refresh();
    // What the size as typed calls for, against what stands in the room: a
    // box with no number counts as 0 until Save Size refuses it.
    void showSizing();
    // The placement picked in the list when it stands in the room and the
    // job may be changed; else nothing, the user told.
    std::optional<equipment::Placement> standingChosen();
    // Runs a change of the room's units (a refusal or nothing), then shows
    // the room again with what refused the change.
    void change(const std::function<std::optional<FieldProblem>()> &work);

    void btnPlace_Click();
    void btnRemoveUnit_Click();
    void btnMoveUnit_Click();
    void btnSaveSize_Click();

    AppContext &m_context;
    std::function<bool()> m_mayWrite;
    qint64 m_wipId = 0;
    qint64 m_roomId = 0;
    QList<Choice> m_rooms;
    QList<equipment::Placement> m_placements; // the job's, removed ones too
    equipment::RoomSize m_size; // as loaded; id 0 when none was saved
    FieldTable<equipment::RoomSize> m_sizeFields;
    // What stands in the room now, and the factors: the sizing's other half.
    equipment::RoomTotals m_totals;
    QList<equipment::DehuFactor> m_factors;

    QListWidget *lstUnits = nullptr;
    QPushButton *btnPlace = nullptr;
    QPushButton *btnRemoveUnit = nullptr;
    QPushButton *btnMoveUnit = nullptr;
    QLineEdit *txtLength = nullptr;
    QLineEdit *txtWidth = nullptr;
    QLineEdit *txtHeight = nullptr;
    QLineEdit *txtWetWall = nullptr;
    QComboBox *cmbClass = nullptr;
    QPushButton *btnSaveSize = nullptr;
    QLabel *lblAirMovers = nullptr;
    QLabel *lblPints = nullptr;
    QLabel *lblEquipmentDays = nullptr;
};
