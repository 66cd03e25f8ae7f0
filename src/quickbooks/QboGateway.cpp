#include "quickbooks/QboGateway.h"

#include "quickbooks/LocalWait.h"
#include "quickbooks/QboAuth.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qb {

namespace {

    const QByteArray kMinorVersion = "75";
    constexpr int kPageSize = 1000;

    using Kind = AccountingError::Kind;

    QString describe(const QString &message, const QString &detail)
    {
        if (detail.isEmpty() || detail == message)
            return message;
        if (message.isEmpty() || detail.startsWith(message))
            return detail;
        return message + QStringLiteral(": ") + detail;
    }

    Cents centsOf(const QJsonValue &amount)
    {
        // Beyond 2^53 cents a double holds no exact cent, and llround's
        // result is unspecified: such an amount is refused, not stored.
        const double cents = amount.toDouble() * 100.0;
        if (!std::isfinite(cents) || std::abs(cents) > 9007199254740992.0)
            throw AccountingError(AccountingError::Kind::Validation, 0,
                QStringLiteral("QuickBooks sent an amount this program cannot store: %1")
                    .arg(amount.toDouble(), 0, 'g', 17));
        return Cents(std::llround(cents));
    }

    bool retryable(int status)
    {
        return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
    }

    // No whole answer came: a change may have been made all the same.
    AccountingError lostAnswer(bool change, int code, const QString &text)
    {
        if (change)
            return AccountingError(
                Kind::OutcomeUnknown, code, text + QStringLiteral("; it may have been saved in QuickBooks"));
        return AccountingError(Kind::Transient, code, text);
    }

    // A success's answer read whole: complete JSON whose `entity` member is
    // an object, which names its Id unless it is a query's answer.
    std::optional<QJsonObject> wholeAnswer(const QByteArray &body, const char *entity)
    {
        QJsonParseError parse {};
        const QJsonDocument document = QJsonDocument::fromJson(body, &parse);
        if (parse.error != QJsonParseError::NoError || !document.isObject())
            return std::nullopt;
        const QJsonValue member = document.object().value(QLatin1String(entity));
        if (!member.isObject())
            return std::nullopt;
        if (QLatin1String(entity) != QLatin1String("QueryResponse")
            && member.toObject().value(QStringLiteral("Id")).toString().trimmed().isEmpty())
            return std::nullopt;
        return document.object();
    }

} // namespace

QboGateway::QboGateway(QboAuth &auth, RetryPolicy policy)
    : m_auth(auth)
    , m_policy(policy)
{
}

// ---- texts

QString QboGateway::normalisedName(const QString &name)
{
    QString text = name.trimmed();
    text.replace(QChar(0x2018), u'\'').replace(QChar(0x2019), u'\'');
    text.replace(QChar(0x201C), u'"').replace(QChar(0x201D), u'"');
    return text;
}

QString QboGateway::queryLiteral(const QString &value)
{
    QString text = normalisedName(value);
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + text + u'\'';
}

QJsonObject QboGateway::customerJson(const CustomerDetails &c)
{
    const QString name = normalisedName(c.name);
    QJsonObject customer { { QStringLiteral("DisplayName"), name },
        { QStringLiteral("BillAddr"),
            QJsonObject { { QStringLiteral("Line1"), name }, { QStringLiteral("Line2"), c.address },
                { QStringLiteral("Line3"), QString() }, { QStringLiteral("City"), c.city },
                { QStringLiteral("CountrySubDivisionCode"), c.state }, { QStringLiteral("PostalCode"), c.zip } } } };
    if (!c.phone.isEmpty())
        customer[QStringLiteral("PrimaryPhone")] = QJsonObject { { QStringLiteral("FreeFormNumber"), c.phone } };
    return customer;
}

