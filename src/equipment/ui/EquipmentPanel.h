#pragma once

#include "equipment/Equipment.h"
#include "equipment/Sizing.h"

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
    // `guard` runs a piece of work, showing any error (Screen::guarded()).
    EquipmentPanel(AppContext &context, std::function<bool(const std::function<void()> &)> guard);
    // Asked before a unit is placed, moved or taken out and before a size is
    // saved: false (the user told) when the screen may not change the job
    // now (Screen::maySave()).
    void setWriteCheck(std::function<bool()> check) { m_mayWrite = std::move(check); }

    // A room of the job, as the move dialog lists them.
    struct RoomChoice
    {
        qint64 id = 0;
        QString name {};
    };
    // Shows the room (0: none) of the job with its rooms; throws.
    void showRoom(qint64 wipId, qint64 roomId, const QList<RoomChoice> &rooms);

private:
    void refresh();
    // The size as the boxes hold it: a box with no number counts as 0, and
    // the first such box comes back with its problem (for a save).
    std::optional<std::pair<QLineEdit *, FieldProblem>> typedSize(equipment::RoomSize &size) const;
    // What the typed size calls for, against what stands in the room.
    void showSizing();
    const equipment::Placement *chosenPlacement() const;
    void refuse(const FieldProblem &problem);

    void btnPlace_Click();
    void btnRemoveUnit_Click();
    void btnMoveUnit_Click();
    void btnSaveSize_Click();

    AppContext &m_context;
    std::function<bool(const std::function<void()> &)> m_guard;
    std::function<bool()> m_mayWrite;
    qint64 m_wipId = 0;
    qint64 m_roomId = 0;
    QList<RoomChoice> m_rooms;
    QList<equipment::Placement> m_placements; // the job's, removed ones too
    QList<equipment::Placement> m_listed; // lstUnits' entries, in its order
    equipment::RoomSize m_size;
    // What stands in the room now, and the factors: the sizing's other half.
    int m_movers = 0;
    double m_pints = 0;
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
