#include "wip/WipRecord.h"

#include "base/Formats.h"

#include "data/Database.h"
#include "data/Dates.h"
#include "data/RowMap.h"
#include "data/Schema.h"

#include <QDateTime>
#include <QSqlRecord>

namespace wip {

namespace {

    QVariant dateValue(const QDate &date)
    {
        if (!date.isValid())
            return QVariant(QMetaType(QMetaType::QDateTime));
        return QDateTime(date, QTime(0, 0));
    }

    QVariant nullableText(const QVariant &value)
    {
        return value.isNull() ? QVariant() : QVariant(value.toString());
    }

    // The columns the screen edits, as saved.
    data::Fields columns(const WipRecord &r)
    {
        data::Fields fields;
        auto add = [&](const char *column, const QVariant &value) {
            fields << qMakePair(QString::fromLatin1(column), value);
        };
        add("Customer", r.customer);
        add("Address", r.address);
        add("City", r.city);
        add("State", r.state);
        add("Zip", r.zip);
        add("Phone", r.phone);
        add("JobType", r.jobType);
        add("Status", r.status);
        add("Rep", r.rep);
        add("StartDate", dateValue(r.startDate));
        add("CheckDryingDays", r.checkDryingDays);
        add("DryingDays", r.dryingDays);
        add("Insurance", r.insurance);
        add("Agent", r.agent);
        add("Adjuster", r.adjuster);
        add("Paperwork", r.paperwork);
        add("InitialScope", r.initialScope);
        add("Software", r.software);
        add("TypeOfPayment", r.typeOfPayment);
        add("Rugs", r.rugs);
        add("RugsCleaned", r.rugsCleaned);
        add("Itel", r.itel);
        add("ItelDate", dateValue(r.itelDate));
        add("AdjusterUpdatedDate", dateValue(r.adjusterUpdatedDate));
        add("AdjusterUpdatedBy", r.adjusterUpdatedBy);
        add("CarpetCleanRooms", r.carpetCleanRooms);
        add("HowHear", r.howHear);
        add("TimeOfService", r.timeOfService);
        add("TypeOfService", r.typeOfService);
        add("EstimateComplete", r.estimateComplete);
        add("Billed", r.billed);
        add("COS", r.cos);
        add("MoveOut", r.moveOut);
        add("CleanHVAC", r.cleanHVAC);
        add("ContentsCleaned", r.contentsCleaned);
        add("Photos", r.photos);
        add("Notes", r.notes);
        return fields;
    }

} // namespace

std::optional<FieldProblem> validate(const WipRecord &r)
{
    const std::pair<const char *, const QString *> required[]
        = { { "Customer", &r.customer }, { "JobType", &r.jobType }, { "Status", &r.status } };
    for (const auto &[field, value] : required) {
        if (value->isEmpty())
            return FieldProblem { QString::fromLatin1(field),
                QStringLiteral("You must select a Customer, Job Type, and Status before saving."),
                QStringLiteral("Required Fields") };
    }
    return data::tooLong(QStringLiteral("WIP"), columns(r));
}

std::optional<WipRecord> loadWip(data::Connection &db, qint64 id)
{
    const data::Dialect &d = db.dialect();
    // Subqueries rather than joins: a status name listed twice, or many
    // bookings, cannot multiply the row or the sum.
    const QString sql = QStringLiteral("SELECT WIP.*, %1 AS TotalTime, %2 AS ColorCode FROM WIP WHERE WIP.ID=?")
                            .arg(d.isNull(QStringLiteral("(SELECT SUM(Hours) FROM EmployeeTime "
                                                         "WHERE EmployeeTime.WIPID=WIP.ID)"),
                                     QStringLiteral("0")),
                                d.isNull(QStringLiteral("(SELECT MIN(ColorCode) FROM WIPStatus "
                                                        "WHERE WIPStatus.Name=WIP.Status)"),
                                    QStringLiteral("'&H80000005'")));
    return data::one(db.exec(sql, { id }), [](const data::Row &row) {
        auto text = [&](const char *name) { return row[name].toString(); };
        auto number = [&](const char *name) { return row[name].toDouble(); };
        auto flag = [&](const char *name) { return row[name].toBool(); };
        auto date = [&](const char *name) { return data::dateOf(row[name]); };

        WipRecord r;
        r.id = row["ID"].toLongLong();
        r.customer = text("Customer");
        r.address = text("Address");
        r.city = text("City");
        r.state = text("State");
        r.zip = text("Zip");
        r.phone = text("Phone");
        r.jobType = text("JobType");
        r.status = text("Status");
        r.rep = text("Rep");
        r.startDate = date("StartDate");
        r.checkDryingDays = flag("CheckDryingDays");
        r.dryingDays = number("DryingDays");
        r.insurance = text("Insurance");
        r.agent = text("Agent");
        r.adjuster = text("Adjuster");
        r.paperwork = text("Paperwork");
        r.initialScope = text("InitialScope");
        r.software = text("Software");
        r.typeOfPayment = text("TypeOfPayment");
        r.rugs = number("Rugs");
        r.rugsCleaned = flag("RugsCleaned");
        r.itel = flag("Itel");
        r.itelDate = date("ItelDate");
        r.adjusterUpdatedDate = date("AdjusterUpdatedDate");
        r.adjusterUpdatedBy = text("AdjusterUpdatedBy");
        r.carpetCleanRooms = number("CarpetCleanRooms");
        r.howHear = text("HowHear");
        r.timeOfService = text("TimeOfService");
        r.typeOfService = text("TypeOfService");
        r.estimateComplete = flag("EstimateComplete");
        r.billed = flag("Billed");
        r.cos = flag("COS");
        r.moveOut = flag("MoveOut");
        r.cleanHVAC = flag("CleanHVAC");
        r.contentsCleaned = flag("ContentsCleaned");
        r.photos = flag("Photos");
        r.notes = text("Notes");
        r.amountBilled = number("AmountBilled");
        r.invoiceId = text("InvoiceID");
        r.qbid = text("QBID");
        r.enteredBy = nullableText(row["EnteredBy"]);
        r.enteredDate = row["EnteredDate"].isNull() ? QVariant() : QVariant(row["EnteredDate"].toDateTime());
        r.editedBy = nullableText(row["EditedBy"]);
        r.editedDate = row["EditedDate"].isNull() ? QVariant() : QVariant(row["EditedDate"].toDateTime());
        r.rowVersion = row[data::rowVersionColumn()];
        r.totalTime = number("TotalTime");
        r.colorCode = text("ColorCode");
        r.loaded = row.read(columns(r));
        return r;
    });
}

QStringList loadContractors(data::Connection &db, qint64 wipId)
{
    data::Rows q
        = db.exec(QStringLiteral("SELECT Contractor FROM WIPContractors WHERE WIPID=? ORDER BY Contractor"), { wipId });
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

qint64 saveWip(data::Connection &db, const WipRecord &r, const QStringList &contractors, const data::Stamp &stamp,
    const std::optional<QStringList> &loadedContractors)
{
    data::Fields fields = data::stampFields(stamp, r.id == 0);
    fields << columns(r);
    auto add
        = [&](const char *column, const QVariant &value) { fields << qMakePair(QString::fromLatin1(column), value); };

    data::Transaction transaction(db);
    qint64 id = r.id;
    bool rewrite = true;
    if (id == 0) {
        add("InvoiceID", QString());
        add("AmountBilled", 0.0);
        add("QBID", QString());
        id = db.insertRow(QStringLiteral("WIP"), fields);
    } else {
        QList<data::LinkSet> links;
        if (loadedContractors) {
            links << data::LinkSet { QStringLiteral("Subcontractors"), *loadedContractors, contractors,
                [&db, id] { return loadContractors(db, id); } };
            rewrite = links.first().changed();
        }
        db.updateRowAtVersion(
            QStringLiteral("WIP"), id, fields, r.loaded, r.rowVersion, QStringLiteral("WIP %1").arg(id), links);
    }
    if (rewrite) {
        // Only the names that go and those that come are written: the job's
        // history then names those, not every subcontractor of the job.
        QList<QPair<qint64, QString>> stored;
        if (r.id != 0) {
            data::Rows rows = db.exec(
                QStringLiteral("SELECT ID, Contractor FROM WIPContractors WHERE WIPID=? ORDER BY ID"), { id });
            while (rows.next())
                stored << qMakePair(rows.value(0).toLongLong(), rows.value(1).toString());
        }
        QStringList added = contractors;
        for (const auto &[rowId, name] : std::as_const(stored)) {
            if (!added.removeOne(name))
                db.exec(QStringLiteral("DELETE FROM WIPContractors WHERE ID=?"), { rowId });
        }
        if (!added.isEmpty()) {
            data::Statement insert(db, QStringLiteral("INSERT INTO WIPContractors (WIPID,Contractor) VALUES (?,?)"));
            for (const QString &name : std::as_const(added))
                insert.run({ id, name });
        }
    }
    transaction.commit();
    return id;
}

} // namespace wip
