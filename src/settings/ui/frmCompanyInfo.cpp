#include "settings/ui/frmCompanyInfo.h"

#include "base/Phones.h"
#include "data/Database.h"
#include "settings/Company.h"
#include "shell/AppContext.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"
#include "widgets/SelectAllOnFocus.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

frmCompanyInfo::frmCompanyInfo(AppContext &context)
    : Screen(context, QStringLiteral("frmCompanyInfo"), QStringLiteral("Company Settings"))
{
    buildForm();
    buildFields();
    // "Save And Close" checks the delay itself.
    checkOnLeaving(txtKeyPressDelay, btnExit, [this] { txtKeyPressDelay_LostFocus(); });
}

void frmCompanyInfo::buildForm()
{
    auto *setup = build::named(new QGroupBox(QStringLiteral("Company Setup"), this), "fraCompanySetup");
    txtCompany = build::textBox("txtCompany");
    txtAddress1 = build::textBox("txtAddress1");
    txtAddress2 = build::textBox("txtAddress2");
    txtCity = build::textBox("txtCity");
    cmbState = build::pickList("cmbState", 4);
    InstallKeySearch(cmbState, [this] { return this->context().company().keyPressDelay; });
    txtZip = build::textBox("txtZip");
    txtPhone = build::textBox("txtPhone");
    txtPhone->setInputMask(Phones::mask());
    txtFax = build::textBox("txtFax");
    txtFax->setInputMask(Phones::mask());
    txtWebsite = build::textBox("txtWebsite");
    txtEmail = build::textBox("txtEmail");
    txtCompany->setMinimumWidth(260);

    auto *stateZip = new QHBoxLayout;
    stateZip->addWidget(cmbState);
    stateZip->addWidget(txtZip, 1);
    auto *setupForm = new QFormLayout(setup);
    build::formRows(setupForm,
        { { u"Company", txtCompany }, { u"Address1", txtAddress1 }, { u"Address2", txtAddress2 },
            { u"City", txtCity } });
    setupForm->addRow(build::caption(u"State/Zip", cmbState), stateZip);
    build::formRows(setupForm,
        { { u"Phone", txtPhone }, { u"Fax", txtFax }, { u"Website", txtWebsite }, { u"E-Mail Address", txtEmail } });

    auto *settings = build::named(new QGroupBox(QStringLiteral("Settings"), this), "fraSettings");
    txtKeyPressDelay = build::textBox("txtKeyPressDelay");
    txtQBItem = build::textBox("txtQBItem");
    txtQBDesc = build::textBox("txtQBDesc");
    txtQBAmount = build::textBox("txtQBAmount");
    txtDryingDays = build::textBox("txtDryingDays");
    txtBackupsToKeep = build::textBox("txtBackupsToKeep");
    txtBackupsToKeep->setPlaceholderText(QString::number(kDefaultBackupsToKeep));
    for (QLineEdit *box : { txtCompany, txtAddress1, txtAddress2, txtCity, txtZip, txtPhone, txtFax, txtWebsite,
             txtEmail, txtKeyPressDelay, txtQBItem, txtQBDesc, txtQBAmount, txtDryingDays, txtBackupsToKeep })
        SelectAllOnFocus(box);
    cmbTemperatureUnit = build::named(new QComboBox, "cmbTemperatureUnit");
    cmbTemperatureUnit->addItem(QStringLiteral("°F"), QStringLiteral("F"));
    cmbTemperatureUnit->addItem(QStringLiteral("°C"), QStringLiteral("C"));
    chkDryingLogAlert = build::checkBox("chkDryingLogAlert", u"Alert from the drying log");
    chkBillEquipmentDays = build::checkBox("chkBillEquipmentDays", u"Bill equipment days");
    chkProgramBackups = build::checkBox("chkProgramBackups", u"The program makes the backups");
    grdEquipmentRates = build::named(new QTableWidget(0, 3), "grdEquipmentRates");
    grdEquipmentRates->setHorizontalHeaderLabels(
        { QStringLiteral("Equipment"), QStringLiteral("QB Item"), QStringLiteral("Daily Rate") });
    grdEquipmentRates->verticalHeader()->hide();
    grdEquipmentRates->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);

    auto *settingsGrid = new QGridLayout(settings);
    settingsGrid->addWidget(build::caption(u"Keypress Delay", txtKeyPressDelay), 0, 0);
    settingsGrid->addWidget(txtKeyPressDelay, 0, 1);
    settingsGrid->addWidget(build::caption(u"(Seconds)"), 0, 2);
    settingsGrid->addWidget(build::caption(u"QB Item:", txtQBItem), 1, 0);
    settingsGrid->addWidget(txtQBItem, 1, 1, 1, 2);
    settingsGrid->addWidget(build::caption(u"QB Desc:", txtQBDesc), 2, 0);
    settingsGrid->addWidget(txtQBDesc, 2, 1, 1, 2);
    settingsGrid->addWidget(build::caption(u"QB Amount:", txtQBAmount), 3, 0);
    settingsGrid->addWidget(txtQBAmount, 3, 1);
    settingsGrid->addWidget(build::caption(u"Drying Days", txtDryingDays), 4, 0);
    settingsGrid->addWidget(txtDryingDays, 4, 1);
    settingsGrid->setColumnStretch(1, 1);
    settingsGrid->addWidget(build::caption(u"Temperatures", cmbTemperatureUnit), 5, 0);
    settingsGrid->addWidget(cmbTemperatureUnit, 5, 1);
    settingsGrid->addWidget(chkDryingLogAlert, 6, 1, 1, 2);
    settingsGrid->addWidget(chkBillEquipmentDays, 7, 1, 1, 2);
    settingsGrid->addWidget(build::caption(u"Backups to keep", txtBackupsToKeep), 8, 0);
    settingsGrid->addWidget(txtBackupsToKeep, 8, 1);
    settingsGrid->addWidget(chkProgramBackups, 9, 1, 1, 2);
    settingsGrid->addWidget(grdEquipmentRates, 10, 0, 1, 3);
    settingsGrid->setRowStretch(10, 1);

    btnSave = build::button("btnSave", u"Save And Close");
    btnExit = build::button("btnExit", u"Exit");
    // Enter on a focused button presses that button; anywhere else it saves.
    btnSave->setAutoDefault(true);
    btnExit->setAutoDefault(true);
    setDefaultButton(btnSave);
    routeEnterToDefault(cmbState);
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

    // The company, then the settings that every user meets; the QuickBooks,
    // drying-days and drying log settings come after the buttons.
    build::tabOrder(
        { txtCompany, txtAddress1, txtAddress2, txtCity, cmbState, txtZip, txtPhone, txtFax, txtWebsite, txtEmail,
            txtKeyPressDelay, btnSave, btnExit, txtQBItem, txtQBDesc, txtQBAmount, txtDryingDays, cmbTemperatureUnit,
            chkDryingLogAlert, chkBillEquipmentDays, txtBackupsToKeep, chkProgramBackups, grdEquipmentRates });
}

