#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// Test fixtures only: writes small Access (Jet 4) database files, since no
// tool on a Linux machine creates them. The file holds what a reader needs
// and no more: the header page with its scrambled area (version, database
// password, creation date), the usage maps, the MSysObjects catalog and, per
// table, its definition page and data pages. No indexes, no memo pages.
namespace jetfile {

enum class Type : quint8 { Int = 0x03, Long = 0x04, Text = 0x0A, Ole = 0x0B };

struct Column
{
    QString name;
    Type type;
};

struct Table
{
    QString name;
    QList<Column> columns;
    // One list per row in column order; a null QVariant is a NULL.
    QList<QVariantList> rows;
};

struct Header
{
    int jetVersion = 1; // 0 Jet 3, 1 Jet 4
    QString password; // empty: none
    double created = 45292.6875; // the creation date, an OLE date
};

// Page 0 alone (2 KB for Jet 3, 4 KB for Jet 4).
QByteArray headerPage(const Header &header);

// A whole Jet 4 file with these user tables.
QByteArray database(const QList<Table> &tables, const Header &header = {});

// tblCustomers of the other application; every value but the ID may be null.
struct Customer
{
    qint32 id = 0;
    QVariant first, last, company, address, city, state, zip, phone;
};
Table customerTable(const QList<Customer> &customers);

// Writes the file, then reads it back with mdb-tables and mdb-export and
// compares every table's rows with what was written. Returns what went wrong,
// or an empty text.
QString writeChecked(const QString &path, const QList<Table> &tables, const Header &header = {});

} // namespace jetfile
