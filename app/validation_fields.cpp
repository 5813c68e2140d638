#include "app/validation_fields.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cstdint>
#include <string>

#include "app/info_parser.h"
#include "app/local_info_parser.h"
#include "app/validation_record.h"
#include "app/vexa_app.h"
#include "platform/text.h"
#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_class_codes.h"

namespace vexa::validation {
namespace {

constexpr double kPi = 3.1415927410125732;
constexpr double kFourOverPiSquared = 0.40528473258018494;
constexpr double kHundredOverPi = 31.83099937438965;
constexpr uint32_t kFirstCheckKey = 0x2E6B4C19;
constexpr uint32_t kSecondCheckKey = 0x71D3A85F;
constexpr int kCoreVoltageSensor = 0x1000100;
constexpr uint32_t kIntelClass = 0x01000000;
constexpr uint32_t kViaClass = 0x08000000;
constexpr int kModuleFields = 6;
constexpr int kAdapterFields = 4;
constexpr int kDriveFields = 4;
constexpr int kGpuCoreClockDomain = 0;
constexpr int kGpuMemoryClockDomain = 7;

std::wstring Format(const wchar_t* format, ...) {
    wchar_t text[kInfoTextChars];
    va_list args;
    va_start(args, format);
    FormatStringWV(text, kInfoTextChars, format, args);
    va_end(args);
    return text;
}

// A text query's answer; empty when it gives no text.
template <typename Query>
std::wstring TextOf(Query query) {
    wchar_t text[kInfoTextChars] = {};
    query(text);
    return text;
}

// Replaces one byte of the text's narrow form by another (commas by spaces
// or semicolons); the text stays as it was when it cannot be converted.
std::wstring ReplaceNarrowByte(const std::wstring& text, char from, char to) {
    constexpr size_t kNarrowBytes = 1024;
    char narrow[kNarrowBytes];
    if (WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow, int(kNarrowBytes), nullptr, nullptr) <= 0)
        return text;
    std::replace(narrow, narrow + std::strlen(narrow), from, to);
    wchar_t wide[kNarrowBytes];
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, int(kNarrowBytes)) <= 0) return text;
    return wide;
}

std::wstring CommasToSpaces(const std::wstring& text) { return ReplaceNarrowByte(text, ',', ' '); }

// The record's texts, built from one query layer for processor 0 and the
// selected core.
class FieldReader {
public:
    FieldReader(CvexaApp& app, CInfoParser& queries) : m_App(app), m_Queries(queries), m_Core(app.m_iSelectedCore) {}

    void Emit(const std::function<void(const wchar_t*)>& field);

private:
    std::wstring Topology();
    std::wstring Specification();
    std::wstring InstructionSets();
    std::wstring CoreClock();
    std::wstring BusClock();
    std::wstring CacheText(int level, int type, bool trace = false);
    std::wstring Level2Cache();
    std::wstring Level3Cache();
    std::wstring BridgeText(bool north);
    std::wstring MemoryTypeText();
    std::wstring ClockCheck(float value, uint32_t key);
    std::wstring CoreVoltage();
    std::wstring MultiplierHistory();
    std::wstring BiosText();
    std::wstring GraphicsIds();
    std::wstring Positive(const wchar_t* format, double value) { return value > 0 ? Format(format, value) : L""; }
    std::wstring Known(int value) { return value != -1 ? Format(L"%d", value) : L""; }
    // The board cache answers once, for level 2 or level 3.
    std::wstring BoardCache();

    CvexaApp& m_App;
    CInfoParser& m_Queries;
    int m_Core;
    bool m_bBoardCacheUsed = false;
};

std::wstring FieldReader::Topology() {
    const int packages = m_Queries.GetProcessorCount();
    int cores = 0, threads = 0;
    for (int P = 0; P < packages; ++P) {
        cores += m_Queries.GetCoreCount(P);
        threads += m_Queries.GetThreadCount(P);
    }
    return Format(L"%d-%d-%d", packages, cores, threads);
}

