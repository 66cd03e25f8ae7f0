#include "data/DbError.h"

namespace data {

DbError::DbError(QString number, QString description, QString statement)
    : std::runtime_error(description.toStdString())
    , m_number(std::move(number))
    , m_description(std::move(description))
    , m_statement(std::move(statement))
{
}

DbError DbError::from(const QSqlError &error, const QString &statement)
{
    QString number = error.nativeErrorCode();
    if (number.isEmpty())
        number = QString::number(static_cast<int>(error.type()));
    QString text = error.databaseText().trimmed();
    const QString driverText = error.driverText().trimmed();
    if (text.isEmpty())
        text = driverText;
    else if (!driverText.isEmpty() && !text.contains(driverText))
        text = driverText + QStringLiteral(": ") + text;
    return DbError(number, text, statement);
}

QString DbError::message() const
{
    return QStringLiteral("Error %1: %2").arg(m_number, m_description);
}

ChangedByOtherError::ChangedByOtherError(const QString &what, const QString &editedBy, const QString &editedWhen)
    : ChangedByOtherError(what, {}, editedBy, editedWhen)
{
}

ChangedByOtherError::ChangedByOtherError(
    const QString &what, const QStringList &fields, const QString &editedBy, const QString &editedWhen)
    : DbError(QStringLiteral("-2"),
        QStringLiteral("%1 was changed by %2%3 after you opened it%4. Your changes have not been saved; they are "
                       "still on the screen. Load it again to see the other changes.")
            .arg(what, editedBy.isEmpty() ? QStringLiteral("another user") : editedBy,
                editedWhen.isEmpty() ? QString() : QStringLiteral(" on ") + editedWhen,
                fields.isEmpty() ? QString()
                                 : QStringLiteral(", in what you changed too: ") + fields.join(QStringLiteral(", "))))
    , m_fields(fields)
{
}

namespace {
    QString lostText(ConnectionLostError::Outcome outcome)
    {
        QString text = QStringLiteral("The connection to the database was lost.");
        switch (outcome) {
        case ConnectionLostError::Outcome::Read:
            break;
        case ConnectionLostError::Outcome::NotSaved:
            text += QStringLiteral(" Nothing was saved; your changes are still on the screen.");
            break;
        case ConnectionLostError::Outcome::Unknown:
            text += QStringLiteral(" Your changes may not have been saved: once the database is back, check what "
                                   "was stored before entering them again.");
            break;
        }
        return text + QStringLiteral(" Try again when the database can be reached.");
    }
} // namespace

ConnectionLostError::ConnectionLostError(Outcome outcome, const DbError &cause)
    : DbError(cause.number(), lostText(outcome), cause.statement())
    , m_outcome(outcome)
    , m_detail(cause.message())
{
}

} // namespace data
