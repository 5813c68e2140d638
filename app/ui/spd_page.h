// The memory module (SPD) page (template 133), the fifth tab: one module's
// SPD contents (type, size, speed, maker, part and serial numbers, date,
// error correction, registered and buffered flags, the profile extensions)
// and a timing table of four columns that puts the module's JEDEC entries
// beside its AMP, XMP or EPP profiles. A combo box chooses the memory slot;
// the page shows a module at set-up and whenever the slot changes, and
// ignores the periodic refresh.
#pragma once

#include <cstdint>

#include "app/ui/page.h"

class QComboBox;

namespace vexa::ui {

class CSPDDlg : public Page {
public:
    static constexpr int kTemplateId = 133;
    static constexpr int kColumnCount = 4;
    static constexpr int kRowCount = 8;

    // Control ids.
    static constexpr int IDC_SLOT_COMBO = 1196;
    static constexpr int IDC_SLOT_GROUP = 1177;
    static constexpr int IDC_TIMING_GROUP = 1231;
    static constexpr int IDC_MODULE_TYPE = 1056;
    static constexpr int IDC_MODULE_SIZE = 1078;
    static constexpr int IDC_MODULE_SPEED = 1075;
    static constexpr int IDC_MODULE_MAKER = 1058;
    static constexpr int IDC_MODULE_PART = 1076;
    static constexpr int IDC_MODULE_SERIAL = 1077;
    static constexpr int IDC_MODULE_CORRECTION = 1079;
    static constexpr int IDC_MODULE_REGISTERED = 1082;
    static constexpr int IDC_MODULE_BUFFERED = 1080;
    static constexpr int IDC_MODULE_PROFILES = 1083;
    static constexpr int IDC_MODULE_DATE = 1081;
    static constexpr int IDC_FIRST_HEADING = 1099;  // 1099 + column
    static constexpr int IDC_LABEL_VOLTAGE = 1029;
    static constexpr int IDC_LABEL_PROFILES = 1027;

    enum Row { kClock, kCAS, kRCD, kRP, kRAS, kRC, kCommandRate, kVoltage };
    // The value control of each timing cell, by row and column.
    static const int kCells[kRowCount][kColumnCount];
    // The row labels, by row.
    static const int kRowLabels[kRowCount];

    CSPDDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;

    // The module of that slot (a combo index), or a cleared page.
    void ShowModule(int slot);
    void ClearModule();
    int SlotCount() const { return m_nSlotCount; }
    uint32_t PopulatedMask() const { return m_dwPopulatedMask; }

protected:
    void FillFromQueries() override;

private:
    void OnSelChangeSlot();
    // The module index a slot shows, or -1 for none.
    int ModuleOfSlot(int slot, int moduleCount) const;
    void ShowModuleFields(CInfoParser& queries, int M);
    void ShowProfileList(CInfoParser& queries, int M);

    // The timing table, filled from the right: profiles first, the JEDEC
    // entries to their left. Each returns the number of profile columns
    // the next section counts with.
    int ShowAMPProfiles(CInfoParser& queries, int M);
    int ShowXMPProfiles(CInfoParser& queries, int M, int profileColumns);
    int ShowEPPProfiles(CInfoParser& queries, int M, int profileColumns);
    void ShowJEDECEntries(CInfoParser& queries, int M, int profileColumns);
    void EnableTimingRows(bool withCommandRateAndVoltage);
    // Writes a cell; a column outside the table writes nothing.
    void SetCell(Row row, int column, const QString& text);
    void SetHeading(int column, const QString& text);

    int m_nSlotCount = 0;
    uint32_t m_dwPopulatedMask = 0;  // bit i: socket i holds a module; 0: slot i shows module i
    QComboBox* m_SlotCombo = nullptr;
};

} // namespace vexa::ui
