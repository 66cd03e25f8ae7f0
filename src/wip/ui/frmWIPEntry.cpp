#include "wip/ui/frmWIPEntry.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "base/Numbers.h"
#include "drying/ui/frmDryingLog.h"
#include "photos/ui/PhotoPanel.h"
#include "reports/ui/modReports.h"
#include "shell/AppContext.h"
#include "staff/ui/TimeGrid.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Build.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "widgets/PlainTextLimit.h"
#include "wip/WipDisplay.h"
#include "wip/WipHistory.h"
#include "wip/WipLabor.h"
#include "wip/WipLists.h"
#include "wip/ui/frmImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

frmWIPEntry::frmWIPEntry(AppContext &context)
    : Screen(context, QStringLiteral("frmWIPEntry"), QStringLiteral("WIPs Entry/Edit"))
{
    buildUi();
    wireUi();
    buildFields();
}

frmWIPEntry::~frmWIPEntry() = default;

void frmWIPEntry::load()
{
    reloadLists();
    ClearForm();
}

void frmWIPEntry::wireUi()
{
    connect(btnSave, &QPushButton::clicked, this, &frmWIPEntry::btnSave_Click);
    connect(btnNew, &QPushButton::clicked, this, &frmWIPEntry::btnNew_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmWIPEntry::btnExit_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmWIPEntry::btnPrint_Click);
    connect(btnDryingLog, &QPushButton::clicked, this, &frmWIPEntry::btnDryingLog_Click);
    connect(btnImport, &QPushButton::clicked, this, &frmWIPEntry::btnImport_Click);
    connect(btnAddSubcontractor, &QPushButton::clicked, this, &frmWIPEntry::btnAddSubcontractor_Click);
    connect(btnDeleteSubcontractor, &QPushButton::clicked, this, &frmWIPEntry::btnDeleteSubcontractor_Click);
    connect(vsfgTime, &GridWidget::rowActivated, this, &frmWIPEntry::vsfgTime_DblClick);
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmWIPEntry::SSTab1_Change);
    // Every pick of the user (mouse, arrow keys, type-ahead) loads that WIP,
    // even the one already shown, which drops unsaved edits.
    connect(cmbWIP, &QComboBox::activated, this, &frmWIPEntry::cmbWIP_Click);
    // Loading and clearing set the date with signals blocked, so this is
    // the user's pick only.
    connect(dtStart, &QDateEdit::dateChanged, this, &frmWIPEntry::dtStart_Change);
    auto copyLine = [this](QListWidgetItem *item) {
        if (item)
            cmbSubcontractor->setEditText(item->text());
    };
    connect(lstSubcontractor, &QListWidget::itemClicked, this, copyLine);
    connect(lstSubcontractor, &QListWidget::itemActivated, this, copyLine);

    // Notes hold at most as much as their column.
    LimitPlainText(txtNotes, wip::kLongTextLength);
    // The boxes of the field table have this already.
    KeepWholeCharacters(cmbSubcontractor->lineEdit());

    for (QComboBox *box :
        { cmbCustomer, cmbRep, cmbInsurance, cmbAgent, cmbAdjuster, cmbAdjusterUpdated, cmbSubcontractor })
        InstallAutoComplete(box);
    for (QComboBox *box : { cmbWIP, cmbState, cmbStatus, cmbType, cmbTypeOfService, cmbPayment })
        InstallKeySearch(box, [this] { return this->context().company().keyPressDelay; });
}

