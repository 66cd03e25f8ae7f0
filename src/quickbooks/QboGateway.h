#pragma once

#include "quickbooks/Accounting.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrlQuery>

namespace qb {

class QboAuth;

// How hard a call tries before it reports a failure.
struct RetryPolicy
{
    // Time-out of one request.
    int timeoutMs = 30000;
    // Retries after a 429 or a 5xx answer, or a read's cut-off answer; then
    // the failure is reported.
    int maxRetries = 4;
    // Back-off: base, doubled per retry, at most cap; a longer Retry-After
    // than the cap is reported at once rather than waited for.
    int backoffBaseMs = 1000;
    int backoffCapMs = 60000;
};

// The accounting gateway over the QuickBooks Online Accounting API v3 (JSON).
// An expired access token is refreshed once and the call repeated; a
// throttled or failing service is retried with back-off, the same requestid
// on every retry of one create. A read whose answer comes cut off is retried
// the same way; a create whose answer comes cut off is reported as of
// unknown outcome, for the caller to look for what it made before making it
// again.
class QboGateway : public AccountingGateway
{
public:
    QboGateway(QboAuth &auth, RetryPolicy policy = {});

    std::optional<CustomerRef> findCustomer(const QString &name) override;
    CustomerRef addCustomer(const CustomerDetails &customer) override;
    std::optional<ItemRef> findItem(const QString &name) override;
    Invoice addInvoice(const InvoiceDraft &draft) override;
    Invoice getInvoice(const QString &id) override;
    std::optional<Invoice> findInvoiceByMarker(const CustomerRef &customer, const QString &marker) override;

    // A name as the service stores and finds it: curly quotes made straight.
    static QString normalisedName(const QString &name);
    // A text literal of the query language: in single quotes, ' as \'.
    static QString queryLiteral(const QString &value);
    // The customer as the create call's JSON: the name on the first address
    // line, the street on the second, the third empty.
    static QJsonObject customerJson(const CustomerDetails &customer);
    static QJsonObject invoiceJson(const InvoiceDraft &draft);

    // ---- reading the service's answers
    struct Fault
    {
        int code = 0;
        QString message;
    };
    // The error an answer's body describes (JSON or XML); code 0 and an empty
    // message when it describes none.
    static Fault parseFault(const QByteArray &body);
    // Retry-After in seconds (a number or an HTTP date); -1 when there is
    // none or it cannot be read.
    static int retryAfterSeconds(const QByteArray &header);
    // The error a failed answer (not 2xx) stands for.
    static AccountingError answerError(int status, const QByteArray &body, const QByteArray &retryAfter);
    // Throws AccountingError for a total that is no storable amount.
    static Invoice invoiceOf(const QJsonObject &invoice);
    // The rows of a query's answer: {"QueryResponse":{"<entity>":[...]}}.
    static QJsonArray rowsOf(const QJsonObject &answer, const char *entity);

private:
    QJsonObject query(const QString &statement);
    // One call with its retries. `change`: a create, whose fate is unknown
    // when no whole answer comes. `entity`: the member a success must carry
    // as an object, with an Id unless it is a query's "QueryResponse"; a 2xx
    // answer without it counts as cut off, never as an empty success.
    QJsonObject call(const QByteArray &verb, const QString &resource, const QUrlQuery &extra, const QByteArray &body,
        bool change, const char *entity);

    QboAuth &m_auth;
    RetryPolicy m_policy;
};

} // namespace qb
