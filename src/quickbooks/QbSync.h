#pragma once

#include "quickbooks/Accounting.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

namespace data {
class Connection;
}

// The invoice sync without its screen: the list of WIPs to send, sending one
// WIP as an invoice (or reading its invoice back) and writing the result to
// the WIP.
namespace qb {

// The list's columns.
enum Column {
    ColUpdate = 0,
    ColID,
    ColCustomer,
    ColAddress,
    ColCity,
    ColState,
    ColZip,
    ColPhone,
    ColJobType,
    ColStatus,
    ColStartDate,
    ColInvoice,
    ColAmount,
    ColResult,
    ColQBID,
    ColumnCount
};

QStringList headers();

// Every WIP whose status is not "Closed" (a NULL status is left out too), in
// the database's order, as the list's cell texts: "False", the WIP's values
// (NULL as empty text, dates in the short date form, numbers as plain
// decimal text), an empty result. Throws data::DbError.
QList<QStringList> LoadNewWIPs(data::Connection &db);

// ---- money
// A currency amount in whole cents, halves to even.
Cents toCents(double amount);
// Plain decimal text with a point: 150.5, 1234.56, 0.
QString amountText(Cents cents);
// "#,##0.00": 1,234.56.
QString groupedAmount(Cents cents);

// ---- idempotency
// What the invoice carries to tell which WIP it belongs to.
QString wipMarker(qint64 wipId);
// The requestid of one attempt at creating a WIP's invoice. `runTag` tells
// this run of the program apart from others, so that a new attempt is never
// answered with an older attempt's reply.
QString requestId(const QString &runTag, qint64 wipId, int attempt);
QString newRunTag();

// "Error N: description" for a row.
QString errorText(const AccountingError &error);

// An invoice line: the item by name, `quantity` of it at `unitPrice`.
// `setting` names where the user sets the item, for the message when
// QuickBooks has no such item.
struct InvoiceLine
{
    QString itemName;
    QString description;
    double unitPrice = 0;
    int quantity = 1;
    QString setting = QStringLiteral("Company settings, QB item");
};

// The lines of a WIP's invoice: `mitigation` (the line the company settings
// name) and, with `billEquipmentDays`, after it one line per equipment type
// the job had on site: the type's item, quantity its equipment-days (open
// placements counted up to `now`), unit price its daily rate. Throws
// data::DbError.
QList<InvoiceLine> invoiceLines(
    data::Connection &db, qint64 wipId, const InvoiceLine &mitigation, bool billEquipmentDays, const QDateTime &now);

// The customer with this name, added with the WIP's address when there is
// none. A failed lookup (other than "none") is reported as it is rather than
// taken for a missing customer.
CustomerRef AddQBCustomer(AccountingGateway &gateway, const CustomerDetails &customer);

struct SentInvoice
{
    QString number;
    QString qbId;
    Cents amount = 0;
};

// A WIP not invoiced yet: makes sure of the customer, reuses the invoice an
// earlier attempt added for this WIP or adds one, and writes the invoice
// number, amount and id to the WIP. Throws AccountingError or data::DbError.
SentInvoice sendNewInvoice(data::Connection &db, AccountingGateway &gateway, qint64 wipId,
    const CustomerDetails &customer, const QDate &invoiceDate, const QList<InvoiceLine> &lines,
    const QString &requestId);

// A WIP invoiced before: reads the invoice back and writes its amount to the
// WIP. Throws AccountingError or data::DbError.
SentInvoice refreshInvoice(data::Connection &db, AccountingGateway &gateway, qint64 wipId, const QString &qbId);

// The write-backs, each in one transaction with bound values. Throw
// data::DbError, also when the WIP is gone.
void writeInvoice(data::Connection &db, qint64 wipId, const SentInvoice &invoice);
void writeAmount(data::Connection &db, qint64 wipId, Cents amount);

} // namespace qb
