#pragma once

namespace nuvora {

// The classic error numbers that the operator sees after a failed file operation.
constexpr int kErrIndexOutOfRange = 9;
constexpr int kErrTypeMismatch = 13;
constexpr int kErrFileNotFound = 53;
constexpr int kErrDeviceIo = 57;
constexpr int kErrDiskFull = 61;
constexpr int kErrPermissionDenied = 70;
constexpr int kErrPathAccess = 75;

} // namespace nuvora
