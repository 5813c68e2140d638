// Serialises, between processes, the changes to the object namespace that
// must not interleave: creating and closing named objects, reading and
// writing service records.
#pragma once

namespace vexa::platform {

class NamespaceGuard {
public:
    NamespaceGuard();
    ~NamespaceGuard();
    NamespaceGuard(const NamespaceGuard&) = delete;
    NamespaceGuard& operator=(const NamespaceGuard&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace vexa::platform
