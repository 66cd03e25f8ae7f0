#include "wip/CustomerDirectory.h"

#include <algorithm>
#include <vector>

namespace wip {

bool matchesSearch(const Customer &customer, const QString &text)
{
    return text.isEmpty() || customer.company.contains(text, Qt::CaseInsensitive)
        || customer.last.contains(text, Qt::CaseInsensitive) || customer.first.contains(text, Qt::CaseInsensitive);
}

void sortForSearch(QList<Customer> &customers)
{
    // The keys are folded once, not at every comparison.
    struct Keyed
    {
        QString company, last, first, address;
        qint64 id;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(customers.size()));
    for (qsizetype i = 0; i < customers.size(); ++i) {
        const Customer &c = customers.at(i);
        keyed.push_back({ c.company.toCaseFolded(), c.last.toCaseFolded(), c.first.toCaseFolded(),
            c.address.toCaseFolded(), c.id, i });
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (const int c = a.company.compare(b.company))
            return c < 0;
        if (const int c = a.last.compare(b.last))
            return c < 0;
        if (const int c = a.first.compare(b.first))
            return c < 0;
        if (const int c = a.address.compare(b.address))
            return c < 0;
        return a.id < b.id;
    });
    QList<Customer> sorted;
    sorted.reserve(customers.size());
    for (const Keyed &k : keyed)
        sorted << std::move(customers[k.index]);
    customers = std::move(sorted);
}

} // namespace wip
