#include "equipment/ui/EquipmentPanel.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "base/Numbers.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The place and move dialogs: a list to pick from and a time, now unless
// the user picks another. The picked entry's ID and the time; nothing for
// Cancel.
struct Picked
{
    qint64 id = 0;
    QDateTime at {};
};

std::optional<Picked> pick(QWidget *parent, const char *name, const QString &title, const char *listName,
    const QString &caption, const QList<EquipmentPanel::Choice> &entries)
{
    QDialog dialog(parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setWindowTitle(title);
    QComboBox *list = build::pickList(listName, 30, &dialog);
    for (const EquipmentPanel::Choice &entry : entries)
        list->addItem(entry.name, entry.id);
    list->setCurrentIndex(entries.isEmpty() ? -1 : 0);
    QDateTimeEdit *when = build::dateTimePicker("dtPlaced", &dialog);
    when->setDateTime(Clock::now());
    QPushButton *ok = build::button("btnOK", u"OK", &dialog);
    QPushButton *cancel = build::button("btnCancel", u"Cancel", &dialog);
    ok->setDefault(true);
    auto *form = new QFormLayout;
    build::formRows(form, { { caption, list }, { u"When", when } });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *main = new QVBoxLayout(&dialog);
    main->addLayout(form);
    main->addLayout(buttons);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted || list->currentIndex() < 0)
        return std::nullopt;
    return Picked { list->currentData().toLongLong(), when->dateTime() };
}

template <class T> std::optional<FieldProblem> refusalOf(const std::variant<T, FieldProblem> &result)
{
    if (const auto *problem = std::get_if<FieldProblem>(&result))
        return *problem;
    return std::nullopt;
}

QLineEdit *sizeBox(const char *name)
{
    QLineEdit *box = build::textBox(name, 8);
    box->setMaximumWidth(70);
    return box;
}

} // namespace

