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
    // One folded key a customer, built once: the four fields joined by a
    // character below any a name holds, so the key orders as the fields do
    // one after the other.
    struct Keyed
    {
        QString key;
        qint64 id;
        qsizetype index;
    };
    const QChar separator(u'\x01');
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(customers.size()));
    for (qsizetype i = 0; i < customers.size(); ++i) {
        const Customer &c = customers.at(i);
        QString key;
        key.reserve(c.company.size() + c.last.size() + c.first.size() + c.address.size() + 3);
        key.append(c.company).append(separator).append(c.last).append(separator).append(c.first).append(separator);
        key.append(c.address);
        keyed.push_back({ key.toCaseFolded(), c.id, i });
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (const int c = a.key.compare(b.key))
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