// The one list of the screen's fields: control, record field, kind.
void frmWIPEntry::buildFields()
{
    using R = wip::WipRecord;
    const auto today = [] { return Clock::today(); };
    const auto number = [](double value) { return Formats::plainNumber(value); };
    m_fields.editText("Customer", cmbCustomer, &R::customer)
        .text("Address", txtAddress, &R::address)
        .text("City", txtCity, &R::city)
        .listText("State", cmbState, &R::state)
        .text("Zip", txtZip, &R::zip)
        .text("Phone", txtPhone, &R::phone)
        .listText("JobType", cmbType, &R::jobType)
        .listText("Status", cmbStatus, &R::status)
        .editText("Rep", cmbRep, &R::rep)
        .date("StartDate", dtStart, &R::startDate, today)
        .check("CheckDryingDays", chkDryingDays, &R::checkDryingDays)
        .editText("Insurance", cmbInsurance, &R::insurance)
        .editText("Agent", cmbAgent, &R::agent)
        .editText("Adjuster", cmbAdjuster, &R::adjuster)
        .text("Paperwork", txtPaperwork, &R::paperwork)
        .text("InitialScope", txtInitialScope, &R::initialScope)
        .listText("Software", cmbSoftware, &R::software)
        .listText("TypeOfPayment", cmbPayment, &R::typeOfPayment)
        // Counts typed as words ("three") are kept as 0, as the office is
        // used to; they are not refused.
        .number("Rugs", txtRugs, &R::rugs, number, SafeNumber)
        .check("RugsCleaned", chkRugs, &R::rugsCleaned)
        .check("Itel", chkItel, &R::itel)
        .date("ItelDate", dtItel, &R::itelDate, today)
        .date("AdjusterUpdatedDate", dtAdjusterUpdated, &R::adjusterUpdatedDate, today)
        .editText("AdjusterUpdatedBy", cmbAdjusterUpdated, &R::adjusterUpdatedBy)
        .number("CarpetCleanRooms", txtCarpetRooms, &R::carpetCleanRooms, number, SafeNumber)
        .text("HowHear", txtHowHear, &R::howHear)
        .text("TimeOfService", txtTime, &R::timeOfService)
        .listText("TypeOfService", cmbTypeOfService, &R::typeOfService)
        .check("EstimateComplete", chkEstimate, &R::estimateComplete)
        .check("Billed", chkBilled, &R::billed)
        .check("COS", chkCOS, &R::cos)
        .check("MoveOut", chkMoveout, &R::moveOut)
        .check("CleanHVAC", chkHVAC, &R::cleanHVAC)
        .check("ContentsCleaned", chkContents, &R::contentsCleaned)
        .check("Photos", chkPhotos, &R::photos)
        .plainText("Notes", txtNotes, &R::notes);
}

// ---- lists and loading

void frmWIPEntry::reloadLists()
{
    m_lists = wip::loadWipLists(context().db());
    fillLists();
}

void frmWIPEntry::fillLists(const std::optional<QList<wip::WipList>> &only)
{
    refillLists(only);
    const QDate today = Clock::today();
    for (QDateEdit *picker : { dtStart, dtItel, dtAdjusterUpdated }) {
        const QSignalBlocker block(picker);
        picker->setDate(today);
    }
}

void frmWIPEntry::refillLists(const std::optional<QList<wip::WipList>> &only)
{
    const std::pair<wip::WipList, QComboBox *> boxes[] = {
        { &wip::WipLists::wipLabels, cmbWIP },
        { &wip::WipLists::wipIds, cmbWIPID },
        { &wip::WipLists::statuses, cmbStatus },
        { &wip::WipLists::states, cmbState },
        { &wip::WipLists::jobTypes, cmbType },
        { &wip::WipLists::software, cmbSoftware },
        { &wip::WipLists::payments, cmbPayment },
        { &wip::WipLists::typesOfService, cmbTypeOfService },
        { &wip::WipLists::customers, cmbCustomer },
        { &wip::WipLists::reps, cmbRep },
        { &wip::WipLists::insurances, cmbInsurance },
        { &wip::WipLists::agents, cmbAgent },
        { &wip::WipLists::adjusters, cmbAdjuster },
        { &wip::WipLists::adjustersUpdated, cmbAdjusterUpdated },
        { &wip::WipLists::subcontractors, cmbSubcontractor },
    };
    for (const auto &[list, box] : boxes) {
        if (!only || only->contains(list)) {
            build::setItems(box, m_lists.*list);
        } else {
            // As setItems leaves a combo: nothing picked, no text.
            const QSignalBlocker block(box);
            box->setCurrentIndex(-1);
            if (box->isEditable())
                box->setEditText(QString());
        }
    }
}

void frmWIPEntry::LoadWIP(const QString &wipId)
{
    bool ok = false;
    const qint64 id = wipId.trimmed().toLongLong(&ok);
    if (!ok || id == 0)
        return;
    guarded([&] { loadRecord(id); });
}

void frmWIPEntry::loadRecord(qint64 id)
{
    if (std::optional<wip::WipRecord> found = wip::loadWip(context().db(), id)) {
        m_record = std::move(*found);
        const wip::WipDisplay shown = wip::deriveDisplay(m_record, Clock::today(), context().company().dryingDays);
        m_fields.fill(m_record);
        lblID->setText(QString::number(m_record.id));
        setStatusColor(shown.statusColor);
        lblDryingDays->setText(shown.dryingDays);
        setDryingAlert(shown.dryingAlert);
        lblBilled->setText(shown.billed);
        lblInvoice->setText(shown.invoice);
        lblRatePerHour->setText(shown.ratePerHour);
        lblEntered->setText(shown.entered);
        lblEdited->setText(shown.edited);
    }
    // The subcontractors and the labour tab follow the record shown, which
    // an unknown ID leaves as it was.
    // The drying log belongs to a saved job.
    btnDryingLog->setEnabled(m_record.id != 0);
    // So do the photos, which belong to a saved job.
    SSTab1->setTabEnabled(SSTab1->indexOf(tabPhotos), m_record.id != 0 && !isReadOnly());
    m_photos->showOwner({ m_record.id, 0, 0 });
    lstSubcontractor->clear();
    m_contractors = m_record.id != 0 ? wip::loadContractors(context().db(), m_record.id) : QStringList();
    lstSubcontractor->addItems(m_contractors);
    LoadTime();
    SSTab1_Change();
}

