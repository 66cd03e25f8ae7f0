#include "equipment/ui/frmEquipment.h"

#include "base/Numbers.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

frmEquipment::frmEquipment(AppContext &context)
    : Screen(context, QStringLiteral("frmEquipment"), QStringLiteral("Equipment"))
{
    cmbUnits = build::pickList("cmbUnits", 30);
    txtAsset = build::textBox("txtAsset", 50);
    cmbEquipType = build::pickList("cmbEquipType", 16);
    build::setItems(cmbEquipType, equipment::types());
    cmbDehuKind = build::pickList("cmbDehuKind", 16);
    build::setItems(cmbDehuKind, equipment::dehuKinds());
    txtPints = build::textBox("txtPints", 12);
    txtDescription = build::textBox("txtDescription", 250);
    chkRetired = build::checkBox("chkRetired", u"Retired");
    lblUnitWhere = build::valueLabel("lblUnitWhere");
    btnNew = build::button("btnNew", u"New");
    btnSave = build::button("btnSave", u"Save");
    btnExit = build::button("btnExit", u"Exit");
    txtFind = build::textBox("txtFind", 50);
    btnFind = build::button("btnFind", u"Find");
    lblWhere = build::valueLabel("lblWhere");
    lblWhere->setWordWrap(true);
    for (QPushButton *b : { btnNew, btnSave, btnExit, btnFind })
        b->setAutoDefault(true);

    auto *form = new QFormLayout;
    form->addRow(build::caption(u"Unit", cmbUnits), cmbUnits);
    form->addRow(build::caption(u"Asset number", txtAsset), txtAsset);
    form->addRow(build::caption(u"Type", cmbEquipType), cmbEquipType);
    form->addRow(build::caption(u"Dehumidifier kind", cmbDehuKind), cmbDehuKind);
    form->addRow(build::caption(u"Rated pints a day", txtPints), txtPints);
    form->addRow(build::caption(u"Description", txtDescription), txtDescription);
    form->addRow(QString(), chkRetired);
    form->addRow(build::caption(u"Where", lblUnitWhere), lblUnitWhere);

    auto *find = new QGroupBox(QStringLiteral("Where is it?"));
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(build::caption(u"Asset number", txtFind));
    findRow->addWidget(txtFind, 1);
    findRow->addWidget(btnFind);
    auto *findBox = new QVBoxLayout(find);
    findBox->addLayout(findRow);
    findBox->addWidget(lblWhere);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : { btnNew, btnSave, btnExit })
        buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(find);
    main->addStretch(1);
    main->addLayout(buttons);

    setDefaultButton(btnSave);
    const QList<QWidget *> order = { cmbUnits, txtAsset, cmbEquipType, cmbDehuKind, txtPints, txtDescription,
        chkRetired, txtFind, btnFind, btnNew, btnSave, btnExit };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmbUnits, &QComboBox::activated, this, &frmEquipment::cmbUnits_Click);
    connect(cmbEquipType, &QComboBox::activated, this, &frmEquipment::cmbEquipType_Click);
    connect(btnNew, &QPushButton::clicked, this, &frmEquipment::btnNew_Click);
    connect(btnSave, &QPushButton::clicked, this, &frmEquipment::btnSave_Click);
    connect(btnFind, &QPushButton::clicked, this, &frmEquipment::btnFind_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmEquipment::btnExit_Click);
    // Enter in the look-up box finds, rather than saving the unit.
    connect(txtFind, &QLineEdit::returnPressed, this, &frmEquipment::btnFind_Click);
}

void frmEquipment::load()
{
    loadUnitList(0);
    clearUnit();
}

void frmEquipment::loadUnitList(qint64 select)
{
    m_units = equipment::loadUnits(context().db());
    QStringList items;
    int selected = -1;
    for (const equipment::Unit &unit : m_units) {
        if (unit.id == select)
            selected = static_cast<int>(items.size());
        items << QStringLiteral("%1  %2%3")
                     .arg(unit.assetNo, unit.type, unit.retired ? QStringLiteral(" (retired)") : QString());
    }
    build::setItems(cmbUnits, items);
    const QSignalBlocker block(cmbUnits);
    cmbUnits->setCurrentIndex(selected);
}