void frmCompanyInfo::buildFields()
{
    m_fields.text("Name", txtCompany, &CompanyTexts::name)
        .text("Address1", txtAddress1, &CompanyTexts::address1)
        .text("Address2", txtAddress2, &CompanyTexts::address2)
        .text("City", txtCity, &CompanyTexts::city)
        .add({ QStringLiteral("State"), cmbState, [this](const CompanyTexts &t) { selectState(t.state); },
            [this] { cmbState->setCurrentIndex(-1); }, [this] { return QVariant(cmbState->currentText()); },
            [this](CompanyTexts &t) { t.state = cmbState->currentText(); } })
        .text("Zip", txtZip, &CompanyTexts::zip)
        .phone("Phone", txtPhone, &CompanyTexts::phone)
        .phone("Fax", txtFax, &CompanyTexts::fax)
        .text("Website", txtWebsite, &CompanyTexts::website)
        .text("Email", txtEmail, &CompanyTexts::email)
        .text("KeyPressDelay", txtKeyPressDelay, &CompanyTexts::keyPressDelay)
        .text("QBItemName", txtQBItem, &CompanyTexts::qbItemName)
        .text("QBItemDescription", txtQBDesc, &CompanyTexts::qbItemDescription)
        .text("QBItemAmount", txtQBAmount, &CompanyTexts::qbItemAmount)
        .text("DryingDays", txtDryingDays, &CompanyTexts::dryingDays)
        .add({ QStringLiteral("TemperatureUnit"), cmbTemperatureUnit,
            [this](const CompanyTexts &t) {
                cmbTemperatureUnit->setCurrentIndex(std::max(0, cmbTemperatureUnit->findData(t.temperatureUnit)));
            },
            [this] { cmbTemperatureUnit->setCurrentIndex(0); }, [this] { return cmbTemperatureUnit->currentData(); },
            [this](CompanyTexts &t) { t.temperatureUnit = cmbTemperatureUnit->currentData().toString(); } })
        .check("DryingLogAlert", chkDryingLogAlert, &CompanyTexts::dryingLogAlert)
        .check("BillEquipmentDays", chkBillEquipmentDays, &CompanyTexts::billEquipmentDays)
        .text("BackupsToKeep", txtBackupsToKeep, &CompanyTexts::backupsToKeep)
        .check("ProgramBackups", chkProgramBackups, &CompanyTexts::programBackups);
}

