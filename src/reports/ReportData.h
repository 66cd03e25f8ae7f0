#pragma once

#include "data/Database.h"
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <stdexcept>

// The tables a report reads: each is declared by a field-definition file in
// ttx/ (shipped as a resource) and fed from a query whose columns must carry
// the same names. A field the query lacks is an error naming it, never an
// empty field on paper.
namespace reports {

// Anything that keeps a report from being built or written: a definition
// file that is missing or unreadable, a query that does not match it, a value
// of the wrong kind, a PDF that cannot be written.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

enum class FieldType { Number, String, DateTime, Boolean, Memo };

struct FieldDefinition
{
    QString name;
    FieldType type = FieldType::String;
    int length = 0; // characters, for a String
};

// The fields of one report table, as its definition file lists them.
class TableDefinition
{
public:
    // "WIPDetailReport.ttx" and the like.
    const QString &file() const { return m_file; }
    // The table the file defines: "WIPDetailReport_ttx".
    QString table() const;
    const QList<FieldDefinition> &fields() const { return m_fields; }
    // The field's position, matching names without regard to case; -1 when
    // the table has no such field.
    int indexOf(const QString &name) const;

    // Reads a definition from its text. Throws ReportError naming the file
    // and line of anything it cannot read.
    static TableDefinition parse(const QString &file, const QString &text);
    // Reads the definition shipped with the program (or the test's stand-in).
    // Throws ReportError.
    static TableDefinition load(const QString &file);

private:
    QString m_file;
    QList<FieldDefinition> m_fields;
    QHash<QString, int> m_index; // lower-case name -> position
};

// Test seam: load(file) reads `text` instead of the shipped file until the
// stand-in is removed with an empty text.
void setDefinitionStandIn(const QString &file, const QString &text);

// A query's rows read through a table definition, each value by the field's
// declared type. Built on an executed query; the constructor checks the
// query's columns against the definition, by name and without regard to
// case (PostgreSQL hands names back in lower case): a field the query lacks,
// or a column the definition does not declare, throws ReportError naming it.
class TableData
{
public:
    TableData(data::Rows query, TableDefinition definition);

    const TableDefinition &definition() const { return m_definition; }
    bool next() { return m_query.next(); }

    // The current row's value of a field; NULL reads as empty text, 0, an
    // invalid date or false. Reading a field the definition does not declare,
    // or a value the declared type cannot hold, throws ReportError.
    QString text(const QString &field) const;
    double number(const QString &field) const;
    QDateTime dateTime(const QString &field) const;
    bool flag(const QString &field) const;
    bool isNull(const QString &field) const;

private:
    // Column of the query that feeds the field, checking its declared type.
    int column(const QString &field, FieldType expected) const;
    QVariant value(const QString &field, FieldType expected) const;
    [[noreturn]] void badValue(const QString &field, const QVariant &value) const;

    data::Rows m_query;
    TableDefinition m_definition;
    QList<int> m_columns; // field position -> query column
};

} // namespace reports
