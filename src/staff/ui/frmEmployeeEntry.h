#pragma once

#include "staff/EmployeeEntry.h"
#include "widgets/FieldTable.h"
#include "widgets/Screen.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Employee Entry/Edit": employees with their logins, types and, for the type
// "User", the permissions granted one by one. No delete: an employee leaves
// by "Inactive".
//
// Each visible list has a hidden twin holding the ID of the entry at the same
// index; both are always filled, moved and cleared together. The employee
// chooser tells which employee is edited: none selected is a new one.
class frmEmployeeEntry : public Screen
{
    Q_OBJECT
public:
    explicit frmEmployeeEntry(AppContext &context);

    // Rebuilds the employee chooser and selects the employee with this ID,
    // which shows it as stored. Database errors are reported.
    void LoadUser(const QString &id);

    // The employee as loaded or last saved (ID 0: a new one).
    const EmployeeEntry::Employee &record() const { return m_record; }

protected:
    // Fills the lists; no employee is selected.
    void load() override;

private:
    // Builds the controls and their layouts (frmEmployeeEntryLayout.cpp).
    void buildUi();
    void wireUi();
    void buildFields();

    // As the procedures, throwing data::DbError.
    void loadUser(qint64 id);
    void LoadEmployee();
    void ClearEmployeeForm();
    void LoadAllPermissions();
    void EnablePermissionLists();
    void DisablePermissionLists();
    void setPermissionListsEnabled(bool on);

    void cmbName_Click(int index);
    void cmbType_Click();
    void btnAdd_Click();
    void btnRemove_Click();
    void btnAddAll_Click();
    void btnRemoveAll_Click();
    void btnNew_Click();
    void btnSave_Click();
    void btnExit_Click();
    void txtUsername_LostFocus();

    EmployeeEntry::Employee m_record;
    QList<qint64> m_permissionIds; // the record's granted permissions as read
    FieldTable<EmployeeEntry::Employee> m_fields;

    // Controls, named as their objectName.
    QComboBox *cmbName = nullptr;
    QComboBox *cmbEmployeeID = nullptr;
    QLineEdit *txtFirstName = nullptr;
    QLineEdit *txtMiddleName = nullptr;
    QLineEdit *txtLastName = nullptr;
    QLineEdit *txtAddress1 = nullptr;
    QLineEdit *txtAddress2 = nullptr;
    QLineEdit *txtCity = nullptr;
    QComboBox *cmbState = nullptr;
    QLineEdit *txtZip = nullptr;
    QLineEdit *txtPhone = nullptr;
    QLineEdit *txtCell = nullptr;
    QLineEdit *txtFax = nullptr;
    QLineEdit *txtEmail = nullptr;
    QCheckBox *chkInactive = nullptr;
    QComboBox *cmbType = nullptr;
    QComboBox *cmbTypeID = nullptr;
    QLineEdit *txtUsername = nullptr;
    QLineEdit *txtPassword = nullptr;
    QListWidget *lstAllPermissions = nullptr;
    QListWidget *lstAllPermissionsID = nullptr;
    QListWidget *lstUserPermissions = nullptr;
    QListWidget *lstUserPermissionsID = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnRemove = nullptr;
    QPushButton *btnAddAll = nullptr;
    QPushButton *btnRemoveAll = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
};
