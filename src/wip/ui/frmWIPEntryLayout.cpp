// The entry screen's controls and layouts; behaviour is in frmWIPEntry.cpp.
#include "wip/ui/frmWIPEntry.h"

#include "widgets/GridWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *caption(const char *text)
{
    return new QLabel(QString::fromUtf8(text));
}

// Lists are filled from a model in one step, and sized without measuring
// every item (the picker holds one line per WIP).
QComboBox *combo(const char *name, bool editable)
{
    auto *box = named(new QComboBox, name);
    box->setModel(new QStringListModel(box));
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(editable ? 18 : 12);
    box->setMaxVisibleItems(20);
    if (auto *view = qobject_cast<QListView *>(box->view()))
        view->setUniformItemSizes(true);
    if (editable) {
        box->setEditable(true);
        // Typed text is the value; it joins the list only once it is saved.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->lineEdit()->setMaxLength(wip::kTextLength);
    }
    return box;
}

QLineEdit *textBox(const char *name, int maxLength = wip::kTextLength)
{
    auto *box = named(new QLineEdit, name);
    box->setMaxLength(maxLength);
    return box;
}

QDateEdit *datePicker(const char *name)
{
    auto *picker = named(new QDateEdit, name);
    picker->setCalendarPopup(true);
    return picker;
}

QLabel *valueLabel(const char *name)
{
    auto *label = named(new QLabel, name);
    label->setMinimumWidth(60);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets, bool stretch = false)
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    // Input boxes take the room; buttons, check boxes and labels keep their size.
    for (QWidget *widget : widgets) {
        const bool input = qobject_cast<QComboBox *>(widget) || qobject_cast<QLineEdit *>(widget);
        layout->addWidget(widget, input && !stretch ? 1 : 0);
    }
    if (stretch)
        layout->addStretch(1);
    return layout;
}

} // namespace

