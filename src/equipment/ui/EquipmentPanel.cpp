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
// the user picks another. The picked entry's index and the time; nothing
// for Cancel.
struct Picked
{
    int index = 0;
    QDateTime at {};
};

std::optional<Picked> pick(QWidget *parent, const char *name, const QString &title, const char *listName,
    const QString &caption, const QStringList &entries)
{
    QDialog dialog(parent);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setWindowTitle(title);
    QComboBox *list = build::pickList(listName, 30, &dialog);
    build::setItems(list, entries);
    if (!entries.isEmpty())
        list->setCurrentIndex(0);
    QDateTimeEdit *when = build::dateTimePicker("dtPlaced", &dialog);
    when->setDateTime(Clock::now());
    QPushButton *ok = build::button("btnOK", u"OK", &dialog);
    QPushButton *cancel = build::button("btnCancel", u"Cancel", &dialog);
    ok->setDefault(true);
    auto *form = new QFormLayout;
    form->addRow(build::caption(caption, list), list);
    form->addRow(build::caption(u"When", when), when);
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
    return Picked { list->currentIndex(), when->dateTime() };
}

QLineEdit *sizeBox(const char *name)
{
    QLineEdit *box = build::textBox(name, 8);
    box->setMaximumWidth(70);
    return box;
}

} // namespace

