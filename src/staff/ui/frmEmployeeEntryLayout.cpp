// The employee editor's controls and layouts; behaviour is in frmEmployeeEntry.cpp.
#include "staff/ui/frmEmployeeEntry.h"

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

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit *textBox(const char *name)
{
    auto *box = named(new QLineEdit, name);
    box->setMaxLength(EmployeeEntry::kTextLength);
    SelectAllOnFocus(box);
    return box;
}

QComboBox *pickList(const char *name, int contents)
{
    auto *box = named(new QComboBox, name);
    box->setEditable(false);
    box->setMinimumContentsLength(contents);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMaxVisibleItems(20);
    return box;
}

QListWidget *permissionList(const char *name)
{
    auto *list = named(new QListWidget, name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAutoFillBackground(true);
    return list;
}

// A hidden twin: holds IDs, never shown nor focused.
template <typename T> T *twin(QWidget *parent, const char *name)
{
    auto *widget = named(new T(parent), name);
    widget->hide();
    widget->setFocusPolicy(Qt::NoFocus);
    return widget;
}

QPushButton *button(const char *caption, const char *name)
{
    auto *b = named(new QPushButton(QString::fromUtf8(caption)), name);
    b->setAutoDefault(true);
    return b;
}

QLabel *label(const char *caption, QWidget *buddy)
{
    auto *l = new QLabel(QString::fromUtf8(caption));
    l->setBuddy(buddy);
    return l;
}

} // namespace

void frmEmployeeEntry::buildUi()
{
    cmbName = pickList("cmbName", 30);
    cmbEmployeeID = twin<QComboBox>(this, "cmbEmployeeID");

    txtFirstName = textBox("txtFirstName");
    txtMiddleName = textBox("txtMiddleName");
    txtLastName = textBox("txtLastName");
    txtAddress1 = textBox("txtAddress1");
    txtAddress2 = textBox("txtAddress2");
    txtCity = textBox("txtCity");
    cmbState = pickList("cmbState", 4);
    txtZip = textBox("txtZip");
    txtPhone = textBox("txtPhone");
    txtCell = textBox("txtCell");
    txtFax = textBox("txtFax");
    txtEmail = textBox("txtEmail");
    chkInactive = named(new QCheckBox(QStringLiteral("Inactive")), "chkInactive");

    cmbType = pickList("cmbType", 12);
    cmbTypeID = twin<QComboBox>(this, "cmbTypeID");
    txtUsername = textBox("txtUsername");
    txtPassword = textBox("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    txtPassword->setToolTip(QStringLiteral(
        "Passwords are stored encrypted and never shown. Leave this box empty to keep the employee's "
        "current password; type a new one to replace it. An employee without a password cannot log in."));

    lstAllPermissions = permissionList("lstAllPermissions");
    lstAllPermissionsID = twin<QListWidget>(this, "lstAllPermissionsID");
    lstUserPermissions = permissionList("lstUserPermissions");
    lstUserPermissionsID = twin<QListWidget>(this, "lstUserPermissionsID");
    btnAdd = button("Add >", "btnAdd");
    btnRemove = button("< Rem", "btnRemove");
    btnAddAll = button("Add >>", "btnAddAll");
    btnRemoveAll = button("<< Rem", "btnRemoveAll");
    btnNew = button("New", "btnNew");
    btnSave = button("Save", "btnSave");
    btnExit = button("Exit", "btnExit");

    // The chooser.
    auto *top = new QHBoxLayout;
    top->addWidget(label("Employee", cmbName));
    top->addWidget(cmbName, 1);

    // The personal fields.
    auto *info = named(new QGroupBox(QStringLiteral("Employee Info")), "fraEmployeeInfo");
    auto *infoGrid = new QGridLayout(info);
    int row = 0;
    const auto addRow = [&](const char *caption, QWidget *first, QWidget *second = nullptr) {
        infoGrid->addWidget(label(caption, first), row, 0);
        if (second) {
            auto *pair = new QHBoxLayout;
            pair->addWidget(first);
            pair->addWidget(second, 1);
            infoGrid->addLayout(pair, row, 1);
        } else {
            infoGrid->addWidget(first, row, 1);
        }
        ++row;
    };
    addRow("First Name", txtFirstName);
    addRow("Middle Name", txtMiddleName);
    addRow("Last Name", txtLastName);
    addRow("Address1", txtAddress1);
    addRow("Address2", txtAddress2);
    addRow("City", txtCity);
    addRow("State/Zip", cmbState, txtZip);
    addRow("Phone", txtPhone);
    addRow("Cell", txtCell);
    addRow("Fax", txtFax);
    addRow("Email", txtEmail);
    infoGrid->addWidget(chkInactive, row++, 1);
    infoGrid->setColumnStretch(1, 1);
    infoGrid->setRowStretch(row, 1);

    // The login and the permissions.
    auto *login = new QGridLayout;
    login->addWidget(label("Type", cmbType), 0, 0);
    login->addWidget(cmbType, 0, 1);
    login->addWidget(label("Username", txtUsername), 1, 0);
    login->addWidget(txtUsername, 1, 1);
    login->addWidget(label("Password", txtPassword), 2, 0);
    login->addWidget(txtPassword, 2, 1);
    login->setColumnStretch(1, 1);

    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton *b : { btnAdd, btnRemove, btnAddAll, btnRemoveAll })
        moves->addWidget(b);
    moves->addStretch(1);
    auto *all = new QVBoxLayout;
    all->addWidget(label("All Permissions", lstAllPermissions));
    all->addWidget(lstAllPermissions, 1);
    auto *granted = new QVBoxLayout;
    granted->addWidget(label("User Permissions", lstUserPermissions));
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

    const QList<QWidget *> order = { cmbName, txtFirstName, txtMiddleName, txtLastName, txtAddress1, txtAddress2,
        txtCity, cmbState, txtZip, txtPhone, txtCell, txtFax, txtEmail, chkInactive, cmbType, txtUsername, txtPassword,
        lstAllPermissions, btnAdd, btnRemove, btnAddAll, btnRemoveAll, lstUserPermissions, btnNew, btnSave, btnExit };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}
