#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>

// What the invoice sync needs from an accounting system. Money is whole
// cents; every failure is an AccountingError of a known kind, which the sync
// screen turns into its row's "Error N: description".
namespace qb {

using Cents = qint64;

// A customer as the sync sends it: the WIP's name, address and phone.
struct CustomerDetails
{
    QString name;
    QString address;
    QString city;
    QString state;
    QString zip;
    QString phone;
};

struct CustomerRef
{
    QString id;
    QString name;
};

struct ItemRef
{
    QString id;
    QString name;
};

// One line of an invoice: the item, `quantity` of it at `unitPrice`.
struct DraftLine
{
    ItemRef item;
    QString description;
    int quantity = 1;
    Cents unitPrice = 0;

    Cents amount() const { return Cents(quantity) * unitPrice; }
};

// An invoice as the sync sends it, its lines in order.
struct InvoiceDraft
{
    CustomerRef customer;
    QDate date;
    QList<DraftLine> lines;
    // Tells which WIP the invoice belongs to, so that a later attempt finds it.
    QString wipMarker;
    // Kept the same when one attempt is retried; the service answers a repeat
    // with the first answer instead of adding a second invoice.
    QString requestId;
};

struct Invoice
{
    QString number; // the invoice number users see
    QString id; // the accounting system's own id
    Cents total = 0;
};

class AccountingError : public std::runtime_error
{
public:
    enum class Kind {
        Transient, // try again later (throttled, unavailable); retryAfter may say when
        AuthExpired, // the sign-in is no longer good: connect again
        NotFound, // the object asked for does not exist
        DuplicateName, // a name is taken (an inactive namesake included)
        Validation, // the service refused the request as it stands
        OutcomeUnknown, // a change was sent but no answer came: it may or may not have been made
        NotConnected, // no connection settings or sign-in yet
    };

    AccountingError(Kind kind, int code, const QString &message, int retryAfterSeconds = -1)
        : std::runtime_error(message.toStdString())
        , m_kind(kind)
        , m_code(code)
        , m_message(message)
        , m_retryAfter(retryAfterSeconds)
    {
    }

    Kind kind() const { return m_kind; }
    // The service's error code (6240, 610, 3001, ...) or, for a failure that
    // never reached it, the network error's number.
    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    int retryAfterSeconds() const { return m_retryAfter; }

private:
    Kind m_kind;
    int m_code;
    QString m_message;
    int m_retryAfter;
};

// The accounting system. Calls block the caller but keep the event loop
// running (the window repaints), and each has a time-out.
class AccountingGateway
{
public:
    virtual ~AccountingGateway() = default;

    // The active customer with exactly this name, or nothing.
    virtual std::optional<CustomerRef> findCustomer(const QString &name) = 0;
    // Adds a customer; DuplicateName when the name is taken.
    virtual CustomerRef addCustomer(const CustomerDetails &customer) = 0;
    // The item (product or service) with this name, or nothing.
    virtual std::optional<ItemRef> findItem(const QString &name) = 0;
    virtual Invoice addInvoice(const InvoiceDraft &draft) = 0;
    // NotFound when there is no invoice with this id.
    virtual Invoice getInvoice(const QString &id) = 0;
    // The customer's invoice that carries this WIP marker, if an earlier
    // attempt added one.
    virtual std::optional<Invoice> findInvoiceByMarker(const CustomerRef &customer, const QString &marker) = 0;
};

} // namespace qb
