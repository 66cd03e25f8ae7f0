#include "support/TestHelpers.h"

#include "support/TestDb.h"

#include "data/Database.h"

#include <QProcess>
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

namespace {

// 10,000 UTF-16 units: a letter, then emoji, so that a cut at any even width
// would fall inside a character.
QString longText()
{
    QString text = QStringLiteral("a");
    while (text.size() < 9999)
        text += QStringLiteral("\U0001F4A7");
    text += u'z';
    return text;
}

} // namespace

const QList<QPair<QString, QString>> &hostileTexts()
{
    static const QList<QPair<QString, QString>> texts {
        { "quotes", QStringLiteral("O'Brien \"The Hammer\" '' \"\"") },
        { "injection", QStringLiteral("'; DROP TABLE WIP;--") },
        { "wildcards", QStringLiteral("100% _done_ * [x] ! \\% \\_ \\") },
        { "tab and newlines", QStringLiteral("col1\tcol2\nline2\r\nline3") },
        { "emoji", QStringLiteral("\U0001F525 Fire \U0001F4A7 Water \U0001F3E0") },
        { "accented", QStringLiteral("Crème Brûlée Ångström Łódź Ñandú") },
        { "right to left", QStringLiteral("שלום עולם مرحبا بالعالم") },
        { "10000 characters", longText() },
        { "empty", QString() },
        { "blanks only", QStringLiteral("   ") },
        { "padded", QStringLiteral("  padded both ends  ") },
    };
    return texts;
}

QString pdfText(const QString &path, int page)
{
    QStringList args { QStringLiteral("-raw") };
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    QProcess process;
    process.start(QStringLiteral("pdftotext"), args << path << QStringLiteral("-"));
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}
