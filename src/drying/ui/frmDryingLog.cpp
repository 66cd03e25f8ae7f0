#include "drying/ui/frmDryingLog.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "charts/LineChart.h"
#include "data/Database.h"
#include "equipment/ui/EquipmentPanel.h"
#include "photos/ui/PhotoPanel.h"
#include "reports/DryingCharts.h"
#include "reports/PhotoSection.h"
#include "reports/ui/modReports.h"
#include "shell/AppContext.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

namespace {

constexpr quint32 kGapColour = 0x00C8E8FC; // light amber, 0x00BBGGRR
constexpr quint32 kDryColour = 0x00E2F2E2; // light green

const QString kTitle = QStringLiteral("Drying Log");

void showChart(QChartView *view, const reports::Chart &data)
{
    QChart *old = view->chart();
    view->setChart(charts::makeChart(data));
    delete old;
}

} // namespace

frmDryingLog::frmDryingLog(AppContext &context)
    : Screen(context, QStringLiteral("frmDryingLog"), kTitle)
{
    buildUi();
    wireUi();
    buildFields();
    newReading(Clock::now());
    showPoint(nullptr);
    tabLog->setEnabled(false);
}

void frmDryingLog::wireUi()
{
    connect(lstRooms, &QListWidget::currentRowChanged, this, &frmDryingLog::lstRooms_Click);
    connect(btnAddRoom, &QPushButton::clicked, this, &frmDryingLog::btnAddRoom_Click);
    connect(btnRenameRoom, &QPushButton::clicked, this, &frmDryingLog::btnRenameRoom_Click);
    connect(btnDeleteRoom, &QPushButton::clicked, this, &frmDryingLog::btnDeleteRoom_Click);
    connect(txtTemperature, &QLineEdit::textChanged, this, &frmDryingLog::txtReading_Change);
    connect(txtHumidity, &QLineEdit::textChanged, this, &frmDryingLog::txtReading_Change);
    connect(vsfgReadings->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        &frmDryingLog::vsfgReadings_Click);
    connect(btnSaveReading, &QPushButton::clicked, this, &frmDryingLog::btnSaveReading_Click);
    connect(btnNewReading, &QPushButton::clicked, this, &frmDryingLog::btnNewReading_Click);
    connect(btnDeleteReading, &QPushButton::clicked, this, &frmDryingLog::btnDeleteReading_Click);
    connect(
        vsfgPoints->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmDryingLog::vsfgPoints_Click);
    connect(btnSavePoint, &QPushButton::clicked, this, &frmDryingLog::btnSavePoint_Click);
    connect(btnNewPoint, &QPushButton::clicked, this, &frmDryingLog::btnNewPoint_Click);
    connect(btnDeletePoint, &QPushButton::clicked, this, &frmDryingLog::btnDeletePoint_Click);
    connect(dtMoisture, &QDateEdit::dateChanged, this, &frmDryingLog::dtMoisture_Change);
    connect(btnSaveMoisture, &QPushButton::clicked, this, &frmDryingLog::btnSaveMoisture_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmDryingLog::btnPrint_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmDryingLog::btnExit_Click);
    // Enter in a reading's boxes saves the reading.
    for (QLineEdit *box : { txtTemperature, txtHumidity })
        connect(box, &QLineEdit::returnPressed, this, &frmDryingLog::btnSaveReading_Click);
    connect(txtMoisture, &QLineEdit::returnPressed, this, &frmDryingLog::btnSaveMoisture_Click);
    connect(txtRoom, &QLineEdit::returnPressed, this, &frmDryingLog::btnAddRoom_Click);
    connect(tabLog, &QTabWidget::currentChanged, this, &frmDryingLog::showPhotos);
}

drying::TemperatureUnit frmDryingLog::unit() const
{
    return drying::unitFromCode(context().company().temperatureUnit);
}

// ---- loading

