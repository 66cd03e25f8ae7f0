#include "board/BoardLines.h"

#include "base/Clock.h"
#include "base/Colors.h"
#include "base/DryingDays.h"
#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "drying/DryingLog.h"
#include "equipment/Equipment.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QStringDecoder>
#include <QVariant>
#include <algorithm>
#include <array>
#include <vector>

namespace board {

namespace {

    // Between the packed fields of a row; a value holding it is read
    // again column by column.
    constexpr char16_t kFieldSeparator = u'\x1f';
    // PostgreSQL's packed text: the escape character, and what follows it
    // for a separator inside a value.
    constexpr char16_t kEscape = u'\x1e';
    constexpr char16_t kEscapedSeparator = u'\x1d';

    using Fields = std::array<QStringView, kBoardFieldCount>;

    constexpr QStringView kTrue = u"True";
    constexpr QStringView kFalse = u"False";
    constexpr QStringView kStampSeparator = u" - ";

    // A stored date-time as its wall-clock parts, read without building a
    // date: a board reads five of them per job.
    struct Stamp
    {
        int ymd = 0; // yyyymmdd; 0 for none
        int msecs = 0; // since midnight
        // Read from "yyyy-MM-dd[ HH:mm:ss[.fff]]" text as it stands.
        bool plain = false;
        bool isValid() const { return ymd != 0; }
        QDate date() const { return QDate(ymd / 10000, ymd / 100 % 100, ymd % 100); }
        QTime time() const { return QTime::fromMSecsSinceStartOfDay(msecs); }
    };

    int digits(QStringView text, qsizetype from, qsizetype count)
    {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    }

    // "yyyy-MM-dd", optionally followed by "T" or a blank and "HH:mm",
    // ":ss" and a fraction, as the drivers hand dates over. Anything else goes
    // through the one date reader.
    Stamp readStamp(QStringView text)
    {
        if (text.isEmpty())
            return {};
        if (text.size() >= 10 && text[4] == u'-' && text[7] == u'-') {
            const int y = digits(text, 0, 4);
            const int m = digits(text, 5, 2);
            const int d = digits(text, 8, 2);
            const bool date = y > 0 && QDate::isValid(y, m, d);
            const int ymd = y * 10000 + m * 100 + d;
            if (date && text.size() == 10)
                return { ymd, 0, true };
            if (date && text.size() >= 16 && (text[10] == u'T' || text[10] == u' ') && text[13] == u':') {
                const int hours = digits(text, 11, 2);
                const int minutes = digits(text, 14, 2);
                int seconds = 0;
                int msecs = 0;
                qsizetype end = 16;
                if (text.size() >= 19 && text[16] == u':') {
                    seconds = digits(text, 17, 2);
                    end = 19;
                    if (text.size() > 20 && text[19] == u'.') {
                        // Milliseconds: the first three digits of the fraction.
                        for (end = 20; end < text.size() && text[end].isDigit(); ++end) {
                            if (end < 23)
                                msecs = msecs * 10 + (text[end].unicode() - u'0');
                        }
                        for (qsizetype scale = end; scale < 23; ++scale)
                            msecs *= 10;
                    }
                }
                if (QTime::isValid(hours, minutes, seconds, msecs) && end == text.size())
                    return { ymd, ((hours * 60 + minutes) * 60 + seconds) * 1000 + msecs, true };
            }
        }
        const QDateTime parsed = data::dateTimeOf(text.toString());
        if (!parsed.isValid())
            return {};
        const QDate date = parsed.date();
        return { date.year() * 10000 + date.month() * 100 + date.day(), parsed.time().msecsSinceStartOfDay(), false };
    }

    // The general date-and-time text (Formats::dateTime) of many stamps. The
    // format splits into a date half and a time half, each formatted once per
    // distinct day and time; a locale whose format does not split cleanly is
    // formatted whole, value by value.
    class GeneralDateTimes
    {
    public:
        GeneralDateTimes()
        {
            const QString format = Formats::generalDateTimeFormat(m_locale);
            const qsizetype split = timeStart(format);
            if (split <= 0)
                return;
            m_dateFormat = format.left(split);
            m_timeFormat = format.mid(split);
            m_split = true;
            // The halves must give what the whole format gives.
            for (const QDateTime &sample : { QDateTime(QDate(2023, 1, 5), QTime(7, 8, 9)),
                     QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)), QDateTime(QDate(1999, 6, 15), QTime(12, 0)) }) {
                QString text;
                const QDate day = sample.date();
                append(
                    text, { day.year() * 10000 + day.month() * 100 + day.day(), sample.time().msecsSinceStartOfDay() });
                if (text != Formats::dateTime(sample)) {
                    m_split = false;
                    return;
                }
            }
        }

