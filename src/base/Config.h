#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

// config.txt: a heading, then "label,connection string", then "label,path".
struct ConfigValues
{
    QString connectionString;
    QString customerDatabasePath;
    // The folder of config.txt, which relative paths start from.
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
// The same, from the file's text as read (line ends as '\n'); `path` names the
// file in messages and gives the folder.
ConfigValues parseConfigText(const QByteArray &text, const QString &path);

// Where the program looks for its config.txt, in order: beside the executable
// (a copy run from its build or install folder), then the user's
// configuration folder (an installed program).
QStringList configFolders();
// The first of configFolders() that holds a config.txt, or empty.
QString findConfigFolder();