QJsonObject QboGateway::invoiceJson(const InvoiceDraft &d)
{
    // Amount = Qty x UnitPrice to the cent, as the service checks it.
    QJsonArray lines;
    for (const DraftLine &l : d.lines) {
        const double price = double(l.unitPrice) / 100.0;
        lines.append(QJsonObject { { QStringLiteral("DetailType"), QStringLiteral("SalesItemLineDetail") },
            { QStringLiteral("Amount"), double(l.amount()) / 100.0 }, { QStringLiteral("Description"), l.description },
            { QStringLiteral("SalesItemLineDetail"),
                QJsonObject { { QStringLiteral("ItemRef"),
                                  QJsonObject { { QStringLiteral("value"), l.item.id },
                                      { QStringLiteral("name"), l.item.name } } },
                    { QStringLiteral("Qty"), l.quantity }, { QStringLiteral("UnitPrice"), price } } } });
    }
    QJsonObject invoice { { QStringLiteral("CustomerRef"), QJsonObject { { QStringLiteral("value"), d.customer.id } } },
        { QStringLiteral("Line"), lines }, { QStringLiteral("PrivateNote"), d.wipMarker } };
    if (d.date.isValid())
        invoice[QStringLiteral("TxnDate")] = d.date.toString(Qt::ISODate);
    return invoice;
}

// ---- the entities

std::optional<CustomerRef> QboGateway::findCustomer(const QString &name)
{
    const QJsonArray rows
        = rowsOf(query(QStringLiteral("SELECT * FROM Customer WHERE DisplayName = ") + queryLiteral(name)), "Customer");
    if (rows.isEmpty())
        return std::nullopt;
    const QJsonObject c = rows.first().toObject();
    return CustomerRef { c.value(QStringLiteral("Id")).toString(), c.value(QStringLiteral("DisplayName")).toString() };
}

CustomerRef QboGateway::addCustomer(const CustomerDetails &customer)
{
    // A requestid of its own, the same on every retry of this add.
    QUrlQuery extra;
    extra.addQueryItem(QStringLiteral("requestid"), QUuid::createUuid().toString(QUuid::WithoutBraces));
    const QJsonObject c = call("POST", QStringLiteral("customer"), extra,
        QJsonDocument(customerJson(customer)).toJson(QJsonDocument::Compact), true, "Customer")
                              .value(QStringLiteral("Customer"))
                              .toObject();
    return { c.value(QStringLiteral("Id")).toString(), c.value(QStringLiteral("DisplayName")).toString() };
}

std::optional<ItemRef> QboGateway::findItem(const QString &name)
{
    const QJsonArray rows
        = rowsOf(query(QStringLiteral("SELECT * FROM Item WHERE Name = ") + queryLiteral(name)), "Item");
    if (rows.isEmpty())
        return std::nullopt;
    const QJsonObject item = rows.first().toObject();
    return ItemRef { item.value(QStringLiteral("Id")).toString(), item.value(QStringLiteral("Name")).toString() };
}

Invoice QboGateway::addInvoice(const InvoiceDraft &draft)
{
    QUrlQuery extra;
    if (!draft.requestId.isEmpty())
        extra.addQueryItem(QStringLiteral("requestid"), draft.requestId);
    return invoiceOf(call("POST", QStringLiteral("invoice"), extra,
        QJsonDocument(invoiceJson(draft)).toJson(QJsonDocument::Compact), true, "Invoice")
                         .value(QStringLiteral("Invoice"))
                         .toObject());
}

Invoice QboGateway::getInvoice(const QString &id)
{
    if (id.trimmed().isEmpty())
        throw AccountingError(Kind::NotFound, 610, QStringLiteral("No QuickBooks id"));
    const QString path = QStringLiteral("invoice/") + QString::fromLatin1(QUrl::toPercentEncoding(id.trimmed()));
    return invoiceOf(call("GET", path, {}, {}, false, "Invoice").value(QStringLiteral("Invoice")).toObject());
}

std::optional<Invoice> QboGateway::findInvoiceByMarker(const CustomerRef &customer, const QString &marker)
{
    // The marker is a private note, which the query language cannot filter
    // on: read the customer's invoices a page at a time.
    for (int start = 1;; start += kPageSize) {
        const QJsonArray rows = rowsOf(query(QStringLiteral("SELECT * FROM Invoice WHERE CustomerRef = %1 "
                                                            "STARTPOSITION %2 MAXRESULTS %3")
                                                 .arg(queryLiteral(customer.id))
                                                 .arg(start)
                                                 .arg(kPageSize)),
            "Invoice");
        for (const QJsonValue &row : rows) {
            const QJsonObject invoice = row.toObject();
            if (invoice.value(QStringLiteral("PrivateNote")).toString().trimmed() == marker)
                return invoiceOf(invoice);
        }
        if (rows.size() < kPageSize)
            return std::nullopt;
    }
}

