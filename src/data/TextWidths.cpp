#include "data/TextWidths.h"

#include "base/Passwords.h"
#include "data/Database.h"
#include "data/Schema.h"

#include <QMutex>
#include <QRegularExpression>
#include <algorithm>

namespace data {

namespace {

    QString key(const QString &table, const QString &column)
    {
        return table.toLower() + u'.' + column.toLower();
    }

    // Worker threads save too; the widths are set once at start-up.
    QMutex g_mutex;
    std::optional<DeclaredWidths> g_declared;

    int neededWidth(const QString &table, const QString &column)
    {
        // A password is stored as its hash, however short the password.
        if (key(table, column) == u"employee.password")
            return Passwords::hashLength();
        return scriptWidth(table, column);
    }

} // namespace

std::optional<DeclaredWidths> readDeclaredWidths(Connection &db)
{
    const QStringList tables = expectedTables().keys();
    const QString sql = db.dialect().textColumnWidths(tables.size());
    if (sql.isEmpty())
        return std::nullopt;
    QVariantList names;
    for (const QString &table : tables)
        names << table;
    DeclaredWidths widths;
    Rows q = db.exec(sql, names);
    while (q.next()) {
        const bool nullable = q.value(3).toString().trimmed().compare(u"NO", Qt::CaseInsensitive) != 0;
        widths.insert(key(q.value(0).toString(), q.value(1).toString()), { q.value(2).toInt(), nullable });
    }
    return widths;
}

void useDeclaredWidths(std::optional<DeclaredWidths> widths)
{
    const QMutexLocker lock(&g_mutex);
    g_declared = std::move(widths);
}

int textWidth(const QString &table, const QString &column)
{
    {
        const QMutexLocker lock(&g_mutex);
        // A column the catalog gave no width (a server's unlimited text)
        // keeps the script's: a limit to spare rather than none.
        if (g_declared) {
            const auto declared = g_declared->constFind(key(table, column));
            if (declared != g_declared->cend())
                return declared->width;
        }
    }
    return scriptWidth(table, column);
}

std::optional<FieldProblem> tooLong(const QString &table, const QList<QPair<QString, QVariant>> &values)
{
    static const QRegularExpression wordStart(QStringLiteral("(?<=[a-z])(?=[A-Z])|(?<=[A-Z])(?=[A-Z][a-z])"));
    for (const auto &[column, value] : values) {
        if (value.typeId() != QMetaType::QString)
            continue;
        const int width = textWidth(table, column);
        if (width > 0 && value.toString().size() > width) {
            QString label = column;
            label.replace(wordStart, QStringLiteral(" "));
            return FieldProblem { column, QStringLiteral("%1 is longer than %2 characters.").arg(label).arg(width),
                QStringLiteral("Text Too Long") };
        }
    }
    return std::nullopt;
}

QList<NarrowColumn> narrowColumns(const DeclaredWidths &widths)
{
    QList<NarrowColumn> narrow;
    const auto tables = expectedTables();
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        for (const QString &column : it->columns) {
            // Not in the catalog: missing, or a text of any length.
            const auto declared = widths.constFind(key(it.key(), column));
            if (declared == widths.cend())
                continue;
            const int needed = neededWidth(it.key(), column);
            if (declared->width < needed)
                narrow << NarrowColumn { it.key(), column, declared->width, needed,
                    std::max(needed, scriptWidth(it.key(), column)), declared->nullable };
        }
    }
    return narrow;
}

QString describe(const NarrowColumn &column)
{
    return QStringLiteral("column %1.%2 holds %3 characters, needs %4")
        .arg(column.table, column.column)
        .arg(column.width)
        .arg(column.needed);
}

} // namespace data
