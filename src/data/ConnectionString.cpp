#include "data/ConnectionString.h"

#include <QDir>
#include <stdexcept>
#include <string>

namespace data {

namespace {

    // One "key=value" of a connection string and where its text lies.
    struct Part
    {
        QString key; // trimmed, lower case
        QString value;
        qsizetype begin = 0;
        qsizetype end = 0; // the ';' after it, or the end of the text
    };

    QList<Part> splitParts(const QString &text)
    {
        QList<Part> parts;
        qsizetype i = 0;
        const qsizetype n = text.size();
        while (i < n) {
            while (i < n && (text[i].isSpace() || text[i] == u';'))
                ++i;
            if (i >= n)
                break;
            Part part;
            part.begin = i;
            const qsizetype eq = text.indexOf(u'=', i);
            const qsizetype semi = text.indexOf(u';', i);
            // A part without its own '=' (a stray ';' cut it off, maybe in a
            // password) is refused, never joined to the next part's key; the
            // message names where it starts, never what it says.
            if (eq < 0 || (semi >= 0 && semi < eq))
                throw std::invalid_argument("part " + std::to_string(parts.size() + 1)
                    + " of the connection string (from character " + std::to_string(i + 1) + ") has no '='");
            part.key = text.mid(i, eq - i).trimmed().toLower();
            i = eq + 1;
            while (i < n && text[i] == u' ')
                ++i;
            if (i < n && (text[i] == u'"' || text[i] == u'\'' || text[i] == u'{')) {
                const QChar close = text[i] == u'{' ? u'}' : text[i];
                const bool keepBraces = text[i] == u'{';
                qsizetype end = text.indexOf(close, i + 1);
                // In braces (ODBC), "}}" stands for one '}'.
                while (keepBraces && end >= 0 && end + 1 < n && text[end + 1] == u'}')
                    end = text.indexOf(close, end + 2);
                if (end < 0)
                    throw std::invalid_argument("unterminated quoted value in the connection string");
                part.value = keepBraces ? text.mid(i, end - i + 1) : text.mid(i + 1, end - i - 1);
                i = end + 1;
                while (i < n && text[i] != u';')
                    ++i;
            } else {
                const qsizetype semi = text.indexOf(u';', i);
                const qsizetype end = semi < 0 ? n : semi;
                part.value = text.mid(i, end - i).trimmed();
                i = end;
            }
            part.end = i;
            parts << part;
        }
        return parts;
    }

} // namespace

QMap<QString, QString> parseConnectionString(const QString &text)
{
    QMap<QString, QString> result;
    for (const Part &part : splitParts(text)) {
        if (!part.key.isEmpty())
            result.insert(part.key, part.value);
    }
    return result;
}

namespace {

    QString firstOf(const QMap<QString, QString> &map, std::initializer_list<const char *> keys)
    {
        for (const char *key : keys) {
            auto it = map.find(QString::fromLatin1(key));
            if (it != map.end())
                return it.value();
        }
        return {};
    }

    // The first of the keys the map gives; refused with `missing` when none
    // gives a value.
    QString requiredOf(const QMap<QString, QString> &map, std::initializer_list<const char *> keys, const char *missing)
    {
        const QString value = firstOf(map, keys);
        if (value.isEmpty())
            throw std::invalid_argument(missing);
        return value;
    }

    ConnectionSpec specFor(const char *driver, DbKind kind)
    {
        ConnectionSpec spec;
        spec.driver = QString::fromLatin1(driver);
        spec.kind = kind;
        return spec;
    }

    QString unbrace(QString value)
    {
        if (value.startsWith(u'{') && value.endsWith(u'}'))
            return value.mid(1, value.size() - 2);
        return value;
    }

    // ODBC values holding ';' or a brace must be braced; so must one that
    // starts with a quote, or starts or ends with white space, which a
    // reader of the string would take as quoting or trim.
    QString odbcValue(const QString &value)
    {
        const bool edgeSpace = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
        if (value.contains(u';') || value.contains(u'{') || value.contains(u'}') || value.startsWith(u'"')
            || value.startsWith(u'\'') || edgeSpace)
            return u'{' + QString(value).replace(u"}"_qs, u"}}"_qs) + u'}';
        return value;
    }

    ConnectionSpec sqlite(const QMap<QString, QString> &map, const QString &baseDir)
    {
        ConnectionSpec spec = specFor("QSQLITE", DbKind::SQLite);
        QString file = requiredOf(
            map, { "data source", "database", "dbq", "filename" }, "the SQLite connection string names no Data Source");
        if (QDir::isRelativePath(file) && !baseDir.isEmpty())
            file = QDir(baseDir).filePath(file);
        spec.databaseName = QDir::cleanPath(file);
        spec.options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kConnectTimeoutSeconds * 1000);
        return spec;
    }

