// jobtracker-customer-reader FILE: reads the table tblCustomers of an Access
// customer file through mdbtools' libmdb and prints it on standard output as
// wip/CustomerFileFormat.h lays it out. The program starts it for the
// customer import, with a time limit: libmdb trusts the file, and a damaged
// one can make it read through a null pointer or loop for ever. That then
// ends this process, never the program.
//
// glib first: mdbtools.h includes it inside extern "C".
#include <glib.h>

#include <mdbtools.h>

#include "wip/CustomerFileFormat.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace format = wip::readerformat;

// The records go out in pieces of about this size.
constexpr std::size_t kFlushSize = 64 * 1024;

class Output
{
public:
    explicit Output(int fd)
        : m_fd(fd)
    {
    }

    void add(format::Record kind, std::string_view body = {})
    {
        format::appendRecord(m_buffer, kind, body);
        if (m_buffer.size() >= kFlushSize)
            flush();
    }

    // False once the program has stopped listening.
    bool flush()
    {
        const char *data = m_buffer.data();
        std::size_t left = m_buffer.size();
        while (left > 0 && m_ok) {
            const ssize_t n = ::write(m_fd, data, left);
            if (n < 0 && errno == EINTR)
                continue;
            m_ok = n > 0;
            if (m_ok) {
                data += n;
                left -= std::size_t(n);
            }
        }
        m_buffer.clear();
        return m_ok;
    }

    bool ok() const { return m_ok; }

private:
    int m_fd;
    bool m_ok = true;
    std::string m_buffer;
};

// The file's first bytes go out first, and on their own: the program checks
// the file's kind and password from them, and even a reader that libmdb then
// stops has told it that much. They are read here, not in the program: a
// path may stall whoever opens it (a hung network share), and this process
// has a time limit. Not a regular file (a FIFO, a device), it is not read.
bool sendStart(const char *path, Output &out)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        out.add(format::Unreadable, std::strerror(errno));
        return false;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        out.add(format::Unreadable, "not a regular file");
        return false;
    }
    std::string start(format::kFileStartSize, '\0');
    std::size_t got = 0;
    while (got < start.size()) {
        const ssize_t n = ::read(fd, start.data() + got, start.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            out.add(format::Unreadable, std::strerror(error));
            return false;
        }
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    ::close(fd);
    start.resize(got);
    out.add(format::Header, start);
    return out.flush();
}

void read(const char *path, Output &out)
{
    if (!sendStart(path, out))
        return;
    MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb)
        return out.add(format::NotOpened);
    char table[] = "tblCustomers";
    MdbTableDef *def = mdb_read_catalog(mdb, MDB_TABLE) ? mdb_read_table_by_name(mdb, table, MDB_TABLE) : nullptr;
    if (!def)
        return out.add(format::NoTable);
    if (!mdb_read_columns(def))
        return out.add(format::NoColumns);
    // libmdb copies each value, as UTF-8 text, into a buffer of its bind
    // size.
    std::array<std::vector<char>, format::ColumnCount> values;
    for (std::size_t c = 0; c < values.size(); ++c) {
        values[c].assign(std::size_t(mdb->bind_size) + 1, '\0');
        char name[32] {};
        std::strncpy(name, format::kColumns[c], sizeof name - 1);
        if (mdb_bind_column_by_name(def, name, values[c].data(), nullptr) < 0)
            return out.add(format::NoColumn, format::kColumns[c]);
    }
    mdb_rewind_table(def);
    std::string row;
    while (mdb_fetch_row(def) && out.ok()) {
        row.clear();
        for (const std::vector<char> &value : values) {
            row.append(value.data(), strnlen(value.data(), value.size()));
            row += '\0';
        }
        out.add(format::Row, row);
    }
    out.add(format::Done);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jobtracker-customer-reader FILE\n");
        return 2;
    }
    // Nor does it outlive the program waiting for it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The records go to the standard output as it was given; whatever
    // libmdb prints itself goes to the standard error.
    const int records = ::dup(STDOUT_FILENO);
    if (records < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("jobtracker-customer-reader");
        return 1;
    }
    Output out(records);
    read(argv[1], out);
    return out.flush() ? 0 : 1;
}
