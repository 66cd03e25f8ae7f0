#pragma once

#include "base/FieldProblem.h"
#include "wip/CustomerDirectory.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace wip {

// A customer as the import screen hands it to the entry screen: the texts of
// its detail boxes, which the user may have corrected.
struct ImportedCustomer
{
    QString name; // "Last, First"
    QString company;
    QString address;
    QString city;
    QString state;
    QString zip;
    QString phone;
};

// A match as the import's list shows it: "Company - Last, First", or
// "Last, First" without a company.
QString matchText(const Customer &customer);

// The details the import screen shows for a customer.
ImportedCustomer importedDetails(const Customer &customer);

// The entry screen's customer text: "Company - Name", or the name alone.
QString customerText(const ImportedCustomer &customer);

// The index of the imported state in the entry screen's state list (exact,
// letter case included), or the message that it is not a valid state.
struct StatePick
{
    int index = -1;
    std::optional<FieldProblem> problem;
};
StatePick pickState(const QStringList &states, const QString &state);

} // namespace wip
