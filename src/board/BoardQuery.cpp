#include "board/BoardQuery.h"

#include "base/Colors.h"
#include "base/DryingDays.h"
#include "base/Formats.h"
#include "data/Database.h"

#include <QDateTime>
#include <QVariant>

namespace board {

namespace {

    // Positions in selectSql()'s column list. The cells follow the same order
    // up to the billed amount; then comes the hours cell, and each stamp's two
    // columns make one cell.
    enum Field : int {
        FId,
        FCustomer,
        FJobType,
        FStatus,
        FRep,
        FStartDate,
        FCheckDryingDays,
        FInsurance,
        FAgent,
        FAdjuster,
        FPaperwork,
        FInitialScope,
        FSoftware,
        FTypeOfPayment,
        FRugs,
        FRugsCleaned,
        FItel,
        FItelDate,
        FAdjusterUpdatedDate,
        FAdjusterUpdatedBy,
        FCarpetCleanRooms,
        FTimeOfService,
        FTypeOfService,
        FEstimateComplete,
        FBilled,
        FCos,
        FMoveOut,
        FCleanHvac,
        FContentsCleaned,
        FPhotos,
        FNotes,
        FAmountBilled,
        FHowHear,
        FEnteredBy,
        FEnteredDate,
        FEditedBy,
        FEditedDate,
    };
    static_assert(int(FAmountBilled) == int(ColBilledAmount));

    const QString kTrue = QStringLiteral("True");
    const QString kFalse = QStringLiteral("False");

    const QString &boolText(bool value)
    {
        return value ? kTrue : kFalse;
    }

    // A stored number or flag as the grid shows it; other values as their text.
    QString valueText(const QVariant &value)
    {
        if (value.isNull())
            return {};
        switch (value.typeId()) {
        case QMetaType::Double:
            return Formats::plainNumber(value.toDouble());
        case QMetaType::Bool:
            return boolText(value.toBool());
        default:
            return value.toString();
        }
    }

    // A date column holds whole days; one with a time of day keeps it.
    QString dateText(const QVariant &value)
    {
        if (value.isNull())
            return {};
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? Formats::date(dt.date()) : Formats::dateTime(dt);
    }

} // namespace

const QStringList &headers()
{
    static const QStringList texts = { QStringLiteral("ID"), QStringLiteral("Customer"), QStringLiteral("Type"),
        QStringLiteral("Status"), QStringLiteral("Rep"), QStringLiteral("Start Date"), QStringLiteral("Drying Days"),
        QStringLiteral("Insurance"), QStringLiteral("Agent"), QStringLiteral("Adjuster"), QStringLiteral("Paperwork"),
        QStringLiteral("Initial Scope"), QStringLiteral("Software"), QStringLiteral("Payment Type"),
        QStringLiteral("Rugs"), QStringLiteral("Rugs Cleaned"), QStringLiteral("Itel-Asbestos"),
        QStringLiteral("Itel Sent"), QStringLiteral("Adj. Updated Date"), QStringLiteral("Adj. Updated By"),
        QStringLiteral("Carpet Clean Rms."), QStringLiteral("Time of Service"), QStringLiteral("Type of Service"),
        QStringLiteral("Estimate Complete"), QStringLiteral("Billed"), QStringLiteral("COS Sent"),
        QStringLiteral("Moveout"), QStringLiteral("Clean HVAC"), QStringLiteral("Contents Cleaned"),
        QStringLiteral("Photos"), QStringLiteral("Notes"), QStringLiteral("Billed Amount"), QStringLiteral("Hours"),
        QStringLiteral("How Hear"), QStringLiteral("Entered"), QStringLiteral("Edited"), QStringLiteral("Flash") };
    Q_ASSERT(texts.size() == kColumnCount);
    return texts;
}

QString selectSql()
{
    return QStringLiteral(
        "SELECT ID, Customer, JobType, Status, Rep, StartDate, CheckDryingDays, Insurance, Agent, Adjuster, "
        "Paperwork, InitialScope, Software, TypeOfPayment, Rugs, RugsCleaned, Itel, ItelDate, AdjusterUpdatedDate, "
        "AdjusterUpdatedBy, CarpetCleanRooms, TimeOfService, TypeOfService, EstimateComplete, Billed, COS, MoveOut, "
        "CleanHVAC, ContentsCleaned, Photos, Notes, AmountBilled, HowHear, EnteredBy, EnteredDate, EditedBy, "
        "EditedDate FROM WIP");
}

QSqlQuery selectJobs(data::Connection &db)
{
    return db.exec(selectSql());
}

void readBoardLine(const QSqlQuery &query, const QDate &today, int dryingLimit, BoardLine &line)
{
    const QDateTime start = query.value(FStartDate).toDateTime();
    const bool checkDrying = query.value(FCheckDryingDays).toBool();
    line.dryingDays = checkDrying ? DryingDays::daysSince(start.date(), today) : 0;
    line.status = query.value(FStatus).toString();
    line.type = query.value(FJobType).toString();
    line.dryingAlert = DryingDays::inAlert(line.status, checkDrying, line.dryingDays, dryingLimit);

    QString &text = line.text;
    text.clear();
    auto add = [&text](const QString &cell) {
        text += cell;
        text += u'\t';
    };
    add(valueText(query.value(FId)));
    add(query.value(FCustomer).toString());
    add(line.type);
    add(line.status);
    add(query.value(FRep).toString());
    add(dateText(query.value(FStartDate)));
    add(checkDrying ? QString::number(line.dryingDays) : QString());
    for (int f = FInsurance; f <= FTypeOfPayment; ++f)
        add(query.value(f).toString());
    add(valueText(query.value(FRugs)));
    add(boolText(query.value(FRugsCleaned).toBool()));
    add(boolText(query.value(FItel).toBool()));
    add(dateText(query.value(FItelDate)));
    add(dateText(query.value(FAdjusterUpdatedDate)));
    add(query.value(FAdjusterUpdatedBy).toString());
    add(valueText(query.value(FCarpetCleanRooms)));
    add(query.value(FTimeOfService).toString());
    add(query.value(FTypeOfService).toString());
    for (int f = FEstimateComplete; f <= FPhotos; ++f)
        add(boolText(query.value(f).toBool()));
    add(query.value(FNotes).toString());
    add(valueText(query.value(FAmountBilled)));
    add(QStringLiteral("0"));
    add(query.value(FHowHear).toString());
    add(Formats::stamp(query.value(FEnteredBy), query.value(FEnteredDate)));
    add(Formats::stamp(query.value(FEditedBy), query.value(FEditedDate)));
    text += boolText(line.dryingAlert);
}

std::optional<quint32> jobTypeColour(const QString &jobType)
{
    if (jobType == u"Fire")
        return 0xC0C0FFu;
    if (jobType == u"Water")
        return 0xFFFFC0u;
    if (jobType == u"Work Order")
        return 0xC0FFFFu;
    return std::nullopt;
}

StatusColours loadStatusColours(data::Connection &db)
{
    StatusColours colours;
    QSqlQuery query = db.exec(QStringLiteral("SELECT Name, ColorCode FROM WIPStatus"));
    while (query.next())
        colours.insert(
            query.value(0).toString(), Colors::parseOr(query.value(1).toString(), Colors::kWindowBackground));
    return colours;
}

quint32 statusColour(const StatusColours &colours, const QString &status)
{
    return colours.value(status, Colors::kWindowBackground);
}

} // namespace board
