#include "settings/ui/frmWIPStatusEntry.h"

#include "base/Colors.h"
#include "shell/AppContext.h"
#include "widgets/AutoCompleteComboBoxModule.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"
#include "widgets/PlainTextLimit.h"
#include "widgets/SelectAllOnFocus.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

frmWIPStatusEntry::frmWIPStatusEntry(AppContext &context)
    : Screen(context, QStringLiteral("frmWIPStatusEntry"), QStringLiteral("WIP Status Entry/Edit"))
{
    buildForm();
}

void frmWIPStatusEntry::buildForm()
{
    cmbStatus = build::named(new QComboBox, "cmbStatus");
    cmbStatus->setMinimumContentsLength(20);
    cmbStatusID = build::twin<QComboBox>("cmbStatusID", this);
    txtID = build::textBox("txtID");
    txtID->setReadOnly(true);
    txtID->setFocusPolicy(Qt::NoFocus);
    txtName = build::textBox("txtName", WipStatus::kNameLength);
    KeepWholeCharacters(txtName);
    SelectAllOnFocus(txtName);
    txtAlertDays = build::textBox("txtAlertDays", 4);
    txtAlertDays->setMaximumWidth(80);
    txtAlertDays->setToolTip(QStringLiteral("Empty: no alert"));
    SelectAllOnFocus(txtAlertDays);
    // The swatch: a box that only shows its background.
    txtColor = build::textBox("txtColor");
    txtColor->setReadOnly(true);
    txtColor->setFocusPolicy(Qt::NoFocus);
    txtColorCode = build::twin<QLineEdit>("txtColorCode", this);
    btnSelectColor = build::button("btnSelectColor", u"Select Color");
    btnNew = build::button("btnNew", u"New");
    btnSave = build::button("btnSave", u"Save");
    btnExit = build::button("btnExit", u"Exit");
    for (QPushButton *b : { btnSelectColor, btnNew, btnSave, btnExit })
        b->setAutoDefault(true);

    auto *color = new QHBoxLayout;
    color->addWidget(txtColor, 1);
    color->addWidget(btnSelectColor);
    auto *form = new QFormLayout;
    build::formRows(form, { { u"Status", cmbStatus }, { u"ID", txtID }, { u"Name", txtName } });
    form->addRow(build::caption(u"Color", txtColor), color);
    build::formRows(form, { { u"Alert after days in this status", txtAlertDays } });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : { btnNew, btnSave, btnExit })
        buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addStretch(1);
    main->addLayout(buttons);

    InstallKeySearch(cmbStatus, [this] { return this->context().company().keyPressDelay; });
    setDefaultButton(btnSave);
    routeEnterToDefault(cmbStatus);
    build::tabOrder({ cmbStatus, txtName, btnSelectColor, txtAlertDays, btnNew, btnSave, btnExit });

    connect(cmbStatus, &QComboBox::activated, this, &frmWIPStatusEntry::cmbStatus_Click);
    connect(btnSelectColor, &QPushButton::clicked, this, &frmWIPStatusEntry::btnSelectColor_Click);
    connect(btnNew, &QPushButton::clicked, this, &frmWIPStatusEntry::btnNew_Click);
    connect(btnSave, &QPushButton::clicked, this, &frmWIPStatusEntry::btnSave_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmWIPStatusEntry::btnExit_Click);
}

void frmWIPStatusEntry::load()
{
    LoadStatusList();
    ClearStatusFields();
}

void frmWIPStatusEntry::LoadStatusList()
{
    const QList<WipStatus::Status> statuses = WipStatus::loadList(context().db());
    const QSignalBlocker block(cmbStatus);
    cmbStatus->clear();
    cmbStatusID->clear();
    for (const WipStatus::Status &status : statuses) {
        cmbStatus->addItem(status.name);
        cmbStatusID->addItem(QString::number(status.id));
    }
    cmbStatus->setCurrentIndex(-1);
    cmbStatusID->setCurrentIndex(-1);
}

void frmWIPStatusEntry::ClearStatusFields()
{
    txtID->clear();
    txtName->clear();
    txtAlertDays->clear();
    m_rowVersion = QVariant();
    m_loaded.clear();
    setSwatch(Colors::kWhite);
}

void frmWIPStatusEntry::setSwatch(quint32 color)
{
    m_color = color;
    QPalette palette = txtColor->palette();
    palette.setColor(QPalette::Base, Colors::toQColor(color));
    txtColor->setPalette(palette);
    txtColorCode->setText(Colors::toDecimalText(color));
}

void frmWIPStatusEntry::ShowStatus()
{
    const int index = cmbStatus->currentIndex();
    cmbStatusID->setCurrentIndex(index);
    if (index < 0 || cmbStatus->currentText().isEmpty()) {
        ClearStatusFields();
        return;
    }
    const qint64 id = cmbStatusID->itemText(index).toLongLong();
    guarded([&] {
        const std::optional<WipStatus::Status> status = WipStatus::load(context().db(), id);
        if (!status) {
            // Gone since the list was read: the screen edits nothing.
            ClearStatusFields();
            LoadStatusList();
            return;
        }
        txtID->setText(QString::number(status->id));
        txtName->setText(status->name);
        txtAlertDays->setText(status->alertDays);
        m_rowVersion = status->rowVersion;
        m_loaded = status->loaded;
        setSwatch(WipStatus::swatchColor(status->colorCode));
    });
}

void frmWIPStatusEntry::cmbStatus_Click(int)
{
    ShowStatus();
}

void frmWIPStatusEntry::btnSelectColor_Click()
{
    // Cancel keeps the colour the swatch had.
    if (const std::optional<QColor> chosen
        = Messages::chooseColor(this, Colors::toQColor(m_color), QStringLiteral("Select Color")))
        setSwatch(Colors::fromQColor(*chosen));
}

void frmWIPStatusEntry::btnNew_Click()
{
    cmbStatus->setCurrentIndex(-1);
    cmbStatusID->setCurrentIndex(-1);
    ClearStatusFields();
    txtName->setFocus(Qt::OtherFocusReason);
}

void frmWIPStatusEntry::btnSave_Click()
{
    if (!maySave())
        return;
    const WipStatus::Status status { txtID->text().toLongLong(), txtName->text(), txtColorCode->text(), m_rowVersion,
        m_loaded, txtAlertDays->text() };
    std::optional<FieldProblem> problem;
    const bool saved = guarded([&] {
        const std::variant<qint64, FieldProblem> result = WipStatus::save(context().db(), status);
        if (const auto *refused = std::get_if<FieldProblem>(&result)) {
            problem = *refused;
            return;
        }
        btnNew_Click();
        LoadStatusList();
    });
    if (saved && problem)
        Messages::showProblem(this, *problem, problem->field == u"AlertDays" ? txtAlertDays : txtName);
}

void frmWIPStatusEntry::btnExit_Click()
{
    closeScreen();
}
