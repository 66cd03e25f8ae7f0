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
    QSqlQuery q = testdb::exec(QStringLiteral("SELECT UserID, Action FROM EmployeeLog ORDER BY ID"));
    while (q.next())
        rows.append({ q.value(0).toInt(), q.value(1).toString() });
    return rows;
}
