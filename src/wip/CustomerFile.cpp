#include "wip/CustomerFile.h"

#include "wip/CustomerFileFormat.h"
#include "wip/CustomerFileHeader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QtEndian>
#include <algorithm>

namespace wip {

namespace {

    namespace format = readerformat;

    QString shown(const QString &path)
    {
        return QDir::toNativeSeparators(path);
    }

    [[noreturn]] void fail(const QString &text)
    {
        throw CustomerFileError(text.toStdString());
    }

    // libmdb trusts the file: a damaged one can make it read through a null
    // pointer or loop for ever (a table definition whose usage map is
    // broken does the first). So the file is read whole by a program of its
    // own with a time limit, and only the rows it hands back are used; a
    // reader that dies or hangs costs the import, never the program.
    constexpr int kReadLimitMs = 20000;

    QString g_readerPath;

    QList<Customer> readCustomers(const CustomerFileLocation &location)
    {
        const QString &path = location.path;
        const QString program = customerReaderPath();
        QProcess reader;
        reader.setProgram(program);
        reader.setArguments({ path });
        reader.setStandardInputFile(QProcess::nullDevice());
        // libmdb's remarks on an odd file go to the program's log.
        reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        reader.start(QIODevice::ReadOnly);
        if (!reader.waitForStarted(kReadLimitMs))
            fail(QStringLiteral("The customer file %1 cannot be read: no reader process (%2: %3).")
                     .arg(shown(path), shown(program), reader.errorString()));
        bool timedOut = false;
        if (!reader.waitForFinished(int(std::max<qint64>(1, kReadLimitMs - timer.elapsed())))
            && reader.state() != QProcess::NotRunning) {
            timedOut = true;
            reader.kill();
            reader.waitForFinished(-1);
        }
        if (const std::optional<QList<Customer>> customers
            = decodeReaderOutput(reader.readAllStandardOutput(), location))
            return *customers;
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
        explicit MdbCustomerFile(const CustomerFileLocation &location)
            : m_customers(readCustomers(location))
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

QString customerReaderPath()
{
    if (!g_readerPath.isEmpty())
        return g_readerPath;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("jobtracker-customer-reader"));
}

void setCustomerReaderPath(const QString &path)
{
    g_readerPath = path;
}

std::optional<QList<Customer>> decodeReaderOutput(const QByteArray &output, const CustomerFileLocation &location)
{
    const QString &path = location.path;
    QList<Customer> customers;
    bool started = false; // the file's start seen and let through
    qsizetype at = 0;
    while (output.size() - at >= qsizetype(format::kHeaderSize)) {
        const char kind = output.at(at);
        const quint32 size = qFromLittleEndian<quint32>(output.constData() + at + 1);
        at += qsizetype(format::kHeaderSize);
        if (qint64(size) > qint64(output.size() - at))
            break;
        const QByteArray body = output.mid(at, qsizetype(size));
        at += qsizetype(size);
        if (kind == format::Unreadable)
            fail(QStringLiteral("The customer file %1 cannot be read: %2")
                     .arg(shown(path), QString::fromLocal8Bit(body)));
        // The file's start comes first, once; anything else is not the
        // reader's writing.
        if (started == (kind == format::Header))
            return std::nullopt;
        switch (kind) {
        case format::Header: {
            const std::optional<JetHeader> header = readJetHeader(body);
            if (!header)
                fail(QStringLiteral(
                    "The file %1 is not an Access database (or one of a version this program cannot read).")
                         .arg(shown(path)));
            // The reader itself ignores database passwords: they are checked here.
            if (!passwordOpens(*header, location.password))
                fail(QStringLiteral("The customer file %1 is protected by a password, and the one this program has "
                                    "is wrong. Put the right one in settings.ini beside config.txt, as Password in "
                                    "the group [CustomerFile].")
                         .arg(shown(path)));
            started = true;
            break;
        }
        case format::Row: {
            const QList<QByteArray> fields = body.split('\0');
            if (fields.size() < format::ColumnCount)
                break;
            Customer c;
            bool ok = false;
            c.id = fields.at(format::Id).toLongLong(&ok);
            if (!ok)
                c.id = 0;
            c.first = QString::fromUtf8(fields.at(format::First));
            c.last = QString::fromUtf8(fields.at(format::Last));
            c.company = QString::fromUtf8(fields.at(format::Company));
            c.address = QString::fromUtf8(fields.at(format::Address));
            c.city = QString::fromUtf8(fields.at(format::City));
            c.state = QString::fromUtf8(fields.at(format::State));
            c.zip = QString::fromUtf8(fields.at(format::Zip));
            c.phone = QString::fromUtf8(fields.at(format::Phone));
            customers << std::move(c);
            break;
        }
        case format::NotOpened:
            fail(QStringLiteral("The customer file %1 could not be opened as an Access database.").arg(shown(path)));
        case format::NoTable:
            fail(QStringLiteral("The customer file %1 has no table tblCustomers.").arg(shown(path)));
        case format::NoColumns:
            fail(QStringLiteral("The table tblCustomers of the customer file %1 cannot be read.").arg(shown(path)));
        case format::NoColumn:
            fail(QStringLiteral("The table tblCustomers of the customer file %1 has no column %2.")
                     .arg(shown(path), QString::fromLatin1(body)));
        case format::Done:
            return customers;
        default:
            // Not the reader's writing: its output is not to be trusted.
            return std::nullopt;
        }
    }
    return std::nullopt;
}

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
    // Only looked at here, never opened: a FIFO would stall the program on
    // its first read, and even a file on a hung share may. The reader, with
    // its time limit, reads the file's start (kind and password) as well.
    const QFileInfo info(path);
    if (!info.exists())
        fail(QStringLiteral("The customer file %1 does not exist.").arg(shown(path)));
    if (info.isDir())
        fail(QStringLiteral("The customer file %1 is a folder, not a file.").arg(shown(path)));
    if (!info.isFile())
        fail(QStringLiteral("The customer file %1 is not a regular file (it is a pipe or a device), so it cannot be "
                            "an Access database.")
                 .arg(shown(path)));
    return std::make_unique<MdbCustomerFile>(location);
}

} // namespace wip
