#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// config.txt: a heading, then "label,connection string", then "label,path".
struct ConfigValues
{
    QString connectionString;
    QString customerDatabasePath;
    // The folder the file was read from; other settings files sit beside it.
    QString folder;
};

class ConfigError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Splits text into comma- or line-separated fields. Leading blanks before a
// field are skipped; a field in double quotes loses its quotes and may hold
// commas and line ends.
QStringList splitConfigFields(const QString &text);

// Reads the five fields of a configuration file. Throws ConfigError when the
// file cannot be read or holds fewer than five fields.
ConfigValues readConfigFile(const QString &path);
