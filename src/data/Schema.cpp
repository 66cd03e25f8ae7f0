#include "data/Schema.h"

#include "data/Database.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>

namespace data {

namespace {

    QString readResource(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            throw DbError(QStringLiteral("-1"), QStringLiteral("Cannot read %1").arg(path));
        return QString::fromUtf8(file.readAll());
    }

} // namespace

QStringList splitScript(const QString &script)
{
    QStringList statements;
    QStringList current;
    const auto flush = [&] {
        const QString text = current.join(u'\n').trimmed();
        // A chunk of comments only is no statement.
        bool onlyComments = true;
        for (const QString &line : current) {
            const QString t = line.trimmed();
            if (!t.isEmpty() && !t.startsWith(QStringLiteral("--")))
                onlyComments = false;
        }
        if (!text.isEmpty() && !onlyComments)
            statements << text;
        current.clear();
    };
    for (const QString &line : script.split(u'\n')) {
        if (line.trimmed().compare(QStringLiteral("GO"), Qt::CaseInsensitive) == 0)
            flush();
        else
            current << line;
    }
    flush();
    return statements;
}

QMap<QString, QStringList> expectedTables()
{
    static const QMap<QString, QStringList> tables = [] {
        QMap<QString, QStringList> result;
        static const QRegularExpression create(
            QStringLiteral(R"(CREATE TABLE (\w+) \(\n(.*?)\n\))"), QRegularExpression::DotMatchesEverythingOption);
        const QString script = readResource(QStringLiteral(":/schema/sqlite.sql"));
        auto it = create.globalMatch(script);
        while (it.hasNext()) {
            const auto match = it.next();
            QStringList columns;
            for (const QString &line : match.captured(2).split(u'\n')) {
                const QString column = line.trimmed().section(u' ', 0, 0);
                if (!column.isEmpty())
                    columns << column;
            }
            result.insert(match.captured(1), columns);
        }
        return result;
    }();
    return tables;
}

void createSchema(Connection &db)
{
    const QString script = readResource(db.dialect().schemaScript());
    const QString lookups = readResource(QStringLiteral(":/schema/lookups.sql"));
    Transaction transaction(db);
    for (const QString &statement : splitScript(script) + splitScript(lookups))
        db.execScript(statement);
    transaction.commit();
}

QStringList checkSchema(Connection &db)
{
    QStringList missing;
    const auto tables = expectedTables();
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        QSqlRecord record;
        try {
            record = db.exec(QStringLiteral("SELECT * FROM %1 WHERE 1=0").arg(it.key())).record();
        } catch (const DbError &) {
            missing << QStringLiteral("table %1").arg(it.key());
            continue;
        }
        for (const QString &column : it.value()) {
            if (record.indexOf(column) < 0)
                missing << QStringLiteral("column %1.%2").arg(it.key(), column);
        }
    }
    return missing;
}

} // namespace data
