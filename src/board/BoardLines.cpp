#include "board/BoardLines.h"

#include "base/DryingDays.h"
#include "base/Formats.h"

#include <QDateTime>
#include <QVariant>

namespace board {

namespace {

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
    add(valueText(query.value(FTotalTime)));
    add(query.value(FHowHear).toString());
    add(Formats::stamp(query.value(FEnteredBy), query.value(FEnteredDate)));
    add(Formats::stamp(query.value(FEditedBy), query.value(FEditedDate)));
    text += boolText(line.dryingAlert);
}

} // namespace board
