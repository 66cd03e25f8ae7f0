#pragma once

#include "equipment/Equipment.h"
#include "widgets/Screen.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Equipment": the register of drying units (adds, edits, retires; never
// deletes, the bills keep their placements) and the look-up of where a unit
// stands.
class frmEquipment : public Screen
{
    Q_OBJECT
public:
    explicit frmEquipment(AppContext &context);

protected:
    void load() override;

private:
    void loadUnitList(qint64 select);
    void showUnit(const equipment::Unit &unit);
    void clearUnit();
    void updateDehuBoxes();
    QWidget *controlOf(const QString &field) const;

    void cmbUnits_Click(int index);
    void cmbEquipType_Click(int index);
    void btnNew_Click();
    void btnSave_Click();
    void btnFind_Click();
    void btnExit_Click();

    equipment::Unit m_unit; // as loaded; id 0 for a new one
    QList<equipment::Unit> m_units; // the list's entries, in its order

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
};
