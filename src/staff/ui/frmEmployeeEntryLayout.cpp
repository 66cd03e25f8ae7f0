// The employee editor's controls and layouts; behaviour is in frmEmployeeEntry.cpp.
#include "staff/ui/frmEmployeeEntry.h"

#include "widgets/Build.h"
#include "widgets/SelectAllOnFocus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QListWidget *permissionList(const char *name)
{
    auto *list = build::named(new QListWidget, name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAutoFillBackground(true);
    return list;
}

} // namespace

void frmEmployeeEntry::buildUi()
{
    cmbName = build::pickList("cmbName", 30);
    cmbEmployeeID = build::twin<QComboBox>("cmbEmployeeID", this);

    txtFirstName = build::textBox("txtFirstName", EmployeeEntry::kTextLength);
    txtMiddleName = build::textBox("txtMiddleName", EmployeeEntry::kTextLength);
    txtLastName = build::textBox("txtLastName", EmployeeEntry::kTextLength);
    txtAddress1 = build::textBox("txtAddress1", EmployeeEntry::kTextLength);
    txtAddress2 = build::textBox("txtAddress2", EmployeeEntry::kTextLength);
    txtCity = build::textBox("txtCity", EmployeeEntry::kTextLength);
    cmbState = build::pickList("cmbState", 4);
    txtZip = build::textBox("txtZip", EmployeeEntry::kTextLength);
    txtPhone = build::textBox("txtPhone", EmployeeEntry::kTextLength);
    txtCell = build::textBox("txtCell", EmployeeEntry::kTextLength);
    txtFax = build::textBox("txtFax", EmployeeEntry::kTextLength);
    txtEmail = build::textBox("txtEmail", EmployeeEntry::kTextLength);
    chkInactive = build::checkBox("chkInactive", u"Inactive");

    cmbType = build::pickList("cmbType", 12);
    cmbTypeID = build::twin<QComboBox>("cmbTypeID", this);
    txtUsername = build::textBox("txtUsername", EmployeeEntry::kTextLength);
    txtPassword = build::textBox("txtPassword", EmployeeEntry::kTextLength);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    txtPassword->setToolTip(QStringLiteral(
        "Passwords are stored encrypted and never shown. Leave this box empty to keep the employee's "
        "current password; type a new one to replace it. An employee without a password cannot log in."));

    lstAllPermissions = permissionList("lstAllPermissions");
    lstAllPermissionsID = build::twin<QListWidget>("lstAllPermissionsID", this);
    lstUserPermissions = permissionList("lstUserPermissions");
    lstUserPermissionsID = build::twin<QListWidget>("lstUserPermissionsID", this);
    btnAdd = build::button("btnAdd", u"Add >");
    btnRemove = build::button("btnRemove", u"< Rem");
    btnAddAll = build::button("btnAddAll", u"Add >>");
    btnRemoveAll = build::button("btnRemoveAll", u"<< Rem");
    btnNew = build::button("btnNew", u"New");
    btnSave = build::button("btnSave", u"Save");
    btnExit = build::button("btnExit", u"Exit");
    // Enter on a focused button presses that button.
    for (QPushButton *b : { btnAdd, btnRemove, btnAddAll, btnRemoveAll, btnNew, btnSave, btnExit })
        b->setAutoDefault(true);
    for (QLineEdit *box : { txtFirstName, txtMiddleName, txtLastName, txtAddress1, txtAddress2, txtCity, txtZip,
             txtPhone, txtCell, txtFax, txtEmail, txtUsername, txtPassword })
        SelectAllOnFocus(box);

    // The chooser.
    auto *top = new QHBoxLayout;
    top->addWidget(build::caption(u"Employee", cmbName));
    top->addWidget(cmbName, 1);

    // The personal fields.
    auto *info = build::named(new QGroupBox(QStringLiteral("Employee Info")), "fraEmployeeInfo");
    auto *infoGrid = new QGridLayout(info);
    int row = build::captionRows(infoGrid, 0,
        { { u"First Name", { txtFirstName } }, { u"Middle Name", { txtMiddleName } }, { u"Last Name", { txtLastName } },
            { u"Address1", { txtAddress1 } }, { u"Address2", { txtAddress2 } }, { u"City", { txtCity } },
            { u"State/Zip", { cmbState, txtZip } }, { u"Phone", { txtPhone } }, { u"Cell", { txtCell } },
            { u"Fax", { txtFax } }, { u"Email", { txtEmail } } });
    infoGrid->addWidget(chkInactive, row++, 1);
    infoGrid->setColumnStretch(1, 1);
    infoGrid->setRowStretch(row, 1);

    // The login and the permissions.
    auto *login = new QGridLayout;
    login->addWidget(build::caption(u"Type", cmbType), 0, 0);
    login->addWidget(cmbType, 0, 1);
    login->addWidget(build::caption(u"Username", txtUsername), 1, 0);
    login->addWidget(txtUsername, 1, 1);
    login->addWidget(build::caption(u"Password", txtPassword), 2, 0);
    login->addWidget(txtPassword, 2, 1);
    login->setColumnStretch(1, 1);

    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton *b : { btnAdd, btnRemove, btnAddAll, btnRemoveAll })
        moves->addWidget(b);
    moves->addStretch(1);
    auto *all = new QVBoxLayout;
    all->addWidget(build::caption(u"All Permissions", lstAllPermissions));
    all->addWidget(lstAllPermissions, 1);
    auto *granted = new QVBoxLayout;
    granted->addWidget(build::caption(u"User Permissions", lstUserPermissions));
    granted->addWidget(lstUserPermissions, 1);
    auto *permissions = new QHBoxLayout;
    permissions->addLayout(all, 1);
    permissions->addLayout(moves);
    permissions->addLayout(granted, 1);

    auto *right = new QVBoxLayout;
    right->addLayout(login);
    right->addLayout(permissions, 1);

    auto *middle = new QHBoxLayout;
    middle->addWidget(info, 1);
    middle->addLayout(right, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : { btnNew, btnSave, btnExit })
        buttons->addWidget(b);

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(middle, 1);
    main->addLayout(buttons);
    resize(656, 561);

    build::tabOrder({ cmbName, txtFirstName, txtMiddleName, txtLastName, txtAddress1, txtAddress2, txtCity, cmbState,
        txtZip, txtPhone, txtCell, txtFax, txtEmail, chkInactive, cmbType, txtUsername, txtPassword, lstAllPermissions,
        btnAdd, btnRemove, btnAddAll, btnRemoveAll, lstUserPermissions, btnNew, btnSave, btnExit });
}