        void append(QString &out, const Stamp &stamp)
        {
            if (!stamp.isValid())
                return;
            if (!m_split) {
                out += Formats::dateTime(QDateTime(stamp.date(), stamp.time()));
                return;
            }
            auto day = m_dates.constFind(stamp.ymd);
            if (day == m_dates.cend())
                day = m_dates.insert(stamp.ymd, m_locale.toString(stamp.date(), m_dateFormat));
            out += *day;
            auto time = m_times.constFind(stamp.msecs);
            if (time == m_times.cend())
                time = m_times.insert(stamp.msecs, m_locale.toString(stamp.time(), m_timeFormat));
            out += *time;
        }

    private:
        // Where the first time field (hours, minutes, seconds, AM/PM, zone)
        // begins, outside quoted text; -1 when a date field follows it.
        static qsizetype timeStart(const QString &format)
        {
            qsizetype first = -1;
            bool quoted = false;
            for (qsizetype i = 0; i < format.size(); ++i) {
                const QChar c = format[i];
                if (c == u'\'') {
                    quoted = !quoted;
                    continue;
                }
                if (quoted)
                    continue;
                if (first < 0 && QStringView(u"hHmszaAt").contains(c))
                    first = i;
                else if (first >= 0 && QStringView(u"dMy").contains(c))
                    return -1;
            }
            return first;
        }

