// glib first: mdbtools.h includes it inside extern "C".
#include <glib.h>

#include <mdbtools.h>

#include "wip/CustomerFile.h"

#include "wip/CustomerFileHeader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
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

    // libmdb trusts the file: a damaged one can make it read through a null
    // pointer or loop for ever (a table definition whose usage map is
    // broken does the first). So the file is read whole in a child process
    // with a time limit, and only the rows it hands back are used; a reader
    // that dies or hangs costs the import, never the program.
    constexpr int kReadLimitMs = 20000;

    // What the child writes to the pipe: records of a kind byte and a
    // 32-bit length, then that many bytes.
    enum Record : char { Row = 'R', NoTable = 'T', NoColumns = 'C', NoColumn = 'M', NotOpened = 'O', Done = 'D' };

    bool writeAll(int fd, const char *data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    bool writeRecord(int fd, Record kind, const char *data, quint32 size)
    {
        char head[5] = { kind };
        std::memcpy(head + 1, &size, sizeof size);
        return writeAll(fd, head, sizeof head) && writeAll(fd, data, size);
    }

    // The child's side: libmdb and plain writes only (no Qt, no locks of
    // the parent's other threads).
    void readInChild(const char *path, int fd)
    {
        MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
        if (!mdb) {
            writeRecord(fd, NotOpened, nullptr, 0);
            return;
        }
        char table[] = "tblCustomers";
        MdbTableDef *def = mdb_read_catalog(mdb, MDB_TABLE) ? mdb_read_table_by_name(mdb, table, MDB_TABLE) : nullptr;
        if (!def) {
            writeRecord(fd, NoTable, nullptr, 0);
            return;
        }
        if (!mdb_read_columns(def)) {
            writeRecord(fd, NoColumns, nullptr, 0);
            return;
        }
        // The reader copies each value, as UTF-8 text, into a buffer of its
        // bind size.
        std::array<std::vector<char>, ColumnCount> values;
        for (int c = 0; c < ColumnCount; ++c) {
            values[size_t(c)].assign(size_t(mdb->bind_size) + 1, '\0');
            char name[32] {};
            std::strncpy(name, kColumns[size_t(c)], sizeof name - 1);
            if (mdb_bind_column_by_name(def, name, values[size_t(c)].data(), nullptr) < 0) {
                writeRecord(fd, NoColumn, kColumns[size_t(c)], quint32(std::strlen(kColumns[size_t(c)])));
                return;
            }
        }
        mdb_rewind_table(def);
        std::vector<char> row;
        while (mdb_fetch_row(def)) {
            row.clear();
            for (const std::vector<char> &value : values) {
                const size_t n = strnlen(value.data(), value.size());
                row.insert(row.end(), value.data(), value.data() + n);
                row.push_back('\0');
            }
            if (!writeRecord(fd, Row, row.data(), quint32(row.size())))
                return;
        }
        writeRecord(fd, Done, nullptr, 0);
    }

    // The parent's side: every record until the child is done, dead or out
    // of time.
    QList<Customer> readCustomers(const QString &path)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            fail(QStringLiteral("The customer file %1 cannot be read: no pipe to the reader.").arg(shown(path)));
        const QByteArray file = QFile::encodeName(path);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            // A fault of the reader ends the child at once, quietly: the
            // parent tells the user.
            for (const int sig : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT })
                ::signal(sig, SIG_DFL);
            // Nor does it outlive the program.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            readInChild(file.constData(), fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            fail(QStringLiteral("The customer file %1 cannot be read: no reader process.").arg(shown(path)));
        }

        QByteArray data;
        QElapsedTimer timer;
        timer.start();
        bool timedOut = false;
        for (;;) {
            const qint64 left = kReadLimitMs - timer.elapsed();
            if (left <= 0) {
                timedOut = true;
                break;
            }
            pollfd poller { fds[0], POLLIN, 0 };
            const int ready = ::poll(&poller, 1, int(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            data.append(buffer, n);
        }
        ::close(fds[0]);
        if (timedOut)
            ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }

        QList<Customer> customers;
        qsizetype at = 0;
        while (at + 5 <= data.size()) {
            const char kind = data.at(at);
            quint32 size = 0;
            std::memcpy(&size, data.constData() + at + 1, sizeof size);
            at += 5;
            if (qsizetype(size) > data.size() - at)
                break;
            const QByteArray body = data.mid(at, size);
            at += size;
            switch (kind) {
            case Row: {
                const QList<QByteArray> fields = body.split('\0');
                if (fields.size() < ColumnCount)
                    break;
                Customer c;
                bool ok = false;
                c.id = fields.at(Id).toLongLong(&ok);
                if (!ok)
                    c.id = 0;
                c.first = QString::fromUtf8(fields.at(First));
                c.last = QString::fromUtf8(fields.at(Last));
                c.company = QString::fromUtf8(fields.at(Company));
                c.address = QString::fromUtf8(fields.at(Address));
                c.city = QString::fromUtf8(fields.at(City));
                c.state = QString::fromUtf8(fields.at(State));
                c.zip = QString::fromUtf8(fields.at(Zip));
                c.phone = QString::fromUtf8(fields.at(Phone));
                customers << std::move(c);
                break;
            }
            case NotOpened:
                fail(
                    QStringLiteral("The customer file %1 could not be opened as an Access database.").arg(shown(path)));
            case NoTable:
                fail(QStringLiteral("The customer file %1 has no table tblCustomers.").arg(shown(path)));
            case NoColumns:
                fail(QStringLiteral("The table tblCustomers of the customer file %1 cannot be read.").arg(shown(path)));
            case NoColumn:
                fail(QStringLiteral("The table tblCustomers of the customer file %1 has no column %2.")
                         .arg(shown(path), QString::fromLatin1(body)));
            case Done:
                return customers;
            }
        }
        if (timedOut)
            fail(QStringLiteral("The customer file %1 seems damaged: reading it did not finish within %2 seconds.")
                     .arg(shown(path))
                     .arg(kReadLimitMs / 1000));
        fail(QStringLiteral("The customer file %1 is damaged: the reader stopped on it. Repair it with the other "
                            "application (Compact and Repair) and import again.")
                 .arg(shown(path)));
    }

    // The customers, read once when the file is opened.
    class MdbCustomerFile final : public CustomerDirectory
    {
    public:
        explicit MdbCustomerFile(const QString &path)
            : m_customers(readCustomers(path))
        {
        }

        QList<Customer> search(const QString &text) override
        {
            QList<Customer> found;
            for (const Customer &c : m_customers) {
                if (matchesSearch(c, text))
                    found << c;
            }
            sortForSearch(found);
            return found;
        }

        std::optional<Customer> find(qint64 id) override
        {
            for (const Customer &c : m_customers) {
                if (c.id == id)
                    return c;
            }
            return std::nullopt;
        }

    private:
        QList<Customer> m_customers;
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