std::wstring FieldReader::Specification() {
    wchar_t text[kInfoTextChars] = {};
    if (m_Queries.GetSpecification(0, text) == 0) return L"";
    std::wstring field;
    if (!text[0]) {
        wchar_t name[kInfoTextChars] = {};
        if (m_Queries.GetProcessorName(0, name)) {
            const int stock = m_Queries.GetStockClock(0);
            field = stock != -1 ? Format(L"%s %d MHz", name, stock) : std::wstring(name);
        }
    } else {
        field = ReplaceNarrowByte(text, ',', ';');
    }
    if (m_Queries.IsEngineeringSample(0)) field += L" (ES)";
    return field;
}

std::wstring FieldReader::InstructionSets() {
    const uint32_t classCode = uint32_t(m_Queries.GetClassCode(0));
    const auto has = [this](int index) { return m_Queries.HasInstructionSet(0, index) != 0; };
    struct Piece {
        int index;
        const wchar_t* text;
    };
    static const Piece kPieces[] = {
        {ISET_MMX, L"MMX"},      {ISET_MMX_EXTENSIONS, L"(+)"},   {ISET_3DNOW, L"# 3DNow!"}, {ISET_3DNOW_EXTENSIONS, L"(+)"},
        {ISET_SSE, L"# SSE"},    {ISET_SSE2, L" (1# 2"},          {ISET_SSE3, L"# 3"},       {ISET_SSSE3, L"# 3S"},
        {ISET_SSE41, L"# 4.1"},  {ISET_SSE42, L"# 4.2"},          {ISET_SSE4A, L"# 4A"},     {ISET_SSE2, L")"},
    };
    std::wstring text = L"#";
    for (const Piece& piece : kPieces)
        if (has(piece.index)) text += piece.text;
    if (has(ISET_X86_64)) text += classCode & kIntelClass ? L"# EM64T" : L"# x86-64";
    if (has(ISET_VIRTUALIZATION)) text += classCode & (kIntelClass | kViaClass) ? L"# VT-x" : L"# AMD-V";
    static const Piece kLater[] = {{ISET_AES, L"# AES"},   {ISET_AVX, L"# AVX"},   {ISET_AVX2, L"# AVX2"},
                                   {ISET_XOP, L"# XOP"},   {ISET_FMA3, L"# FMA3"}, {ISET_FMA4, L"# FMA4"}};
    for (const Piece& piece : kLater)
        if (has(piece.index)) text += piece.text;
    if (has(ISET_RTM) && has(ISET_HLE)) text += L"# TSX";
    else if (has(ISET_RTM)) text += L"# RTM";
    else if (has(ISET_HLE)) text += L"# HLE";
    return text;
}

std::wstring FieldReader::CoreClock() {
    const float clock = m_Queries.GetCoreClock(0, m_Core);
    if (clock <= 0) return L"";
    m_App.m_fValidationValue1 = clock;
    m_App.m_fValidationValue2 = clock;
    return Format(L"%.2f", double(clock) / kPi);
}

std::wstring FieldReader::BusClock() {
    CLocalInfoParser* local = m_App.LocalInfoParser();
    const float scaled = local && local == &m_Queries ? local->GetScaledBusClock() : -1.0f;
    const float bus = float(double(scaled) * kFourOverPiSquared);
    if (bus > 0) return Format(L"%.2f", double(bus));
    return Positive(L"%.2f", double(m_Queries.GetBusClock()));
}

std::wstring FieldReader::CacheText(int level, int type, bool trace) {
    int size = -1;
    const int count = m_Queries.GetCacheCount(0, level, type, &size);
    if (count <= 0 || size == -1) return L"";
    std::wstring text = count > 1 ? Format(L"%d x %d", count, size) : Format(L"%d", size);
    int lineBytes = -1, ways = -1;
    if (m_Queries.GetCacheGeometry(0, level, type, &lineBytes, &ways) > 0 && ways != -1 &&
        (trace || (ways != 1 && ways != 255)))
        text += Format(L"-%d", ways);
    return text;
}