EquipmentPanel::EquipmentPanel(AppContext &context)
    : m_context(context)
{
    setObjectName(QStringLiteral("pnlEquipment"));
    lstUnits = build::named(new QListWidget, "lstUnits");
    btnPlace = build::button("btnPlace", u"Place...");
    btnRemoveUnit = build::button("btnRemoveUnit", u"Remove");
    btnMoveUnit = build::button("btnMoveUnit", u"Move...");
    txtLength = sizeBox("txtLength");
    txtWidth = sizeBox("txtWidth");
    txtHeight = sizeBox("txtHeight");
    txtWetWall = sizeBox("txtWetWall");
    cmbClass = build::pickList("cmbClass", 4);
    for (int waterClass = 0; waterClass <= 4; ++waterClass)
        cmbClass->addItem(waterClass ? QString::number(waterClass) : QString(), waterClass);
    btnSaveSize = build::button("btnSaveSize", u"Save Size");
    lblAirMovers = build::valueLabel("lblAirMovers");
    lblPints = build::valueLabel("lblPints");
    lblEquipmentDays = build::valueLabel("lblEquipmentDays");
    for (QLabel *label : { lblAirMovers, lblPints, lblEquipmentDays })
        label->setWordWrap(true);

    auto *units = new QVBoxLayout;
    units->addWidget(lstUnits, 1);
    auto *unitButtons = new QHBoxLayout;
    for (QPushButton *b : { btnPlace, btnMoveUnit, btnRemoveUnit })
        unitButtons->addWidget(b);
    unitButtons->addStretch(1);
    units->addLayout(unitButtons);

    auto *sizing = build::named(new QGroupBox(QStringLiteral("Room size (ft) and class of water")), "fraSizing");
    auto *grid = new QGridLayout(sizing);
    const std::pair<QStringView, QWidget *> boxes[] = { { u"Length:", txtLength }, { u"Width:", txtWidth },
        { u"Height:", txtHeight }, { u"Walls wet to:", txtWetWall }, { u"Class:", cmbClass } };
    for (int i = 0; i < int(std::size(boxes)); ++i) {
        grid->addWidget(build::caption(boxes[i].first, boxes[i].second), i / 2, i % 2 * 2);
        grid->addWidget(boxes[i].second, i / 2, i % 2 * 2 + 1);
    }
    grid->addWidget(btnSaveSize, 2, 3);
    grid->addWidget(lblAirMovers, 3, 0, 1, 4);
    grid->addWidget(lblPints, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);

    auto *top = new QHBoxLayout;
    top->addLayout(units, 1);
    top->addWidget(sizing, 1);
    auto *main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(lblEquipmentDays);

    connect(btnPlace, &QPushButton::clicked, this, &EquipmentPanel::btnPlace_Click);
    connect(btnRemoveUnit, &QPushButton::clicked, this, &EquipmentPanel::btnRemoveUnit_Click);
    connect(btnMoveUnit, &QPushButton::clicked, this, &EquipmentPanel::btnMoveUnit_Click);
    connect(btnSaveSize, &QPushButton::clicked, this, &EquipmentPanel::btnSaveSize_Click);
    // What the room needs follows the boxes as they are typed; Save Size
    // stores them.
    for (QLineEdit *box : { txtLength, txtWidth, txtHeight, txtWetWall })
        connect(box, &QLineEdit::textChanged, this, &EquipmentPanel::showSizing);
    connect(cmbClass, &QComboBox::currentIndexChanged, this, &EquipmentPanel::showSizing);

    // A size never saved shows empty boxes; an emptied box is 0.
    using R = equipment::RoomSize;
    const auto number = [](double value) { return QString::number(value); };
    const QString size = QStringLiteral("size");
    m_sizeFields.number("Length", txtLength, &R::length, size, number, 0.0)
        .number("Width", txtWidth, &R::width, size, number, 0.0)
        .number("Height", txtHeight, &R::height, size, number, 0.0)
        .number("WetWallHeight", txtWetWall, &R::wetWallHeight, size, number, 0.0)
        .add({ QStringLiteral("WaterClass"), cmbClass,
            [this](const R &r) { cmbClass->setCurrentIndex(cmbClass->findData(r.waterClass)); },
            [this] { cmbClass->setCurrentIndex(0); }, [this] { return cmbClass->currentData(); },
            [this](R &r) { r.waterClass = cmbClass->currentData().toInt(); } });
}

void EquipmentPanel::showRoom(qint64 wipId, qint64 roomId, const QList<Choice> &rooms)
{
    m_wipId = wipId;
    m_roomId = roomId;
    m_rooms = rooms;
    m_size = equipment::loadSize(m_context.db(), roomId);
    if (m_size.id)
        m_sizeFields.fill(m_size);
    else
        m_sizeFields.clear();
    refresh();
}

void EquipmentPanel::refresh()
{
    const QDateTime now = Clock::now();
    m_placements = equipment::loadPlacements(m_context.db(), m_wipId);
    lstUnits->clear();
    QList<equipment::Placement> inRoom;
    // The room's units standing now first, then those taken out.
    for (bool standing : { true, false }) {
        for (const equipment::Placement &p : m_placements) {
            if (p.roomId != m_roomId || p.open() != standing)
                continue;
            inRoom << p;
            QString text = QStringLiteral("%1  %2  placed %3").arg(p.assetNo, p.type, Formats::dateTime(p.placedAt));
            if (!p.open())
                text += QStringLiteral(", removed %1").arg(Formats::dateTime(p.removedAt));
            text += QStringLiteral("  (%1 d)").arg(equipment::equipmentDays(p, now));
            auto *item = new QListWidgetItem(text, lstUnits);
            item->setData(Qt::UserRole, p.id);
            if (!p.open())
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        }
    }
    m_totals = equipment::roomTotals(m_placements, m_roomId);
    m_factors = equipment::loadFactors(m_context.db());
    showSizing();
    lblEquipmentDays->setText(QStringLiteral("Equipment-days, this room: %1; the job: %2")
                                  .arg(equipment::daysText(equipment::daysByType(inRoom, now)),
                                      equipment::daysText(equipment::daysByType(m_placements, now))));
    const bool room = m_roomId != 0;
    setEnabled(room);
}

