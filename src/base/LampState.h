#pragma once

#include <cstdint>

namespace nuvora {

// One activity lamp and whether it is lit; the value is also the number of its picture.
enum class LampState : std::uint8_t {
    TxOff = 1,
    RxOff = 2,
    ErrOff = 3,
    TxOn = 4,
    RxOn = 5,
    ErrOn = 6,
};

} // namespace nuvora
