#include "staff/ui/frmEmployeeEntry.h"

#include "base/Colors.h"
#include "shell/AppContext.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

using EmployeeEntry::Choice;

namespace {

const QString kUser = QStringLiteral("User");

// A visible list or chooser and its hidden twin of IDs, filled together.
void fillPair(QComboBox *names, QComboBox *ids, const QList<Choice> &choices)
{
    const QSignalBlocker blockNames(names);
    const QSignalBlocker blockIds(ids);
    names->clear();
    ids->clear();
    for (const Choice &choice : choices) {
        names->addItem(choice.name);
        ids->addItem(QString::number(choice.id));
    }
    names->setCurrentIndex(-1);
    ids->setCurrentIndex(-1);
}

void appendPair(QListWidget *names, QListWidget *ids, const QList<Choice> &choices)
{
    for (const Choice &choice : choices) {
        names->addItem(choice.name);
        ids->addItem(QString::number(choice.id));
    }
}

// Moves entries (the selected ones, or all) from one pair to the end of the
// other. The walk runs from the last entry up, so a block moved together
// arrives in reverse order.
void movePairs(QListWidget *fromNames, QListWidget *fromIds, QListWidget *toNames, QListWidget *toIds, bool all)
{
    if (!all && fromNames->selectedItems().isEmpty())
        return;
    for (int i = fromNames->count() - 1; i >= 0; --i) {
        if (!all && !fromNames->item(i)->isSelected())
            continue;
        toNames->addItem(fromNames->item(i)->text());
        toIds->addItem(fromIds->item(i)->text());
        delete fromNames->takeItem(i);
        delete fromIds->takeItem(i);
    }
}

} // namespace

frmEmployeeEntry::frmEmployeeEntry(AppContext &context)
    : Screen(context, QStringLiteral("frmEmployeeEntry"), QStringLiteral("Employee Entry/Edit"))
{
    buildUi();
    wireUi();
    buildFields();
    DisablePermissionLists();
}

void frmEmployeeEntry::wireUi()
{
    for (QComboBox *box : { cmbName, cmbState, cmbType })
        InstallKeySearch(box, [this] { return this->context().company().keyPressDelay; });
    // Every pick of the user loads that employee, even the one shown, which
    // drops unsaved edits.
    connect(cmbName, &QComboBox::activated, this, &frmEmployeeEntry::cmbName_Click);
    // Loading and clearing move the type too: the lists follow whatever it shows.
    connect(cmbType, &QComboBox::currentIndexChanged, this, &frmEmployeeEntry::cmbType_Click);
    connect(btnAdd, &QPushButton::clicked, this, &frmEmployeeEntry::btnAdd_Click);
    connect(btnRemove, &QPushButton::clicked, this, &frmEmployeeEntry::btnRemove_Click);
    connect(btnAddAll, &QPushButton::clicked, this, &frmEmployeeEntry::btnAddAll_Click);
    connect(btnRemoveAll, &QPushButton::clicked, this, &frmEmployeeEntry::btnRemoveAll_Click);
    connect(btnNew, &QPushButton::clicked, this, &frmEmployeeEntry::btnNew_Click);
    connect(btnSave, &QPushButton::clicked, this, &frmEmployeeEntry::btnSave_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmEmployeeEntry::btnExit_Click);
    // Save asks again itself; any other button leaves the name to be checked then.
    checkOnLeaving(txtUsername, btnExit, [this] { txtUsername_LostFocus(); });
}

