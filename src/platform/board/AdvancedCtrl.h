#pragma once

namespace orvik {

// The board's advanced control object: switches its video output.
class IVelkAdvancedCtrl {
public:
    static constexpr int kOutputOn = 1;
    static constexpr int kOutputOff = 2;

    virtual ~IVelkAdvancedCtrl() = default;
    // Any mode other than kOutputOff counts as on.
    virtual int GetOutputMode() const = 0;
    virtual bool SetOutputMode(int mode) = 0;
};

} // namespace orvik
