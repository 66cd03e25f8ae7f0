#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>

namespace wip {

// One customer of the other application's list (its table tblCustomers).
// A NULL reads as an empty text.
struct Customer
{
    qint64 id = 0; // CustomerID
    QString first; // SFirst
    QString last; // SLast
    QString company; // SCompany
    QString address; // SAddress1
    QString city; // SCity
    QString state; // SState
    QString zip; // SZip
    QString phone; // P1
};

// The customer list could not be opened or read; the text says why, for the
// user.
class CustomerFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The other application's customer list, open for reading. Throws
// CustomerFileError when it cannot be read.
class CustomerDirectory
{
public:
    virtual ~CustomerDirectory() = default;

    // The customers whose company, last or first name holds the text
    // anywhere, without regard to case (all of them for an empty text), in
    // the order of matchOrder(). Every character of the text stands for
    // itself.
    virtual QList<Customer> search(const QString &text) = 0;

    // The customer with this ID, if there is one.
    virtual std::optional<Customer> find(qint64 id) = 0;
};

// Whether a customer matches a search text, as search() decides it.
bool matchesSearch(const Customer &customer, const QString &text);

// The order of a search: company, last name, first name, address, each
// without regard to case (so customers without a company come first), then
// the ID.
void sortForSearch(QList<Customer> &customers);

} // namespace wip