EquipmentPanel::EquipmentPanel(AppContext &context, std::function<bool(const std::function<void()> &)> guard)
    : m_context(context)
    , m_guard(std::move(guard))
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
    build::setItems(
        cmbClass, { QString(), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4") });
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
    grid->addWidget(build::caption(u"Length:", txtLength), 0, 0);
    grid->addWidget(txtLength, 0, 1);
    grid->addWidget(build::caption(u"Width:", txtWidth), 0, 2);
    grid->addWidget(txtWidth, 0, 3);
    grid->addWidget(build::caption(u"Height:", txtHeight), 1, 0);
    grid->addWidget(txtHeight, 1, 1);
    grid->addWidget(build::caption(u"Walls wet to:", txtWetWall), 1, 2);
    grid->addWidget(txtWetWall, 1, 3);
    grid->addWidget(build::caption(u"Class:", cmbClass), 2, 0);
    grid->addWidget(cmbClass, 2, 1);
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
}

void EquipmentPanel::showRoom(qint64 wipId, qint64 roomId, const QList<RoomChoice> &rooms)
{
    m_wipId = wipId;
    m_roomId = roomId;
    m_rooms = rooms;
    m_size = equipment::loadSize(m_context.db(), roomId);
    txtLength->setText(m_size.id ? QString::number(m_size.length) : QString());
    txtWidth->setText(m_size.id ? QString::number(m_size.width) : QString());
    txtHeight->setText(m_size.id ? QString::number(m_size.height) : QString());
    txtWetWall->setText(m_size.id ? QString::number(m_size.wetWallHeight) : QString());
    cmbClass->setCurrentIndex(m_size.waterClass);
    refresh();
}

void EquipmentPanel::refresh()
{
    const QDateTime now = Clock::now();
    m_placements = equipment::loadPlacements(m_context.db(), m_wipId);
    m_listed.clear();
    lstUnits->clear();
    int movers = 0;
    double pints = 0;
    QList<equipment::Placement> inRoom;
    // The room's units standing now first, then those taken out.
    for (bool standing : { true, false }) {
        for (const equipment::Placement &p : m_placements) {
            if (p.roomId != m_roomId || p.open() != standing)
                continue;
            inRoom << p;
            m_listed << p;
            QString text = QStringLiteral("%1  %2  placed %3").arg(p.assetNo, p.type, Formats::dateTime(p.placedAt));
            if (!p.open())
                text += QStringLiteral(", removed %1").arg(Formats::dateTime(p.removedAt));
            text += QStringLiteral("  (%1 d)").arg(equipment::equipmentDays(p, now));
            auto *item = new QListWidgetItem(text, lstUnits);
            if (!p.open())
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            if (p.open() && p.type == equipment::airMover())
                ++movers;
            if (p.open() && p.type == equipment::dehumidifier() && p.dehuKind != equipment::desiccant())
                pints += p.pints;
        }
    }
    m_movers = movers;
    m_pints = pints;
    m_factors = equipment::loadFactors(m_context.db());
    showSizing();
    lblEquipmentDays->setText(QStringLiteral("Equipment-days, this room: %1; the job: %2")
                                  .arg(equipment::daysText(equipment::daysByType(inRoom, now)),
                                      equipment::daysText(equipment::daysByType(m_placements, now))));
    const bool room = m_roomId != 0;
    setEnabled(room);
}

std::optional<std::pair<QLineEdit *, FieldProblem>> EquipmentPanel::typedSize(equipment::RoomSize &size) const
{
    std::optional<std::pair<QLineEdit *, FieldProblem>> first;
    const std::pair<QLineEdit *, double *> boxes[] = { { txtLength, &size.length }, { txtWidth, &size.width },
        { txtHeight, &size.height }, { txtWetWall, &size.wetWallHeight } };
    for (const auto &[box, field] : boxes) {
        const auto typed = typedNumber(box->text(), box->objectName(), QStringLiteral("size"), 0.0);
        if (const auto *bad = std::get_if<FieldProblem>(&typed)) {
            *field = 0;
            if (!first)
                first.emplace(box, *bad);
            continue;
        }
        *field = std::get<double>(typed);
    }
    size.waterClass = std::max(0, cmbClass->currentIndex());
    return first;
}

void EquipmentPanel::showSizing()
{
    equipment::RoomSize size = m_size;
    typedSize(size);
    lblAirMovers->setText(equipment::airMoverText(size, m_movers));
    lblPints->setText(equipment::pintsText(size, m_factors, m_pints));
}

const equipment::Placement *EquipmentPanel::chosenPlacement() const
{
    const int row = lstUnits->currentRow();
    return row >= 0 && row < m_listed.size() ? &m_listed[row] : nullptr;
}

void EquipmentPanel::refuse(const FieldProblem &problem)
{
    Messages::show(this, problem.text, problem.title);
}

void EquipmentPanel::btnPlace_Click()
{
    if (m_mayWrite && !m_mayWrite())
        return;
    QList<equipment::Unit> units;
    if (!m_guard([&] { units = equipment::unitsInShop(m_context.db()); }))
        return;
    if (units.isEmpty()) {
        Messages::show(this, QStringLiteral("Every unit in service is out on a job."), QStringLiteral("Equipment"));
        return;
    }
    QStringList entries;
    for (const equipment::Unit &unit : units)
        entries << QStringLiteral("%1  %2").arg(unit.assetNo, unit.type);
    const std::optional<Picked> chosen
        = pick(this, "frmPlaceUnit", QStringLiteral("Place a Unit"), "cmbUnit", QStringLiteral("Unit"), entries);
    if (!chosen)
        return;
    std::optional<FieldProblem> problem;
    m_guard([&] {
        const auto result = equipment::place(m_context.db(), units[chosen->index].id, m_roomId, chosen->at);
        if (const auto *bad = std::get_if<FieldProblem>(&result))
            problem = *bad;
        refresh();
    });
    if (problem)
        refuse(*problem);
}

void EquipmentPanel::btnRemoveUnit_Click()
{
    const equipment::Placement *placement = chosenPlacement();
    if (!placement || !placement->open()) {
        Messages::show(this, QStringLiteral("Choose a unit standing in the room."), QStringLiteral("Equipment"));
        return;
    }
    if (m_mayWrite && !m_mayWrite())
        return;
    const equipment::Placement chosen = *placement;
    std::optional<FieldProblem> problem;
    m_guard([&] {
        problem = equipment::removeUnit(m_context.db(), chosen.id, chosen.rowVersion, Clock::now());
        refresh();
    });
    if (problem)
        refuse(*problem);
}

void EquipmentPanel::btnMoveUnit_Click()
{
    const equipment::Placement *placement = chosenPlacement();
    if (!placement || !placement->open()) {
        Messages::show(this, QStringLiteral("Choose a unit standing in the room."), QStringLiteral("Equipment"));
        return;
    }
    if (m_mayWrite && !m_mayWrite())
        return;
    const equipment::Placement chosen = *placement;
    QList<RoomChoice> others;
    QStringList entries;
    for (const RoomChoice &room : m_rooms) {
        if (room.id != m_roomId) {
            others << room;
            entries << room.name;
        }
    }
    const std::optional<Picked> to = pick(this, "frmMoveUnit", QStringLiteral("Move %1").arg(chosen.assetNo), "cmbRoom",
        QStringLiteral("To room"), entries);
    if (!to)
        return;
    std::optional<FieldProblem> problem;
    m_guard([&] {
        const auto result = equipment::move(m_context.db(), chosen.id, chosen.rowVersion, others[to->index].id, to->at);
        if (const auto *bad = std::get_if<FieldProblem>(&result))
            problem = *bad;
        refresh();
    });
    if (problem)
        refuse(*problem);
}

void EquipmentPanel::btnSaveSize_Click()
{
    if (m_mayWrite && !m_mayWrite())
        return;
    equipment::RoomSize size = m_size;
    size.roomId = m_roomId;
    if (const auto bad = typedSize(size)) {
        refuse(bad->second);
        bad->first->setFocus(Qt::OtherFocusReason);
        return;
    }
    std::optional<FieldProblem> problem;
    m_guard([&] {
        const auto result = equipment::saveSize(m_context.db(), size);
        if (const auto *bad = std::get_if<FieldProblem>(&result)) {
            problem = *bad;
            return;
        }
        m_size = equipment::loadSize(m_context.db(), m_roomId);
        refresh();
    });
    if (problem)
        refuse(*problem);
}
