#include "base/Config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QStringList splitConfigFields(const QString &text)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        if (i >= n)
            break;
        QString field;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            if (close < 0) {
                field = text.mid(i + 1);
                i = n;
            } else {
                field = text.mid(i + 1, close - i - 1);
                i = close + 1;
            }
            // Anything after the closing quote up to the separator is dropped.
            while (i < n && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
            field = text.mid(start, i - start).trimmed();
        }
        fields << field;
        if (i < n) {
            // One separator: a comma, or a line end (CR LF counts once).
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                i += 2;
            else
                ++i;
            // A line end straight after a comma ends that same field.
            if (i < n && text[i - 1] == u',' && (text[i] == u'\n' || text[i] == u'\r'))
                i += (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
        }
    }
    return fields;
}

ConfigValues readConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw ConfigError(
            QStringLiteral("Cannot read the configuration file %1: %2").arg(path, file.errorString()).toStdString());
    return parseConfigText(file.readAll(), path);
}

ConfigValues parseConfigText(const QByteArray &text, const QString &path)
{
    const QStringList fields = splitConfigFields(QString::fromUtf8(text));
    if (fields.size() < 5)
        throw ConfigError(QStringLiteral("The configuration file %1 holds %2 of its 5 fields "
                                         "(heading, label, connection string, label, customer "
                                         "database path).")
                              .arg(path)
                              .arg(fields.size())
                              .toStdString());
    return { fields.at(2), fields.at(4), QFileInfo(path).absolutePath() };
}

QStringList configFolders()
{
    return { QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) };
}

QString findConfigFolder()
{
    for (const QString &folder : configFolders()) {
        if (!folder.isEmpty() && QFile::exists(QDir(folder).filePath(QStringLiteral("config.txt"))))
            return folder;
    }
    return {};
}