void frmCompanyInfo::load()
{
    cmbState->clear();
    cmbState->addItems(CompanyEntry::states(context().db()));
    cmbState->setCurrentIndex(-1);
    m_record = CompanyEntry::load(context().db()).value_or(CompanyEntry::newTexts(context().db()));
    m_fields.fill(m_record);
    m_rates = equipment::loadRates(context().db());
    fillRates();
}

void frmCompanyInfo::fillRates()
{
    grdEquipmentRates->setRowCount(int(m_rates.size()));
    for (int r = 0; r < m_rates.size(); ++r) {
        auto *type = new QTableWidgetItem(m_rates[r].type);
        type->setFlags(type->flags() & ~Qt::ItemIsEditable);
        grdEquipmentRates->setItem(r, 0, type);
        grdEquipmentRates->setItem(r, 1, new QTableWidgetItem(m_rates[r].qbItemName));
        grdEquipmentRates->setItem(r, 2, new QTableWidgetItem(equipment::rateText(m_rates[r])));
    }
}

std::optional<QList<equipment::Rate>> frmCompanyInfo::readRates()
{
    QList<equipment::Rate> rates;
    for (int r = 0; r < m_rates.size(); ++r) {
        const auto cell = [&](int c) {
            const QTableWidgetItem *item = grdEquipmentRates->item(r, c);
            return item ? item->text() : QString();
        };
        const std::variant<equipment::Rate, FieldProblem> rate = equipment::fromTexts(m_rates[r], cell(1), cell(2));
        if (const auto *problem = std::get_if<FieldProblem>(&rate)) {
            Messages::showProblem(this, *problem, grdEquipmentRates);
            grdEquipmentRates->setCurrentCell(r, problem->field == u"QBItemName" ? 1 : 2);
            return std::nullopt;
        }
        rates << std::get<equipment::Rate>(rate);
    }
    return rates;
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

void frmCompanyInfo::btnSave_Click()
{
    if (!maySave())
        return;
    const std::variant<CompanyRow, FieldProblem> checked = CompanyEntry::toRow(m_fields.read(m_record));
    if (const auto *problem = std::get_if<FieldProblem>(&checked)) {
        Messages::showProblem(this, *problem, m_fields.control(problem->field));
        return;
    }
    const std::optional<QList<equipment::Rate>> rates = readRates();
    if (!rates)
        return;
    AppContext &ctx = context();
    if (!guarded([&] {
            data::Transaction transaction(ctx.db());
            Company::save(ctx.db(), std::get<CompanyRow>(checked));
            equipment::saveRates(ctx.db(), *rates); // checked above
            transaction.commit();
        }))
        return;

    QWidget *mainWindow = window();
    closeScreen();
    // The row is written; a failure to read it back leaves the old values in
    // force until the next start, and the user is told.
    Messages::guarded(mainWindow, [&ctx] { ctx.LoadCompanySettings(); });
}

void frmCompanyInfo::btnExit_Click()
{
    closeScreen();
}

void frmCompanyInfo::txtKeyPressDelay_LostFocus()
{
    if (CompanyEntry::keyPressDelayAccepted(txtKeyPressDelay->text()))
        return;
    Messages::showProblem(this, CompanyEntry::keyPressDelayTooSmall(), txtKeyPressDelay);
}