        QLocale m_locale;
        QString m_dateFormat;
        QString m_timeFormat;
        bool m_split = false;
        QHash<int, QString> m_dates;
        QHash<int, QString> m_times;
    };

    void appendText(QString &out, QStringView value)
    {
        if (!value.contains(u'\t')) {
            out += value;
            return;
        }
        const qsizetype from = out.size();
        out += value;
        for (qsizetype i = from; i < out.size(); ++i) {
            if (out[i] == u'\t')
                out[i] = u' ';
        }
    }

    // As QVariant reads a flag: empty, "0" and "false" are false; a number is
    // true when it is not 0; other text is true.
    bool isTrue(QStringView value)
    {
        if (value.isEmpty() || value == u"0" || value.compare(u"false", Qt::CaseInsensitive) == 0)
            return false;
        if (value == u"1")
            return true;
        bool ok = false;
        const double number = QLocale::c().toDouble(value, &ok);
        return !ok || number != 0;
    }

    // A number as Formats::plainNumber() writes it. SQLite's text of a real
    // has a ".0" that it does not ("3.0", "1.0e+20").
    void appendNumber(QString &out, QStringView value)
    {
        if (value.endsWith(u".0")) {
            out += value.chopped(2);
            return;
        }
        // Short texts: a plain loop beats a substring search.
        for (qsizetype i = 1; i + 2 < value.size(); ++i) {
            if (value[i] == u'.' && value[i + 1] == u'0' && (value[i + 2] == u'e' || value[i + 2] == u'E')) {
                out += value.left(i);
                out += value.mid(i + 2);
                return;
            }
        }
        appendText(out, value);
    }

    // A date cell: ISO text, the time of day only when there is one.
    void appendDate(QString &out, QStringView raw, const Stamp &stamp)
    {
        if (!stamp.isValid()) {
            appendText(out, raw);
            return;
        }
        // The driver's own ISO text where it has that shape: no formatting.
        out += stamp.plain ? raw.left(10) : QStringView(stamp.date().toString(Qt::ISODate));
        if (stamp.msecs == 0)
            return;
        out += u'T';
        out += stamp.plain && raw.size() >= 19 ? raw.mid(11, 8) : QStringView(stamp.time().toString(u"HH:mm:ss"));
    }

    // A value of the column reader as the packed reader has it.
    void packedText(const QVariant &value, QString &out)
    {
        if (value.isNull()) {
            out.clear();
            return;
        }
        switch (value.typeId()) {
        case QMetaType::QDateTime:
            out = value.toDateTime().toString(u"yyyy-MM-ddTHH:mm:ss.zzz");
            break;
        case QMetaType::QDate:
            out = value.toDate().toString(Qt::ISODate);
            break;
        case QMetaType::Bool:
            out = value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            out = Formats::plainNumber(value.toDouble());
            break;
        default:
            out = value.toString();
            break;
        }
    }

    // One text value per job, its fields joined by the separator, so the
    // driver hands over a single string rather than converting every column.
    // SQLite formats it with printf (the format is the first parameter).
    // PostgreSQL joins the fields' text (the separator is the first
    // parameter): dates in ISO form whatever the server's DateStyle, flags
    // as 1 or 0, numbers as the server writes them; NULL as nothing, as
    // printf has it. A job cannot be read again while PostgreSQL's rows are
    // still coming, so there a text holding the separator has it escaped
    // (kEscape kEscapedSeparator), and the escape character itself doubled.
    QString packedSelectList(const data::Dialect &dialect)
    {
        if (dialect.kind() == data::DbKind::SQLite)
            return QStringLiteral("CAST(printf(?, %1) AS BLOB)").arg(boardFieldColumns().join(QStringLiteral(", ")));
        QStringList fields;
        for (int f = 0; f < kBoardFieldCount; ++f) {
            const QString &column = boardFieldColumns()[f];
            QString text;
            switch (f) {
            case FStartDate:
            case FStatusSince:
            case FItelDate:
            case FAdjusterUpdatedDate:
            case FEnteredDate:
            case FEditedDate:
                text = QStringLiteral("to_char(%1, 'YYYY-MM-DD\"T\"HH24:MI:SS.MS')").arg(column);
                break;
            case FCheckDryingDays:
            case FRugsCleaned:
            case FItel:
            case FEstimateComplete:
            case FBilled:
            case FCos:
            case FMoveOut:
            case FCleanHvac:
            case FContentsCleaned:
            case FPhotos:
                text = QStringLiteral("CAST(CAST(%1 AS INTEGER) AS TEXT)").arg(column);
                break;
            case FId:
            case FRugs:
            case FCarpetCleanRooms:
            case FAmountBilled:
            case FTotalTime:
                text = QStringLiteral("CAST(%1 AS TEXT)").arg(column);
                break;
            default:
                text = QStringLiteral("REPLACE(REPLACE(%1, chr(%2), chr(%2) || chr(%2)), chr(%3), chr(%2) || chr(%4))")
                           .arg(column)
                           .arg(int(kEscape))
                           .arg(int(kFieldSeparator))
                           .arg(int(kEscapedSeparator));
                break;
            }
            fields << QStringLiteral("COALESCE(%1, '')").arg(text);
        }
        return QStringLiteral("CONCAT_WS(CAST(? AS TEXT), %1)").arg(fields.join(QStringLiteral(", ")));
    }

    QString packedFormat(const data::Dialect &dialect)
    {
        if (dialect.kind() != data::DbKind::SQLite)
            return QString(QChar(kFieldSeparator));
        QStringList parts;
        for (int i = 0; i < kBoardFieldCount; ++i)
            parts << QStringLiteral("%s");
        return parts.join(QChar(kFieldSeparator));
    }

    bool usesPacked(const data::Dialect &dialect, BoardReader::Source source)
    {
        return source == BoardReader::Source::Fastest
            && (dialect.kind() == data::DbKind::SQLite || dialect.kind() == data::DbKind::PostgreSQL);
    }

} // namespace

struct BoardReader::Private
{
    data::Connection &db;
    QDate today;
    int dryingLimit = 0;
    bool alertFromLog = false;
    // Jobs with a drying log; empty unless asked for.
    QHash<qint64, drying::JobSummary> dryingLog;
    QHash<qint64, equipment::JobEquipment> unitsOnJobs; // the units on each job and its equipment-days
    bool packed = false;
    // Packed text with the separator escaped in values (PostgreSQL).
    bool escaped = false;
    data::Rows query;
    // Few statuses: a scan without building a key per line.
    QList<StatusLook> statuses;
    GeneralDateTimes dateTimes;

    QString packedRow;
    // The fields lie in packedRow, one after the other.
    bool contiguous = false;
    QStringDecoder decoder { QStringDecoder::Utf8, QStringDecoder::Flag::Stateless };
    std::array<QString, kBoardFieldCount> cells;
    Fields fields;

    explicit Private(data::Connection &connection)
        : db(connection)
    {
    }

    bool splitPacked()
    {
        const QStringView row(packedRow);
        qsizetype from = 0;
        for (int f = 0; f < kBoardFieldCount; ++f) {
            const qsizetype end = f + 1 < kBoardFieldCount ? row.indexOf(kFieldSeparator, from) : row.size();
            if (end < 0)
                return false;
            fields[size_t(f)] = row.mid(from, end - from);
            from = end + 1;
        }
        return !fields.back().contains(kFieldSeparator);
    }