void frmDryingLog::LoadDryingLog(const QString &wipId)
{
    bool ok = false;
    const qint64 id = wipId.trimmed().toLongLong(&ok);
    if (!ok || id <= 0)
        return;
    guarded([&] {
        drying::JobLog log = drying::loadLog(context().db(), id, Clock::today(), unit());
        if (log.wipId == 0)
            return;
        // A job new to the log gets its "Outside" now, so that the outside
        // reading can be taken before any room is added.
        const bool outside = std::any_of(
            log.rooms.cbegin(), log.rooms.cend(), [](const drying::RoomLog &room) { return room.room.outside; });
        if (!outside) {
            drying::ensureOutsideRoom(context().db(), id);
            log = drying::loadLog(context().db(), id, Clock::today(), unit());
        }
        const bool other = log.wipId != m_log.wipId;
        m_log = std::move(log);
        if (other) {
            m_roomId = 0;
            txtRoom->clear();
        }
        setWindowTitle(QStringLiteral("%1 - %2 - %3").arg(kTitle, m_log.customer).arg(m_log.wipId));
        lblTemperatureUnit->setText(drying::unitSymbol(unit()));
        showLog();
        if (other) {
            newReading(Clock::now());
            showPoint(nullptr);
        }
    });
}

void frmDryingLog::reload()
{
    m_log = drying::loadLog(context().db(), m_log.wipId, Clock::today(), unit());
    showLog();
}

void frmDryingLog::showLog()
{
    const QSignalBlocker block(lstRooms);
    lstRooms->clear();
    int current = m_log.rooms.isEmpty() ? -1 : 0;
    for (const drying::RoomLog &room : m_log.rooms) {
        auto *item = new QListWidgetItem(room.room.name, lstRooms);
        item->setData(Qt::UserRole, room.room.id);
        if (room.room.affected)
            item->setToolTip(QStringLiteral("Affected area"));
        if (room.room.id == m_roomId)
            current = lstRooms->count() - 1;
    }
    lstRooms->setCurrentRow(current);
    m_roomId = current >= 0 ? m_log.rooms.at(current).room.id : 0;
    showRoom();
}

const drying::RoomLog *frmDryingLog::currentRoom() const
{
    for (const drying::RoomLog &room : m_log.rooms) {
        if (room.room.id == m_roomId)
            return &room;
    }
    return nullptr;
}

void frmDryingLog::showRoom()
{
    const drying::RoomLog *room = currentRoom();
    tabLog->setEnabled(room != nullptr);
    if (room) {
        txtRoom->setText(room->room.name);
        chkAffected->setChecked(room->room.affected);
        fillReadings(*room);
        fillPoints(*room);
    } else {
        vsfgReadings->setRows(0);
        vsfgPoints->setRows(0);
    }
    QList<EquipmentPanel::Choice> rooms;
    for (const drying::RoomLog &each : m_log.rooms)
        rooms << EquipmentPanel::Choice { each.room.id, each.room.name };
    pnlEquipment->showRoom(m_log.wipId, room ? room->room.id : 0, rooms);
    btnRenameRoom->setEnabled(room && !room->room.outside);
    btnDeleteRoom->setEnabled(room && !room->room.outside);
    fillCharts(room);
    showPhotos();
}

