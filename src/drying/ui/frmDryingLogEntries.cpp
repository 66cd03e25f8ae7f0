// The drying log's entry boxes: a room's reading, a moisture point and the
// point's value on a day. Each set of boxes is filled from a record held as
// a value and read back through its FieldTable, so a save carries the row
// version the record was read with.
#include "drying/ui/frmDryingLog.h"

#include "base/Clock.h"
#include "base/Formats.h"
#include "base/Numbers.h"
#include "data/Database.h"
#include "shell/AppContext.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QDateEdit>
#include <QDateTimeEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

void frmDryingLog::buildFields()
{
    const auto number = [](double value) { return Formats::oneDecimal(value); };
    using A = drying::AtmosphereReading;
    m_readingFields.dateTime("TakenAt", dtReading, &A::takenAt, [] { return Clock::now(); })
        .number("Temperature", txtTemperature, &A::temperature, QStringLiteral("temperature"), number)
        .number("Humidity", txtHumidity, &A::humidity, QStringLiteral("relative humidity"), number);
    using P = drying::MoisturePoint;
    m_pointFields.text("Material", txtMaterial, &P::material)
        .text("Location", txtLocation, &P::location)
        .text("Meter", txtMeter, &P::meter)
        .number("DryGoal", txtGoal, &P::dryGoal, QStringLiteral("dry goal"), number);
    using M = drying::MoistureReading;
    m_valueFields.date("TakenAt", dtMoisture, &M::day, [] { return Clock::today(); })
        .number("Value", txtMoisture, &M::value, QStringLiteral("reading"), number);
}

// ---- atmosphere

void frmDryingLog::txtReading_Change()
{
    // As the user types: what the two boxes give, or nothing yet.
    const auto typed = [](const QLineEdit *box) { return parseFiniteNumber(box->text()).value_or(kNoNumber); };
    const std::optional<drying::Conditions> c = drying::conditions(typed(txtTemperature), typed(txtHumidity), unit());
    lblGPP->setText(c ? drying::formatGpp(c->grainsPerPound) : QString());
    lblDewPoint->setText(c ? drying::formatTemperature(c->dewPoint, unit()) : QString());
}

void frmDryingLog::newReading(const QDateTime &at)
{
    m_reading = drying::AtmosphereReading {};
    m_reading.roomId = m_roomId;
    m_reading.takenAt = at;
    m_reading.temperature = kNoNumber;
    m_reading.humidity = kNoNumber;
    m_readingFields.fill(m_reading);
    btnDeleteReading->setEnabled(false);
}

void frmDryingLog::vsfgReadings_Click()
{
    const int row = vsfgReadings->row();
    const qint64 id = row >= vsfgReadings->fixedRows() ? vsfgReadings->textMatrix(row, kReadingId).toLongLong() : 0;
    if (id == 0) {
        // A day without a reading: a new one on that day, at this time.
        const QDate day = QDate::fromString(vsfgReadings->textMatrix(row, kReadingDay), Qt::ISODate);
        newReading(day.isValid() ? QDateTime(day, Clock::now().time()) : Clock::now());
        return;
    }
    guarded([&] {
        for (const drying::AtmosphereReading &reading : drying::loadAtmosphere(context().db(), m_roomId, unit())) {
            if (reading.id != id)
                continue;
            m_reading = reading;
            m_readingFields.fill(m_reading);
            btnDeleteReading->setEnabled(true);
        }
    });
}

