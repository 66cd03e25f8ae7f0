// Writes the demo's customer file: the other application's Access file with
// its tblCustomers, deterministic names and addresses, and the default
// database password. Not shipped; scripts/run uses it for the demo.
//   jt-demo-customers FILE [COUNT]
#include "support/JetFile.h"

#include <QCoreApplication>
#include <QTextStream>
#include <array>
#include <random>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() < 2) {
        err << "usage: jt-demo-customers FILE [COUNT]\n";
        return 2;
    }
    const int count = args.size() > 2 ? args.at(2).toInt() : 200;
    if (count < 1 || count > 100000) {
        err << "COUNT takes 1 to 100000\n";
        return 2;
    }
    static const std::array<const char *, 12> firsts { "Anna", "Ben", "Carla", "Dmitri", "Elena", "Frank", "Grace",
        "Hector", "Ines", "Jamal", "Kerstin", "Luis" };
    static const std::array<const char *, 12> lasts { "Smith", "Okafor", "Novak", "Brennan", "Haddad", "Lindqvist",
        "Moreau", "Patel", "Quinn", "Romero", "Schulz", "Tanaka" };
    static const std::array<const char *, 6> companies { "Acme Property Management", "Blacksmith Co",
        "Lakeside Condominiums", "Riverbend Realty", "St. Anne's Parish", "Summit Insurance Services" };
    static const std::array<const char *, 8> streets { "Mill Road", "Oak Street", "Lake Avenue", "Church Lane",
        "Main Street", "Elm Court", "Harbor Drive", "Maple Way" };
    static const std::array<std::pair<const char *, const char *>, 5> cities { { { "Brackwell", "OH" },
        { "Akron", "OH" }, { "Erie", "PA" }, { "Ann Arbor", "MI" }, { "Fort Wayne", "IN" } } };
    std::mt19937 random(20110330);
    const auto pick = [&random](const auto &list) { return list[random() % list.size()]; };

    QList<jetfile::Customer> customers;
    for (int i = 1; i <= count; ++i) {
        jetfile::Customer c;
        c.id = i;
        c.first = QString::fromLatin1(pick(firsts));
        c.last = QString::fromLatin1(pick(lasts));
        // About one customer in three is a company's contact.
        if (random() % 3 == 0)
            c.company = QString::fromLatin1(pick(companies));
        c.address = QStringLiteral("%1 %2").arg(100 + random() % 9800).arg(QString::fromLatin1(pick(streets)));
        const auto &[city, state] = pick(cities);
        c.city = QString::fromLatin1(city);
        c.state = QString::fromLatin1(state);
        c.zip = QStringLiteral("%1").arg(43000 + random() % 3000, 5, 10, QLatin1Char('0'));
        c.phone = QStringLiteral("(216) 555-%1").arg(random() % 10000, 4, 10, QLatin1Char('0'));
        customers << c;
    }
    jetfile::Header header;
    header.password = QStringLiteral("KVZ");
    const QString problem = jetfile::writeChecked(args.at(1), { jetfile::customerTable(customers) }, header);
    if (!problem.isEmpty()) {
        err << problem << "\n";
        return 1;
    }
    return 0;
}
