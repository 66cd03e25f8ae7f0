#include "equipment/ui/frmEquipment.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "equipment/Register.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
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
    vsfgUnits = build::named(new GridWidget, "vsfgUnits");
    vsfgUnits->setMinimumHeight(160);
    for (QPushButton *b : { btnNew, btnSave, btnExit, btnFind })
        b->setAutoDefault(true);

    auto *form = new QFormLayout;
    build::formRows(form,
        { { u"Unit", cmbUnits }, { u"Asset number", txtAsset }, { u"Type", cmbEquipType },
            { u"Dehumidifier kind", cmbDehuKind }, { u"Rated pints a day", txtPints },
            { u"Description", txtDescription } });
    form->addRow(QString(), chkRetired);
    build::formRows(form, { { u"Where", lblUnitWhere } });

    auto *find = new QGroupBox(QStringLiteral("Where is it?"));
    auto *findRow = new QHBoxLayout;
    findRow->addWidget(build::caption(u"Asset number", txtFind));
    findRow->addWidget(txtFind, 1);
    findRow->addWidget(btnFind);
    auto *findBox = new QVBoxLayout(find);
    findBox->addLayout(findRow);
    findBox->addWidget(lblWhere);

    auto *list = new QGroupBox(QStringLiteral("Every unit"));
    auto *listBox = new QVBoxLayout(list);
    listBox->addWidget(vsfgUnits);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : { btnNew, btnSave, btnExit })
        buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(find);
    main->addWidget(list, 1);
    main->addLayout(buttons);

    // Pints: empty for a type that has none, and read only for a
    // dehumidifier.
    using U = equipment::Unit;
    m_fields.text("AssetNo", txtAsset, &U::assetNo)
        .listText("EquipType", cmbEquipType, &U::type)
        .listText("DehuKind", cmbDehuKind, &U::dehuKind)
        .number("Pints", txtPints, &U::pints, QStringLiteral("rated pints a day"),
            [](double pints) { return QString::number(pints); })
        .text("Description", txtDescription, &U::description)
        .check("Retired", chkRetired, &U::retired);

    setDefaultButton(btnSave);
    build::tabOrder({ cmbUnits, txtAsset, cmbEquipType, cmbDehuKind, txtPints, txtDescription, chkRetired, txtFind,
        btnFind, vsfgUnits, btnNew, btnSave, btnExit });

    connect(cmbUnits, &QComboBox::activated, this, &frmEquipment::cmbUnits_Click);
    connect(vsfgUnits->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmEquipment::vsfgUnits_Click);
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
    const QSignalBlocker block(cmbUnits);
    cmbUnits->clear();
    for (const equipment::Unit &unit : equipment::loadUnits(context().db())) {
        cmbUnits->addItem(QStringLiteral("%1  %2%3")
                              .arg(unit.assetNo, unit.type, unit.retired ? QStringLiteral(" (retired)") : QString()),
            unit.id);
    }
    fillRegister(select);
}

void frmEquipment::fillRegister(qint64 select)
{
    const QList<equipment::UnitStanding> units = equipment::loadRegister(context().db(), Clock::now());
    const QSignalBlocker block(vsfgUnits->selectionModel());
    const QStringList header { QStringLiteral("ID"), QStringLiteral("Asset"), QStringLiteral("Type"),
        QStringLiteral("Where"), QStringLiteral("Since"), QStringLiteral("Days") };
    vsfgUnits->setRows(0);
    vsfgUnits->setCols(int(header.size()));
    vsfgUnits->setRows(1 + int(units.size()));
    vsfgUnits->setFixedRows(1);
    for (int col = 0; col < header.size(); ++col)
        vsfgUnits->setTextMatrix(0, col, header[col]);
    // Cell by cell: a tab in a customer's name stays in its cell.
    for (int i = 0; i < units.size(); ++i) {
        const equipment::UnitStanding &unit = units[i];
        const QStringList cells { QString::number(unit.id), unit.assetNo, unit.type, unit.where,
            unit.since.isValid() ? Formats::dateTime(unit.since) : QString(),
            unit.since.isValid() ? QString::number(unit.days) : QString() };
        for (int col = 0; col < cells.size(); ++col)
            vsfgUnits->setTextMatrix(1 + i, col, cells[col]);
    }
    vsfgUnits->setColHidden(0);
    vsfgUnits->setColDataType(4, GridWidget::DataType::Date);
    vsfgUnits->setColAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
    vsfgUnits->autoSize(1, int(header.size()) - 1);
    selectInLists(select);
}

