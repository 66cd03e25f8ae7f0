// The customer import's reader of the other application's Access file: the
// input is the file. The password check is passed with the file's own
// password, so that the fuzzer reaches the reader behind it.
#include "FuzzCheck.h"
#include "wip/CustomerFile.h"
#include "wip/CustomerFileHeader.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The file lives in memory; its /proc/self/fd path is what the reader opens.
int memoryFile()
{
    static const int fd = memfd_create("customers.mdb", 0);
    FUZZ_CHECK(fd >= 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int fd = memoryFile();
    FUZZ_CHECK(ftruncate(fd, 0) == 0);
    FUZZ_CHECK(pwrite(fd, data, size, 0) == ssize_t(size));

    const std::optional<wip::JetHeader> header = wip::readJetHeader(fuzzBytes(data, std::min<size_t>(size, 4096)));
    wip::CustomerFileLocation location;
    location.path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    location.password = header ? header->password : QString();
    if (header)
        FUZZ_CHECK(wip::passwordOpens(*header, location.password));
    try {
        const std::unique_ptr<wip::CustomerDirectory> customers = wip::openCustomerFile(location);
        FUZZ_CHECK(header.has_value());
        const QList<wip::Customer> all = customers->search(QString());
        if (!all.isEmpty()) {
            const std::optional<wip::Customer> first = customers->find(all.first().id);
            FUZZ_CHECK(first.has_value());
        }
        customers->search(QStringLiteral("a"));
    } catch (const wip::CustomerFileError &) {
    }
    return 0;
}
