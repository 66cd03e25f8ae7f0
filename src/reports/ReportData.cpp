#include "reports/ReportData.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlRecord>
#include <optional>

namespace reports {

namespace {

    QHash<QString, QString> &standIns()
    {
        static QHash<QString, QString> texts;
        return texts;
    }

    const char *typeName(FieldType type)
    {
        switch (type) {
        case FieldType::Number:
            return "Number";
        case FieldType::String:
            return "String";
        case FieldType::DateTime:
            return "DateTime";
        case FieldType::Boolean:
            return "Boolean";
        case FieldType::Memo:
            return "Memo";
        }
        return "";
    }

    std::optional<FieldType> typeFromName(const QString &name)
    {
        for (FieldType type :
            { FieldType::Number, FieldType::String, FieldType::DateTime, FieldType::Boolean, FieldType::Memo }) {
            if (name.compare(QLatin1String(typeName(type)), Qt::CaseInsensitive) == 0)
                return type;
        }
        return std::nullopt;
    }

} // namespace

QString TableDefinition::table() const
{
    QString name = m_file;
    if (name.endsWith(QLatin1String(".ttx"), Qt::CaseInsensitive))
        name.chop(4);
    return name + QLatin1String("_ttx");
}

int TableDefinition::indexOf(const QString &name) const
{
    return m_index.value(name.toLower(), -1);
}

TableDefinition TableDefinition::parse(const QString &file, const QString &text)
{
    TableDefinition definition;
    definition.m_file = file;
    static const QRegularExpression blanks(QStringLiteral("[\\t ]+"));
    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        auto fail = [&](const QString &what) {
            return ReportError(QStringLiteral("The report definition %1, line %2: %3.").arg(file).arg(n + 1).arg(what));
        };
        const QStringList parts = line.split(blanks);
        const std::optional<FieldType> type = parts.size() >= 2 ? typeFromName(parts.at(1)) : std::nullopt;
        if (!type)
            throw fail(QStringLiteral("\"%1\" is not a field name followed by Number, String, DateTime, Boolean or "
                                      "Memo")
                           .arg(line));
        FieldDefinition field { parts.at(0), *type, 0 };
        if (*type == FieldType::String) {
            bool ok = false;
            field.length = parts.size() == 3 ? parts.at(2).toInt(&ok) : 0;
            if (!ok || field.length <= 0)
                throw fail(QStringLiteral("the String field \"%1\" needs its length").arg(field.name));
        } else if (parts.size() > 2) {
            throw fail(QStringLiteral("the %1 field \"%2\" takes no length").arg(parts.at(1), field.name));
        }
        if (definition.indexOf(field.name) >= 0)
            throw fail(QStringLiteral("the field \"%1\" is defined twice").arg(field.name));
        definition.m_index.insert(field.name.toLower(), int(definition.m_fields.size()));
        definition.m_fields << field;
    }
    if (definition.m_fields.isEmpty())
        throw ReportError(QStringLiteral("The report definition %1 defines no field.").arg(file));
    return definition;
}

TableDefinition TableDefinition::load(const QString &file)
{
    if (const auto standIn = standIns().constFind(file); standIn != standIns().constEnd())
        return parse(file, *standIn);
    QFile source(QStringLiteral(":/ttx/") + file);
    if (!source.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("The report definition %1 is missing from the program.").arg(file));
    return parse(file, QString::fromUtf8(source.readAll()));
}

void setDefinitionStandIn(const QString &file, const QString &text)
{
    if (text.isEmpty())
        standIns().remove(file);
    else
        standIns().insert(file, text);
}

TableData::TableData(data::Rows query, TableDefinition definition)
    : m_query(std::move(query))
    , m_definition(std::move(definition))
{
    const QSqlRecord record = m_query.record();
    QList<int> fieldOfColumn(record.count(), -1);
    m_columns.fill(-1, m_definition.fields().size());
    for (int c = 0; c < record.count(); ++c) {
        const int f = m_definition.indexOf(record.fieldName(c));
        if (f < 0)
            throw ReportError(QStringLiteral("The report's query returns the column \"%1\", which %2 does not define.")
                                  .arg(record.fieldName(c), m_definition.file()));
        if (m_columns[f] >= 0)
            throw ReportError(QStringLiteral("The report's query returns the field \"%1\" of %2 twice.")
                                  .arg(m_definition.fields().at(f).name, m_definition.file()));
        m_columns[f] = c;
    }
    for (qsizetype f = 0; f < m_columns.size(); ++f) {
        if (m_columns.at(f) < 0)
            throw ReportError(QStringLiteral("The field \"%1\" of %2 is not among the columns of the report's query.")
                                  .arg(m_definition.fields().at(f).name, m_definition.file()));
    }
}

int TableData::column(const QString &field, FieldType expected) const
{
    const int f = m_definition.indexOf(field);
    if (f < 0)
        throw ReportError(QStringLiteral("The report reads the field \"%1\", which %2 does not define.")
                              .arg(field, m_definition.file()));
    const FieldType declared = m_definition.fields().at(f).type;
    const bool isText = expected == FieldType::String || expected == FieldType::Memo;
    // Any field can be shown as text; numbers, dates and flags are read only
    // from fields declared as such.
    if (!isText && declared != expected)
        throw ReportError(
            QStringLiteral("The report reads the field \"%1\" of %2 as %3, but it is declared %4.")
                .arg(field, m_definition.file(), QLatin1String(typeName(expected)), QLatin1String(typeName(declared))));
    return m_columns.at(f);
}

QVariant TableData::value(const QString &field, FieldType expected) const
{
    return m_query.value(column(field, expected));
}

void TableData::badValue(const QString &field, const QVariant &value) const
{
    const int f = m_definition.indexOf(field);
    throw ReportError(QStringLiteral("The field \"%1\" of %2 is declared %3 but holds \"%4\".")
                          .arg(field, m_definition.file(), QLatin1String(typeName(m_definition.fields().at(f).type)),
                              value.toString()));
}

QString TableData::text(const QString &field) const
{
    return value(field, FieldType::String).toString();
}

double TableData::number(const QString &field) const
{
    const QVariant v = value(field, FieldType::Number);
    if (v.isNull())
        return 0;
    bool ok = false;
    const double n = v.toDouble(&ok);
    if (!ok) {
        if (v.toString().trimmed().isEmpty())
            return 0;
        badValue(field, v);
    }
    return n;
}

QDateTime TableData::dateTime(const QString &field) const
{
    const QVariant v = value(field, FieldType::DateTime);
    if (v.isNull())
        return {};
    const QDateTime dt = v.toDateTime();
    if (!dt.isValid() && !v.toString().trimmed().isEmpty())
        badValue(field, v);
    return dt;
}

bool TableData::flag(const QString &field) const
{
    return value(field, FieldType::Boolean).toBool();
}

bool TableData::isNull(const QString &field) const
{
    return m_query.value(column(field, FieldType::String)).isNull();
}

} // namespace reports
