#include "data/BulkLoad.h"

#include "data/Database.h"
#include "data/PgCopy.h"

namespace data {

namespace {

    // A COPY's rows go to the server a megabyte at a time...
    constexpr qsizetype kSendBytes = 1 << 20;
    // ...and, shared, a COPY or an INSERT of files takes this much at most.
    constexpr qsizetype kBatchBytes = 16 << 20;

} // namespace

BulkLoad::BulkLoad(Connection &db, QString table, QStringList columns, Use use)
    : m_db(db)
    , m_table(std::move(table))
    , m_columns(std::move(columns))
    , m_use(use)
{
    m_copy = copyInAvailable(db);
    m_rowsPerStatement = db.dialect().rowsPerInsert(m_columns.size());
    m_insert = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_table, m_columns.join(u','));
    m_tuple = u'(' + QStringList(m_columns.size(), QStringLiteral("?")).join(u',') + u')';
    if (!m_copy && m_rowsPerStatement == 1)
        m_single = std::make_unique<Statement>(db, m_insert + m_tuple);
}

BulkLoad::~BulkLoad() = default;

void BulkLoad::add(const QVariantList &row)
{
    if (m_copy) {
        addText([&](QByteArray &out) { appendCopyRow(out, row); });
        return;
    }
    if (m_single) {
        m_single->run(row);
        return;
    }
    m_pending << row;
    // Rows holding files go out a few megabytes a statement, however few.
    for (const QVariant &value : row) {
        if (value.typeId() == QMetaType::QByteArray)
            m_pendingBytes += value.toByteArray().size();
    }
    if (m_pending.size() >= m_rowsPerStatement * m_columns.size() || m_pendingBytes >= kBatchBytes)
        insertPending();
}

void BulkLoad::textAdded()
{
    if (m_text.size() >= (m_use == Use::Exclusive ? kSendBytes : kBatchBytes))
        sendText();
}

void BulkLoad::sendText()
{
    if (!m_stream)
        m_stream = std::make_unique<CopyInStream>(m_db, m_table, m_columns);
    m_stream->send(m_text);
    m_text.clear();
    // Shared, the connection is free again between batches.
    if (m_use == Use::Shared) {
        m_stream->finish();
        m_stream.reset();
    }
}

void BulkLoad::insertPending()
{
    if (m_pending.isEmpty())
        return;
    m_db.exec(m_insert + QStringList(m_pending.size() / m_columns.size(), m_tuple).join(u','), m_pending);
    m_pending.clear();
    m_pendingBytes = 0;
}

void BulkLoad::finish()
{
    if (!m_copy) {
        insertPending();
        return;
    }
    if (!m_text.isEmpty())
        sendText();
    if (m_stream) {
        m_stream->finish();
        m_stream.reset();
    }
}

} // namespace data
