#include "transfer/FrameProtocol.h"

namespace nuvora::protocol {

namespace {

constexpr int kCommandShift = 4; // Ctrl = command * 16 + length field
constexpr std::uint8_t kLengthFieldMask = 0x0F;

void putHeader(Request &r, std::uint8_t ctrl, std::uint16_t address)
{
    r.bytes[0] = ctrl;
    r.bytes[1] = 0;
    r.bytes[2] = static_cast<std::uint8_t>(address & 0xFF); // low byte first
    r.bytes[3] = static_cast<std::uint8_t>(address >> 8);
}

std::uint8_t ctrlByte(std::uint8_t command, std::uint8_t lengthField)
{
    return static_cast<std::uint8_t>((command << kCommandShift) + lengthField);
}

} // namespace

unsigned byteSum(const std::uint8_t *bytes, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

std::uint8_t effectiveLengthField(std::uint8_t command, std::uint8_t lengthField)
{
    return command == kPageWriteCommand ? kFullPageLengthField : lengthField;
}

Request readRequest(std::uint8_t command, std::uint16_t address, std::uint8_t lengthField)
{
    Request r;
    r.lengthField = effectiveLengthField(command, lengthField);
    putHeader(r, ctrlByte(command, r.lengthField), address);
    // Byte 1 is zero, so the sum of the header is Ctrl + AddrLo + AddrHi.
    r.bytes[kHeaderBytes] = static_cast<std::uint8_t>(byteSum(r.bytes.data(), kHeaderBytes));
    r.size = kReadRequestBytes;
    return r;
}

Request writeRequest(std::uint8_t command, std::uint16_t address, std::uint8_t lengthField,
                     const std::uint8_t *page)
{
    Request r;
    r.lengthField = effectiveLengthField(command, lengthField);
    putHeader(r, static_cast<std::uint8_t>(ctrlByte(command, r.lengthField) + kWriteFlag), address);
    for (int i = 0; i < kPageBytes; ++i)
        r.bytes[kHeaderBytes + i] = page[i];
    constexpr int kChecked = kHeaderBytes + kPageBytes;
    r.bytes[kChecked] = static_cast<std::uint8_t>(byteSum(r.bytes.data(), kChecked));
    r.size = kWriteRequestBytes;
    return r;
}

std::uint8_t expectedAck(std::uint8_t checksum)
{
    return static_cast<std::uint8_t>(2 * checksum);
}

bool ackAccepted(std::uint8_t ack, std::uint8_t checksum)
{
    return ack == expectedAck(checksum);
}

bool readAnswerAccepted(const std::uint8_t *answer, std::uint8_t lengthField)
{
    const std::size_t dataBytes = lengthField + 1u;
    return answer[dataBytes] == static_cast<std::uint8_t>(byteSum(answer, dataBytes));
}

int requestBytes(std::uint8_t ctrl)
{
    return (ctrl & kWriteFlag) ? kWriteRequestBytes : kReadRequestBytes;
}

std::optional<ParsedRequest> parseRequest(const std::uint8_t *bytes, std::size_t size)
{
    if (size == 0)
        return std::nullopt;
    const auto length = static_cast<std::size_t>(requestBytes(bytes[0]));
    if (size < length || bytes[1] != 0 ||
        bytes[length - 1] != static_cast<std::uint8_t>(byteSum(bytes, length - 1)))
        return std::nullopt;
    ParsedRequest p;
    p.write = (bytes[0] & kWriteFlag) != 0;
    p.command = static_cast<std::uint8_t>((bytes[0] & ~kWriteFlag) >> kCommandShift);
    p.lengthField = bytes[0] & kLengthFieldMask;
    p.address = static_cast<std::uint16_t>(bytes[2] | (bytes[3] << 8));
    p.checksum = bytes[length - 1];
    if (p.write)
        p.page = bytes + kHeaderBytes;
    return p;
}

Answer readAnswer(const std::uint8_t *data, std::uint8_t lengthField)
{
    Answer a;
    const std::size_t dataBytes = lengthField + 1u;
    for (std::size_t i = 0; i < dataBytes; ++i)
        a.bytes[i] = data[i];
    a.bytes[dataBytes] = static_cast<std::uint8_t>(byteSum(data, dataBytes));
    a.size = static_cast<std::uint8_t>(dataBytes + 1);
    return a;
}

Answer writeAnswer(std::uint8_t requestChecksum)
{
    Answer a;
    a.bytes[0] = expectedAck(requestChecksum);
    a.size = kAckBytes;
    return a;
}

} // namespace nuvora::protocol