// ---- the answers

// The service's error, in any of its shapes: {"Fault":{"Error":[...]}},
// the gateway's lowercase {"fault":{"error":[...]}}, or XML.
QboGateway::Fault QboGateway::parseFault(const QByteArray &body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    for (const auto &[faultKey, errorKey, messageKey, detailKey] :
        { std::array { "Fault", "Error", "Message", "Detail" },
            std::array { "fault", "error", "message", "detail" } }) {
        const QJsonObject fault = object.value(QLatin1String(faultKey)).toObject();
        const QJsonObject error = fault.value(QLatin1String(errorKey)).toArray().first().toObject();
        if (error.isEmpty())
            continue;
        const QJsonValue code = error.value(QStringLiteral("code"));
        return { code.isString() ? code.toString().toInt() : code.toInt(),
            describe(
                error.value(QLatin1String(messageKey)).toString(), error.value(QLatin1String(detailKey)).toString()) };
    }
    Fault fault;
    QXmlStreamReader xml(body);
    QString message, detail;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"Error" && fault.code == 0)
            fault.code = xml.attributes().value(QStringLiteral("code")).toInt();
        else if (xml.name() == u"Message" && message.isEmpty())
            message = xml.readElementText();
        else if (xml.name() == u"Detail" && detail.isEmpty())
            detail = xml.readElementText();
    }
    fault.message = describe(message, detail);
    return fault;
}

int QboGateway::retryAfterSeconds(const QByteArray &header)
{
    if (header.isEmpty())
        return -1;
    bool ok = false;
    const int seconds = header.trimmed().toInt(&ok);
    if (ok)
        return std::max(0, seconds);
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(header).trimmed(), Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    // A date decades away does not fit an int: it stays "too long to wait".
    return int(std::clamp<qint64>(QDateTime::currentDateTimeUtc().secsTo(when), 0, std::numeric_limits<int>::max()));
}

AccountingError QboGateway::answerError(int status, const QByteArray &body, const QByteArray &retryAfter)
{
    const Fault fault = parseFault(body);
    const int code = fault.code ? fault.code : status;
    const QString message
        = fault.message.isEmpty() ? QStringLiteral("QuickBooks answered HTTP %1").arg(status) : fault.message;
    if (retryable(status))
        return AccountingError(Kind::Transient, code, message, retryAfterSeconds(retryAfter));
    if (status == 401)
        return AccountingError(Kind::AuthExpired, code, message);
    if (code == 6240)
        return AccountingError(Kind::DuplicateName, code, message);
    if (code == 610 || status == 404)
        return AccountingError(Kind::NotFound, code, message);
    if (status == 403 && code == 3100)
        return AccountingError(Kind::AuthExpired, code, message);
    return AccountingError(Kind::Validation, code, message);
}

Invoice QboGateway::invoiceOf(const QJsonObject &invoice)
{
    return { invoice.value(QStringLiteral("DocNumber")).toString(), invoice.value(QStringLiteral("Id")).toString(),
        centsOf(invoice.value(QStringLiteral("TotalAmt"))) };
}

QJsonArray QboGateway::rowsOf(const QJsonObject &answer, const char *entity)
{
    return answer.value(QStringLiteral("QueryResponse")).toObject().value(QLatin1String(entity)).toArray();
}

// ---- the calls

QJsonObject QboGateway::query(const QString &statement)
{
    QUrlQuery extra;
    extra.addQueryItem(QStringLiteral("query"), statement);
    return call("GET", QStringLiteral("query"), extra, {}, false, "QueryResponse");
}

