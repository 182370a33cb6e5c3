#include "image/SRecordWriter.h"

namespace nuvora {

namespace {

constexpr int kMostHeaderBytes = 252; // a record's count is one byte: 255 - address - checksum

// One record: type, count, address, data and checksum, in upper-case hex.
void appendRecord(QByteArray &out, char type, std::uint32_t address, int addressBytes,
                  const char *data, int size)
{
    QByteArray body;
    body.append(char(addressBytes + size + 1)); // the count: address, data, checksum
    for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8)
        body.append(char((address >> shift) & 0xFF));
    if (size > 0)
        body.append(data, size);
    unsigned sum = 0;
    for (const char c : body)
        sum += static_cast<unsigned char>(c);
    body.append(char(~sum & 0xFF)); // ones' complement of the low byte of the sum
    out += 'S';
    out += type;
    out += body.toHex().toUpper();
    out += "\r\n";
}

} // namespace

QByteArray WriteSRecords(const QByteArray &bytes, std::uint32_t address, const QByteArray &header)
{
    QByteArray out;
    const QByteArray title = header.left(kMostHeaderBytes);
    appendRecord(out, '0', 0, 2, title.constData(), int(title.size()));
    for (qsizetype at = 0; at < bytes.size(); at += kSRecordDataBytes) {
        const int size = int(qMin<qsizetype>(kSRecordDataBytes, bytes.size() - at));
        appendRecord(out, '2', address + std::uint32_t(at), 3, bytes.constData() + at, size);
    }
    appendRecord(out, '8', 0, 3, nullptr, 0);
    return out;
}

} // namespace nuvora
