#pragma once

#include <QSqlError>
#include <QString>
#include <stdexcept>

namespace data {

// A failed database operation: the driver's error number (SQLSTATE or native
// code) and its description. Thrown by the data layer, caught at a screen's
// edge and shown to the user; the operation it interrupted is rolled back.
class DbError : public std::runtime_error
{
public:
    DbError(QString number, QString description, QString statement = {});

    static DbError from(const QSqlError &error, const QString &statement = {});

    const QString &number() const { return m_number; }
    const QString &description() const { return m_description; }
    const QString &statement() const { return m_statement; }
    // "Error <number>: <description>", as shown to the user.
    QString message() const;

private:
    QString m_number;
    QString m_description;
    QString m_statement;
};

// A save refused because someone else saved the same row after it was read:
// nothing was written, and the user's input is still on the screen.
class ChangedByOtherError : public DbError
{
public:
    ChangedByOtherError(const QString &what, const QString &editedBy, const QString &editedWhen);
};

} // namespace data