void frmWIPEntry::LoadTime()
{
    guarded([this] {
        const wip::Labor labor = m_record.id != 0 ? wip::loadLabor(context().db(), m_record.id) : wip::Labor {};
        TimeGrid::fill(vsfgTime, QStringLiteral("Employee"), labor.lines);
        lblTotalHours->setText(Formats::hours(labor.totalHours));
    });
}

void frmWIPEntry::vsfgTime_DblClick()
{
    TimeGrid::openCurrentBooking(vsfgTime);
}

void frmWIPEntry::SSTab1_Change()
{
    if (SSTab1->currentWidget() == tabHistory)
        LoadHistory();
    else
        vsfgHistory->setRows(0);
}

void frmWIPEntry::LoadHistory()
{
    guarded([this] {
        const QList<wip::HistoryEntry> entries
            = m_record.id != 0 ? wip::loadHistory(context().db(), m_record.id) : QList<wip::HistoryEntry> {};
        constexpr int kCols = 5;
        vsfgHistory->setRows(0);
        vsfgHistory->setCols(kCols);
        vsfgHistory->addItem(QStringLiteral("When\tWho\tField\tWas\tNow"));
        for (const wip::HistoryEntry &entry : entries)
            vsfgHistory->addItem(wip::historyLine(entry));
        vsfgHistory->setFixedRows(1);
        vsfgHistory->setFixedCols(0);
        vsfgHistory->autoSize(0, kCols - 1);
        vsfgHistory->redraw();
    });
}

void frmWIPEntry::ClearForm()
{
    // A new WIP: the pickers' dates (today) are what it saves unless changed.
    m_record = wip::WipRecord {};
    m_fields.clear();
    m_record.startDate = dtStart->date();
    m_record.itelDate = dtItel->date();
    m_record.adjusterUpdatedDate = dtAdjusterUpdated->date();
    lblID->clear();
    btnDryingLog->setEnabled(false);
    m_photos->showOwner({});
    if (SSTab1->currentWidget() == tabPhotos)
        SSTab1->setCurrentIndex(0);
    SSTab1->setTabEnabled(SSTab1->indexOf(tabPhotos), false);
    cmbStatus->setPalette(cmbType->palette());
    lblDryingDays->clear();
    setDryingAlert(false);
    lblEntered->clear();
    lblEdited->clear();
    cmbSubcontractor->setEditText(QString());
    lstSubcontractor->clear();
    m_contractors.clear();
    cmbWIP->setCurrentIndex(-1);
    cmbWIPID->setCurrentIndex(-1);
    // Emptied to no rows at all, header included.
    vsfgTime->setRows(0);
    lblTotalHours->clear();
    lblInvoice->clear();
    lblBilled->clear();
    lblRatePerHour->clear();
    SSTab1_Change();
}

// ---- reading the screen

QStringList frmWIPEntry::contractorsOnScreen() const
{
    QStringList names;
    for (int i = 0; i < lstSubcontractor->count(); ++i)
        names << lstSubcontractor->item(i)->text();
    return names;
}

wip::WipRecord frmWIPEntry::readForm() const
{
    wip::WipRecord r = m_fields.read(m_record);
    // The day count is the label's, which the start date's pick sets.
    r.dryingDays = SafeNumber(lblDryingDays->text());
    return r;
}

// ---- handlers

void frmWIPEntry::applyReadOnly()
{
    for (QPushButton *button : { btnSave, btnNew, btnImport, btnAddSubcontractor, btnDeleteSubcontractor })
        button->setEnabled(false);
    // The photo panel adds and deletes at once: a reader does without it.
    if (SSTab1->currentWidget() == tabPhotos)
        SSTab1->setCurrentIndex(0);
    SSTab1->setTabEnabled(SSTab1->indexOf(tabPhotos), false);
}

