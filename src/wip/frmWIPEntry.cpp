#include "wip/frmWIPEntry.h"

#include "shell/GridWidget.h"

#include "shell/AutoCompleteComboBoxModule.h"
#include "shell/Clock.h"
#include "shell/Formats.h"
#include "shell/GuiMessages.h"
#include "shell/MDI.h"
#include "shell/modMain.h"
#include "wip/WipDisplay.h"
#include "wip/WipLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTabWidget>

namespace {

// Replaces a combo's items at once; nothing is selected afterwards and no
// selection signal fires.
void setItems(QComboBox *box, const QStringList &items)
{
    const QSignalBlocker block(box);
    if (auto *model = qobject_cast<QStringListModel *>(box->model()))
        model->setStringList(items);
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(QString());
}

// Selects the item with exactly this text, or nothing when it is empty or not
// listed.
void selectText(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(text.isEmpty() ? -1 : box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

QString listText(const QComboBox *box)
{
    return box->currentIndex() < 0 ? QString() : box->currentText();
}

} // namespace

frmWIPEntry::frmWIPEntry(QWidget *parent)
    : QWidget(parent)
{
    buildUi();
    wireUi();
    ReloadValues();
}

frmWIPEntry::~frmWIPEntry() = default;

frmWIPEntry *frmWIPEntry::openIn(MDI *mdi)
{
    return qobject_cast<frmWIPEntry *>(mdi->openScreen(QStringLiteral("frmWIPEntry"), [] { return new frmWIPEntry; }));
}

frmWIPEntry *frmWIPEntry::showIn(MDI *mdi)
{
    return qobject_cast<frmWIPEntry *>(mdi->showScreen(QStringLiteral("frmWIPEntry"), [] { return new frmWIPEntry; }));
}

void frmWIPEntry::wireUi()
{
    connect(btnSave, &QPushButton::clicked, this, &frmWIPEntry::onSave);
    connect(btnNew, &QPushButton::clicked, this, &frmWIPEntry::onNew);
    connect(btnExit, &QPushButton::clicked, this, &frmWIPEntry::onExit);
    connect(btnPrint, &QPushButton::clicked, this, &frmWIPEntry::onPrint);
    connect(btnImport, &QPushButton::clicked, this, &frmWIPEntry::onImport);
    connect(btnAddSubcontractor, &QPushButton::clicked, this, &frmWIPEntry::onAddSubcontractor);
    connect(btnDeleteSubcontractor, &QPushButton::clicked, this, &frmWIPEntry::onDeleteSubcontractor);
    // Every pick of the user (mouse, arrow keys, type-ahead) loads that WIP,
    // even the one already shown, which drops unsaved edits.
    connect(cmbWIP, &QComboBox::activated, this, &frmWIPEntry::onPickWip);
    // Loading and clearing set the date with signals blocked, so this is
    // the user's pick only.
    connect(dtStart, &QDateEdit::dateChanged, this, &frmWIPEntry::onStartDatePicked);
    auto copyLine = [this](QListWidgetItem *item) {
        if (item)
            cmbSubcontractor->setEditText(item->text());
    };
    connect(lstSubcontractor, &QListWidget::itemClicked, this, copyLine);
    connect(lstSubcontractor, &QListWidget::itemActivated, this, copyLine);

    // Notes hold at most as much as their column.
    connect(txtNotes, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = txtNotes->toPlainText();
        const int excess = int(text.size()) - wip::kLongTextLength;
        if (excess <= 0)
            return;
        QTextCursor cursor = txtNotes->textCursor();
        const int end = cursor.position();
        if (end >= excess) {
            // Drop what was just typed or pasted beyond the limit.
            cursor.setPosition(end - excess);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else {
            txtNotes->setPlainText(text.left(wip::kLongTextLength));
        }
    });

    for (QComboBox *box :
        { cmbCustomer, cmbRep, cmbInsurance, cmbAgent, cmbAdjuster, cmbAdjusterUpdated, cmbSubcontractor })
        InstallAutoComplete(box);
    for (QComboBox *box : { cmbWIP, cmbState, cmbStatus, cmbType, cmbTypeOfService, cmbPayment })
        InstallKeySearch(box);
}

// ---- lists and loading

void frmWIPEntry::ReloadValues()
{
    Messages::guarded(this, [this] { reloadLists(); });
}

void frmWIPEntry::reloadLists()
{
    const WaitCursor wait;
    fillLists(wip::loadWipLists());
    const QDate today = Clock::today();
    for (QDateEdit *picker : { dtStart, dtItel, dtAdjusterUpdated }) {
        const QSignalBlocker block(picker);
        picker->setDate(today);
    }
}

void frmWIPEntry::fillLists(const wip::WipLists &lists)
{
    setItems(cmbWIP, lists.wipLabels);
    setItems(cmbWIPID, lists.wipIds);
    setItems(cmbStatus, lists.statuses);
    setItems(cmbState, lists.states);
    setItems(cmbType, lists.jobTypes);
    setItems(cmbSoftware, lists.software);
    setItems(cmbPayment, lists.payments);
    setItems(cmbTypeOfService, lists.typesOfService);
    setItems(cmbCustomer, lists.customers);
    setItems(cmbRep, lists.reps);
    setItems(cmbInsurance, lists.insurances);
    setItems(cmbAgent, lists.agents);
    setItems(cmbAdjuster, lists.adjusters);
    setItems(cmbAdjusterUpdated, lists.adjustersUpdated);
    setItems(cmbSubcontractor, lists.subcontractors);
}

void frmWIPEntry::LoadWIP(const QString &wipId)
{
    bool ok = false;
    const qint64 id = wipId.trimmed().toLongLong(&ok);
    if (!ok || id == 0)
        return;
    Messages::guarded(this, [&] { loadRecord(id); });
}

void frmWIPEntry::loadRecord(qint64 id)
{
    const WaitCursor wait;
    if (const std::optional<wip::WipRecord> found = wip::loadWip(id)) {
        const wip::WipRecord &r = *found;
        const wip::WipDisplay shown = wip::deriveDisplay(r, Clock::today(), gDryingDays);
        lblID->setText(QString::number(r.id));
        cmbCustomer->setEditText(r.customer);
        txtAddress->setText(r.address);
        txtCity->setText(r.city);
        selectText(cmbState, r.state);
        txtZip->setText(r.zip);
        txtPhone->setText(r.phone);
        selectText(cmbType, r.jobType);
        selectText(cmbStatus, r.status);
        setStatusColor(shown.statusColor);
        cmbRep->setEditText(r.rep);
        {
            const QSignalBlocker block(dtStart);
            dtStart->setDate(r.startDate.isValid() ? r.startDate : Clock::today());
        }
        chkDryingDays->setChecked(r.checkDryingDays);
        lblDryingDays->setText(shown.dryingDays);
        setDryingAlert(shown.dryingAlert);
        cmbInsurance->setEditText(r.insurance);
        cmbAgent->setEditText(r.agent);
        cmbAdjuster->setEditText(r.adjuster);
        txtPaperwork->setText(r.paperwork);
        txtInitialScope->setText(r.initialScope);
        selectText(cmbSoftware, r.software);
        selectText(cmbPayment, r.typeOfPayment);
        txtRugs->setText(Formats::plainNumber(r.rugs));
        chkRugs->setChecked(r.rugsCleaned);
        chkItel->setChecked(r.itel);
        dtItel->setDate(r.itelDate.isValid() ? r.itelDate : Clock::today());
        dtAdjusterUpdated->setDate(r.adjusterUpdatedDate.isValid() ? r.adjusterUpdatedDate : Clock::today());
        cmbAdjusterUpdated->setEditText(r.adjusterUpdatedBy);
        txtCarpetRooms->setText(Formats::plainNumber(r.carpetCleanRooms));
        txtHowHear->setText(r.howHear);
        txtTime->setText(r.timeOfService);
        selectText(cmbTypeOfService, r.typeOfService);
        chkEstimate->setChecked(r.estimateComplete);
        chkBilled->setChecked(r.billed);
        chkCOS->setChecked(r.cos);
        chkMoveout->setChecked(r.moveOut);
        chkHVAC->setChecked(r.cleanHVAC);
        chkContents->setChecked(r.contentsCleaned);
        chkPhotos->setChecked(r.photos);
        txtNotes->setPlainText(r.notes);
        lblBilled->setText(shown.billed);
        lblInvoice->setText(shown.invoice);
        lblRatePerHour->setText(shown.ratePerHour);
        lblEntered->setText(shown.entered);
        lblEdited->setText(shown.edited);
    }
    // The subcontractors and the labour tab follow lblID, which an unknown ID
    // leaves as it was.
    lstSubcontractor->clear();
    if (const qint64 shownId = currentId())
        lstSubcontractor->addItems(wip::loadContractors(shownId));
    LoadTime();
}

void frmWIPEntry::LoadTime()
{
    // The labour lines come with the labour grid; until then the tab shows
    // no lines and a zero total.
    vsfgTime->setRows(0);
    lblTotalHours->setText(Formats::hours(0));
}

void frmWIPEntry::ClearForm()
{
    lblID->clear();
    cmbCustomer->setEditText(QString());
    txtAddress->clear();
    txtCity->clear();
    cmbState->setCurrentIndex(-1);
    txtZip->clear();
    txtPhone->clear();
    cmbType->setCurrentIndex(-1);
    cmbStatus->setCurrentIndex(-1);
    cmbStatus->setPalette(cmbType->palette());
    cmbRep->setEditText(QString());
    {
        const QSignalBlocker block(dtStart);
        dtStart->setDate(Clock::today());
    }
    chkDryingDays->setChecked(false);
    lblDryingDays->clear();
    setDryingAlert(false);
    cmbInsurance->setEditText(QString());
    cmbAgent->setEditText(QString());
    cmbAdjuster->setEditText(QString());
    txtPaperwork->clear();
    txtInitialScope->clear();
    cmbSoftware->setCurrentIndex(-1);
    cmbPayment->setCurrentIndex(-1);
    txtRugs->clear();
    chkRugs->setChecked(false);
    chkItel->setChecked(false);
    dtItel->setDate(Clock::today());
    dtAdjusterUpdated->setDate(Clock::today());
    cmbAdjusterUpdated->setEditText(QString());
    txtCarpetRooms->clear();
    txtHowHear->clear();
    txtTime->clear();
    cmbTypeOfService->setCurrentIndex(-1);
    for (QCheckBox *box : { chkEstimate, chkBilled, chkCOS, chkMoveout, chkHVAC, chkContents, chkPhotos })
        box->setChecked(false);
    lblEntered->clear();
    lblEdited->clear();
    txtNotes->clear();
    cmbSubcontractor->setEditText(QString());
    lstSubcontractor->clear();
    cmbWIP->setCurrentIndex(-1);
    cmbWIPID->setCurrentIndex(-1);
    // Emptied to no rows at all, header included.
    vsfgTime->setRows(0);
    lblTotalHours->clear();
    lblInvoice->clear();
    lblBilled->clear();
    lblRatePerHour->clear();
}

// ---- reading the screen

qint64 frmWIPEntry::currentId() const
{
    return lblID->text().toLongLong();
}

QStringList frmWIPEntry::contractorsOnScreen() const
{
    QStringList names;
    for (int i = 0; i < lstSubcontractor->count(); ++i)
        names << lstSubcontractor->item(i)->text();
    return names;
}

wip::WipRecord frmWIPEntry::readForm() const
{
    wip::WipRecord r;
    r.id = currentId();
    r.customer = cmbCustomer->currentText();
    r.address = txtAddress->text();
    r.city = txtCity->text();
    r.state = listText(cmbState);
    r.zip = txtZip->text();
    r.phone = txtPhone->text();
    r.jobType = listText(cmbType);
    r.status = listText(cmbStatus);
    r.rep = cmbRep->currentText();
    r.startDate = dtStart->date();
    r.checkDryingDays = chkDryingDays->isChecked();
    r.dryingDays = SafeNumber(lblDryingDays->text());
    r.insurance = cmbInsurance->currentText();
    r.agent = cmbAgent->currentText();
    r.adjuster = cmbAdjuster->currentText();
    r.paperwork = txtPaperwork->text();
    r.initialScope = txtInitialScope->text();
    r.software = listText(cmbSoftware);
    r.typeOfPayment = listText(cmbPayment);
    r.rugs = SafeNumber(txtRugs->text());
    r.rugsCleaned = chkRugs->isChecked();
    r.itel = chkItel->isChecked();
    r.itelDate = dtItel->date();
    r.adjusterUpdatedDate = dtAdjusterUpdated->date();
    r.adjusterUpdatedBy = cmbAdjusterUpdated->currentText();
    r.carpetCleanRooms = SafeNumber(txtCarpetRooms->text());
    r.howHear = txtHowHear->text();
    r.timeOfService = txtTime->text();
    r.typeOfService = listText(cmbTypeOfService);
    r.estimateComplete = chkEstimate->isChecked();
    r.billed = chkBilled->isChecked();
    r.cos = chkCOS->isChecked();
    r.moveOut = chkMoveout->isChecked();
    r.cleanHVAC = chkHVAC->isChecked();
    r.contentsCleaned = chkContents->isChecked();
    r.photos = chkPhotos->isChecked();
    r.notes = txtNotes->toPlainText();
    return r;
}

// ---- handlers

void frmWIPEntry::onSave()
{
    if (cmbCustomer->currentText().isEmpty() || listText(cmbType).isEmpty() || listText(cmbStatus).isEmpty()) {
        Messages::show(this, QStringLiteral("You must select a Customer, Job Type, and Status before saving."),
            QStringLiteral("Required Fields"), Messages::Icon::Exclamation);
        return;
    }
    const wip::WipRecord record = readForm();
    const QStringList contractors = contractorsOnScreen();
    Messages::guarded(this, [&] {
        const WaitCursor wait;
        const qint64 id = wip::saveWip(record, contractors);
        lblID->setText(QString::number(id));
        reloadLists();
        // Pick the saved WIP in the refilled picker, then show it as stored.
        const int index = cmbWIPID->findText(QString::number(id), Qt::MatchExactly);
        cmbWIPID->setCurrentIndex(index);
        cmbWIP->setCurrentIndex(index);
        loadRecord(id);
    });
}

void frmWIPEntry::onNew()
{
    ClearForm();
    cmbType->setFocus(Qt::OtherFocusReason);
}

void frmWIPEntry::onExit()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void frmWIPEntry::onPrint()
{
    if (lblID->text().isEmpty()) {
        Messages::show(this, QStringLiteral("You must save the WIP before printing."), QStringLiteral("Cannot Print"),
            Messages::Icon::Exclamation);
        return;
    }
    // The work order comes with the reports.
}

void frmWIPEntry::onImport()
{
    // The customer import opens here once it exists.
}

void frmWIPEntry::onPickWip(int index)
{
    cmbWIPID->setCurrentIndex(index);
    if (index < 0 || cmbWIP->currentText().isEmpty())
        return;
    LoadWIP(cmbWIPID->itemText(index));
}

void frmWIPEntry::onStartDatePicked()
{
    lblDryingDays->setText(wip::pickedDryingDays(dtStart->date(), Clock::today()));
}

void frmWIPEntry::onAddSubcontractor()
{
    const QString name = cmbSubcontractor->currentText();
    if (name.isEmpty())
        return;
    lstSubcontractor->addItem(name);
    cmbSubcontractor->setEditText(QString());
}

void frmWIPEntry::onDeleteSubcontractor()
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