std::wstring FieldReader::BoardCache() {
    int size = -1;
    if (m_Queries.GetBoardCacheSize(&size) <= 0) return L"";
    m_bBoardCacheUsed = true;
    return size != -1 ? Format(L"%d KBytes", size) : L"";
}

std::wstring FieldReader::Level2Cache() {
    int size = -1;
    const int unified = m_Queries.GetCacheCount(0, 2, CACHE_UNIFIED, &size);
    if (unified > 0 && size != -1) return CacheText(2, CACHE_UNIFIED);
    std::wstring text;
    int found = 0;
    if (unified <= 0) {
        int codeSize = -1, dataSize = -1;
        if (m_Queries.GetCacheCount(0, 2, CACHE_INSTRUCTION, &codeSize) > 0 && codeSize != -1) found += codeSize;
        const int data = m_Queries.GetCacheCount(0, 2, CACHE_DATA, &dataSize);
        if (data > 0 && dataSize != -1) {
            found += dataSize;
            text = data > 1 ? Format(L"%d x %d KBytes", data, found) : Format(L"%d KBytes", found);
        }
    }
    if (found == 0) return BoardCache();
    return text;
}

std::wstring FieldReader::Level3Cache() {
    int size = -1;
    const int count = m_Queries.GetCacheCount(0, 3, CACHE_UNIFIED, &size);
    if (count > 0 && size != -1 && size != 0) return CacheText(3, CACHE_UNIFIED);
    if (m_bBoardCacheUsed) return L"";
    int board = -1;
    if (m_Queries.GetBoardCacheSize(&board) > 0 && board != -1) return Format(L"%d KBytes", board);
    return L"";
}

std::wstring FieldReader::BridgeText(bool north) {
    const auto text = [&](int (CInfoParser::*query)(wchar_t*)) {
        return TextOf([&](wchar_t* t) { return (m_Queries.*query)(t); });
    };
    const std::wstring vendor = text(north ? &CInfoParser::GetNorthbridgeVendor : &CInfoParser::GetSouthbridgeVendor);
    const std::wstring model = text(north ? &CInfoParser::GetNorthbridgeModel : &CInfoParser::GetSouthbridgeModel);
    const std::wstring revision =
        text(north ? &CInfoParser::GetNorthbridgeRevision : &CInfoParser::GetSouthbridgeRevision);
    return Format(L"%s %s rev %s", vendor.c_str(), model.c_str(), revision.c_str());
}

std::wstring FieldReader::MemoryTypeText() {
    switch (m_Queries.GetMemoryType()) {
    case 2: return L"RDRAM";
    case 3: return L"EDO";
    case 4: return L"FPG";
    case 5: return L"SDRAM";
    case 6: return L"DDR-SDRAM";
    case 7: return L"DDR2-SDRAM";
    case 8: return L"FB-DDR2";
    case 9: return L"DDR3-SDRAM";
    case 10: return L"DDR4-SDRAM";
    default: return L"";
    }
}

// The clock value (pi times MHz) as hundredths of a MHz, XOR the key.
std::wstring FieldReader::ClockCheck(float value, uint32_t key) {
    if (value <= 0) return L"";
    const auto hundredths = static_cast<int64_t>(double(value) * kHundredOverPi);
    return Format(L"%u", unsigned(uint32_t(hundredths) ^ key));
}

std::wstring FieldReader::CoreVoltage() {
    int device = -1, index = -1;
    const float sensor = m_Queries.GetSensorValue(kCoreVoltageSensor, &device, &index);
    if (sensor > 0) return Format(L"%.3f", double(sensor));
    return Positive(L"%.3f", double(m_Queries.GetCoreVID(0)));
}

std::wstring FieldReader::MultiplierHistory() {
    int count = 0;
    float* samples = nullptr;
    if (!m_Queries.GetMultiplierHistory(0, m_Core, &count, &samples) || !samples) return L"";
    std::wstring text;
    for (int i = 0; i < count; ++i) text += Format(L"%.2f;", double(samples[i]));
    return text;
}

