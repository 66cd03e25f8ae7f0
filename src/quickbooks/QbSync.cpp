#include "quickbooks/QbSync.h"

#include "base/Formats.h"
#include "data/Database.h"
#include "data/Dates.h"
#include "equipment/Rates.h"

#include <QDateTime>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlRecord>
#include <cmath>

namespace qb {

namespace {

    // A column's value as the list shows it.
    QString cellText(const QVariant &value)
    {
        if (value.isNull())
            return {};
        switch (value.metaType().id()) {
        case QMetaType::QDate:
            return Formats::date(value.toDate());
        case QMetaType::QDateTime: {
            const QDateTime when = value.toDateTime();
            return when.time() == QTime(0, 0) ? Formats::date(when.date()) : Formats::dateTime(when);
        }
        case QMetaType::Double:
        case QMetaType::Float:
            return Formats::plainNumber(value.toDouble());
        default:
            return value.toString();
        }
    }

    // SQLite hands dates back as ISO text.
    QString dateCellText(const QVariant &value)
    {
        if (value.isNull() || value.metaType().id() != QMetaType::QString)
            return cellText(value);
        const QDateTime when = data::dateTimeOf(value);
        return when.isValid() ? cellText(when) : value.toString();
    }

} // namespace

QStringList headers()
{
    return { QStringLiteral("Update"), QStringLiteral("ID"), QStringLiteral("Customer"), QStringLiteral("Address"),
        QStringLiteral("City"), QStringLiteral("State"), QStringLiteral("Zip"), QStringLiteral("Phone"),
        QStringLiteral("JobType"), QStringLiteral("Status"), QStringLiteral("Start Date"), QStringLiteral("Invoice"),
        QStringLiteral("Amount"), QStringLiteral("Result"), QStringLiteral("QBID") };
}

QList<QStringList> LoadNewWIPs(data::Connection &db)
{
    data::Rows q = db.exec(QStringLiteral("SELECT ID, Customer, Address, City, State, Zip, Phone, JobType, Status, "
                                          "StartDate, InvoiceID, AmountBilled, QBID FROM WIP WHERE Status <> ?"),
        { QStringLiteral("Closed") });
    QList<QStringList> rows;
    while (q.next()) {
        QStringList row { QStringLiteral("False") };
        for (int i = 0; i < 9; ++i)
            row << cellText(q.value(i));
        row << dateCellText(q.value(9)) << cellText(q.value(10)) << cellText(q.value(11)) << QString()
            << cellText(q.value(12));
        rows << row;
    }
    return rows;
}

// ---- money

Cents toCents(double amount)
{
    // Halves to even, as the invoice line has always been priced.
    return Cents(std::nearbyint(amount * 100.0));
}

QString amountText(Cents cents)
{
    return Formats::plainNumber(double(cents) / 100.0);
}

QString groupedAmount(Cents cents)
{
    return Formats::hours(double(cents) / 100.0);
}

// ---- idempotency

QString wipMarker(qint64 wipId)
{
    return QStringLiteral("JobTracker WIP %1").arg(wipId);
}

QString requestId(const QString &runTag, qint64 wipId, int attempt)
{
    return QStringLiteral("jt-%1-wip%2-a%3").arg(runTag).arg(wipId).arg(attempt);
}

QString newRunTag()
{
    return QString::number(QRandomGenerator::global()->generate64(), 36);
}

QString errorText(const AccountingError &error)
{
    return QStringLiteral("Error %1: %2").arg(error.code()).arg(error.message());
}

// ---- sending

CustomerRef AddQBCustomer(AccountingGateway &gateway, const CustomerDetails &customer)
{
    if (const std::optional<CustomerRef> found = gateway.findCustomer(customer.name))
        return *found;
    return gateway.addCustomer(customer);
}

QList<InvoiceLine> invoiceLines(
    data::Connection &db, qint64 wipId, const InvoiceLine &mitigation, bool billEquipmentDays, const QDateTime &now)
{
    QList<InvoiceLine> lines { mitigation };
    if (!billEquipmentDays)
        return lines;
    for (const equipment::BillLine &bill : equipment::billLines(db, wipId, now))
        lines << InvoiceLine { bill.qbItemName, QStringLiteral("%1, equipment-days").arg(bill.type), bill.dailyRate,
            bill.days, QStringLiteral("Company settings, equipment rate of %1").arg(bill.type) };
    return lines;
}

namespace {

