// glib first: mdbtools.h includes it inside extern "C".
#include <glib.h>

#include <mdbtools.h>

#include "wip/CustomerFile.h"

#include "wip/CustomerFileHeader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <array>
#include <vector>

namespace wip {

namespace {

    QString shown(const QString &path)
    {
        return QDir::toNativeSeparators(path);
    }

    [[noreturn]] void fail(const QString &text)
    {
        throw CustomerFileError(text.toStdString());
    }

    // The columns read, in the order of the binding buffers.
    enum Column { Id, First, Last, Company, Address, City, State, Zip, Phone, ColumnCount };
    constexpr std::array<const char *, ColumnCount> kColumns { "CustomerID", "SFirst", "SLast", "SCompany", "SAddress1",
        "SCity", "SState", "SZip", "P1" };

    class MdbCustomerFile final : public CustomerDirectory
    {
    public:
        explicit MdbCustomerFile(const QString &path)
        {
            m_mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
            if (!m_mdb)
                fail(
                    QStringLiteral("The customer file %1 could not be opened as an Access database.").arg(shown(path)));
            char table[] = "tblCustomers";
            if (mdb_read_catalog(m_mdb.get(), MDB_TABLE))
                m_table.reset(mdb_read_table_by_name(m_mdb.get(), table, MDB_TABLE));
            if (!m_table)
                fail(QStringLiteral("The customer file %1 has no table tblCustomers.").arg(shown(path)));
            if (!mdb_read_columns(m_table.get()))
                fail(QStringLiteral("The table tblCustomers of the customer file %1 cannot be read.").arg(shown(path)));
            // The reader copies each value, as UTF-8 text, into a buffer of its
            // bind size.
            for (int c = 0; c < ColumnCount; ++c) {
                m_values[size_t(c)].assign(m_mdb->bind_size + 1, '\0');
                QByteArray name(kColumns[size_t(c)]);
                if (mdb_bind_column_by_name(m_table.get(), name.data(), m_values[size_t(c)].data(), nullptr) < 0)
                    fail(QStringLiteral("The table tblCustomers of the customer file %1 has no column %2.")
                             .arg(shown(path), QLatin1String(name)));
            }
        }

        MdbCustomerFile(const MdbCustomerFile &) = delete;
        MdbCustomerFile &operator=(const MdbCustomerFile &) = delete;

        QList<Customer> search(const QString &text) override
        {
            QList<Customer> found;
            mdb_rewind_table(m_table.get());
            while (mdb_fetch_row(m_table.get())) {
                // Only the names decide a match; the rest is read for matches.
                Customer c;
                c.company = value(Company);
                c.last = value(Last);
                c.first = value(First);
                if (!matchesSearch(c, text))
                    continue;
                readRest(c);
                found << std::move(c);
            }
            sortForSearch(found);
            return found;
        }

        std::optional<Customer> find(qint64 id) override
        {
            mdb_rewind_table(m_table.get());
            while (mdb_fetch_row(m_table.get())) {
                if (idValue() != id)
                    continue;
                Customer c;
                c.company = value(Company);
                c.last = value(Last);
                c.first = value(First);
                readRest(c);
                return c;
            }
            return std::nullopt;
        }

    private:
        QString value(Column c) const { return QString::fromUtf8(m_values[size_t(c)].data()); }

        qint64 idValue() const
        {
            bool ok = false;
            const qint64 id = QByteArray(m_values[Id].data()).toLongLong(&ok);
            return ok ? id : 0;
        }

        void readRest(Customer &c) const
        {
            c.id = idValue();
            c.address = value(Address);
            c.city = value(City);
            c.state = value(State);
            c.zip = value(Zip);
            c.phone = value(Phone);
        }

        // The table goes before the file it was read from.
        std::unique_ptr<MdbHandle, decltype(&mdb_close)> m_mdb { nullptr, mdb_close };
        std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)> m_table { nullptr, mdb_free_tabledef };
        std::array<std::vector<char>, ColumnCount> m_values;
    };

} // namespace

CustomerFileLocation customerFileLocation(const ConfigValues &config)
{
    const QDir folder(config.folder.isEmpty() ? QDir::currentPath() : config.folder);
    CustomerFileLocation location;
    if (!config.customerDatabasePath.isEmpty())
        location.path = QDir::cleanPath(folder.absoluteFilePath(config.customerDatabasePath));
    const QString settingsPath = folder.filePath(QStringLiteral("settings.ini"));
    location.password = QString::fromLatin1(kDefaultCustomerFilePassword);
    if (QFileInfo::exists(settingsPath)) {
        const QSettings settings(settingsPath, QSettings::IniFormat);
        const QVariant password = settings.value(QStringLiteral("CustomerFile/Password"));
        // An unquoted comma makes the value a list; the password is the text.
        if (password.isValid())
            location.password = password.typeId() == QMetaType::QStringList
                ? password.toStringList().join(QLatin1Char(','))
                : password.toString();
    }
    return location;
}

std::unique_ptr<CustomerDirectory> openCustomerFile(const CustomerFileLocation &location)
{
    const QString &path = location.path;
    if (path.isEmpty())
        fail(QStringLiteral("config.txt names no customer file."));
    const QFileInfo info(path);
    if (!info.exists())
        fail(QStringLiteral("The customer file %1 does not exist.").arg(shown(path)));
    if (info.isDir())
        fail(QStringLiteral("The customer file %1 is a folder, not a file.").arg(shown(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("The customer file %1 cannot be read: %2").arg(shown(path), file.errorString()));
    const std::optional<JetHeader> header = readJetHeader(file.read(4096));
    file.close();
    if (!header)
        fail(QStringLiteral("The file %1 is not an Access database (or one of a version this program cannot read).")
                 .arg(shown(path)));
    // The reader itself ignores database passwords: they are checked here.
    if (!passwordOpens(*header, location.password))
        fail(QStringLiteral("The customer file %1 is protected by a password, and the one this program has is "
                            "wrong. Put the right one in settings.ini beside config.txt, as Password in the group "
                            "[CustomerFile].")
                 .arg(shown(path)));
    return std::make_unique<MdbCustomerFile>(path);
}

} // namespace wip
