#pragma once

// The device's frame protocol as pure functions: the tool's requests, the device's answers and
// the checks on both. Plain C++ without Qt, so that the device simulator speaks it too.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace nuvora::protocol {

constexpr int kPageBytes = 16; // every write frame carries one whole page
constexpr std::uint8_t kReadCommand = 0;
constexpr std::uint8_t kPageWriteCommand = 4;
constexpr std::uint8_t kWriteFlag = 0x80;
constexpr std::uint8_t kFullPageLengthField = kPageBytes - 1;
constexpr std::int32_t kProbeAddress = 4;

constexpr int kHeaderBytes = 4; // Ctrl, 0, AddrLo, AddrHi
constexpr int kReadRequestBytes = kHeaderBytes + 1;
constexpr int kWriteRequestBytes = kHeaderBytes + kPageBytes + 1;
constexpr int kAckBytes = 1;
constexpr int kMaxReadAnswerBytes = kPageBytes + 1;

// A request as it goes on the line.
struct Request {
    std::array<std::uint8_t, kWriteRequestBytes> bytes{};
    std::uint8_t size = 0;
    std::uint8_t lengthField = 0; // after the page-write rule

    std::uint8_t ctrl() const { return bytes[0]; }
    std::uint8_t addrLo() const { return bytes[2]; }
    std::uint8_t addrHi() const { return bytes[3]; }
    std::uint8_t checksum() const { return bytes[size - 1u]; }
};

// Bytes the device answers with: an acknowledgement, or the data and their checksum.
constexpr int answerBytes(bool write, std::uint8_t lengthField)
{
    return write ? kAckBytes : lengthField + 2;
}

// A device's answer to a request.
struct Answer {
    std::array<std::uint8_t, kMaxReadAnswerBytes> bytes{};
    std::uint8_t size = 0;
};

// A request as the device reads it off the line.
struct ParsedRequest {
    bool write = false;
    std::uint8_t command = 0;
    std::uint8_t lengthField = 0;
    std::uint16_t address = 0;
    std::uint8_t checksum = 0;
    const std::uint8_t *page = nullptr; // a write's 16 bytes, inside the parsed buffer
};

// The sum of the bytes, not reduced.
unsigned byteSum(const std::uint8_t *bytes, std::size_t count);

// A page write always carries the whole page, whatever length field the caller passed.
std::uint8_t effectiveLengthField(std::uint8_t command, std::uint8_t lengthField);

Request readRequest(std::uint8_t command, std::uint16_t address, std::uint8_t lengthField);
// `page` points at the 16 bytes from `address` onward.
Request writeRequest(std::uint8_t command, std::uint16_t address, std::uint8_t lengthField,
                     const std::uint8_t *page);

std::uint8_t expectedAck(std::uint8_t checksum);
bool ackAccepted(std::uint8_t ack, std::uint8_t checksum);
// `answer` holds at least lengthField + 2 bytes.
bool readAnswerAccepted(const std::uint8_t *answer, std::uint8_t lengthField);

// Bytes a request beginning with `ctrl` occupies on the line.
int requestBytes(std::uint8_t ctrl);
// Nothing when the bytes are not a request: too short, byte 1 set or a wrong checksum.
std::optional<ParsedRequest> parseRequest(const std::uint8_t *bytes, std::size_t size);
// The device's answers: the data (length field + 1 bytes) and their checksum, or the ack.
Answer readAnswer(const std::uint8_t *data, std::uint8_t lengthField);
Answer writeAnswer(std::uint8_t requestChecksum);

} // namespace nuvora::protocol
