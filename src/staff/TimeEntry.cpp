#include "staff/TimeEntry.h"

#include "base/Formats.h"
#include "data/Schema.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include <cmath>

namespace staff {

namespace {

    QString jobLabel(const QVariant &customer, const QVariant &id)
    {
        if (id.isNull())
            return {};
        return customer.toString() + QStringLiteral(" - ") + QString::number(id.toLongLong());
    }

    QString nameLabel(const QVariant &lastName, const QVariant &firstName)
    {
        return lastName.toString() + QStringLiteral(", ") + firstName.toString();
    }

    QList<Choice> employees(data::Connection &db, const QString &sql, const QVariantList &params)
    {
        data::Rows q = db.exec(sql, params);
        QList<Choice> list;
        while (q.next())
            list.append({ nameLabel(q.value(1), q.value(2)), q.value(0).toLongLong() });
        return list;
    }

    QVariant dayOf(const QDateTime &when)
    {
        return QDateTime(when.date(), QTime(0, 0));
    }

    QVariant nullableText(const QVariant &value)
    {
        return value.isNull() ? QVariant() : QVariant(value.toString());
    }

    QVariant nullableDateTime(const QVariant &value)
    {
        const QDateTime dateTime = data::dateTimeOf(value);
        return dateTime.isValid() ? QVariant(dateTime) : QVariant();
    }

    FieldProblem problem(const char *field, const QString &text, const QString &title)
    {
        return { QString::fromLatin1(field), text, title };
    }

} // namespace

QList<Choice> openJobs(data::Connection &db)
{
    data::Rows q = db.exec(QStringLiteral("SELECT ID, Customer FROM WIP WHERE Status<>? ORDER BY Customer,ID"),
        { QStringLiteral("Closed") });
    QList<Choice> list;
    while (q.next())
        list.append({ jobLabel(q.value(1), q.value(0)), q.value(0).toLongLong() });
    return list;
}

QList<Choice> listedEmployees(data::Connection &db, bool everyone, qint64 userId)
{
    const QString select = QStringLiteral("SELECT ID, LastName, FirstName FROM Employee WHERE Inactive = ?");
    const QString order = QStringLiteral(" ORDER BY LastName,FirstName,MiddleName,ID");
    if (everyone)
        return employees(db, select + order, { false });
    return employees(db, select + QStringLiteral(" AND ID = ?") + order, { false, userId });
}

namespace {

    // The columns the screen edits, as saved.
    data::Fields columns(const TimeRecord &r)
    {
        return { { QStringLiteral("EmployeeID"), r.employeeId }, { QStringLiteral("TranDate"), r.tranDate },
            { QStringLiteral("Hours"), r.hours }, { QStringLiteral("WIPID"), r.wipId },
            { QStringLiteral("Notes"), r.notes } };
    }

} // namespace

std::optional<TimeRecord> loadTime(data::Connection &db, qint64 id)
{
    return data::one(
        db.exec(
            QStringLiteral("SELECT EmployeeTime.ID, EmployeeTime.EmployeeID, EmployeeTime.WIPID, EmployeeTime.TranDate,"
                           " EmployeeTime.Hours, EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate,"
                           " EmployeeTime.EditedBy, EmployeeTime.EditedDate, WIP.Customer, WIP.ID AS JobID,"
                           " Employee.LastName, Employee.FirstName, EmployeeTime.RowVersion"
                           " FROM EmployeeTime LEFT JOIN WIP ON EmployeeTime.WIPID=WIP.ID"
                           " LEFT JOIN Employee ON EmployeeTime.EmployeeID=Employee.ID"
                           " WHERE EmployeeTime.ID = ?"),
            { id }),
        [](const data::Row &q) {
            TimeRecord r;
            r.id = q["ID"].toLongLong();
            r.employeeId = q["EmployeeID"].toLongLong();
            r.wipId = q["WIPID"].toLongLong();
            r.tranDate = data::dateTimeOf(q["TranDate"]);
            r.hours = q["Hours"].toDouble();
            r.notes = q["Notes"].toString();
            r.enteredBy = nullableText(q["EnteredBy"]);
            r.enteredDate = nullableDateTime(q["EnteredDate"]);
            r.editedBy = nullableText(q["EditedBy"]);
            r.editedDate = nullableDateTime(q["EditedDate"]);
            r.wipLabel = jobLabel(q["Customer"], q["JobID"]);
            r.employeeLabel = nameLabel(q["LastName"], q["FirstName"]);
            r.rowVersion = q["RowVersion"];
            r.loaded = q.read(columns(r));
            return r;
        });
}

qint64 saveTime(data::Connection &db, const TimeRecord &r, const data::Stamp &stamp)
{
    data::Fields fields = data::stampFields(stamp, r.id == 0, dayOf(stamp.when));
    fields << columns(r);

    data::Transaction transaction(db);
    qint64 id = r.id;
    if (id == 0) {
        id = db.insertRow(QStringLiteral("EmployeeTime"), fields);
    } else {
        db.updateRowAtVersion(QStringLiteral("EmployeeTime"), id, fields, r.loaded, r.rowVersion,
            QStringLiteral("Time entry %1").arg(id));
    }
    transaction.commit();
    return id;
}

void deleteTime(data::Connection &db, qint64 id)
{
    data::Transaction transaction(db);
    db.exec(QStringLiteral("DELETE FROM EmployeeTime WHERE ID = ?"), { id });
    transaction.commit();
}

std::optional<double> parseHours(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(trimmed, &ok);
    // The locale reads "inf" and "nan" as numbers; no booking means them.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // What the box shows once the user leaves it is what is saved.
    return std::round(value * 100.0) / 100.0;
}

QString formatHours(double hours, const QLocale &locale)
{
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(hours, 'f', 2);
}

std::optional<FieldProblem> checkEntry(
    const TimeRecord &loaded, bool hasEmployee, bool hasJob, const QString &hoursText, const QLocale &locale)
{
    const QString required = QStringLiteral("Required Information");
    const QString missing = QStringLiteral("You must enter an employee, hours, and WIP before saving.");
    if (!hasEmployee)
        return problem("EmployeeID", missing, required);
    if (!hasJob)
        return problem("WIPID", missing, required);
    if (hoursText.trimmed().isEmpty())
        return problem("Hours", missing, required);
    const std::optional<double> hours = parseHours(hoursText, locale);
    if (!hours)
        return problem("Hours", QStringLiteral("Hours must be numeric."), required);
    // A booking of -8 or 80 hours is a slip of the keyboard, and it would
    // corrupt every total and rate per hour of the job. Hours the user left
    // as loaded are no slip: they are saved back as stored.
    const bool asLoaded = loaded.id != 0 && *hours == parseHours(formatHours(loaded.hours, locale), locale);
    if (!asLoaded && (*hours < 0 || *hours > kMaxHours))
        return problem("Hours", QStringLiteral("Hours must be between 0 and %1 for one entry.").arg(kMaxHours),
            QStringLiteral("Invalid Hours"));
    return std::nullopt;
}

std::optional<FieldProblem> checkTexts(const TimeRecord &record)
{
    return data::tooLong(QStringLiteral("EmployeeTime"), { { QStringLiteral("Notes"), record.notes } });
}

QString generalDate(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    return value.time() == QTime(0, 0) ? Formats::date(value.date()) : Formats::dateTime(value);
}

QString stampText(const QVariant &who, const QVariant &when)
{
    const QString name = who.isNull() ? QString() : who.toString();
    return name + QStringLiteral(" - ") + generalDate(data::dateTimeOf(when));
}

} // namespace staff
