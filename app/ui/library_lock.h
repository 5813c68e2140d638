// The library lock for the window's reads, taken through the query layer
// and released when the object ends. A lock not obtained within the timeout
// (another thread is updating the library) means: skip this read.
#pragma once

class CvexaApp;
class CLocalInfoParser;

namespace vexa::ui {

class LibraryLock {
public:
    LibraryLock(CvexaApp& app, int timeoutMs);
    ~LibraryLock();
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

    bool Owns() const { return m_bOwned; }

private:
    CLocalInfoParser* m_pQueries;
    bool m_bOwned = false;
};

} // namespace vexa::ui
