#include "staff/ui/frmTimeEntry.h"

#include "base/Clock.h"
#include "base/Permissions.h"
#include "shell/AppContext.h"
#include "staff/ui/Choices.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"
#include "widgets/PlainTextLimit.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A booking whose job or employee the list no longer holds shows it by its
// label, or by its ID when the row is gone too.
QString labelOr(const QString &label, qint64 id)
{
    return label.isEmpty() ? QString::number(id) : label;
}

} // namespace

frmTimeEntry::frmTimeEntry(AppContext &context)
    : Screen(context, QStringLiteral("frmTimeEntry"), QStringLiteral("Employee Time Entry"))
{
    buildUi();
    buildFields();
}

void frmTimeEntry::buildUi()
{
    lblID = build::valueLabel("lblID", this);
    cmbEmployee = build::pickList("cmbEmployee", 24, this);
    cmbEmployeeID = build::twin<QComboBox>("cmbEmployeeID", this);
    dtStartDate = Choices::datePicker("dtStartDate", false, this);
    cmbWIP = build::pickList("cmbWIP", 24, this);
    cmbWIP->setMinimumContentsLength(32);
    cmbWIPID = build::twin<QComboBox>("cmbWIPID", this);
    txtHours = build::textBox("txtHours", 20, this);
    txtHours->setMaximumWidth(100);
    txtNotes = build::named(new QPlainTextEdit(this), "txtNotes");
    txtNotes->setTabChangesFocus(true);
    lblEntered = build::label("lblEntered", {}, this);
    lblEdited = build::label("lblEdited", {}, this);
    btnNew = build::button("btnNew", u"New", this);
    btnSave = build::button("btnSave", u"Save", this);
    btnDelete = build::button("btnDelete", u"Delete", this);
    btnExit = build::button("btnExit", u"Exit", this);

    auto *form = new QGridLayout;
    build::captionRows(form, 0,
        { { u"ID:", { lblID } }, { u"Employee:", { cmbEmployee } }, { u"Date:", { dtStartDate } },
            { u"WIP:", { cmbWIP } }, { u"Hours:", { txtHours } }, { u"Notes:", { txtNotes } },
            { u"Entered:", { lblEntered } }, { u"Edited:", { lblEdited } } });
    form->setColumnStretch(1, 1);
    form->setRowStretch(5, 1);
    for (QWidget *narrow : { static_cast<QWidget *>(dtStartDate), static_cast<QWidget *>(txtHours) })
        form->setAlignment(narrow, Qt::AlignLeft);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : { btnNew, btnSave, btnDelete, btnExit }) {
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    auto *main = new QVBoxLayout(this);
    main->addLayout(form, 1);
    main->addLayout(buttons);

    build::tabOrder({ cmbEmployee, dtStartDate, cmbWIP, txtHours, txtNotes, btnSave, btnNew, btnDelete, btnExit });
    // Enter in a box saves the entry; the notes take it as a new line.
    setDefaultButton(btnSave);

    connect(btnNew, &QPushButton::clicked, this, &frmTimeEntry::btnNew_Click);
    connect(btnSave, &QPushButton::clicked, this, &frmTimeEntry::btnSave_Click);
    connect(btnDelete, &QPushButton::clicked, this, &frmTimeEntry::btnDelete_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmTimeEntry::btnExit_Click);
    connect(txtHours, &QLineEdit::editingFinished, this, &frmTimeEntry::txtHours_LostFocus);
    connect(cmbEmployee, &QComboBox::currentIndexChanged, cmbEmployeeID, &QComboBox::setCurrentIndex);
    connect(cmbWIP, &QComboBox::currentIndexChanged, cmbWIPID, &QComboBox::setCurrentIndex);
    // Notes hold at most as much as their column.
    LimitPlainText(txtNotes, staff::kNotesLength);
}

// The one list of the screen's fields: control, record field, kind.
void frmTimeEntry::buildFields()
{
    using R = staff::TimeRecord;
    auto choice = [this](const char *field, QComboBox *box, QComboBox *ids, qint64 R::*member) {
        m_fields.add({ QString::fromLatin1(field), box,
            [=](const R &r) { Choices::select(box, ids, Choices::indexOf(ids, r.*member)); },
            [=] { Choices::select(box, ids, -1); }, [=] { return QVariant(box->currentIndex()); },
            [=](R &r) { r.*member = Choices::selectedId(box, ids); } });
    };
    choice("EmployeeID", cmbEmployee, cmbEmployeeID, &R::employeeId);
    m_fields.add({ QStringLiteral("TranDate"), dtStartDate,
        [this](const R &r) { dtStartDate->setDateTime(r.tranDate.isValid() ? r.tranDate : Clock::now()); },
        [this] { dtStartDate->setDateTime(Clock::now()); }, [this] { return QVariant(dtStartDate->dateTime()); },
        [this](R &r) { r.tranDate = dtStartDate->dateTime(); } });
    choice("WIPID", cmbWIP, cmbWIPID, &R::wipId);
    m_fields.number(
        "Hours", txtHours, &R::hours, [](double hours) { return staff::formatHours(hours); },
        [](const QString &text) { return staff::parseHours(text).value_or(0.0); });
    m_fields.plainText("Notes", txtNotes, &R::notes);
}

