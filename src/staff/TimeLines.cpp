#include "staff/TimeLines.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "staff/TimeEntry.h"

namespace staff {

namespace {

    // The texts of each distinct date value, worked out once: a list holds
    // many bookings of few days. Keyed by the value as the driver hands it
    // back (ISO text from SQLite, a date-time from the servers).
    class DateTexts
    {
    public:
        // "Who - when" in the general form, for a stamp.
        QString stamp(const QVariant &who, const QVariant &when)
        {
            return who.toString() + QStringLiteral(" - ") + text(when).general;
        }
        // The date in ISO form, which the date column reads fast and shows
        // in the user's form: the date alone at midnight.
        const QString &iso(const QVariant &when) { return text(when).iso; }

    private:
        struct Texts
        {
            QString general;
            QString iso;
        };
        const Texts &text(const QVariant &value)
        {
            if (value.typeId() == QMetaType::QDateTime) {
                const QDateTime dateTime = value.toDateTime();
                const qint64 key = dateTime.date().toJulianDay() * 86400000 + dateTime.time().msecsSinceStartOfDay();
                auto known = m_byValue.constFind(key);
                if (known == m_byValue.cend())
                    known = m_byValue.insert(key, texts(dateTime));
                return *known;
            }
            const QString key = value.isNull() ? QString() : value.toString();
            // Rows come by date: the last value is the likeliest.
            if (m_last && key == m_lastText)
                return *m_last;
            auto known = m_byText.constFind(key);
            if (known == m_byText.cend())
                known = m_byText.insert(key, texts(data::dateTimeOf(value)));
            m_lastText = key;
            m_last = &*known;
            return *known;
        }
        static Texts texts(const QDateTime &value)
        {
            if (!value.isValid())
                return {};
            const bool midnight = value.time() == QTime(0, 0);
            return { generalDate(value),
                midnight ? value.date().toString(Qt::ISODate)
                         : value.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) };
        }

        QHash<qint64, Texts> m_byValue;
        QHash<QString, Texts> m_byText;
        QString m_lastText;
        const Texts *m_last = nullptr;
    };

} // namespace

QString lineText(const TimeLine &line)
{
    return lineText(line, Formats::plainNumber(line.hours));
}

QString lineText(const TimeLine &line, QStringView hours)
{
    const QString id = QString::number(line.id);
    QString text;
    text.reserve(id.size() + line.date.size() + line.who.size() + hours.size() + line.notes.size() + line.entered.size()
        + line.edited.size() + 6);
    const QChar tab(u'\t');
    text.append(id).append(tab).append(line.date).append(tab).append(line.who).append(tab).append(hours).append(tab);
    const qsizetype notes = text.size();
    text.append(line.notes);
    // A tab inside a note would move the cells after it.
    for (qsizetype i = notes; i < text.size(); ++i) {
        if (text.at(i) == tab)
            text[i] = u' ';
    }
    text.append(tab).append(line.entered).append(tab).append(line.edited);
    return text;
}

QList<TimeLine> readLines(data::Rows &q, const std::function<QString(const QVariant &, const QVariant &)> &who)
{
    DateTexts dates;
    QList<TimeLine> lines;
    while (q.next()) {
        TimeLine line;
        line.id = q.value(0).toLongLong();
        line.date = dates.iso(q.value(1));
        line.who = who(q.value(2), q.value(3));
        line.hours = q.value(4).toDouble();
        line.notes = q.value(5).toString();
        line.entered = dates.stamp(q.value(6), q.value(7));
        line.edited = dates.stamp(q.value(8), q.value(9));
        lines.append(std::move(line));
    }
    return lines;
}

QString employeeBookingsSql()
{
    return QStringLiteral(
        "SELECT EmployeeTime.ID, EmployeeTime.TranDate, WIP.Customer, WIP.ID, EmployeeTime.Hours,"
        " EmployeeTime.Notes, EmployeeTime.EnteredBy, EmployeeTime.EnteredDate,"
        " EmployeeTime.EditedBy, EmployeeTime.EditedDate"
        " FROM EmployeeTime LEFT JOIN WIP ON EmployeeTime.WIPID=WIP.ID"
        " WHERE EmployeeTime.EmployeeID=? AND EmployeeTime.TranDate >= ? AND EmployeeTime.TranDate <= ?"
        " ORDER BY EmployeeTime.TranDate, EmployeeTime.ID");
}

QList<TimeLine> employeeBookings(data::Connection &db, qint64 employeeId, const QDateTime &from, const QDateTime &to)
{
    // The bounds go as date-time values, never as text a server would have
    // to read in some locale's form.
    data::Rows q = db.exec(employeeBookingsSql(), { employeeId, from, to });
    // An employee books many days on few jobs: each job's text is made once.
    QHash<qint64, QString> jobs;
    return readLines(q, [&jobs](const QVariant &customer, const QVariant &job) {
        if (job.isNull())
            return QString();
        const qint64 id = job.toLongLong();
        auto known = jobs.constFind(id);
        if (known == jobs.cend())
            known = jobs.insert(id, customer.toString() + QStringLiteral(" - ") + QString::number(id));
        return *known;
    });
}

} // namespace staff
