// A stand-in for the cooler software's USB library: one device whose
// product text, answers and reply the test sets through FakeCooler_Set.
// Every call is counted so that the test sees what the monitor did.
#include <cstdint>
#include <cstring>

namespace {

struct Script {
    uint32_t devices = 1;
    int productAnswers = 1;
    int opens = 1;
    uint32_t written = 32;  // bytes a write reports
    uint32_t read = 32;     // bytes a read reports
    uint8_t reply[32] = {};
    char product[64] = "Kuhler H2O 920";
} script;

struct Calls {
    int open = 0, close = 0, write = 0, read = 0;
    uint8_t lastRequest[32] = {};
} calls;

void* const kHandle = reinterpret_cast<void*>(intptr_t(0x1234));

} // namespace

extern "C" {

void FakeCooler_Set(uint32_t devices, int productAnswers, int opens, uint32_t written, uint32_t read,
                    const uint8_t* reply) {
    script.devices = devices;
    script.productAnswers = productAnswers;
    script.opens = opens;
    script.written = written;
    script.read = read;
    std::memcpy(script.reply, reply, sizeof script.reply);
    calls = Calls {};
}

// open, close, write, read counts and the last request's first 8 bytes.
void FakeCooler_Calls(int* counts, uint8_t* request) {
    counts[0] = calls.open, counts[1] = calls.close, counts[2] = calls.write, counts[3] = calls.read;
    std::memcpy(request, calls.lastRequest, 8);
}

int SI_SetTimeouts(uint32_t, uint32_t) { return 0; }
int SI_GetNumDevices(uint32_t* count) {
    *count = script.devices;
    return 0;
}
int SI_GetProductString(uint32_t, char* buffer, uint32_t) {
    if (!script.productAnswers) return 0xFF;
    std::strcpy(buffer, script.product);
    return 0;
}
int SI_Open(uint32_t, void** handle) {
    ++calls.open;
    if (!script.opens) return 0xFF;
    *handle = kHandle;
    return 0;
}
int SI_Close(void*) {
    ++calls.close;
    return 0;
}
int SI_Write(void*, void* buffer, uint32_t size, uint32_t* written, void*) {
    ++calls.write;
    std::memcpy(calls.lastRequest, buffer, size < 32 ? size : 32);
    *written = script.written;
    return 0;
}
int SI_Read(void*, void* buffer, uint32_t, uint32_t* read, void*) {
    ++calls.read;
    std::memcpy(buffer, script.reply, sizeof script.reply);
    *read = script.read;
    return 0;
}
int SI_GetPartNumber(uint32_t, uint8_t* part) {
    *part = 0;
    return 0;
}
}