void frmWIPEntry::buildUi()
{

    // Picker and buttons above the tabs.
    cmbWIP = combo("cmbWIP", false);
    cmbWIP->setMinimumContentsLength(30);
    cmbWIPID = combo("cmbWIPID", false);
    cmbWIPID->setVisible(false);
    btnNew = named(new QPushButton(QStringLiteral("New")), "btnNew");
    btnSave = named(new QPushButton(QStringLiteral("Save")), "btnSave");
    btnPrint = named(new QPushButton(QStringLiteral("Print")), "btnPrint");
    btnDryingLog = named(new QPushButton(QStringLiteral("Drying Log")), "btnDryingLog");
    btnExit = named(new QPushButton(QStringLiteral("Exit")), "btnExit");
    auto *top = new QHBoxLayout;
    top->addWidget(caption("WIP:"));
    top->addWidget(cmbWIP, 1);
    top->addWidget(cmbWIPID);
    top->addSpacing(12);
    for (QPushButton *button : { btnNew, btnSave, btnPrint, btnDryingLog, btnExit })
        top->addWidget(button);

    // ---- "WIP Information"
    lblID = valueLabel("lblID");
    cmbCustomer = combo("cmbCustomer", true);
    btnImport = named(new QPushButton(QStringLiteral("Import")), "btnImport");
    txtAddress = textBox("txtAddress");
    txtCity = textBox("txtCity");
    cmbState = combo("cmbState", false);
    cmbState->setMinimumContentsLength(4);
    txtZip = textBox("txtZip");
    txtZip->setMaximumWidth(100);
    txtPhone = textBox("txtPhone");
    cmbType = combo("cmbType", false);
    cmbStatus = combo("cmbStatus", false);
    cmbRep = combo("cmbRep", true);
    dtStart = datePicker("dtStart");
    chkDryingDays = named(new QCheckBox(QStringLiteral("Drying Days")), "chkDryingDays");
    lblDryingDays = valueLabel("lblDryingDays");
    lblDryingDays->setAlignment(Qt::AlignCenter);
    lblDryingDays->setAutoFillBackground(true);
    cmbInsurance = combo("cmbInsurance", true);
    cmbAgent = combo("cmbAgent", true);
    cmbAdjuster = combo("cmbAdjuster", true);

    txtPaperwork = textBox("txtPaperwork");
    txtInitialScope = textBox("txtInitialScope");
    cmbSoftware = combo("cmbSoftware", false);
    cmbPayment = combo("cmbPayment", false);
    txtRugs = textBox("txtRugs", wip::kNumberLength);
    txtRugs->setMaximumWidth(80);
    chkRugs = named(new QCheckBox(QStringLiteral("Rugs Cleaned/Dried")), "chkRugs");
    chkItel = named(new QCheckBox(QStringLiteral("Itel-Asbestos")), "chkItel");
    dtItel = datePicker("dtItel");
    dtAdjusterUpdated = datePicker("dtAdjusterUpdated");
    cmbAdjusterUpdated = combo("cmbAdjusterUpdated", true);
    txtCarpetRooms = textBox("txtCarpetRooms", wip::kNumberLength);
    txtCarpetRooms->setMaximumWidth(80);
    txtHowHear = textBox("txtHowHear", wip::kLongTextLength);
    txtTime = textBox("txtTime");
    cmbTypeOfService = combo("cmbTypeOfService", false);

    auto *left = new QGridLayout;
    int r = 0;
    auto addLeft = [&](const char *text, QLayout *layout) {
        left->addWidget(caption(text), r, 0);
        left->addLayout(layout, r++, 1);
    };
    addLeft("ID:", row({ lblID }, true));
    addLeft("Customer:", row({ cmbCustomer, btnImport }));
    addLeft("Address:", row({ txtAddress }));
    addLeft("City/State/Zip:", row({ txtCity, cmbState, txtZip }));
    addLeft("Phone:", row({ txtPhone }));
    addLeft("Job Type:", row({ cmbType }));
    addLeft("Status:", row({ cmbStatus }));
    addLeft("Rep:", row({ cmbRep }));
    addLeft("Start Date:", row({ dtStart, chkDryingDays, lblDryingDays }, true));
    addLeft("Insurance:", row({ cmbInsurance }));
    addLeft("Agent:", row({ cmbAgent }));
    addLeft("Adjuster:", row({ cmbAdjuster }));
    left->setColumnStretch(1, 1);
    left->setRowStretch(r, 1);

    auto *right = new QGridLayout;
    r = 0;
    auto addRight = [&](QWidget *label, QLayout *layout) {
        right->addWidget(label, r, 0);
        right->addLayout(layout, r++, 1);
    };
    addRight(caption("Paperwork Needed:"), row({ txtPaperwork }));
    addRight(caption("Initial Scope:"), row({ txtInitialScope }));
    addRight(caption("Software:"), row({ cmbSoftware }));
    addRight(caption("Type of Payment:"), row({ cmbPayment }));
    addRight(caption("Rugs:"), row({ txtRugs, chkRugs }, true));
    addRight(chkItel, row({ caption("Date Sent:"), dtItel }, true));
    addRight(caption("Adjuster Updated Date/By:"), row({ dtAdjusterUpdated, cmbAdjusterUpdated }));
    addRight(caption("Carpet Cleaning No. Rooms:"), row({ txtCarpetRooms }, true));
    addRight(caption("How did you hear about us?"), row({ txtHowHear }));
    addRight(caption("Time of Service:"), row({ txtTime }));
    addRight(caption("Type of Service:"), row({ cmbTypeOfService }));
    right->setColumnStretch(1, 1);
    right->setRowStretch(r, 1);

    chkEstimate = named(new QCheckBox(QStringLiteral("Estimate Complete")), "chkEstimate");
    chkBilled = named(new QCheckBox(QStringLiteral("Billed")), "chkBilled");
    chkCOS = named(new QCheckBox(QStringLiteral("COS Sent")), "chkCOS");
    chkMoveout = named(new QCheckBox(QStringLiteral("Move Out")), "chkMoveout");
    chkHVAC = named(new QCheckBox(QStringLiteral("Clean HVAC")), "chkHVAC");
    chkContents = named(new QCheckBox(QStringLiteral("Contents Cleaned")), "chkContents");
    chkPhotos = named(new QCheckBox(QStringLiteral("Photos")), "chkPhotos");
    auto *checks = row({ chkEstimate, chkBilled, chkCOS, chkMoveout, chkHVAC, chkContents, chkPhotos }, true);

    auto *notesFrame = named(new QGroupBox(QStringLiteral("Notes")), "fraNotes");
    txtNotes = named(new QPlainTextEdit, "txtNotes");
    txtNotes->setTabChangesFocus(true);
    auto *notesLayout = new QVBoxLayout(notesFrame);
    notesLayout->addWidget(txtNotes);

    auto *subFrame = named(new QGroupBox(QStringLiteral("Subcontractors")), "fraSubcontractors");
    cmbSubcontractor = combo("cmbSubcontractor", true);
    btnAddSubcontractor = named(new QPushButton(QStringLiteral("Add")), "btnAddSubcontractor");
    btnDeleteSubcontractor = named(new QPushButton(QStringLiteral("Delete")), "btnDeleteSubcontractor");
    lstSubcontractor = named(new QListWidget, "lstSubcontractor");
    auto *subLayout = new QVBoxLayout(subFrame);
    subLayout->addLayout(row({ cmbSubcontractor, btnAddSubcontractor, btnDeleteSubcontractor }));
    subLayout->addWidget(lstSubcontractor);

    auto *frames = new QHBoxLayout;
    frames->addWidget(notesFrame, 1);
    frames->addWidget(subFrame, 1);

    lblEntered = valueLabel("lblEntered");
    lblEdited = valueLabel("lblEdited");
    lblBilled = valueLabel("lblBilled");
    lblRatePerHour = valueLabel("lblRatePerHour");
    lblInvoice = valueLabel("lblInvoice");
    auto *stamps = new QGridLayout;
    stamps->addWidget(caption("Entered:"), 0, 0);
    stamps->addWidget(lblEntered, 0, 1);
    stamps->addWidget(caption("Edited:"), 1, 0);
    stamps->addWidget(lblEdited, 1, 1);
    stamps->addWidget(caption("Billed:"), 0, 2);
    stamps->addWidget(lblBilled, 0, 3);
    stamps->addWidget(caption("Rate/Hour:"), 1, 2);
    stamps->addWidget(lblRatePerHour, 1, 3);
    stamps->addWidget(caption("Invoice:"), 0, 4);
    stamps->addWidget(lblInvoice, 0, 5);
    stamps->setColumnStretch(1, 2);
    stamps->setColumnStretch(3, 1);
    stamps->setColumnStretch(5, 1);

    auto *info = named(new QWidget, "tabWIPInformation");
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(16);
    columns->addLayout(right, 1);
    auto *infoLayout = new QVBoxLayout(info);
    infoLayout->addLayout(columns);
    infoLayout->addLayout(checks);
    infoLayout->addLayout(frames, 1);
    infoLayout->addLayout(stamps);

    // ---- "WIP Labor"
    auto *labor = named(new QWidget, "tabWIPLabor");
    vsfgTime = named(new GridWidget, "vsfgTime");
    lblTotalHours = valueLabel("lblTotalHours");
    auto *laborLayout = new QVBoxLayout(labor);
    laborLayout->addWidget(vsfgTime, 1);
    laborLayout->addLayout(row({ caption("Total Hours:"), lblTotalHours }, true));

    SSTab1 = named(new QTabWidget, "SSTab1");
    SSTab1->addTab(info, QStringLiteral("WIP Information"));
    SSTab1->addTab(labor, QStringLiteral("WIP Labor"));

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(SSTab1, 1);

    // Keyboard order follows the screen from top left to bottom right.
    QWidget *order[] = { cmbWIP, btnNew, btnSave, btnPrint, btnDryingLog, btnExit, cmbCustomer, btnImport, txtAddress,
        txtCity, cmbState, txtZip, txtPhone, cmbType, cmbStatus, cmbRep, dtStart, chkDryingDays, cmbInsurance, cmbAgent,
        cmbAdjuster, txtPaperwork, txtInitialScope, cmbSoftware, cmbPayment, txtRugs, chkRugs, chkItel, dtItel,
        dtAdjusterUpdated, cmbAdjusterUpdated, txtCarpetRooms, txtHowHear, txtTime, cmbTypeOfService, chkEstimate,
        chkBilled, chkCOS, chkMoveout, chkHVAC, chkContents, chkPhotos, txtNotes, cmbSubcontractor, btnAddSubcontractor,
        btnDeleteSubcontractor, lstSubcontractor };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}