    // The lines as the draft carries them, each item looked up once.
    QList<DraftLine> draftLines(AccountingGateway &gateway, const QList<InvoiceLine> &lines)
    {
        QHash<QString, ItemRef> items;
        QList<DraftLine> drafted;
        for (const InvoiceLine &line : lines) {
            if (line.itemName.trimmed().isEmpty())
                throw AccountingError(AccountingError::Kind::Validation, 0,
                    QStringLiteral("No QuickBooks item is set (%1)").arg(line.setting));
            if (!items.contains(line.itemName)) {
                const std::optional<ItemRef> item = gateway.findItem(line.itemName);
                if (!item)
                    throw AccountingError(AccountingError::Kind::NotFound, 610,
                        QStringLiteral("QuickBooks has no item named \"%1\" (%2)").arg(line.itemName, line.setting));
                items.insert(line.itemName, *item);
            }
            drafted << DraftLine { items.value(line.itemName), line.description, line.quantity,
                toCents(line.unitPrice) };
        }
        return drafted;
    }

} // namespace

SentInvoice sendNewInvoice(data::Connection &db, AccountingGateway &gateway, qint64 wipId,
    const CustomerDetails &customer, const QDate &invoiceDate, const QList<InvoiceLine> &lines,
    const QString &requestId)
{
    const CustomerRef ref = AddQBCustomer(gateway, customer);
    const QString marker = wipMarker(wipId);
    // An earlier attempt may have added the invoice and lost the answer, or
    // failed to write it back: use that one, lines and all, rather than add a
    // second.
    std::optional<Invoice> invoice = gateway.findInvoiceByMarker(ref, marker);
    if (!invoice) {
        InvoiceDraft draft;
        draft.customer = ref;
        draft.date = invoiceDate;
        draft.lines = draftLines(gateway, lines);
        draft.wipMarker = marker;
        draft.requestId = requestId;
        invoice = gateway.addInvoice(draft);
    }
    const SentInvoice sent { invoice->number, invoice->id, invoice->total };
    writeInvoice(db, wipId, sent);
    return sent;
}

SentInvoice refreshInvoice(data::Connection &db, AccountingGateway &gateway, qint64 wipId, const QString &qbId)
{
    const Invoice invoice = gateway.getInvoice(qbId);
    writeAmount(db, wipId, invoice.total);
    return { invoice.number, invoice.id, invoice.total };
}

// ---- writing back

namespace {

    void updateWip(data::Connection &db, qint64 wipId, const data::Fields &fields)
    {
        data::Transaction t(db);
        if (db.updateRow(QStringLiteral("WIP"), wipId, fields) != 1)
            throw data::DbError(QStringLiteral("0"), QStringLiteral("WIP %1 is no longer in the database").arg(wipId));
        t.commit();
    }

} // namespace

void writeInvoice(data::Connection &db, qint64 wipId, const SentInvoice &invoice)
{
    updateWip(db, wipId,
        { { QStringLiteral("InvoiceID"), invoice.number },
            { QStringLiteral("AmountBilled"), double(invoice.amount) / 100.0 },
            { QStringLiteral("QBID"), invoice.qbId } });
}

void writeAmount(data::Connection &db, qint64 wipId, Cents amount)
{
    updateWip(db, wipId, { { QStringLiteral("AmountBilled"), double(amount) / 100.0 } });
}

} // namespace qb
