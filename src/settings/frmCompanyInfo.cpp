#include "settings/frmCompanyInfo.h"

#include "settings/Company.h"
#include "shell/AutoCompleteComboBoxModule.h"
#include "shell/GuiMessages.h"
#include "shell/GuiSelectAll.h"
#include "shell/modMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using CompanyEntry::Field;

namespace {

QLineEdit *textBox(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    SelectAllOnFocus(box);
    return box;
}

QLabel *label(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *l = new QLabel(caption, parent);
    l->setBuddy(buddy);
    return l;
}

bool isEnter(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

} // namespace

frmCompanyInfo::frmCompanyInfo(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCompanyInfo"));
    setWindowTitle(QStringLiteral("Company Settings"));
    buildForm();
}

void frmCompanyInfo::buildForm()
{
    auto *setup = new QGroupBox(QStringLiteral("Company Setup"), this);
    setup->setObjectName(QStringLiteral("fraCompanySetup"));
    txtCompany = textBox(setup, "txtCompany");
    txtAddress1 = textBox(setup, "txtAddress1");
    txtAddress2 = textBox(setup, "txtAddress2");
    txtCity = textBox(setup, "txtCity");
    cmbState = new QComboBox(setup);
    cmbState->setObjectName(QStringLiteral("cmbState"));
    cmbState->setEditable(false);
    cmbState->setMinimumContentsLength(4);
    InstallKeySearch(cmbState);
    // Installed after the key search so it sees Enter first (see eventFilter).
    cmbState->installEventFilter(this);
    txtZip = textBox(setup, "txtZip");
    txtPhone = textBox(setup, "txtPhone");
    txtPhone->setInputMask(CompanyEntry::phoneMask());
    txtFax = textBox(setup, "txtFax");
    txtFax->setInputMask(CompanyEntry::phoneMask());
    txtWebsite = textBox(setup, "txtWebsite");
    txtEmail = textBox(setup, "txtEmail");
    txtCompany->setMinimumWidth(260);

    auto *stateZip = new QHBoxLayout;
    stateZip->addWidget(cmbState);
    stateZip->addWidget(txtZip, 1);
    auto *setupForm = new QFormLayout(setup);
    setupForm->addRow(label(setup, QStringLiteral("Company"), txtCompany), txtCompany);
    setupForm->addRow(label(setup, QStringLiteral("Address1"), txtAddress1), txtAddress1);
    setupForm->addRow(label(setup, QStringLiteral("Address2"), txtAddress2), txtAddress2);
    setupForm->addRow(label(setup, QStringLiteral("City"), txtCity), txtCity);
    setupForm->addRow(label(setup, QStringLiteral("State/Zip"), cmbState), stateZip);
    setupForm->addRow(label(setup, QStringLiteral("Phone"), txtPhone), txtPhone);
    setupForm->addRow(label(setup, QStringLiteral("Fax"), txtFax), txtFax);
    setupForm->addRow(label(setup, QStringLiteral("Website"), txtWebsite), txtWebsite);
    setupForm->addRow(label(setup, QStringLiteral("E-Mail Address"), txtEmail), txtEmail);

    auto *settings = new QGroupBox(QStringLiteral("Settings"), this);
    settings->setObjectName(QStringLiteral("fraSettings"));
    txtKeyPressDelay = textBox(settings, "txtKeyPressDelay");
    txtQBItem = textBox(settings, "txtQBItem");
    txtQBDesc = textBox(settings, "txtQBDesc");
    txtQBAmount = textBox(settings, "txtQBAmount");
    txtDryingDays = textBox(settings, "txtDryingDays");
    txtKeyPressDelay->installEventFilter(this);

    auto *settingsGrid = new QGridLayout(settings);
    settingsGrid->addWidget(label(settings, QStringLiteral("Keypress Delay"), txtKeyPressDelay), 0, 0);
    settingsGrid->addWidget(txtKeyPressDelay, 0, 1);
    settingsGrid->addWidget(new QLabel(QStringLiteral("(Seconds)"), settings), 0, 2);
    settingsGrid->addWidget(label(settings, QStringLiteral("QB Item:"), txtQBItem), 1, 0);
    settingsGrid->addWidget(txtQBItem, 1, 1, 1, 2);
    settingsGrid->addWidget(label(settings, QStringLiteral("QB Desc:"), txtQBDesc), 2, 0);
    settingsGrid->addWidget(txtQBDesc, 2, 1, 1, 2);
    settingsGrid->addWidget(label(settings, QStringLiteral("QB Amount:"), txtQBAmount), 3, 0);
    settingsGrid->addWidget(txtQBAmount, 3, 1);
    settingsGrid->addWidget(label(settings, QStringLiteral("Drying Days"), txtDryingDays), 4, 0);
    settingsGrid->addWidget(txtDryingDays, 4, 1);
    settingsGrid->setColumnStretch(1, 1);
    settingsGrid->setRowStretch(5, 1);

    btnSave = new QPushButton(QStringLiteral("Save And Close"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setDefault(true);
    btnExit = new QPushButton(QStringLiteral("Exit"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    // Enter on a focused button presses that button; anywhere else it saves
    // (see keyPressEvent).
    btnSave->setAutoDefault(true);
    btnExit->setAutoDefault(true);
    connect(btnSave, &QPushButton::clicked, this, &frmCompanyInfo::btnSave_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmCompanyInfo::btnExit_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnExit);

    auto *right = new QVBoxLayout;
    right->addWidget(settings, 1);
    right->addLayout(buttons);

    auto *main = new QHBoxLayout(this);
    main->addWidget(setup, 3);
    main->addLayout(right, 2);

    // The company, then the settings that every user meets; the QuickBooks
    // and drying-days boxes come after the buttons.
    const QList<QWidget *> order = { txtCompany, txtAddress1, txtAddress2, txtCity, cmbState, txtZip, txtPhone, txtFax,
        txtWebsite, txtEmail, txtKeyPressDelay, btnSave, btnExit, txtQBItem, txtQBDesc, txtQBAmount, txtDryingDays };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

frmCompanyInfo *frmCompanyInfo::create()
{
    auto *screen = new frmCompanyInfo;
    if (!screen->loadScreen()) {
        delete screen;
        return nullptr;
    }
    return screen;
}

bool frmCompanyInfo::loadScreen()
{
    return Messages::guarded(this, [this] {
        WaitCursor wait;
        fillStates();
        loadCompanyFields();
    });
}

void frmCompanyInfo::fillStates()
{
    cmbState->clear();
    cmbState->addItems(CompanyEntry::states());
    cmbState->setCurrentIndex(-1);
}

void frmCompanyInfo::loadCompanyFields()
{
    const std::optional<CompanyTexts> row = CompanyEntry::load();
    if (!row) {
        for (QLineEdit *box :
            { txtCompany, txtAddress1, txtAddress2, txtCity, txtZip, txtPhone, txtFax, txtWebsite, txtEmail })
            box->clear();
        cmbState->setCurrentIndex(-1);
        return;
    }
    txtCompany->setText(row->name);
    txtWebsite->setText(row->website);
    txtEmail->setText(row->email);
    txtAddress1->setText(row->address1);
    txtAddress2->setText(row->address2);
    txtCity->setText(row->city);
    selectState(row->state);
    txtZip->setText(row->zip);
    showPhone(txtPhone, row->phone);
    showPhone(txtFax, row->fax);
    txtKeyPressDelay->setText(row->keyPressDelay);
    txtQBItem->setText(row->qbItemName);
    txtQBDesc->setText(row->qbItemDescription);
    txtQBAmount->setText(row->qbItemAmount);
    txtDryingDays->setText(row->dryingDays);
}

void frmCompanyInfo::showPhone(QLineEdit *box, const QString &stored)
{
    // A number kept in another form (say, with a country code) would be
    // mangled by the mask and then saved mangled: show it as it is instead.
    box->setInputMask(CompanyEntry::fitsPhoneMask(stored) ? CompanyEntry::phoneMask() : QString());
    box->setText(stored);
}

void frmCompanyInfo::selectState(const QString &state)
{
    if (state.isEmpty()) {
        cmbState->setCurrentIndex(-1);
        return;
    }
    int index = cmbState->findText(state, Qt::MatchExactly);
    if (index < 0)
        index = cmbState->findText(state, Qt::MatchFixedString);
    if (index < 0) {
        // A state that has left the list stays the company's state until the
        // user picks another; it takes its place in the order.
        index = 0;
        while (index < cmbState->count() && cmbState->itemText(index) < state)
            ++index;
        cmbState->insertItem(index, state);
    }
    cmbState->setCurrentIndex(index);
}

CompanyTexts frmCompanyInfo::texts() const
{
    auto phone = [](const QLineEdit *box) {
        return box->inputMask().isEmpty() ? box->text() : CompanyEntry::phoneToStore(box->displayText());
    };
    CompanyTexts t;
    t.name = txtCompany->text();
    t.address1 = txtAddress1->text();
    t.address2 = txtAddress2->text();
    t.city = txtCity->text();
    t.state = cmbState->currentText();
    t.zip = txtZip->text();
    t.phone = phone(txtPhone);
    t.fax = phone(txtFax);
    t.website = txtWebsite->text();
    t.email = txtEmail->text();
    t.keyPressDelay = txtKeyPressDelay->text();
    t.qbItemName = txtQBItem->text();
    t.qbItemDescription = txtQBDesc->text();
    t.qbItemAmount = txtQBAmount->text();
    t.dryingDays = txtDryingDays->text();
    return t;
}

QWidget *frmCompanyInfo::boxFor(Field field) const
{
    switch (field) {
    case Field::Name:
        return txtCompany;
    case Field::State:
        return cmbState;
    case Field::KeyPressDelay:
        return txtKeyPressDelay;
    case Field::QBItemAmount:
        return txtQBAmount;
    case Field::DryingDays:
        return txtDryingDays;
    }
    return nullptr;
}

void frmCompanyInfo::btnSave_Click()
{
    const std::variant<CompanyRow, CompanyEntry::Problem> checked = CompanyEntry::toRow(texts());
    if (const auto *problem = std::get_if<CompanyEntry::Problem>(&checked)) {
        Messages::show(this, problem->text, problem->title);
        if (QWidget *box = boxFor(problem->field)) {
            box->setFocus(Qt::OtherFocusReason);
            if (auto *edit = qobject_cast<QLineEdit *>(box))
                edit->selectAll();
        }
        return;
    }
    const bool saved = Messages::guarded(this, [&] {
        WaitCursor wait;
        Company::save(std::get<CompanyRow>(checked));
    });
    if (!saved)
        return;

    QWidget *mainWindow = window();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
    // The row is written; a failure to read it back leaves the old values in
    // force until the next start, and the user is told.
    Messages::guarded(mainWindow, [] { LoadCompanySettings(); });
}

void frmCompanyInfo::btnExit_Click()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void frmCompanyInfo::txtKeyPressDelay_LostFocus()
{
    if (CompanyEntry::keyPressDelayAccepted(txtKeyPressDelay->text()))
        return;
    const CompanyEntry::Problem problem = CompanyEntry::keyPressDelayTooSmall();
    Messages::show(this, problem.text, problem.title);
    txtKeyPressDelay->setFocus(Qt::OtherFocusReason);
    txtKeyPressDelay->selectAll();
}

bool frmCompanyInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cmbState && event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent *>(event))
        && !cmbState->view()->isVisible()) {
        // The key search takes every character, Enter too; on the closed
        // list Enter is still the default button's.
        btnSave->click();
        return true;
    }
    if (watched == txtKeyPressDelay && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        QWidget *next = QApplication::focusWidget();
        // Only a move to another box of this screen is checked: switching
        // windows, opening a menu or leaving by Exit is not held up.
        const bool withinScreen = next && next != btnExit && isAncestorOf(next);
        if (withinScreen && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // Checked once the focus change (and a click that caused it) is
            // complete, so the message never interrupts the click half-way.
            QPointer<frmCompanyInfo> self(this);
            QTimer::singleShot(0, this, [self] {
                if (self && self->isVisible() && !self->txtKeyPressDelay->hasFocus())
                    self->txtKeyPressDelay_LostFocus();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmCompanyInfo::keyPressEvent(QKeyEvent *event)
{
    // "Save And Close" is the default button: Enter that no box has used
    // saves, as in a dialog.
    if (isEnter(event)) {
        btnSave->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