// The one list of the screen's fields: control, record field, kind. The
// password is not among them: the stored one is never shown.
void frmEmployeeEntry::buildFields()
{
    using E = EmployeeEntry::Employee;
    m_fields.text("FirstName", txtFirstName, &E::firstName)
        .text("MiddleName", txtMiddleName, &E::middleName)
        .text("LastName", txtLastName, &E::lastName)
        .text("Address1", txtAddress1, &E::address1)
        .text("Address2", txtAddress2, &E::address2)
        .text("City", txtCity, &E::city)
        .listText("State", cmbState, &E::state)
        .text("Zip", txtZip, &E::zip)
        .phone("Phone1", txtPhone, &E::phone1)
        .phone("Phone2", txtCell, &E::phone2)
        .phone("Fax", txtFax, &E::fax)
        .text("Email", txtEmail, &E::email)
        .check("Inactive", chkInactive, &E::inactive)
        // A type ID that names no listed type leaves the chooser empty; the
        // ID stays as stored until the user picks a type.
        .add({ QStringLiteral("UserTypeID"), cmbType,
            [this](const E &e) {
                const int index
                    = e.userTypeId == 0 ? -1 : cmbTypeID->findText(QString::number(e.userTypeId), Qt::MatchExactly);
                cmbTypeID->setCurrentIndex(index);
                cmbType->setCurrentIndex(index);
            },
            [this] {
                cmbTypeID->setCurrentIndex(-1);
                cmbType->setCurrentIndex(-1);
            },
            [this] { return QVariant(cmbType->currentIndex()); },
            [this](E &e) {
                const int index = cmbType->currentIndex();
                e.userTypeId = index < 0 ? 0 : cmbTypeID->itemText(index).toLongLong();
                e.userType = index < 0 ? QString() : cmbType->itemText(index);
            } })
        .text("Username", txtUsername, &E::username);
}

// ---- lists and loading

void frmEmployeeEntry::load()
{
    const EmployeeEntry::Lists lists = EmployeeEntry::loadLists(context().db());
    fillPair(cmbName, cmbEmployeeID, lists.employees);
    fillPair(cmbType, cmbTypeID, lists.types);
    {
        const QSignalBlocker block(cmbState);
        cmbState->clear();
        cmbState->addItems(lists.states);
        cmbState->setCurrentIndex(-1);
    }
    ClearEmployeeForm();
    LoadAllPermissions();
}

void frmEmployeeEntry::LoadAllPermissions()
{
    appendPair(lstAllPermissions, lstAllPermissionsID, EmployeeEntry::loadAllPermissions(context().db()));
}

void frmEmployeeEntry::LoadUser(const QString &id)
{
    bool ok = false;
    const qint64 value = id.trimmed().toLongLong(&ok);
    if (ok)
        guarded([&] { loadUser(value); });
}

void frmEmployeeEntry::loadUser(qint64 id)
{
    fillPair(cmbName, cmbEmployeeID, EmployeeEntry::loadEmployeeChoices(context().db()));
    const int index = cmbEmployeeID->findText(QString::number(id), Qt::MatchExactly);
    cmbEmployeeID->setCurrentIndex(index);
    cmbName->setCurrentIndex(index);
    LoadEmployee();
}

void frmEmployeeEntry::LoadEmployee()
{
    ClearEmployeeForm();
    const int index = cmbName->currentIndex();
    cmbEmployeeID->setCurrentIndex(index);
    if (index < 0 || cmbName->currentText().isEmpty())
        return;
    const qint64 id = cmbEmployeeID->itemText(index).toLongLong();
    std::optional<EmployeeEntry::Employee> found = EmployeeEntry::loadEmployee(context().db(), id);
    if (!found) {
        // Gone since the chooser was filled: a new employee with every
        // permission on offer.
        cmbName->setCurrentIndex(-1);
        cmbEmployeeID->setCurrentIndex(-1);
        ClearEmployeeForm();
        LoadAllPermissions();
        return;
    }
    m_record = std::move(*found);
    m_fields.fill(m_record);
    const EmployeeEntry::Permissions permissions = EmployeeEntry::loadPermissions(context().db(), id);
    appendPair(lstAllPermissions, lstAllPermissionsID, permissions.notGranted);
    appendPair(lstUserPermissions, lstUserPermissionsID, permissions.granted);
    m_permissionIds.clear();
    for (const EmployeeEntry::Choice &permission : permissions.granted)
        m_permissionIds << permission.id;
}

void frmEmployeeEntry::ClearEmployeeForm()
{
    m_record = EmployeeEntry::Employee {};
    m_permissionIds.clear();
    m_fields.clear();
    txtPassword->clear();
    for (QListWidget *list : { lstAllPermissions, lstAllPermissionsID, lstUserPermissions, lstUserPermissionsID })
        list->clear();
}

