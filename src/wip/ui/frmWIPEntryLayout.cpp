// The entry screen's controls and layouts; behaviour is in frmWIPEntry.cpp.
#include "wip/ui/frmWIPEntry.h"

#include "photos/ui/PhotoPanel.h"
#include "widgets/Build.h"
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
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A list whose edit field takes any text: the typed text is the value, and
// it joins the list only once it is saved.
QComboBox *typedList(const char *name)
{
    QComboBox *box = build::longList(name, 18);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->lineEdit()->setMaxLength(wip::kTextLength);
    return box;
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
    cmbWIP = build::longList("cmbWIP", 12);
    cmbWIP->setMinimumContentsLength(30);
    cmbWIPID = build::longList("cmbWIPID", 12);
    cmbWIPID->setVisible(false);
    btnNew = build::button("btnNew", u"New");
    btnSave = build::button("btnSave", u"Save");
    btnPrint = build::button("btnPrint", u"Print");
    btnDryingLog = build::button("btnDryingLog", u"Drying Log");
    btnExit = build::button("btnExit", u"Exit");
    auto *top = new QHBoxLayout;
    top->addWidget(build::caption(u"WIP:"));
    top->addWidget(cmbWIP, 1);
    top->addWidget(cmbWIPID);
    top->addSpacing(12);
    for (QPushButton *button : { btnNew, btnSave, btnPrint, btnDryingLog, btnExit })
        top->addWidget(button);

    // ---- "WIP Information"
    lblID = build::valueLabel("lblID");
    cmbCustomer = typedList("cmbCustomer");
    btnImport = build::button("btnImport", u"Import");
    txtAddress = build::textBox("txtAddress", wip::kTextLength);
    txtCity = build::textBox("txtCity", wip::kTextLength);
    cmbState = build::longList("cmbState", 12);
    cmbState->setMinimumContentsLength(4);
    txtZip = build::textBox("txtZip", wip::kTextLength);
    txtZip->setMaximumWidth(100);
    txtPhone = build::textBox("txtPhone", wip::kTextLength);
    cmbType = build::longList("cmbType", 12);
    cmbStatus = build::longList("cmbStatus", 12);
    cmbRep = typedList("cmbRep");
    dtStart = build::datePicker("dtStart");
    chkDryingDays = build::checkBox("chkDryingDays", u"Drying Days");
    lblDryingDays = build::valueLabel("lblDryingDays");
    lblDryingDays->setAlignment(Qt::AlignCenter);
    lblDryingDays->setAutoFillBackground(true);
    cmbInsurance = typedList("cmbInsurance");
    cmbAgent = typedList("cmbAgent");
    cmbAdjuster = typedList("cmbAdjuster");

    txtPaperwork = build::textBox("txtPaperwork", wip::kTextLength);
    txtInitialScope = build::textBox("txtInitialScope", wip::kTextLength);
    cmbSoftware = build::longList("cmbSoftware", 12);
    cmbPayment = build::longList("cmbPayment", 12);
    txtRugs = build::textBox("txtRugs", wip::kNumberLength);
    txtRugs->setMaximumWidth(80);
    chkRugs = build::checkBox("chkRugs", u"Rugs Cleaned/Dried");
    chkItel = build::checkBox("chkItel", u"Itel-Asbestos");
    dtItel = build::datePicker("dtItel");
    dtAdjusterUpdated = build::datePicker("dtAdjusterUpdated");
    cmbAdjusterUpdated = typedList("cmbAdjusterUpdated");
    txtCarpetRooms = build::textBox("txtCarpetRooms", wip::kNumberLength);
    txtCarpetRooms->setMaximumWidth(80);
    txtHowHear = build::textBox("txtHowHear", wip::kLongTextLength);
    txtTime = build::textBox("txtTime", wip::kTextLength);
    cmbTypeOfService = build::longList("cmbTypeOfService", 12);

    auto *left = new QGridLayout;
    int r = 0;
    auto addLeft = [&](QStringView text, QLayout *layout) {
        left->addWidget(build::caption(text), r, 0);
        left->addLayout(layout, r++, 1);
    };
    addLeft(u"ID:", row({ lblID }, true));
    addLeft(u"Customer:", row({ cmbCustomer, btnImport }));
    addLeft(u"Address:", row({ txtAddress }));
    addLeft(u"City/State/Zip:", row({ txtCity, cmbState, txtZip }));
    addLeft(u"Phone:", row({ txtPhone }));
    addLeft(u"Job Type:", row({ cmbType }));
    addLeft(u"Status:", row({ cmbStatus }));
    addLeft(u"Rep:", row({ cmbRep }));
    addLeft(u"Start Date:", row({ dtStart, chkDryingDays, lblDryingDays }, true));
    addLeft(u"Insurance:", row({ cmbInsurance }));
    addLeft(u"Agent:", row({ cmbAgent }));
    addLeft(u"Adjuster:", row({ cmbAdjuster }));
    left->setColumnStretch(1, 1);
    left->setRowStretch(r, 1);

    auto *right = new QGridLayout;
    r = 0;
    auto addRight = [&](QWidget *label, QLayout *layout) {
        right->addWidget(label, r, 0);
        right->addLayout(layout, r++, 1);
    };
    addRight(build::caption(u"Paperwork Needed:"), row({ txtPaperwork }));
    addRight(build::caption(u"Initial Scope:"), row({ txtInitialScope }));
    addRight(build::caption(u"Software:"), row({ cmbSoftware }));
    addRight(build::caption(u"Type of Payment:"), row({ cmbPayment }));
    addRight(build::caption(u"Rugs:"), row({ txtRugs, chkRugs }, true));
    addRight(chkItel, row({ build::caption(u"Date Sent:"), dtItel }, true));
    addRight(build::caption(u"Adjuster Updated Date/By:"), row({ dtAdjusterUpdated, cmbAdjusterUpdated }));
    addRight(build::caption(u"Carpet Cleaning No. Rooms:"), row({ txtCarpetRooms }, true));
    addRight(build::caption(u"How did you hear about us?"), row({ txtHowHear }));
    addRight(build::caption(u"Time of Service:"), row({ txtTime }));
    addRight(build::caption(u"Type of Service:"), row({ cmbTypeOfService }));
    right->setColumnStretch(1, 1);
    right->setRowStretch(r, 1);

    chkEstimate = build::checkBox("chkEstimate", u"Estimate Complete");
    chkBilled = build::checkBox("chkBilled", u"Billed");
    chkCOS = build::checkBox("chkCOS", u"COS Sent");
    chkMoveout = build::checkBox("chkMoveout", u"Move Out");
    chkHVAC = build::checkBox("chkHVAC", u"Clean HVAC");
    chkContents = build::checkBox("chkContents", u"Contents Cleaned");
    chkPhotos = build::checkBox("chkPhotos", u"Photos");
    auto *checks = row({ chkEstimate, chkBilled, chkCOS, chkMoveout, chkHVAC, chkContents, chkPhotos }, true);

    auto *notesFrame = build::named(new QGroupBox(QStringLiteral("Notes")), "fraNotes");
    txtNotes = build::named(new QPlainTextEdit, "txtNotes");
    txtNotes->setTabChangesFocus(true);
    auto *notesLayout = new QVBoxLayout(notesFrame);
    notesLayout->addWidget(txtNotes);

    auto *subFrame = build::named(new QGroupBox(QStringLiteral("Subcontractors")), "fraSubcontractors");
    cmbSubcontractor = typedList("cmbSubcontractor");
    btnAddSubcontractor = build::button("btnAddSubcontractor", u"Add");
    btnDeleteSubcontractor = build::button("btnDeleteSubcontractor", u"Delete");
    lstSubcontractor = build::named(new QListWidget, "lstSubcontractor");
    auto *subLayout = new QVBoxLayout(subFrame);
    subLayout->addLayout(row({ cmbSubcontractor, btnAddSubcontractor, btnDeleteSubcontractor }));
    subLayout->addWidget(lstSubcontractor);

    auto *frames = new QHBoxLayout;
    frames->addWidget(notesFrame, 1);
    frames->addWidget(subFrame, 1);

    lblEntered = build::valueLabel("lblEntered");
    lblEdited = build::valueLabel("lblEdited");
    lblBilled = build::valueLabel("lblBilled");
    lblRatePerHour = build::valueLabel("lblRatePerHour");
    lblInvoice = build::valueLabel("lblInvoice");
    auto *stamps = new QGridLayout;
    stamps->addWidget(build::caption(u"Entered:"), 0, 0);
    stamps->addWidget(lblEntered, 0, 1);
    stamps->addWidget(build::caption(u"Edited:"), 1, 0);
    stamps->addWidget(lblEdited, 1, 1);
    stamps->addWidget(build::caption(u"Billed:"), 0, 2);
    stamps->addWidget(lblBilled, 0, 3);
    stamps->addWidget(build::caption(u"Rate/Hour:"), 1, 2);
    stamps->addWidget(lblRatePerHour, 1, 3);
    stamps->addWidget(build::caption(u"Invoice:"), 0, 4);
    stamps->addWidget(lblInvoice, 0, 5);
    stamps->setColumnStretch(1, 2);
    stamps->setColumnStretch(3, 1);
    stamps->setColumnStretch(5, 1);

    auto *info = build::named(new QWidget, "tabWIPInformation");
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
    auto *labor = build::named(new QWidget, "tabWIPLabor");
    vsfgTime = build::named(new GridWidget, "vsfgTime");
    lblTotalHours = build::valueLabel("lblTotalHours");
    auto *laborLayout = new QVBoxLayout(labor);
    laborLayout->addWidget(vsfgTime, 1);
    laborLayout->addLayout(row({ build::caption(u"Total Hours:"), lblTotalHours }, true));

    // ---- "Photos": the job's photos and documents, once it is saved
    tabPhotos = build::named(new QWidget, "tabPhotos");
    m_photos = new PhotoPanel(context(), {});
    m_photos->setWriteCheck([this] { return maySave(); });
    auto *photosLayout = new QVBoxLayout(tabPhotos);
    photosLayout->addWidget(m_photos);

    // ---- "History": every change to the job, newest first
    tabHistory = build::named(new QWidget, "tabHistory");
    vsfgHistory = build::named(new GridWidget, "vsfgHistory");
    auto *historyLayout = new QVBoxLayout(tabHistory);
    historyLayout->addWidget(vsfgHistory, 1);

    SSTab1 = build::named(new QTabWidget, "SSTab1");
    SSTab1->addTab(info, QStringLiteral("WIP Information"));
    SSTab1->addTab(labor, QStringLiteral("WIP Labor"));
    SSTab1->addTab(tabPhotos, QStringLiteral("Photos"));
    SSTab1->addTab(tabHistory, QStringLiteral("History"));

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(SSTab1, 1);

    // Keyboard order follows the screen from top left to bottom right.
    build::tabOrder({ cmbWIP, btnNew, btnSave, btnPrint, btnDryingLog, btnExit, cmbCustomer, btnImport, txtAddress,
        txtCity, cmbState, txtZip, txtPhone, cmbType, cmbStatus, cmbRep, dtStart, chkDryingDays, cmbInsurance, cmbAgent,
        cmbAdjuster, txtPaperwork, txtInitialScope, cmbSoftware, cmbPayment, txtRugs, chkRugs, chkItel, dtItel,
        dtAdjusterUpdated, cmbAdjusterUpdated, txtCarpetRooms, txtHowHear, txtTime, cmbTypeOfService, chkEstimate,
        chkBilled, chkCOS, chkMoveout, chkHVAC, chkContents, chkPhotos, txtNotes, cmbSubcontractor, btnAddSubcontractor,
        btnDeleteSubcontractor, lstSubcontractor });
}
