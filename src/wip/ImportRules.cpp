#include "wip/ImportRules.h"

namespace wip {

namespace {

    QString lastFirst(const Customer &customer)
    {
        return customer.last + QStringLiteral(", ") + customer.first;
    }

} // namespace

QString matchText(const Customer &customer)
{
    return customer.company.isEmpty() ? lastFirst(customer)
                                      : customer.company + QStringLiteral(" - ") + lastFirst(customer);
}

ImportedCustomer importedDetails(const Customer &customer)
{
    return { lastFirst(customer), customer.company, customer.address, customer.city, customer.state, customer.zip,
        customer.phone };
}

QString customerText(const ImportedCustomer &customer)
{
    return customer.company.isEmpty() ? customer.name : customer.company + QStringLiteral(" - ") + customer.name;
}

StatePick pickState(const QStringList &states, const QString &state)
{
    const auto index = int(states.indexOf(state));
    if (index >= 0)
        return { index, std::nullopt };
    return { -1,
        FieldProblem {
            QStringLiteral("State"), QStringLiteral("Not a valid state: ") + state, QStringLiteral("Invalid State") } };
}

} // namespace wip
