// The customer import's readers of outside input in the program itself: the
// header of the Access file (version, password) and the decoding of what the
// reader program printed about it, the file's start included. libmdb runs in
// that reader, a process of its own that may crash or hang on a damaged file;
// what the program must survive is whatever the reader got out before it
// stopped. The seeds hold both Access files and reader outputs.
#include "FuzzCheck.h"
#include "wip/CustomerFile.h"
#include "wip/CustomerFileFormat.h"
#include "wip/CustomerFileHeader.h"

#include <QtEndian>
#include <string>

namespace {

namespace format = wip::readerformat;

// A customer as the reader writes its row.
void appendRow(std::string &out, const wip::Customer &c)
{
    std::string row;
    for (const QString &text :
        { QString::number(c.id), c.first, c.last, c.company, c.address, c.city, c.state, c.zip, c.phone }) {
        row += text.toStdString();
        row += '\0';
    }
    format::appendRecord(out, format::Row, row);
}

bool same(const wip::Customer &a, const wip::Customer &b)
{
    return a.id == b.id && a.first == b.first && a.last == b.last && a.company == b.company && a.address == b.address
        && a.city == b.city && a.state == b.state && a.zip == b.zip && a.phone == b.phone;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    if (const std::optional<wip::JetHeader> header = wip::readJetHeader(bytes.left(4096)))
        FUZZ_CHECK(wip::passwordOpens(*header, header->password));

    const wip::CustomerFileLocation location { QStringLiteral("customers.mdb"), QStringLiteral("KVZ") };
    try {
        const std::optional<QList<wip::Customer>> customers = wip::decodeReaderOutput(bytes, location);
        if (!customers)
            return 0;
        // The list read is the list: written again as the reader writes it,
        // after the file's start the output opened with, it reads back the
        // same.
        const auto startSize = qsizetype(format::kHeaderSize + qFromLittleEndian<quint32>(bytes.constData() + 1));
        std::string again(bytes.constData(), std::size_t(startSize));
        for (const wip::Customer &c : *customers)
            appendRow(again, c);
        format::appendRecord(again, format::Done);
        const std::optional<QList<wip::Customer>> back
            = wip::decodeReaderOutput(QByteArray(again.data(), qsizetype(again.size())), location);
        FUZZ_CHECK(back && back->size() == customers->size());
        for (qsizetype i = 0; i < back->size(); ++i)
            FUZZ_CHECK(same(back->at(i), customers->at(i)));
        // Cut short of its end, as by a reader that died, it is no list.
        FUZZ_CHECK(!wip::decodeReaderOutput(QByteArray(again.data(), qsizetype(again.size() - 1)), location));
    } catch (const wip::CustomerFileError &) {
    }
    return 0;
}