void frmDryingLog::fillReadings(const drying::RoomLog &room)
{
    // Every reading of the room by day; a day without one keeps its line,
    // and a past day of a drying job without one is marked as a gap.
    const QList<drying::AtmosphereReading> readings = drying::loadAtmosphere(context().db(), room.room.id, unit());
    const QSignalBlocker block(vsfgReadings->selectionModel());
    vsfgReadings->setRows(0);
    // Who entered each reading, here or on a phone in the field, last.
    vsfgReadings->setCols(10);
    vsfgReadings->addItem(
        QStringLiteral("ID\tDate\tTime\tTemperature\tRH %\tGPP\tDew Point\tNote\tDay\tEntered By"));
    const drying::TemperatureUnit u = unit();
    int selected = -1;
    for (const drying::LogDay &day : room.days) {
        bool any = false;
        for (const drying::AtmosphereReading &reading : readings) {
            if (reading.takenAt.date() != day.day)
                continue;
            any = true;
            const std::optional<drying::Conditions> c = drying::conditions(reading.temperature, reading.humidity, u);
            vsfgReadings->addItem(QStringList { QString::number(reading.id), Formats::date(day.day),
                reading.takenAt.time().toString(QStringLiteral("HH:mm")),
                drying::formatTemperature(reading.temperature, u), Formats::oneDecimal(reading.humidity),
                c ? drying::formatGpp(c->grainsPerPound) : QString(),
                c ? drying::formatTemperature(c->dewPoint, u) : QString(), QString(), day.day.toString(Qt::ISODate),
                reading.enteredBy }
                                      .join(u'\t'));
            if (reading.id == m_reading.id)
                selected = vsfgReadings->rows() - 1;
        }
        if (!any) {
            vsfgReadings->addItem(
                QStringList { QString(), Formats::date(day.day), QString(), QString(), QString(), QString(), QString(),
                    day.gap ? QStringLiteral("no reading") : QString(), day.day.toString(Qt::ISODate), QString() }
                    .join(u'\t'));
            if (day.gap)
                vsfgReadings->setCellBackColor(vsfgReadings->rows() - 1, 1, vsfgReadings->rows() - 1, 7, kGapColour);
        }
    }
    vsfgReadings->setColHidden(kReadingId);
    vsfgReadings->setColHidden(kReadingDay);
    vsfgReadings->setColDataType(1, GridWidget::DataType::Date);
    for (int col = 2; col < 7; ++col)
        vsfgReadings->setColAlignment(col, Qt::AlignRight | Qt::AlignVCenter);
    vsfgReadings->setFixedRows(1);
    vsfgReadings->autoSize(1, 7);
    if (selected > 0)
        vsfgReadings->setRow(selected);
}

void frmDryingLog::fillPoints(const drying::RoomLog &room)
{
    // The point, its goal and where it stands first, so that they stay in
    // view however many days follow.
    QList<QDate> days;
    for (const drying::LogDay &day : room.days)
        days << day.day;
    const QSignalBlocker block(vsfgPoints->selectionModel());
    constexpr int kFirstDay = 8;
    const int cols = kFirstDay + int(days.size());
    vsfgPoints->setRows(0);
    vsfgPoints->setCols(cols);
    QStringList header { QStringLiteral("ID"), QStringLiteral("Material"), QStringLiteral("Location"),
        QStringLiteral("Meter"), QStringLiteral("Goal"), QStringLiteral("Latest"), QStringLiteral("State"),
        QStringLiteral("Reached Goal") };
    for (const QDate &day : days)
        header << day.toString(QStringLiteral("MM/dd"));
    vsfgPoints->addItem(header.join(u'\t'));
    int selected = -1;
    for (const drying::PointLog &point : room.points) {
        QStringList cells { QString::number(point.point.id), point.point.material, point.point.location,
            point.point.meter, Formats::oneDecimal(point.point.dryGoal),
            point.latest ? Formats::oneDecimal(*point.latest) : QString(),
            point.dry ? QStringLiteral("Dry") : QString(),
            point.reachedGoal.isValid() ? Formats::date(point.reachedGoal) : QString() };
        for (const QDate &day : days) {
            const auto found = point.values.constFind(day);
            cells << (found == point.values.constEnd() ? QString() : Formats::oneDecimal(*found));
        }
        vsfgPoints->addItem(cells.join(u'\t'));
        const int row = vsfgPoints->rows() - 1;
        if (point.dry)
            vsfgPoints->setCellBackColor(row, 5, row, 7, kDryColour);
        if (point.point.id == m_point.point.id)
            selected = row;
    }
    vsfgPoints->setColHidden(0);
    for (int col = 4; col < cols; ++col) {
        if (col != 6 && col != 7)
            vsfgPoints->setColAlignment(col, Qt::AlignRight | Qt::AlignVCenter);
    }
    vsfgPoints->setFixedRows(1);
    vsfgPoints->autoSize(1, cols - 1);
    if (selected > 0)
        vsfgPoints->setRow(selected);
}

