// The caches page (template 130), the second tab: the caches of processor
// package 0 in five groups (level-1 data, level-1 instruction or trace,
// level 2, level 3, and a fifth for level 4 or for level 3 beside a split
// level 2), each with size, count and detail; a mainboard cache takes the
// first free group after the processor's. Filled once; it ignores the
// periodic refresh.
#pragma once

#include "app/ui/page.h"

namespace vexa::ui {

class CCacheDlg : public Page {
public:
    static constexpr int kTemplateId = 130;
    static constexpr int kGroupCount = 5;

    struct GroupControls {
        int groupBox;
        const char* resourceText;
        int sizeLabel;
        int detailLabel;
        int sizeValue;
        int countValue;
        int detailValue;
    };
    static const GroupControls kGroups[kGroupCount];

    CCacheDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;

protected:
    void FillFromQueries() override;

private:
    struct CacheLabel {
        const char* single;        // null: the group keeps its resource text
        const char* perProcessor;  // on systems with more than one package
    };
    enum class SizeUnit { KBytes, MBytesWhenWhole, Kuops };
    enum class Detail { Geometry, TraceWays };

    // Fills group `group` (0-4) with the cache of that level and type: true
    // when it was written (count at least 1, size known).
    bool FillGroup(int group, int level, int type, const CacheLabel& label, SizeUnit unit,
                   Detail detail = Detail::Geometry);
    void ShowBoardCache(int group, int sizeKB);

    bool m_bSeveralPackages = false;
};

} // namespace vexa::ui
