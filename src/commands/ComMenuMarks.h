#pragma once

namespace nuvora {

// The check marks of the Com menu, so that the settings reader and the port menu can set them
// before (and without) a window.
class ComMenuMarks {
public:
    virtual ~ComMenuMarks() = default;
    virtual void setComChecked(int index, bool checked) = 0; // index 1..4 (mnuCox)
    virtual void setUsbChecked(bool checked) = 0;            // mnuUSB
};

} // namespace nuvora
