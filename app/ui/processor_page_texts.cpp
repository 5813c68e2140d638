#include "app/ui/processor_page_texts.h"

#include "app/info_parser.h"
#include "app/ui/format_text.h"
#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_class_codes.h"

namespace vexa::ui {
namespace {

constexpr int kDirectMapped = 1;
constexpr int kFullyAssociative = 255;
constexpr wchar_t kValidationSearch[] = L"http://valid.vexa.example/search/search.php?psn=";

struct InstructionSetName {
    int index;
    const wchar_t* text;
};

// In the order they are shown; 16 and 18 name themselves by vendor.
constexpr InstructionSetName kLeadingSets[] = {
    {ISET_MMX, L"MMX"},     {ISET_MMX_EXTENSIONS, L"(+)"}, {ISET_3DNOW, L", 3DNow!"},
    {ISET_3DNOW_EXTENSIONS, L"(+)"}, {ISET_SSE, L", SSE"}, {ISET_SSE2, L", SSE2"},
    {ISET_SSE3, L", SSE3"}, {ISET_SSSE3, L", SSSE3"},      {ISET_SSE41, L", SSE4.1"},
    {ISET_SSE42, L", SSE4.2"}, {ISET_SSE4A, L", SSE4A"},
};
constexpr InstructionSetName kTrailingSets[] = {
    {ISET_AES, L", AES"},   {ISET_AVX, L", AVX"},   {ISET_AVX2, L", AVX2"},
    {ISET_XOP, L", XOP"},   {ISET_FMA3, L", FMA3"}, {ISET_FMA4, L", FMA4"},
};

} // namespace

QString CacheSizeText(int count, int sizeKB, bool megabytes) {
    if (megabytes && sizeKB >= 1024 && sizeKB % 1024 == 0) {
        return count > 1 ? FormatText(L"%d x %d MBytes", count, sizeKB / 1024)
                         : FormatText(L"%d MBytes", sizeKB / 1024);
    }
    return count > 1 ? FormatText(L"%d x %d KBytes", count, sizeKB) : FormatText(L"%d KBytes", sizeKB);
}

QString AssociativityText(int geometryAnswer, int ways) {
    if (geometryAnswer <= 0) return {};
    switch (ways) {
    case kDirectMapped: return QStringLiteral("direct");
    case kFullyAssociative: return QStringLiteral("fully");
    case -1: return {};
    default: return FormatText(L"%d-way", ways);
    }
}

QString MultiplierText(float multiplier, float minimum, float maximum) {
    if (!(multiplier > 0)) return {};
    const bool hundredths = RoundToInt(multiplier * 100.0f) % 10 != 0;
    const bool range = minimum > 0 && maximum > 0;
    if (hundredths) {
        return range ? FormatText(L"x %.2f ( %.2f - %.2f )", multiplier, minimum, maximum)
                     : FormatText(L"x %.2f", multiplier);
    }
    QString text = FormatText(L"x %.1f", multiplier);
    if (!range) return text;
    // Whole ends are shown without their decimal.
    const int tenthsMin = static_cast<int>(minimum * 10.0f);
    text += tenthsMin % 10 ? FormatText(L" ( %.1f - ", minimum) : FormatText(L" ( %d - ", tenthsMin / 10);
    const int tenthsMax = static_cast<int>(maximum * 10.0f);
    text += tenthsMax % 10 ? FormatText(L"%.1f )", maximum) : FormatText(L"%d )", tenthsMax / 10);
    return text;
}

QString TechnologyText(float technology) {
    if (technology < 0.1f) {
        const float nanometres = technology * 1000.0f;  // single precision: 0.065 gives 65
        return FormatText(L"%d nm", static_cast<int>(nanometres));
    }
    return FormatText(L"%1.2f um", technology);
}

QString InstructionSetText(CInfoParser& queries, int P) {
    const int classCode = queries.GetClassCode(P);
    const bool intel = (classCode & CPU_CLASS_INTEL) != 0;
    const bool intelOrVia = intel || (classCode & CPU_CLASS_VIA) != 0;
    QString text = QStringLiteral(" ");
    const auto append = [&](int index, const wchar_t* name) {
        if (queries.HasInstructionSet(P, index)) text += QString::fromWCharArray(name);
    };
    for (const InstructionSetName& set : kLeadingSets) append(set.index, set.text);
    append(ISET_X86_64, intel ? L", EM64T" : L", x86-64");
    append(ISET_VIRTUALIZATION, intelOrVia ? L", VT-x" : L", AMD-V");
    for (const InstructionSetName& set : kTrailingSets) append(set.index, set.text);
    const bool rtm = queries.HasInstructionSet(P, ISET_RTM), hle = queries.HasInstructionSet(P, ISET_HLE);
    if (rtm && hle) text += QStringLiteral(", TSX");
    else if (rtm) text += QStringLiteral(", RTM");
    else if (hle) text += QStringLiteral(", HLE");
    return text;
}

QString LogoLinkURL(const QString& brandString) {
    QString url = QString::fromWCharArray(kValidationSearch);
    for (const QChar character : brandString)
        url += QStringLiteral("%1").arg(character.unicode() & 0xFF, 2, 16, QLatin1Char('0'));
    return url + QStringLiteral("&sort=freq");
}

} // namespace vexa::ui