QJsonObject QboGateway::call(const QByteArray &verb, const QString &resource, const QUrlQuery &extra,
    const QByteArray &body, bool change, const char *entity)
{
    const ConnectionSettings &settings = m_auth.settings();
    if (!settings.isComplete())
        throw AccountingError(Kind::NotConnected, 0,
            QStringLiteral("QuickBooks is not set up: base URL, company (realm) id and client id are needed"));

    // Every value percent-encoded by hand: QUrlQuery would leave '+', which
    // the service reads as a space.
    QByteArray queryText = "minorversion=" + kMinorVersion;
    for (const auto &[key, value] : extra.queryItems(QUrl::FullyDecoded))
        queryText += '&' + QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    const QUrl url = QUrl::fromEncoded(settings.baseUrl.toUtf8() + "/v3/company/"
        + QUrl::toPercentEncoding(settings.realmId) + '/' + resource.toUtf8() + '?' + queryText);

    bool refreshed = false;
    int retries = 0;
    // Waits before the next try; false when the tries are spent or the
    // service asks for a longer wait than the cap.
    const auto backOff = [&](int retryAfterSeconds) {
        const qint64 backoff
            = std::min<qint64>(m_policy.backoffCapMs, qint64(m_policy.backoffBaseMs) << std::min(retries, 20));
        const qint64 delay = std::max<qint64>(backoff, retryAfterSeconds >= 0 ? qint64(retryAfterSeconds) * 1000 : 0);
        if (retries >= m_policy.maxRetries || delay > m_policy.backoffCapMs)
            return false;
        ++retries;
        pause(int(delay));
        return true;
    };
    for (;;) {
        if (m_auth.accessToken().isEmpty()) {
            if (refreshed || !m_auth.hasRefreshToken())
                throw AccountingError(
                    Kind::AuthExpired, 3200, QStringLiteral("Not connected to QuickBooks; use Connect to QuickBooks"));
            m_auth.refresh(m_policy.timeoutMs);
            refreshed = true;
        }
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", "Bearer " + m_auth.accessToken().toUtf8());
        request.setRawHeader("Accept", "application/json");
        if (!body.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setTransferTimeout(0);

        QNetworkReply *reply = m_auth.network()->sendCustomRequest(request, verb, body);
        bool finished = false;
        QObject::connect(reply, &QNetworkReply::finished, reply, [&finished] { finished = true; });
        LocalWait wait(m_policy.timeoutMs);
        wait.quitOn(reply, &QNetworkReply::finished);
        if (!wait.exec([&] { return finished; })) {
            reply->abort();
            reply->deleteLater();
            throw AccountingError(change ? Kind::OutcomeUnknown : Kind::Transient, int(QNetworkReply::TimeoutError),
                QStringLiteral("No answer from QuickBooks within %1 seconds%2")
                    .arg(m_policy.timeoutMs / 1000.0)
                    .arg(change ? QStringLiteral("; it may have been saved there") : QString()));
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray answer = reply->readAll();
        const QNetworkReply::NetworkError networkError = reply->error();
        const QString networkText = reply->errorString();
        const QByteArray retryAfterHeader = reply->rawHeader("Retry-After");
        reply->deleteLater();

        if (status == 0)
            throw lostAnswer(change, int(networkError), networkText);
        if (status >= 200 && status < 300) {
            const std::optional<QJsonObject> whole
                = networkError == QNetworkReply::NoError ? wholeAnswer(answer, entity) : std::nullopt;
            if (whole)
                return *whole;
            // Cut off (the connection closed early, or the body is no whole
            // JSON, or what was made has no Id): the service may have done
            // the work, so a create must not be taken as done nor as failed.
            const AccountingError cutOff = networkError != QNetworkReply::NoError
                ? lostAnswer(change, int(networkError),
                    QStringLiteral("The answer from QuickBooks was cut off (%1)").arg(networkText))
                : lostAnswer(change, int(QNetworkReply::ProtocolFailure),
                    QStringLiteral("The answer from QuickBooks was incomplete (HTTP %1)").arg(status));
            if (change || !backOff(-1))
                throw cutOff;
            continue;
        }

        const AccountingError error = answerError(status, answer, retryAfterHeader);
        if (status == 401) {
            if (refreshed)
                throw AccountingError(Kind::AuthExpired, error.code(),
                    QStringLiteral("QuickBooks refused the sign-in; use Connect to QuickBooks"));
            m_auth.refresh(m_policy.timeoutMs);
            refreshed = true;
            continue;
        }
        if (retryable(status) && backOff(error.retryAfterSeconds()))
            continue;
        throw error;
    }
}

} // namespace qb