void frmDryingLog::btnSaveReading_Click()
{
    if (!maySave())
        return;
    if (m_roomId == 0)
        return;
    if (const auto problem = m_readingFields.check()) {
        Messages::showProblem(this, *problem, m_readingFields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    drying::AtmosphereReading reading = m_readingFields.read(m_reading);
    if (reading.id == 0)
        reading.roomId = m_roomId;
    if (const auto problem = drying::validate(reading, unit())) {
        Messages::showProblem(this, *problem, m_readingFields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    guarded([&] {
        const auto saved = drying::saveAtmosphere(context().db(), reading, unit(), context().stamp());
        if (const auto *problem = std::get_if<FieldProblem>(&saved)) {
            Messages::showProblem(this, *problem, m_readingFields.control(problem->field), Messages::Icon::Exclamation);
            return;
        }
        m_reading.id = std::get<qint64>(saved);
        reload();
        // Ready for the next reading: nothing picked in the grid.
        vsfgReadings->selectionModel()->clear();
        newReading(Clock::now());
        txtTemperature->setFocus(Qt::OtherFocusReason);
    });
}

void frmDryingLog::btnNewReading_Click()
{
    vsfgReadings->selectionModel()->clear();
    newReading(Clock::now());
    txtTemperature->setFocus(Qt::OtherFocusReason);
}

void frmDryingLog::btnDeleteReading_Click()
{
    if (!maySave())
        return;
    if (m_reading.id == 0)
        return;
    if (Messages::show(this, QStringLiteral("Delete the reading of %1?").arg(Formats::dateTime(m_reading.takenAt)),
            QStringLiteral("Delete Reading"), Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No)
        != QMessageBox::Yes)
        return;
    guarded([this] {
        drying::deleteAtmosphere(context().db(), m_reading.id);
        newReading(Clock::now());
        reload();
    });
}

// ---- moisture points

const drying::PointLog *frmDryingLog::findPoint(qint64 pointId) const
{
    if (const drying::RoomLog *room = currentRoom()) {
        for (const drying::PointLog &point : room->points) {
            if (point.point.id == pointId)
                return &point;
        }
    }
    return nullptr;
}

void frmDryingLog::showPoint(const drying::PointLog *point)
{
    m_point = point ? *point : drying::PointLog {};
    if (!point) {
        m_point.point.roomId = m_roomId;
        m_point.point.dryGoal = kNoNumber;
    }
    m_pointFields.fill(m_point.point);
    showValue(point ? dtMoisture->date() : Clock::today());
    btnDeletePoint->setEnabled(point != nullptr);
    btnSaveMoisture->setEnabled(point != nullptr);
    showPhotos();
}

void frmDryingLog::showValue(const QDate &day)
{
    m_value = drying::MoistureReading {};
    m_value.pointId = m_point.point.id;
    m_value.day = day;
    const auto found = m_point.values.constFind(day);
    m_value.value = found == m_point.values.cend() ? kNoNumber : *found;
    m_value.rowVersion = m_point.versions.value(day);
    m_valueFields.fill(m_value);
}

void frmDryingLog::dtMoisture_Change()
{
    // The picked day's value with its version; a value typed already stays
    // in its box, for the new day.
    const bool typed = txtMoisture->isModified();
    const QString text = txtMoisture->text();
    showValue(dtMoisture->date());
    if (typed) {
        txtMoisture->setText(text);
        txtMoisture->setModified(true);
    }
}

void frmDryingLog::vsfgPoints_Click()
{
    const int row = vsfgPoints->row();
    const qint64 id = row >= vsfgPoints->fixedRows() ? vsfgPoints->textMatrix(row, 0).toLongLong() : 0;
    if (const drying::PointLog *point = findPoint(id))
        showPoint(point);
}

void frmDryingLog::btnSavePoint_Click()
{
    if (!maySave())
        return;
    if (m_roomId == 0)
        return;
    if (const auto problem = m_pointFields.check()) {
        Messages::showProblem(this, *problem, m_pointFields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    drying::MoisturePoint point = m_pointFields.read(m_point.point);
    if (point.id == 0)
        point.roomId = m_roomId;
    if (const auto problem = drying::validate(point)) {
        Messages::showProblem(this, *problem, m_pointFields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    guarded([&] {
        const auto saved = drying::savePoint(context().db(), point);
        if (const auto *problem = std::get_if<FieldProblem>(&saved)) {
            Messages::showProblem(this, *problem, m_pointFields.control(problem->field), Messages::Icon::Exclamation);
            return;
        }
        m_point.point.id = std::get<qint64>(saved);
        reload();
        showPoint(findPoint(m_point.point.id));
    });
}

void frmDryingLog::btnNewPoint_Click()
{
    vsfgPoints->selectionModel()->clear();
    showPoint(nullptr);
    txtMaterial->setFocus(Qt::OtherFocusReason);
}

void frmDryingLog::btnDeletePoint_Click()
{
    if (!maySave())
        return;
    if (m_point.point.id == 0)
        return;
    if (Messages::show(this,
            QStringLiteral("Delete the moisture point %1 with all its readings?").arg(m_point.point.material),
            QStringLiteral("Delete Point"), Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No,
            QMessageBox::No)
        != QMessageBox::Yes)
        return;
    guarded([this] {
        drying::deletePoint(context().db(), m_point.point.id);
        showPoint(nullptr);
        reload();
    });
}

void frmDryingLog::btnSaveMoisture_Click()
{
    if (!maySave())
        return;
    if (m_point.point.id == 0) {
        Messages::show(this, QStringLiteral("Choose a moisture point first."), QStringLiteral("Drying Log"),
            Messages::Icon::Exclamation);
        return;
    }
    if (const auto problem = m_valueFields.check()) {
        Messages::showProblem(this, *problem, m_valueFields.control(problem->field), Messages::Icon::Exclamation);
        return;
    }
    const drying::MoistureReading value = m_valueFields.read(m_value);
    guarded([&] {
        const auto saved = drying::saveMoistureReading(
            context().db(), value.pointId, value.day, value.value, value.rowVersion, context().stamp());
        if (const auto *problem = std::get_if<FieldProblem>(&saved)) {
            Messages::showProblem(this, *problem, m_valueFields.control(problem->field), Messages::Icon::Exclamation);
            return;
        }
        reload();
        showPoint(findPoint(value.pointId));
        txtMoisture->setFocus(Qt::OtherFocusReason);
        txtMoisture->selectAll();
    });
}