    // libpq's time-out and keepalive parameters: the connection string's
    // value where it gives one, else ours. QPSQL hands the options to libpq
    // as they stand, so a value passes only as a whole number written anew:
    // nothing else of the string can reach libpq as a parameter of its own.
    QString postgresOptions(const QMap<QString, QString> &map)
    {
        struct Option
        {
            const char *name;
            int fallback;
        };
        static constexpr Option kOptions[] = { { "connect_timeout", kConnectTimeoutSeconds }, { "keepalives", 1 },
            { "keepalives_idle", kKeepaliveIdleSeconds }, { "keepalives_interval", kKeepaliveIntervalSeconds },
            { "keepalives_count", kKeepaliveCount }, { "tcp_user_timeout", kTcpUserTimeoutMs } };
        QMap<QString, QString> given;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            QString key = it.key().simplified().replace(u' ', u'_');
            // The ADO and Npgsql names of the connect time-out.
            if (key == u"timeout" || key == u"connection_timeout")
                key = QStringLiteral("connect_timeout");
            given.insert(key, it.value());
        }
        QStringList options;
        for (const Option &option : kOptions) {
            const QString name = QString::fromLatin1(option.name);
            int value = option.fallback;
            if (const auto it = given.constFind(name); it != given.cend()) {
                bool ok = false;
                value = it.value().trimmed().toInt(&ok);
                if (!ok || value < 0)
                    throw std::invalid_argument(
                        "the connection string's " + name.toStdString() + " is not a whole number");
            }
            options << name + u'=' + QString::number(value);
        }
        return options.join(u';');
    }

    ConnectionSpec postgres(const QMap<QString, QString> &map)
    {
        ConnectionSpec spec = specFor("QPSQL", DbKind::PostgreSQL);
        spec.host = firstOf(map, { "host", "server", "data source" });
        const QString port = firstOf(map, { "port" });
        if (!port.isEmpty()) {
            bool ok = false;
            spec.port = port.toInt(&ok);
            if (!ok || spec.port <= 0 || spec.port > 65535)
                throw std::invalid_argument("the connection string's Port is not a port number");
        }
        spec.databaseName = requiredOf(
            map, { "database", "initial catalog", "dbname" }, "the PostgreSQL connection string names no Database");
        spec.user = firstOf(map, { "user id", "username", "user", "uid" });
        spec.password = firstOf(map, { "password", "pwd" });
        spec.options = postgresOptions(map);
        return spec;
    }

    QString odbcTimeouts()
    {
        return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(kConnectTimeoutSeconds);
    }

    // An existing installation's "Provider=SQLOLEDB;Data Source=HOST\INSTANCE;..."
    // becomes a DSN-less FreeTDS connection.
    ConnectionSpec sqlServer(const QMap<QString, QString> &map)
    {
        ConnectionSpec spec = specFor("QODBC", DbKind::SqlServer);
        QString server = requiredOf(map, { "data source", "server", "address", "addr" },
            "the SQL Server connection string names no Data Source");
        QString port;
        if (server.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
            server = server.mid(4);
        if (const qsizetype comma = server.indexOf(u','); comma >= 0) {
            port = server.mid(comma + 1).trimmed();
            server = server.left(comma).trimmed();
        }
        QString instance;
        if (const qsizetype slash = server.indexOf(u'\\'); slash >= 0) {
            instance = server.mid(slash + 1);
            server = server.left(slash);
        }
        if (server == u"." || server.compare(u"(local)", Qt::CaseInsensitive) == 0)
            server = QStringLiteral("127.0.0.1");
        QStringList parts;
        parts << QStringLiteral("Driver={FreeTDS}") << u"Server="_qs + odbcValue(server);
        if (!port.isEmpty())
            parts << u"Port="_qs + odbcValue(port);
        else if (instance.isEmpty())
            parts << QStringLiteral("Port=1433");
        if (!instance.isEmpty())
            parts << u"Instance="_qs + odbcValue(instance);
        const QString database = firstOf(map, { "initial catalog", "database" });
        if (!database.isEmpty())
            parts << u"Database="_qs + odbcValue(database);
        const QString user = firstOf(map, { "user id", "uid", "user" });
        const QString password = firstOf(map, { "password", "pwd" });
        if (!user.isEmpty())
            parts << u"UID="_qs + odbcValue(user) << u"PWD="_qs + odbcValue(password);
        parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
        spec.databaseName = parts.join(u';') + u';';
        spec.options = odbcTimeouts();
        return spec;
    }

} // namespace

ConnectionSpec mapConnectionString(const QString &text, const QString &baseDir)
{
    const auto map = parseConnectionString(text);
    if (map.isEmpty())
        throw std::invalid_argument("the connection string is empty");

    if (map.contains(QStringLiteral("driver")) || map.contains(QStringLiteral("dsn"))) {
        const QString driverName = unbrace(map.value(QStringLiteral("driver")));
        ConnectionSpec spec = specFor("QODBC",
            driverName.contains(QStringLiteral("postgres"), Qt::CaseInsensitive) ? DbKind::PostgreSQL
                                                                                 : DbKind::SqlServer);
        // Pass the ODBC part through untouched; only an ADO Provider is
        // dropped, part by part (a braced value may hold ';' and "provider=").
        QStringList odbc;
        for (const Part &part : splitParts(text)) {
            if (part.key != u"provider")
                odbc << text.mid(part.begin, part.end - part.begin);
        }
        spec.databaseName = odbc.join(u';') + u';';
        spec.options = odbcTimeouts();
        return spec;
    }

    const QString provider = map.value(QStringLiteral("provider")).toLower();
    if (provider.isEmpty() || provider == u"sqlite" || provider == u"qsqlite")
        return sqlite(map, baseDir);
    if (provider == u"postgresql" || provider == u"postgres" || provider == u"npgsql" || provider == u"qpsql")
        return postgres(map);
    if (provider.startsWith(u"sqloledb") || provider.startsWith(u"sqlncli") || provider.startsWith(u"msoledbsql")
        || provider == u"sqlserver")
        return sqlServer(map);
    // Its value is not repeated: cut by a stray ';', it may be a password's end.
    throw std::invalid_argument("the connection string's Provider is none this program knows (SQLite, PostgreSQL, "
                                "SQL Server)");
}

} // namespace data
