// The SPD page's timing table: AMP, XMP or EPP profiles in the right-hand
// columns, the module's JEDEC entries to their left, the last entry beside
// the profiles. Columns that fall outside the table are not shown.
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/info_parser.h"
#include "app/ui/format_text.h"
#include "app/ui/spd_page.h"
#include "sdk/core/helpers.h"

namespace vexa::ui {
namespace {

// The whole clocks a time of t ns takes at f MHz: the product rounded to
// single precision, then up (13.125 ns at 666.67 MHz: 8.75 -> 9).
QString Clocks(float f, float t) {
    const float product = float(double(f) * double(t) / 1000.0);
    return FormatText(L"%d", int(std::ceil(product)));
}

// The first profile column of `count` profiles that end at the right edge.
int FirstProfileColumn(int count) { return std::max(0, CSPDDlg::kColumnCount - count); }

// Picks the CAS table entry of an XMP profile: the entry whose whole CAS
// equals the profile's, else the one whose whole CAS exceeds it by the
// smallest positive amount below 999 (the first of equals). -1 for none.
int MatchingCASEntry(CInfoParser& queries, int M, int i, float profileCAS, int* entryClock, float* entryCAS) {
    const int entries = queries.GetXMPTimingCount(M, i);
    const int wanted = int(profileCAS);
    int best = -1, bestClock = -1, bestGap = 999;
    float bestCAS = -1.0f;
    for (int j = 0; j < entries; ++j) {
        int clock = -1;
        float cas = -1.0f;
        queries.GetXMPProfileTiming(M, i, j, &clock, &cas);
        const int gap = int(cas) - wanted;
        if (gap == 0) {
            *entryClock = clock;
            *entryCAS = cas;
            return j;
        }
        if (gap > 0 && gap < bestGap) {
            best = j;
            bestGap = gap;
            bestClock = clock;
            bestCAS = cas;
        }
    }
    *entryClock = bestClock;
    *entryCAS = bestCAS;
    return best;
}

} // namespace

int CSPDDlg::ShowAMPProfiles(CInfoParser& queries, int M) {
    int version = 0;
    const int count = queries.GetAMPInfo(M, &version);
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i) {
        const int column = FirstProfileColumn(count) + i;
        int clock = -1;
        float cycleTime = -1.0f, cas = -1.0f, rcd = -1.0f, ras = -1.0f, rp = -1.0f, rc = -1.0f;
        queries.GetAMPProfile(M, i, &clock, &cycleTime, &cas, &rcd, &ras, &rp, &rc);
        SetHeading(column, QStringLiteral("AMP"));
        if (clock != -1) SetCell(kClock, column, FormatText(L"%d MHz", clock));
        if (cas > 0) SetCell(kCAS, column, FormatText(L"%.1f", double(cas)));
        if (cycleTime <= 0) continue;
        for (const auto& [row, t] : {std::pair{kRCD, rcd}, {kRP, rp}, {kRAS, ras}, {kRC, rc}}) {
            if (t <= 0) continue;
            const float clocks = float(double(t) * (1000.0 / double(cycleTime)) / 1000.0);
            SetCell(row, column, FormatText(L"%d", RoundToInt(clocks)));
        }
    }
    return count;
}