    void readColumns(data::Rows &q)
    {
        for (int f = 0; f < kBoardFieldCount; ++f) {
            packedText(q.value(f), cells[size_t(f)]);
            fields[size_t(f)] = cells[size_t(f)];
        }
    }

    // The fields of PostgreSQL's packed text with an escape in them, each
    // as it is stored.
    void unescapeFields()
    {
        for (int f = 0; f < kBoardFieldCount; ++f) {
            QString &cell = cells[size_t(f)];
            cell.resize(0);
            const QStringView field = fields[size_t(f)];
            for (qsizetype i = 0; i < field.size(); ++i) {
                if (field[i] == kEscape && i + 1 < field.size()) {
                    ++i;
                    cell += field[i] == kEscapedSeparator ? QChar(kFieldSeparator) : field[i];
                } else {
                    cell += field[i];
                }
            }
        }
        for (int f = 0; f < kBoardFieldCount; ++f)
            fields[size_t(f)] = cells[size_t(f)];
        contiguous = false;
    }

    // A packed row whose values held the separator: that job column by column.
    void rereadJob(QStringView id)
    {
        data::Rows q = db.exec(QStringLiteral("SELECT %1 FROM WIP LEFT JOIN "
                                              "(SELECT WIPID, SUM(Hours) AS TotalTime FROM EmployeeTime "
                                              "WHERE WIPID = ? GROUP BY WIPID) T ON T.WIPID = WIP.ID WHERE WIP.ID = ?")
                                   .arg(boardFieldColumns().join(QStringLiteral(", "))),
            { id.toLongLong(), id.toLongLong() });
        if (q.next())
            readColumns(q);
        else
            fields.fill({});
    }

    // The status's look; nothing for a status WIPStatus does not list.
    const StatusLook *status(QStringView name) const
    {
        for (const StatusLook &look : statuses) {
            if (look.name == name)
                return &look;
        }
        return nullptr;
    }

    void build(BoardLine &line)
    {
        const Fields &f = fields;
        QString &out = line.text;
        // Emptied, not cleared: the buffer serves every line.
        out.resize(0);
        // Runs of text fields: from a packed row in one piece, a tab where
        // each separator was (and a blank for a tab inside a value).
        const bool tabs = contiguous && packedRow.contains(u'\t');
        auto texts = [&out, &f, tabs, this](int first, int last) {
            if (!contiguous) {
                for (int i = first; i <= last; ++i) {
                    appendText(out, f[size_t(i)]);
                    out += u'\t';
                }
                return;
            }
            const qsizetype from = out.size();
            const QChar *begin = f[size_t(first)].data();
            out.append(begin, f[size_t(last)].data() + f[size_t(last)].size() - begin);
            QChar *run = out.data() + from;
            if (tabs)
                std::replace(run, out.data() + out.size(), QChar(u'\t'), QChar(u' '));
            for (int i = first; i < last; ++i)
                run[f[size_t(i)].data() + f[size_t(i)].size() - begin] = u'\t';
            out += u'\t';
        };
        auto number = [&out](QStringView value) {
            appendNumber(out, value);
            out += u'\t';
        };
        auto flag = [&out](QStringView value) {
            out += isTrue(value) ? kTrue : kFalse;
            out += u'\t';
        };
        auto date = [&out](QStringView value) {
            appendDate(out, value, readStamp(value));
            out += u'\t';
        };
        auto stamp = [&out, this](QStringView who, QStringView when) {
            appendText(out, who);
            out += kStampSeparator;
            dateTimes.append(out, readStamp(when));
            out += u'\t';
        };

        texts(FId, FRep);
        const Stamp start = readStamp(f[FStartDate]);
        appendDate(out, f[FStartDate], start);
        out += u'\t';
        // No start date, no count: a missing date is not day 0.
        const bool counted = isTrue(f[FCheckDryingDays]) && start.isValid();
        const int days = counted ? DryingDays::daysSince(start.date(), today) : 0;
        if (counted)
            out += QString::number(days);
        out += u'\t';
        // Days in the status; a job starting later has been in it 0 days.
        const Stamp since = readStamp(f[FStatusSince]);
        const qint64 inStatus = since.isValid() ? std::max<qint64>(0, since.date().daysTo(today)) : 0;
        if (since.isValid())
            out += QString::number(inStatus);
        out += u'\t';
        const StatusLook *look = status(f[FStatus]);
        line.statusAlert = since.isValid() && look && look->alertDays >= 0 && inStatus > look->alertDays;
        texts(FInsurance, FTypeOfPayment);
        number(f[FRugs]);
        flag(f[FRugsCleaned]);
        flag(f[FItel]);
        date(f[FItelDate]);
        date(f[FAdjusterUpdatedDate]);
        texts(FAdjusterUpdatedBy, FAdjusterUpdatedBy);
        number(f[FCarpetCleanRooms]);
        texts(FTimeOfService, FTypeOfService);
        for (int i = FEstimateComplete; i <= FPhotos; ++i)
            flag(f[size_t(i)]);
        texts(FNotes, FNotes);
        number(f[FAmountBilled]);
        number(f[FTotalTime].isEmpty() ? QStringView(u"0") : f[FTotalTime]);
        texts(FHowHear, FHowHear);
        stamp(f[FEnteredBy], f[FEnteredDate]);
        stamp(f[FEditedBy], f[FEditedDate]);

        line.dryingAlert = counted && DryingDays::inAlert(f[FStatus].toString(), true, days, dryingLimit);
        line.dryingTip.resize(0);
        if (!dryingLog.isEmpty()) {
            const auto summary = dryingLog.constFind(f[FId].toLongLong());
            if (summary != dryingLog.cend()) {
                line.dryingTip = drying::summaryText(*summary, today);
                line.dryingAlert = drying::boardAlert(line.dryingAlert, alertFromLog, &*summary);
            }
        }
        if (const auto units = unitsOnJobs.constFind(f[FId].toLongLong()); units != unitsOnJobs.cend()) {
            if (!line.dryingTip.isEmpty())
                line.dryingTip += u'\n';
            line.dryingTip += equipment::summaryText(*units);
        }
        out += line.dryingAlert ? kTrue : kFalse;

        line.rowColour = jobTypeColour(f[FJobType]);
        line.statusColour = look ? look->colour : Colors::kWindowBackground;
    }
};