void EquipmentPanel::showSizing()
{
    equipment::RoomSize size = m_size;
    size.length = SafeNumber(txtLength->text());
    size.width = SafeNumber(txtWidth->text());
    size.height = SafeNumber(txtHeight->text());
    size.wetWallHeight = SafeNumber(txtWetWall->text());
    size.waterClass = cmbClass->currentData().toInt();
    lblAirMovers->setText(equipment::airMoverText(size, m_totals.airMovers));
    lblPints->setText(equipment::pintsText(size, m_factors, m_totals.pints));
}

std::optional<equipment::Placement> EquipmentPanel::standingChosen()
{
    const QListWidgetItem *item = lstUnits->currentItem();
    const qint64 id = item ? item->data(Qt::UserRole).toLongLong() : 0;
    for (const equipment::Placement &p : m_placements) {
        if (p.id == id && p.open())
            return m_mayWrite && !m_mayWrite() ? std::nullopt : std::optional(p);
    }
    Messages::show(this, QStringLiteral("Choose a unit standing in the room."), QStringLiteral("Equipment"));
    return std::nullopt;
}

void EquipmentPanel::change(const std::function<std::optional<FieldProblem>()> &work)
{
    std::optional<FieldProblem> problem;
    Messages::guarded(this, [&] {
        problem = work();
        refresh();
    });
    if (problem)
        Messages::showProblem(this, *problem, nullptr, Messages::Icon::Exclamation);
}

void EquipmentPanel::btnPlace_Click()
{
    if (m_mayWrite && !m_mayWrite())
        return;
    QList<Choice> units;
    const bool read = Messages::guarded(this, [&] {
        for (const equipment::Unit &unit : equipment::unitsInShop(m_context.db()))
            units << Choice { unit.id, QStringLiteral("%1  %2").arg(unit.assetNo, unit.type) };
    });
    if (!read)
        return;
    if (units.isEmpty()) {
        Messages::show(this, QStringLiteral("Every unit in service is out on a job."), QStringLiteral("Equipment"));
        return;
    }
    if (const auto chosen
        = pick(this, "frmPlaceUnit", QStringLiteral("Place a Unit"), "cmbUnit", QStringLiteral("Unit"), units))
        change([&] { return refusalOf(equipment::place(m_context.db(), chosen->id, m_roomId, chosen->at)); });
}

void EquipmentPanel::btnRemoveUnit_Click()
{
    if (const auto chosen = standingChosen())
        change([&] { return equipment::removeUnit(m_context.db(), chosen->id, chosen->rowVersion, Clock::now()); });
}

void EquipmentPanel::btnMoveUnit_Click()
{
    const auto chosen = standingChosen();
    if (!chosen)
        return;
    QList<Choice> others;
    for (const Choice &room : m_rooms) {
        if (room.id != m_roomId)
            others << room;
    }
    if (const auto to = pick(this, "frmMoveUnit", QStringLiteral("Move %1").arg(chosen->assetNo), "cmbRoom",
            QStringLiteral("To room"), others))
        change(
            [&] { return refusalOf(equipment::move(m_context.db(), chosen->id, chosen->rowVersion, to->id, to->at)); });
}

void EquipmentPanel::btnSaveSize_Click()
{
    if (m_mayWrite && !m_mayWrite())
        return;
    std::optional<FieldProblem> problem = m_sizeFields.check();
    if (!problem) {
        equipment::RoomSize size = m_sizeFields.read(m_size);
        size.roomId = m_roomId;
        Messages::guarded(this, [&] {
            problem = refusalOf(equipment::saveSize(m_context.db(), size));
            if (!problem)
                showRoom(m_wipId, m_roomId, m_rooms);
        });
    }
    if (problem)
        Messages::showProblem(this, *problem, m_sizeFields.control(problem->field), Messages::Icon::Exclamation);
}