void frmEquipment::selectInLists(qint64 id)
{
    {
        const QSignalBlocker block(cmbUnits);
        cmbUnits->setCurrentIndex(id ? cmbUnits->findData(id) : -1);
    }
    const QSignalBlocker block(vsfgUnits->selectionModel());
    for (int row = vsfgUnits->fixedRows(); row < vsfgUnits->rows(); ++row) {
        if (id != 0 && vsfgUnits->textMatrix(row, 0).toLongLong() == id) {
            vsfgUnits->setRow(row);
            return;
        }
    }
    vsfgUnits->selectionModel()->clear();
}

void frmEquipment::showUnit(const equipment::Unit &unit)
{
    m_unit = unit;
    m_fields.fill(unit);
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

bool frmEquipment::confirmLeave()
{
    if (!m_fields.isModified())
        return true;
    const auto answer
        = Messages::show(this, QStringLiteral("Do you want to save the changes to this unit?"), windowTitle(),
            Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

bool frmEquipment::confirmClose()
{
    return confirmLeave();
}

bool frmEquipment::pickUnit(qint64 id)
{
    if (id == m_unit.id && id != 0)
        return true;
    if (!confirmLeave()) {
        // Staying: the lists show the unit still on screen.
        selectInLists(m_unit.id);
        return false;
    }
    guarded([&] {
        if (const std::optional<equipment::Unit> unit = equipment::loadUnit(context().db(), id)) {
            showUnit(*unit);
            selectInLists(id);
        } else {
            load();
        }
    });
    return true;
}

void frmEquipment::cmbUnits_Click(int index)
{
    if (index >= 0)
        pickUnit(cmbUnits->itemData(index).toLongLong());
}

void frmEquipment::vsfgUnits_Click()
{
    const int row = vsfgUnits->row();
    if (row < vsfgUnits->fixedRows())
        return;
    const qint64 id = vsfgUnits->textMatrix(row, 0).toLongLong();
    // Out of the selection's signal: the answer may refill the grid.
    QMetaObject::invokeMethod(
        this, [this, id] { pickUnit(id); }, Qt::QueuedConnection);
}

void frmEquipment::cmbEquipType_Click(int)
{
    updateDehuBoxes();
}

void frmEquipment::btnNew_Click()
{
    if (!confirmLeave())
        return;
    selectInLists(0);
    clearUnit();
    txtAsset->setFocus(Qt::OtherFocusReason);
}

void frmEquipment::btnSave_Click()
{
    save();
}

bool frmEquipment::save()
{
    if (!maySave())
        return false;
    // What the disabled pints box holds is no dehumidifier's: never refused.
    std::optional<FieldProblem> problem = m_fields.check();
    if (problem && problem->field == u"Pints" && cmbEquipType->currentText() != equipment::dehumidifier())
        problem.reset();
    bool saved = false;
    if (!problem) {
        const equipment::Unit unit = m_fields.read(m_unit);
        saved = guarded([&] {
            const auto result = equipment::saveUnit(context().db(), unit);
            if (const auto *refused = std::get_if<FieldProblem>(&result)) {
                problem = *refused;
                return;
            }
            const qint64 id = std::get<qint64>(result);
            loadUnitList(id);
            if (const std::optional<equipment::Unit> stored = equipment::loadUnit(context().db(), id))
                showUnit(*stored);
        });
    }
    if (problem)
        Messages::showProblem(this, *problem, m_fields.control(problem->field), Messages::Icon::Exclamation);
    return saved && !problem;
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