BoardReader::BoardReader(data::Connection &db, const Filter &filter, const QDate &today, int dryingLimit, Source source)
    : BoardReader(db, filter, today, dryingLimit, DryingLogOptions {}, source)
{
}

BoardReader::BoardReader(data::Connection &db, const Filter &filter, const QDate &today, int dryingLimit,
    const DryingLogOptions &drying, Source source)
    : d(std::make_unique<Private>(db))
{
    d->today = today;
    d->dryingLimit = dryingLimit;
    d->alertFromLog = drying.alertFromLog;
    if (drying.summaries) {
        d->dryingLog = drying::loadSummaries(db);
        d->unitsOnJobs = equipment::loadJobSummaries(db, Clock::now());
    }
    d->statuses = loadStatusLooks(db);

    d->packed = usesPacked(db.dialect(), source);
    d->escaped = d->packed && db.dialect().kind() == data::DbKind::PostgreSQL;
    const Select select = statement(db.dialect(), filter, source);
    d->query = db.exec(select.sql, select.params);
}

Select BoardReader::statement(const data::Dialect &dialect, const Filter &filter, Source source)
{
    if (!usesPacked(dialect, source))
        return selectStatement(dialect, filter, selectList(JobColumns::Board));
    Select select = selectStatement(dialect, filter, packedSelectList(dialect));
    select.params.prepend(packedFormat(dialect));
    return select;
}

BoardReader::~BoardReader() = default;

bool BoardReader::next(BoardLine &line)
{
    // Throws when the rows could not all be read: never a short board.
    if (!d->query.next())
        return false;
    if (d->packed) {
        const QVariant value = d->query.value(0);
        if (value.typeId() == QMetaType::QString) {
            d->packedRow = value.toString();
        } else {
            // Decoded into the same buffer for every job.
            const QByteArray bytes = value.toByteArray();
            d->packedRow.resize(bytes.size());
            const QChar *end = d->decoder.appendToBuffer(d->packedRow.data(), bytes);
            d->packedRow.resize(end - d->packedRow.constData());
        }
        d->contiguous = d->splitPacked();
        if (d->contiguous && d->escaped && d->packedRow.contains(kEscape))
            d->unescapeFields();
        else if (!d->contiguous)
            d->rereadJob(QStringView(d->packedRow).left(d->packedRow.indexOf(kFieldSeparator)));
    } else {
        d->contiguous = false;
        d->readColumns(d->query);
    }
    d->build(line);
    return true;
}

} // namespace board