void frmEquipment::showUnit(const equipment::Unit &unit)
{
    m_unit = unit;
    txtAsset->setText(unit.assetNo);
    cmbEquipType->setCurrentIndex(static_cast<int>(equipment::types().indexOf(unit.type)));
    cmbDehuKind->setCurrentIndex(static_cast<int>(equipment::dehuKinds().indexOf(unit.dehuKind)));
    txtPints->setText(std::isfinite(unit.pints) ? QString::number(unit.pints) : QString());
    txtDescription->setText(unit.description);
    chkRetired->setChecked(unit.retired);
    lblUnitWhere->setText(unit.id == 0 ? QString()
            : unit.retired             ? QStringLiteral("Retired")
                                       : equipment::whereText(equipment::currentPlacement(context().db(), unit.id)));
    updateDehuBoxes();
}

void frmEquipment::clearUnit()
{
    showUnit(equipment::Unit {});
}

void frmEquipment::updateDehuBoxes()
{
    const bool dehu = cmbEquipType->currentText() == equipment::dehumidifier();
    cmbDehuKind->setEnabled(dehu);
    txtPints->setEnabled(dehu);
}

QWidget *frmEquipment::controlOf(const QString &field) const
{
    if (field == u"EquipType")
        return cmbEquipType;
    if (field == u"DehuKind")
        return cmbDehuKind;
    if (field == u"Pints")
        return txtPints;
    if (field == u"Description")
        return txtDescription;
    if (field == u"Retired")
        return chkRetired;
    return txtAsset;
}

void frmEquipment::cmbUnits_Click(int index)
{
    if (index < 0 || index >= m_units.size())
        return;
    const qint64 id = m_units[index].id;
    guarded([&] {
        if (const std::optional<equipment::Unit> unit = equipment::loadUnit(context().db(), id))
            showUnit(*unit);
        else
            load();
    });
}

void frmEquipment::cmbEquipType_Click(int)
{
    updateDehuBoxes();
}

void frmEquipment::btnNew_Click()
{
    {
        const QSignalBlocker block(cmbUnits);
        cmbUnits->setCurrentIndex(-1);
    }
    clearUnit();
    txtAsset->setFocus(Qt::OtherFocusReason);
}

void frmEquipment::btnSave_Click()
{
    if (!maySave())
        return;
    equipment::Unit unit = m_unit;
    unit.assetNo = txtAsset->text();
    unit.type = cmbEquipType->currentText();
    unit.dehuKind = cmbDehuKind->currentText();
    unit.pints = std::numeric_limits<double>::quiet_NaN();
    if (unit.type == equipment::dehumidifier()) {
        const auto pints = typedNumber(txtPints->text(), QStringLiteral("Pints"), QStringLiteral("rated pints a day"));
        if (const auto *bad = std::get_if<FieldProblem>(&pints)) {
            Messages::show(this, bad->text, bad->title);
            txtPints->setFocus(Qt::OtherFocusReason);
            return;
        }
        unit.pints = std::get<double>(pints);
    }
    unit.description = txtDescription->text();
    unit.retired = chkRetired->isChecked();
    std::optional<FieldProblem> problem;
    guarded([&] {
        const auto result = equipment::saveUnit(context().db(), unit);
        if (const auto *refused = std::get_if<FieldProblem>(&result)) {
            problem = *refused;
            return;
        }
        const qint64 id = std::get<qint64>(result);
        loadUnitList(id);
        if (const std::optional<equipment::Unit> saved = equipment::loadUnit(context().db(), id))
            showUnit(*saved);
    });
    if (problem) {
        Messages::show(this, problem->text, problem->title);
        controlOf(problem->field)->setFocus(Qt::OtherFocusReason);
    }
}

void frmEquipment::btnFind_Click()
{
    if (txtFind->text().trimmed().isEmpty()) {
        lblWhere->setText(QStringLiteral("Type an asset number."));
        return;
    }
    guarded([&] { lblWhere->setText(equipment::findUnit(context().db(), txtFind->text())); });
}

void frmEquipment::btnExit_Click()
{
    closeScreen();
}
