#pragma once

#include <QSqlError>
#include <QString>
#include <QStringList>
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
    // The same for a save refused field by field: `fields` names what the
    // other change and this one both changed.
    ChangedByOtherError(
        const QString &what, const QStringList &fields, const QString &editedBy, const QString &editedWhen);

    // The fields both changed; empty when the whole row was refused.
    const QStringList &fields() const { return m_fields; }

private:
    QStringList m_fields;
};

// The connection to the server broke, or could not be made again. What the
// interrupted work came to is in the text; the driver's own report is kept in
// detail() for the log. The next statement reconnects.
class ConnectionLostError : public DbError
{
public:
    enum class Outcome {
        Read, // nothing was written
        NotSaved, // nothing reached the server, or the server rolled it back
        Unknown, // a write whose commit or statement may have gone through
    };
    ConnectionLostError(Outcome outcome, const DbError &cause);

    Outcome outcome() const { return m_outcome; }
    // "Error <number>: <description>" of the driver's report.
    const QString &detail() const { return m_detail; }

private:
    Outcome m_outcome;
    QString m_detail;
};

} // namespace data