void frmDryingLog::fillCharts(const drying::RoomLog *room)
{
    if (room && !room->room.outside) {
        showChart(chtMoisture, reports::moistureChart(m_log, *room));
    } else {
        reports::Chart none;
        none.title = QStringLiteral("Moisture points");
        showChart(chtMoisture, none);
    }
    showChart(chtGPP, reports::gppChart(m_log));
}

void frmDryingLog::showPhotos()
{
    const drying::RoomLog *room = currentRoom();
    const drying::PointLog *point
        = room && tabLog->currentWidget()->objectName() == u"tabMoisture" ? findPoint(m_point.point.id) : nullptr;
    const photos::Owner owner { room ? m_log.wipId : 0, room ? room->room.id : 0, point ? point->point.id : 0 };
    lblRoomPhotos->setText(!room ? QStringLiteral("Choose a room.")
            : point              ? reports::photoPlace(room->room.name, point->point.material, point->point.location)
                                 : reports::photoPlace(room->room.name, {}, {}));
    const photos::Owner &shown = pnlPhotos->owner();
    // A log read again (after each save) keeps the photos as they are.
    if (owner.wipId != shown.wipId || owner.roomId != shown.roomId || owner.pointId != shown.pointId)
        pnlPhotos->showOwner(owner);
}

// ---- rooms

void frmDryingLog::lstRooms_Click()
{
    QListWidgetItem *item = lstRooms->currentItem();
    m_roomId = item ? item->data(Qt::UserRole).toLongLong() : 0;
    newReading(Clock::now());
    showPoint(nullptr);
    guarded([this] { showRoom(); });
}

void frmDryingLog::btnAddRoom_Click()
{
    if (!maySave())
        return;
    if (m_log.wipId == 0)
        return;
    guarded([this] {
        const auto added
            = drying::addRoom(context().db(), m_log.wipId, txtRoom->text().trimmed(), chkAffected->isChecked());
        if (const auto *problem = std::get_if<FieldProblem>(&added)) {
            Messages::showProblem(this, *problem, txtRoom, Messages::Icon::Exclamation);
            return;
        }
        m_roomId = std::get<qint64>(added);
        reload();
    });
}

void frmDryingLog::btnRenameRoom_Click()
{
    if (!maySave())
        return;
    const drying::RoomLog *room = currentRoom();
    if (!room)
        return;
    guarded([&] {
        if (const auto problem
            = drying::updateRoom(context().db(), room->room, txtRoom->text().trimmed(), chkAffected->isChecked())) {
            Messages::showProblem(this, *problem, txtRoom, Messages::Icon::Exclamation);
            return;
        }
        reload();
    });
}

void frmDryingLog::btnDeleteRoom_Click()
{
    if (!maySave())
        return;
    const drying::RoomLog *room = currentRoom();
    if (!room)
        return;
    const qint64 id = room->room.id;
    if (Messages::show(this, drying::deleteRoomQuestion(room->room.name), QStringLiteral("Delete Room"),
            Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    guarded([&] {
        if (const auto problem = drying::deleteRoom(context().db(), id)) {
            Messages::showProblem(this, *problem, lstRooms, Messages::Icon::Exclamation);
            return;
        }
        m_roomId = 0;
        reload();
        newReading(Clock::now());
        showPoint(nullptr);
    });
}

// ---- buttons

void frmDryingLog::btnPrint_Click()
{
    if (m_log.wipId != 0)
        modReports::PrintDryingLog(context(), this, QString::number(m_log.wipId));
}

void frmDryingLog::btnExit_Click()
{
    closeScreen();
}