std::wstring FieldReader::BiosText() {
    const std::wstring vendor = TextOf([&](wchar_t* t) { return m_Queries.GetBIOSVendor(t); });
    const std::wstring version = TextOf([&](wchar_t* t) { return m_Queries.GetBIOSVersion(t); });
    const std::wstring date = TextOf([&](wchar_t* t) { return m_Queries.GetBIOSDate(t); });
    return vendor + L"--" + version + L"--" + date;
}

// An adapter whose ids are unknown adds nothing.
std::wstring FieldReader::GraphicsIds() {
    const int adapters = std::min(m_Queries.GetDisplayAdapterCount(), kAdapterFields);
    std::wstring text;
    for (int A = 0; A < adapters; ++A) {
        int vendor = -1, device = -1, revision = -1, subVendor = -1, subSystem = -1;
        if (m_Queries.GetGPUPCIIDs(A, &vendor, &device, &revision, &subVendor, &subSystem))
            text += Format(L"%04X:%04X;", subVendor, subSystem);
    }
    return text;
}

void FieldReader::Emit(const std::function<void(const wchar_t*)>& field) {
    const auto put = [&field](const std::wstring& text) { field(text.c_str()); };
    const auto text = [this](auto query) { return TextOf(query); };

    put(Topology());
    put(text([&](wchar_t* t) { return m_Queries.UnmaskProcessorName(0, t); }));
    put(text([&](wchar_t* t) { return m_Queries.UnmaskCodename(0, t); }));
    put(Specification());
    const int family = m_Queries.GetFamily(0);
    put(family != -1 ? Format(L"%X.%X.%X", family, m_Queries.GetModel(0), m_Queries.GetStepping(0)) : L"");
    const int extFamily = m_Queries.GetExtFamily(0), extModel = m_Queries.GetExtModel(0);
    put(extFamily != -1 && extModel != -1 ? Format(L"%X.%X", extFamily, extModel) : L"");
    const int brand = m_Queries.GetBrandID(0);
    put(brand > 0 ? Format(L"%d", brand) : L"");
    put(Format(L"%d", m_Queries.IsEngineeringSample(0) ? 1 : 0));
    put(text([&](wchar_t* t) { return m_Queries.GetCoreStepping(0, t); }));
    put(Positive(L"%.4f", double(m_Queries.GetTechnology(0))));
    put(InstructionSets());
    put(CoreClock());
    put(Positive(L"%.2f", double(m_Queries.GetCoreMultiplier(0, m_Core))));
    put(BusClock());
    put(Positive(L"%.1f", double(m_Queries.GetCoreMinMultiplier(0, m_Core))));
    put(Positive(L"%.1f", double(m_Queries.GetCoreMaxMultiplier(0, m_Core))));
    int size = -1;
    put(m_Queries.GetCacheCount(0, 1, CACHE_INSTRUCTION, &size) > 0 ? CacheText(1, CACHE_INSTRUCTION)
                                                                    : CacheText(1, CACHE_TRACE, true));
    put(CacheText(1, CACHE_DATA));
    put(Level2Cache());
    put(Level3Cache());
    put(text([&](wchar_t* t) { return m_Queries.GetPackage(0, t); }));
    put(Positive(L"%.2f", double(m_Queries.GetRatedBusClock(0))));
    const wchar_t* logo = ProcessorLogoName(uint32_t(m_Queries.GetClassCode(0)));
    put(logo ? logo : L"");

    put(BridgeText(true));
    put(BridgeText(false));
    put(Format(L"%d", m_Queries.GetMemorySize()));
    put(MemoryTypeText());
    put(Positive(L"%.1f", double(m_Queries.GetDRAMFrequency())));
    wchar_t ratio[kInfoTextChars] = {};
    put(m_Queries.GetFSBDRAMRatio(ratio) > 0 ? std::wstring(ratio) : L"");
    put(Positive(L"%.1f", double(m_Queries.GetCASLatency())));
    put(Known(m_Queries.GetRASToCASDelay()));
    put(Known(m_Queries.GetRASPrecharge()));
    put(Known(m_Queries.GetCycleTime()));
    put(Known(m_Queries.GetBankCycleTime()));
    put(Known(m_Queries.GetRowToColumnDelay()));
    put(Known(m_Queries.GetDRAMIdleTimer()));
    put(Known(m_Queries.GetMemoryChannels()));

    const int modules = m_Queries.GetSPDModuleCount();
    for (int M = 0; M < kModuleFields; ++M) {
        if (M >= modules) {
            for (int i = 0; i < 3; ++i) put(L"");
            continue;
        }
        put(text([&](wchar_t* t) { return m_Queries.GetModuleManufacturer(M, t); }));
        put(Known(m_Queries.GetModuleSize(M)));
        put(Known(m_Queries.GetModulePCRating(M)));
    }

    put(ClockCheck(m_App.m_fValidationValue1, kFirstCheckKey));
    put(ClockCheck(m_App.m_fValidationValue2, kSecondCheckKey));
    put(Known(m_Queries.GetStockClock(0)));
    put(CommasToSpaces(text([&](wchar_t* t) { return m_Queries.GetBoardManufacturer(t); })));
    put(CommasToSpaces(text([&](wchar_t* t) { return m_Queries.GetBoardProduct(t); })));

    const int adapters = m_Queries.GetDisplayAdapterCount();
    for (int A = 0; A < kAdapterFields; ++A) {
        if (A >= adapters) {
            for (int i = 0; i < 4; ++i) put(L"");
            continue;
        }
        put(CommasToSpaces(text([&](wchar_t* t) { return m_Queries.GetGPUName(A, t); })));
        int memory = -1;
        put(m_Queries.GetGPUMemorySize(A, &memory) && memory != -1 ? Format(L"%d", memory) : L"");
        const int levels = m_Queries.GetPerfLevelCount(A);
        const int top = levels > 0 ? levels - 1 : levels;
        for (int domain : {kGpuCoreClockDomain, kGpuMemoryClockDomain}) {
            const float clock = m_Queries.GetGPUClock(A, top, domain);
            put(clock > 0 ? Format(L"%d", int(clock)) : L"");
        }
    }

    const int drives = m_Queries.GetDriveCount();
    for (int D = 0; D < kDriveFields; ++D) {
        if (D >= drives) {
            put(L"");
            put(L"");
            continue;
        }
        put(CommasToSpaces(text([&](wchar_t* t) { return m_Queries.GetDriveName(D, t); })));
        put(Format(L"%u", unsigned(m_Queries.GetDriveCapacity(D))));
    }

    put(text([&](wchar_t* t) { return m_Queries.GetWindowsVersion(t); }));
    put(text([&](wchar_t* t) { return m_Queries.GetWindowsBuild(t); }));
    put(text([&](wchar_t* t) { return m_Queries.GetDirectXVersion(t); }));
    put(CoreVoltage());
    put(MultiplierHistory());
    const float tdp = m_Queries.GetTDP(0);
    put(tdp > 0 ? Format(L"%d", int(double(tdp) * 10.0)) : L"");
    put(CacheText(4, CACHE_UNIFIED));
    const int microcode = m_Queries.GetMicrocodeRevision(0);
    put(microcode != -1 ? Format(L"%X", microcode) : L"");
    put(Format(L"%.1f", double(m_Queries.GetMaxTemperature(0))));
    put(BiosText());
    put(GraphicsIds());
    put(m_App.m_szVersion);
}

} // namespace

void ForEachRecordField(CvexaApp& app, const std::function<void(const wchar_t*)>& field) {
    if (!app.m_pInfoParser) return;
    FieldReader(app, *app.m_pInfoParser).Emit(field);
}

} // namespace vexa::validation