void frmTimeEntry::load()
{
    Choices::fill(cmbWIP, cmbWIPID, staff::openJobs(context().db()));
    // The office books the crew's hours: every active employee is offered.
    Choices::fill(cmbEmployee, cmbEmployeeID, staff::listedEmployees(context().db(), true, context().UserID()));
    ClearTimeForm();
    // The logged-in user, by ID: a namesake listed before them is someone else.
    const qint64 user = context().UserID();
    if (Choices::indexOf(cmbEmployeeID, user) >= 0) {
        m_record.employeeId = user;
        m_fields.fill(m_record);
    }
}

void frmTimeEntry::ClearTimeForm()
{
    m_record = staff::TimeRecord {};
    m_record.tranDate = Clock::now();
    m_fields.fill(m_record);
    lblID->clear();
    lblEntered->clear();
    lblEdited->clear();
    cmbEmployee->setEnabled(true);
    cmbWIP->setEnabled(true);
}

void frmTimeEntry::LoadTime(const QString &id)
{
    const QString text = id.trimmed();
    if (text.isEmpty() || !confirmLeave())
        return;
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok) {
        ClearTimeForm();
        return;
    }
    guarded([&] { loadRecord(number); });
}

void frmTimeEntry::applyReadOnly()
{
    for (QPushButton *button : { btnNew, btnSave, btnDelete })
        button->setEnabled(false);
}

void frmTimeEntry::loadRecord(qint64 id)
{
    const std::optional<staff::TimeRecord> found = staff::loadTime(context().db(), id);
    if (!found)
        ClearTimeForm();
    else
        showRecord(*found);
}

void frmTimeEntry::showRecord(const staff::TimeRecord &record)
{
    // A closed job, or an employee no longer active, is appended so that
    // the booking shows it; the choice is then locked, since the list does
    // not offer it. One already appended is simply found.
    const auto listed = [](QComboBox *box, QComboBox *ids, qint64 id, const QString &label) {
        if (id == 0 || Choices::indexOf(ids, id) >= 0)
            return true;
        Choices::append(box, ids, labelOr(label, id), id);
        return false;
    };
    cmbEmployee->setEnabled(listed(cmbEmployee, cmbEmployeeID, record.employeeId, record.employeeLabel));
    cmbWIP->setEnabled(listed(cmbWIP, cmbWIPID, record.wipId, record.wipLabel));
    m_record = record;
    m_fields.fill(m_record);
    lblID->setText(QString::number(record.id));
    lblEntered->setText(staff::stampText(record.enteredBy, record.enteredDate));
    lblEdited->setText(staff::stampText(record.editedBy, record.editedDate));
}

bool frmTimeEntry::save()
{
    if (!maySave())
        return false;
    if (const std::optional<FieldProblem> problem = staff::checkEntry(
            m_record, cmbEmployee->currentIndex() >= 0, cmbWIP->currentIndex() >= 0, txtHours->text())) {
        Messages::showProblem(this, *problem, m_fields.control(problem->field));
        return false;
    }
    const staff::TimeRecord record = m_fields.read(m_record);
    if (const std::optional<FieldProblem> problem = staff::checkTexts(record)) {
        Messages::showProblem(this, *problem, txtNotes, Messages::Icon::Exclamation);
        return false;
    }
    return guarded([&] {
        const qint64 id = staff::saveTime(context().db(), record, context().stamp());
        m_record.id = id;
        loadRecord(id);
    });
}

bool frmTimeEntry::confirmLeave()
{
    // A reader has nothing to save.
    if (isReadOnly() || !m_fields.isModified())
        return true;
    const auto answer
        = Messages::show(this, QStringLiteral("Do you want to save the changes to this time entry?"), windowTitle(),
            Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

bool frmTimeEntry::confirmClose()
{
    return confirmLeave();
}

// ---- handlers

void frmTimeEntry::btnNew_Click()
{
    ClearTimeForm();
    cmbEmployee->setFocus(Qt::OtherFocusReason);
}

void frmTimeEntry::btnSave_Click()
{
    save();
}

void frmTimeEntry::btnDelete_Click()
{
    if (!maySave())
        return;
    bool allowed = false;
    if (!guarded([&] { allowed = context().HasPermission(Permissions::deleteTime); }))
        return;
    if (context().sessionLost())
        return;
    if (!allowed) {
        Messages::show(this, QStringLiteral("You do not have permission to delete this record."),
            QStringLiteral("Invalid Permission"), Messages::Icon::Exclamation);
        return;
    }
    // No is the default: Enter alone must not delete a booking for good.
    if (Messages::show(this, QStringLiteral("Are you sure you want to permanently delete this Entry?"),
            QStringLiteral("Delete Confirmation"), Messages::Icon::None, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No)
        != QMessageBox::Yes)
        return;
    if (m_record.id != 0 && !guarded([&] { staff::deleteTime(context().db(), m_record.id); }))
        return;
    ClearTimeForm();
    cmbEmployee->setFocus(Qt::OtherFocusReason);
}

void frmTimeEntry::btnExit_Click()
{
    closeScreen();
}

void frmTimeEntry::txtHours_LostFocus()
{
    // "#,##0.00" once the box is left: 7.5 shows as 7.50. Text that is no
    // number stays as typed, for Save to point out.
    if (const std::optional<double> hours = staff::parseHours(txtHours->text()))
        txtHours->setText(staff::formatHours(*hours));
}