// ---- the permission lists

void frmEmployeeEntry::setPermissionListsEnabled(bool on)
{
    const QColor background = Colors::toQColor(on ? Colors::kWhite : 0x8000000Fu); // button face when off
    for (QListWidget *list : { lstAllPermissions, lstUserPermissions }) {
        list->setEnabled(on);
        QPalette palette = list->palette();
        palette.setColor(QPalette::Base, background);
        list->setPalette(palette);
    }
    for (QPushButton *b : { btnAdd, btnRemove, btnAddAll, btnRemoveAll })
        b->setEnabled(on);
}

void frmEmployeeEntry::EnablePermissionLists()
{
    setPermissionListsEnabled(true);
}

void frmEmployeeEntry::DisablePermissionLists()
{
    setPermissionListsEnabled(false);
}

void frmEmployeeEntry::cmbType_Click()
{
    // Only a "User" has permissions of its own; the lists keep their entries.
    if (cmbType->currentIndex() >= 0 && cmbType->currentText() == kUser)
        EnablePermissionLists();
    else
        DisablePermissionLists();
}

void frmEmployeeEntry::btnAdd_Click()
{
    movePairs(lstAllPermissions, lstAllPermissionsID, lstUserPermissions, lstUserPermissionsID, false);
}

void frmEmployeeEntry::btnRemove_Click()
{
    movePairs(lstUserPermissions, lstUserPermissionsID, lstAllPermissions, lstAllPermissionsID, false);
}

void frmEmployeeEntry::btnAddAll_Click()
{
    movePairs(lstAllPermissions, lstAllPermissionsID, lstUserPermissions, lstUserPermissionsID, true);
}

void frmEmployeeEntry::btnRemoveAll_Click()
{
    movePairs(lstUserPermissions, lstUserPermissionsID, lstAllPermissions, lstAllPermissionsID, true);
}

// ---- handlers

void frmEmployeeEntry::cmbName_Click(int)
{
    guarded([this] { LoadEmployee(); });
}

void frmEmployeeEntry::btnNew_Click()
{
    cmbName->setCurrentIndex(-1);
    cmbEmployeeID->setCurrentIndex(-1);
    ClearEmployeeForm();
    txtFirstName->setFocus(Qt::OtherFocusReason);
}

void frmEmployeeEntry::btnSave_Click()
{
    if (!maySave())
        return;
    const EmployeeEntry::Employee record = m_fields.read(m_record);
    std::optional<FieldProblem> problem = EmployeeEntry::validate(record);
    if (!problem) {
        QList<qint64> permissionIds;
        for (int i = 0; i < lstUserPermissionsID->count(); ++i)
            permissionIds << lstUserPermissionsID->item(i)->text().toLongLong();
        const QString password = txtPassword->text();
        guarded([&] {
            const EmployeeEntry::Editor editor = EmployeeEntry::loadEditor(context().db(), context().UserID());
            const std::variant<qint64, FieldProblem> saved = EmployeeEntry::save(
                context().db(), record, password, permissionIds, editor, context().stamp(), m_permissionIds);
            if (const auto *refused = std::get_if<FieldProblem>(&saved)) {
                problem = *refused;
                return;
            }
            loadUser(std::get<qint64>(saved));
        });
    }
    if (!problem)
        return;
    if (problem->field == QLatin1String("Username"))
        txtUsername->clear();
    Messages::showProblem(this, *problem, m_fields.control(problem->field));
}

void frmEmployeeEntry::btnExit_Click()
{
    closeScreen();
}

void frmEmployeeEntry::txtUsername_LostFocus()
{
    bool taken = false;
    if (!guarded([&] { taken = EmployeeEntry::usernameTaken(context().db(), txtUsername->text(), m_record.id); }))
        return;
    if (!taken)
        return;
    txtUsername->clear();
    Messages::showProblem(this, EmployeeEntry::usernameExists(), txtUsername);
}
