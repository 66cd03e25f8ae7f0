#include "wip/CustomerFileHeader.h"

#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace wip {

namespace {

    constexpr int kScrambledStart = 0x18;
    constexpr int kScrambledEnd = kScrambledStart + 128;
    constexpr int kPasswordAt = 0x42;
    constexpr int kCreatedAt = 0x72;
    constexpr int kLatestVersion = 5; // Access 2016, the last the reader knows

    void unscramble(unsigned char *data, int length)
    {
        static constexpr std::array<unsigned char, 4> key { 0xc7, 0xda, 0x39, 0x6b };
        std::array<unsigned char, 256> s {};
        for (int i = 0; i < 256; ++i)
            s[size_t(i)] = static_cast<unsigned char>(i);
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[size_t(i)] + key[size_t(i) % key.size()]) & 0xff;
            std::swap(s[size_t(i)], s[size_t(j)]);
        }
        for (int n = 0, i = 0, j = 0; n < length; ++n) {
            i = (i + 1) & 0xff;
            j = (j + s[size_t(i)]) & 0xff;
            std::swap(s[size_t(i)], s[size_t(j)]);
            data[n] ^= s[(s[size_t(i)] + s[size_t(j)]) & 0xff];
        }
    }

} // namespace

std::optional<JetHeader> readJetHeader(const QByteArray &start)
{
    if (start.size() < kScrambledEnd || start.at(0) != 0)
        return std::nullopt;
    const QByteArray signature = start.mid(4, 15);
    if (signature != "Standard Jet DB" && signature != "Standard ACE DB")
        return std::nullopt;
    JetHeader header;
    header.version = static_cast<unsigned char>(start.at(0x14));
    if (header.version > kLatestVersion)
        return std::nullopt;

    std::array<unsigned char, kScrambledEnd> page {};
    std::memcpy(page.data(), start.constData(), page.size());
    const bool jet3 = header.version == 0;
    unscramble(page.data() + kScrambledStart, jet3 ? 126 : 128);

    if (jet3) {
        // Bytes of the file's code page; Latin-1 covers the letters a
        // password is typed with.
        const char *text = reinterpret_cast<const char *>(page.data() + kPasswordAt);
        header.password = QString::fromLatin1(text, qsizetype(strnlen(text, 20)));
        return header;
    }
    double created = 0;
    std::memcpy(&created, page.data() + kCreatedAt, sizeof created);
    // Whole days, as a 32-bit integer; a date beyond that range gives no mask.
    const auto days = std::isfinite(created) && std::abs(created) < 2147483647.0 ? qint32(created) : 0;
    const auto mask = quint32(days);
    unsigned char *password = page.data() + kPasswordAt;
    for (int i = 0; i < 40; ++i)
        password[i] ^= static_cast<unsigned char>((mask >> (8 * (i % 4))) & 0xff);
    for (int i = 0; i < 20; ++i) {
        const auto c = quint16(password[2 * i] | (password[2 * i + 1] << 8));
        if (c == 0)
            break;
        header.password += QChar(c);
    }
    return header;
}

bool passwordOpens(const JetHeader &header, const QString &password)
{
    return header.password.isEmpty() || header.password == password;
}

} // namespace wip
