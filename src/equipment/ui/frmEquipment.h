#pragma once

#include "equipment/Equipment.h"
#include "widgets/FieldTable.h"
#include "widgets/Screen.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class GridWidget;

// "Equipment": the register of drying units (adds, edits, retires; never
// deletes, the bills keep their placements), the list of every unit with
// where it stands and since when, and the look-up of where a unit stands.
// Leaving a unit with unsaved edits (another picked, New, closing) asks
// first.
class frmEquipment : public Screen
{
    Q_OBJECT
public:
    explicit frmEquipment(AppContext &context);
    bool confirmClose() override;

protected:
    void load() override;

private:
    void loadUnitList(qint64 select);
    void fillRegister(qint64 select);
    void selectInLists(qint64 id);
    // Shows the unit after asking about unsaved edits; false when the user
    // stays on the current one.
    bool pickUnit(qint64 id);
    // Yes saves, No drops, Cancel stays: whether the unit may be left.
    bool confirmLeave();
    bool save();
    void showUnit(const equipment::Unit &unit);
    void clearUnit();
    void updateDehuBoxes();

    void cmbUnits_Click(int index);
    void vsfgUnits_Click();
    void cmbEquipType_Click(int index);
    void btnNew_Click();
    void btnSave_Click();
    void btnFind_Click();
    void btnExit_Click();

    equipment::Unit m_unit; // as loaded; id 0 for a new one
    FieldTable<equipment::Unit> m_fields;

    QComboBox *cmbUnits = nullptr;
    QLineEdit *txtAsset = nullptr;
    QComboBox *cmbEquipType = nullptr;
    QComboBox *cmbDehuKind = nullptr;
    QLineEdit *txtPints = nullptr;
    QLineEdit *txtDescription = nullptr;
    QCheckBox *chkRetired = nullptr;
    QLabel *lblUnitWhere = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
    QLineEdit *txtFind = nullptr;
    QPushButton *btnFind = nullptr;
    QLabel *lblWhere = nullptr;
    GridWidget *vsfgUnits = nullptr;
};
