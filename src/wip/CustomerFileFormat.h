#pragma once

// How the customer file reader (tools/customer-reader) hands the table
// tblCustomers to the program: on its standard output, records of a kind
// byte and a 32-bit little-endian length, then that many bytes. A row's body
// is its columns' texts (UTF-8) in the order of kColumns, each ended by a
// NUL; a report of trouble names the column it concerns, if any. The output
// opens with the file's first bytes (Header), for the program to tell the
// file's kind and password from, unless the file cannot be read at all
// (Unreadable, with the system's reason). It is whole only when it ends with
// Done: anything short of that means the reader died or was stopped. Plain
// C++, since the reader links no Qt.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace wip::readerformat {

enum Record : char {
    Header = 'H', // the file's first kFileStartSize bytes, or all of a shorter one
    Unreadable = 'U', // not a regular file, or it cannot be opened or read
    Row = 'R',
    NoTable = 'T', // no table tblCustomers
    NoColumns = 'C', // its columns cannot be read
    NoColumn = 'M', // the column named is missing
    NotOpened = 'O', // not an Access file libmdb opens
    Done = 'D',
};

// The columns read, in the order of a row's texts.
enum Column { Id, First, Last, Company, Address, City, State, Zip, Phone, ColumnCount };
inline constexpr std::array<const char *, ColumnCount> kColumns { "CustomerID", "SFirst", "SLast", "SCompany",
    "SAddress1", "SCity", "SState", "SZip", "P1" };

// The kind byte and the length.
inline constexpr std::size_t kHeaderSize = 5;

// How much of the file's start Header holds: the Access header page.
inline constexpr std::size_t kFileStartSize = 4096;

inline void appendRecord(std::string &out, Record kind, std::string_view body = {})
{
    const auto size = std::uint32_t(body.size());
    out += char(kind);
    for (int shift = 0; shift < 32; shift += 8)
        out += char((size >> shift) & 0xFF);
    out += body;
}

} // namespace wip::readerformat
