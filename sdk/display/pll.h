// One GPU clock generator, owned by the root's clock-generator list.
#pragma once

class CPLL {
public:
    CPLL() = default;
    virtual ~CPLL() = default;
    CPLL(const CPLL&) = delete;
    CPLL& operator=(const CPLL&) = delete;
};
