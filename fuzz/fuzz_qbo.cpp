// The accounting service's answers as the gateway reads them. The input is
// "<status> <Retry-After>\n<body>": a success's body is read for the rows of
// each query and for the created or fetched entity, a failure's for its error.
#include "FuzzCheck.h"
#include "quickbooks/QboGateway.h"

#include <QJsonDocument>

using qb::QboGateway;

namespace {

// An amount is read exactly, to the cent, or refused.
void readInvoice(const QJsonObject &object)
{
    try {
        const qb::Invoice invoice = QboGateway::invoiceOf(object);
        FUZZ_CHECK(std::abs(invoice.total) <= (qint64(1) << 53));
    } catch (const qb::AccountingError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QByteArray head = lineEnd < 0 ? QByteArray() : bytes.left(lineEnd);
    const QByteArray body = lineEnd < 0 ? bytes : bytes.mid(lineEnd + 1);
    const qsizetype space = head.indexOf(' ');
    const int status = (space < 0 ? head : head.left(space)).toInt();
    const QByteArray retryAfter = space < 0 ? QByteArray() : head.mid(space + 1);

    const int after = QboGateway::retryAfterSeconds(retryAfter);
    FUZZ_CHECK(after >= -1);
    if (status >= 200 && status < 300) {
        const QJsonObject answer = QJsonDocument::fromJson(body).object();
        for (const char *entity : { "Customer", "Item", "Invoice" }) {
            for (const QJsonValue &row : QboGateway::rowsOf(answer, entity)) {
                const QJsonObject object = row.toObject();
                FUZZ_CHECK(object.value(QStringLiteral("Id")).toString().size() <= body.size());
                FUZZ_CHECK(object.value(QStringLiteral("PrivateNote")).toString().trimmed().size() <= body.size());
                readInvoice(object);
            }
        }
        readInvoice(answer.value(QStringLiteral("Invoice")).toObject());
        answer.value(QStringLiteral("Customer")).toObject().value(QStringLiteral("Id")).toString();
    } else {
        const qb::AccountingError error = QboGateway::answerError(status, body, retryAfter);
        FUZZ_CHECK(!error.message().isEmpty());
        FUZZ_CHECK(error.retryAfterSeconds() >= -1);
    }
    return 0;
}