int CSPDDlg::ShowXMPProfiles(CInfoParser& queries, int M, int profileColumns) {
    int revision = 0;
    const int count = queries.GetXMPInfo(M, &revision);
    if (count <= 0) return profileColumns;
    profileColumns += count;
    EnableTimingRows(true);
    // The profile count is asked again after each profile.
    for (int i = 0; i < queries.GetXMPInfo(M, &revision); ++i) {
        const int column = FirstProfileColumn(profileColumns) + i;
        int clock = -1, commandRate = -1;
        float rcd = -1.0f, ras = -1.0f, rp = -1.0f, voltage = -1.0f, cas = -1.0f, rc = -1.0f;
        queries.GetXMPProfile(M, i, &rcd, &ras, &rp, &voltage, &clock, &cas, &rc, &commandRate);
        SetCell(kVoltage, column, FormatText(L"%.3f V", double(voltage)));
        SetHeading(column, FormatText(L"XMP-%d", 2 * clock));
        SetCell(kClock, column, FormatText(L"%d MHz", clock));

        int entryClock = -1;
        float entryCAS = -1.0f;
        const bool fromTable = MatchingCASEntry(queries, M, i, cas, &entryClock, &entryCAS) >= 0;
        const float timingClock = float(fromTable ? entryClock : clock);
        SetCell(kCAS, column, FormatText(L"%.1f", double(fromTable ? entryCAS : cas)));
        SetCell(kRCD, column, Clocks(timingClock, rcd));
        SetCell(kRP, column, Clocks(timingClock, rp));
        SetCell(kRAS, column, Clocks(timingClock, ras));
        SetCell(kRC, column, Clocks(float(clock), rc));
        if (commandRate > 0) SetCell(kCommandRate, column, FormatText(L"%dT", commandRate));
    }
    return profileColumns;
}

int CSPDDlg::ShowEPPProfiles(CInfoParser& queries, int M, int profileColumns) {
    int kind = 0;
    const int count = queries.GetEPPInfo(M, &kind);
    if (count <= 0) return profileColumns;
    EnableTimingRows(true);
    for (int i = 0; i < count; ++i) {
        const int column = FirstProfileColumn(count) + i;
        int clock = -1, commandRate = -1;
        float cas = -1.0f, rcd = -1.0f, ras = -1.0f, rp = -1.0f, rc = -1.0f, voltage = -1.0f;
        queries.GetEPPProfile(M, i, &clock, &cas, &rcd, &ras, &rp, &rc, &commandRate, &voltage);
        SetHeading(column, FormatText(L"EPP #%d", i + 1));
        if (clock != -1) {
            SetCell(kClock, column, FormatText(L"%d MHz", clock));
            for (const auto& [row, t] : {std::pair{kRCD, rcd}, {kRP, rp}, {kRAS, ras}, {kRC, rc}})
                if (t > 0) SetCell(row, column, Clocks(float(clock), t));
        }
        if (cas > 0) SetCell(kCAS, column, FormatText(L"%.1f", double(cas)));
        if (commandRate != -1) SetCell(kCommandRate, column, FormatText(L"%dT", commandRate));
        if (voltage > 0) SetCell(kVoltage, column, FormatText(L"%.3f V", double(voltage)));
    }
    // The EPP profiles replace the AMP count rather than add to it.
    return count;
}

void CSPDDlg::ShowJEDECEntries(CInfoParser& queries, int M, int profileColumns) {
    const int count = queries.GetJEDECTimingCount(M);
    if (count <= 0) return;
    EnableTimingRows(false);
    const float rcd = queries.GetModuleRCDTime(M);
    const float rp = queries.GetModuleRPTime(M);
    const float ras = queries.GetModuleRASTime(M);
    const float rc = queries.GetModuleRCTime(M);
    for (int j = count - 1; j >= 0; --j) {
        const int column = kColumnCount - 1 - profileColumns - (count - 1 - j);
        float clock = -1.0f, cas = -1.0f, voltage = -1.0f;
        queries.GetJEDECTiming(M, j, &clock, &cas, &voltage);
        SetHeading(column, FormatText(L"JEDEC #%d", j + 1));
        const bool clockKnown = IsValidFloat(clock);
        if (clockKnown) {
            SetCell(kClock, column, FormatText(L"%d MHz", int(clock)));
            for (const auto& [row, t] : {std::pair{kRCD, rcd}, {kRP, rp}, {kRAS, ras}, {kRC, rc}})
                if (t > 0) SetCell(row, column, Clocks(clock, t));
        }
        if (cas > 0) SetCell(kCAS, column, FormatText(L"%.1f", double(cas)));
        if (voltage > 0 && column >= 0 && column < kColumnCount) {
            SetCell(kVoltage, column, FormatText(L"%.2f V", double(voltage)));
            EnableDlgItem(kRowLabels[kVoltage], true);
        }
    }
}

} // namespace vexa::ui
