#include "support/TestHelpers.h"

#include "support/TestDb.h"

#include "data/Database.h"

#include <QSqlQuery>

QStringList shownMessages()
{
    QStringList lines;
    for (const Messages::Shown &m : Messages::shown()) {
        lines << m.title + QStringLiteral(": ") + m.text
                + (m.icon == Messages::Icon::Exclamation ? QStringLiteral(" (!)") : QString())
                + (m.buttons != QMessageBox::Ok ? QStringLiteral(" (buttons)") : QString());
    }
    return lines;
}

QList<LogRow> employeeLog()
{
    QList<LogRow> rows;
    data::Rows q = testdb::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
    while (q.next())
        rows.append({ q.value(0).toInt(), q.value(1).toString() });
    return rows;
}

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows { {} };
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' && quoted && text.mid(i + 1, 1) == u"\"")
            field += text[++i];
        else if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u',' || c == u'\r')) {
            rows.last() << field;
            field.clear();
            if (c == u'\r' && ++i < text.size() - 1)
                rows << QStringList();
        } else
            field += c;
    }
    return rows;
}