void frmWIPEntry::btnSave_Click()
{
    if (!maySave())
        return;
    // The rugs and carpet rooms read any text (no number counts 0); the
    // table's own checks still come first.
    std::optional<FieldProblem> problem = m_fields.check();
    const wip::WipRecord record = problem ? m_record : readForm();
    if (!problem)
        problem = wip::validate(record);
    if (problem) {
        Messages::showProblem(this, *problem, m_fields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    const QStringList contractors = contractorsOnScreen();
    guarded([&] {
        wip::SavedWip saved { m_record, record, m_contractors, contractors };
        const qint64 id = wip::saveWip(context().db(), record, contractors, context().stamp(), m_contractors);
        m_record.id = id;
        saved.after.id = id;
        // Only the lists the save can have changed are read and refilled;
        // the others keep their items.
        fillLists(wip::updateWipLists(context().db(), m_lists, saved));
        // Pick the saved WIP in the picker, then show it as stored.
        const int index = cmbWIPID->findText(QString::number(id), Qt::MatchExactly);
        cmbWIPID->setCurrentIndex(index);
        cmbWIP->setCurrentIndex(index);
        loadRecord(id);
    });
}

void frmWIPEntry::btnNew_Click()
{
    ClearForm();
    cmbType->setFocus(Qt::OtherFocusReason);
}

void frmWIPEntry::btnExit_Click()
{
    closeScreen();
}

void frmWIPEntry::btnPrint_Click()
{
    if (m_record.id == 0) {
        Messages::show(this, QStringLiteral("You must save the WIP before printing."), QStringLiteral("Cannot Print"),
            Messages::Icon::Exclamation);
        return;
    }
    // The work order shows what is stored, not what the screen holds unsaved.
    modReports::PrintWIPDetailReport(context(), this, QString::number(m_record.id));
}

void frmWIPEntry::btnDryingLog_Click()
{
    if (m_record.id == 0)
        return;
    // The log of the job as stored; the screen's unsaved edits stay here.
    if (auto *log = showScreen<frmDryingLog>(QStringLiteral("frmDryingLog")))
        log->LoadDryingLog(QString::number(m_record.id));
}

void frmWIPEntry::btnImport_Click()
{
    // The screen takes no input while the import is open; the import's
    // closing, whichever way, gives it back.
    setEnabled(false);
    auto *import = showScreen<frmImport>(QStringLiteral("frmImport"));
    if (!import) {
        setEnabled(true);
        return;
    }
    connect(import, &frmImport::customerImported, this, &frmWIPEntry::ImportCustomer, Qt::UniqueConnection);
    connect(import, &frmImport::closed, this, &frmWIPEntry::importClosed, Qt::UniqueConnection);
}

void frmWIPEntry::importClosed()
{
    setEnabled(true);
}

void frmWIPEntry::ImportCustomer(const wip::ImportedCustomer &customer)
{
    cmbCustomer->setEditText(wip::customerText(customer));
    txtAddress->setText(customer.address);
    txtCity->setText(customer.city);
    QStringList states;
    for (int i = 0; i < cmbState->count(); ++i)
        states << cmbState->itemText(i);
    const wip::StatePick pick = wip::pickState(states, customer.state);
    if (pick.problem)
        Messages::showProblem(this, *pick.problem, nullptr, Messages::Icon::Exclamation);
    else
        cmbState->setCurrentIndex(pick.index);
    txtZip->setText(customer.zip);
    txtPhone->setText(customer.phone);
}

void frmWIPEntry::cmbWIP_Click(int index)
{
    cmbWIPID->setCurrentIndex(index);
    if (index < 0 || cmbWIP->currentText().isEmpty())
        return;
    LoadWIP(cmbWIPID->itemText(index));
}

void frmWIPEntry::dtStart_Change()
{
    lblDryingDays->setText(wip::pickedDryingDays(dtStart->date(), Clock::today()));
}

void frmWIPEntry::btnAddSubcontractor_Click()
{
    const QString name = cmbSubcontractor->currentText();
    if (name.isEmpty())
        return;
    lstSubcontractor->addItem(name);
    cmbSubcontractor->setEditText(QString());
}

void frmWIPEntry::btnDeleteSubcontractor_Click()
{
    const QString name = cmbSubcontractor->currentText();
    if (!name.isEmpty()) {
        for (int i = 0; i < lstSubcontractor->count(); ++i) {
            if (lstSubcontractor->item(i)->text() == name) {
                delete lstSubcontractor->takeItem(i);
                break;
            }
        }
    }
    cmbSubcontractor->setEditText(QString());
}

// ---- colours

void frmWIPEntry::setStatusColor(const QColor &color)
{
    // A drop-down list paints its face with Button; Base covers styles that
    // use it. Tests read the colour back from either role.
    QPalette palette = cmbType->palette();
    palette.setColor(QPalette::Button, color);
    palette.setColor(QPalette::Base, color);
    cmbStatus->setPalette(palette);
}

void frmWIPEntry::setDryingAlert(bool on)
{
    QPalette palette = lblDryingDays->palette();
    palette.setColor(QPalette::Window, on ? QColor(255, 0, 0) : lblID->palette().color(QPalette::Window));
    lblDryingDays->setPalette(palette);
}
