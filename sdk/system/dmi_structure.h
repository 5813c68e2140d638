// The decoded SMBIOS structures: one class per structure type the library
// knows, all derived from CDMIStructure. CDMIInterface makes one object per
// structure of a known type, fills it and keeps it in table order; the rest
// of the library reads the members directly (after casting the result of
// CDMIInterface::GetStructure to the class of the type it asked for) and
// the DMI report section is the Dump of each object.
//
// Every object starts with all its values unknown: texts empty, integers -1,
// floats -1.0. A field that lies beyond its structure's formatted length,
// or whose string index names no string, stays unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CReportGenerator;
class DMIStructureView;

// SMBIOS structure types the library decodes.
enum DMIType : uint32_t {
    DMI_TYPE_BIOS = 0,
    DMI_TYPE_SYSTEM = 1,
    DMI_TYPE_BASEBOARD = 2,
    DMI_TYPE_ENCLOSURE = 3,
    DMI_TYPE_PROCESSOR = 4,
    DMI_TYPE_MEMORY_CONTROLLER = 5,
    DMI_TYPE_MEMORY_MODULE = 6,
    DMI_TYPE_PORT_CONNECTOR = 8,
    DMI_TYPE_EXTENSION_SLOT = 9,
    DMI_TYPE_OEM_STRINGS = 11,
    DMI_TYPE_PHYSICAL_MEMORY_ARRAY = 16,
    DMI_TYPE_MEMORY_DEVICE = 17,
};

// A text member: a zero-filled heap buffer of 256 bytes owned by its
// structure; empty means unknown.
class CDMIText {
public:
    static constexpr size_t kSize = 256;

    CDMIText() : m_pText(new char[kSize]()) {}

    const char* Get() const { return m_pText.get(); }
    char* Buffer() { return m_pText.get(); }
    bool IsEmpty() const { return m_pText[0] == '\0'; }
    // The text, or "unknown" when it is empty (how report lines show it).
    const char* OrUnknown() const { return IsEmpty() ? "unknown" : Get(); }

private:
    std::unique_ptr<char[]> m_pText;
};

// How a string is copied into a text member.
enum class DMITextMode { Cleaned, AsStored };

// Copies the string whose index byte lies at `offset` into `text`: at most
// `maxChars` characters, then DMICleanText unless `mode` is AsStored. A
// missing index byte or string leaves the text as it was.
void CopyDMIString(CDMIText& text, const DMIStructureView& structure, size_t offset,
                   size_t maxChars = CDMIText::kSize - 1, DMITextMode mode = DMITextMode::Cleaned);

class CDMIStructure {
public:
    explicit CDMIStructure(uint32_t type) : m_dwType(type) {}
    virtual ~CDMIStructure() = default;
    CDMIStructure(const CDMIStructure&) = delete;
    CDMIStructure& operator=(const CDMIStructure&) = delete;

    // Writes the structure's block of the DMI report section; the base
    // writes nothing.
    virtual void Dump(CReportGenerator*) {}

    uint32_t m_dwType;  // the SMBIOS type

protected:
    // The block's first line: its title alone.
    static void PrintHeading(CReportGenerator* report, const char* title);
    // A text line; an empty text prints as "unknown".
    static void PrintText(CReportGenerator* report, const char* label, const char* pad,
                          const CDMIText& text);
};

// Makes and fills the object of a structure of a known type; null for
// every other type (inactive, end-of-table, OEM types 128-255, ...).
CDMIStructure* CreateDMIStructure(const DMIStructureView& structure);

// ---- Code tables ----

// A row of a code-to-name table. Tables are sorted by code (checked at
// compile time with DMICodesSorted) and searched by bisection.
struct DMICodeName {
    uint8_t code;
    const char* name;
};

template <size_t N>
constexpr bool DMICodesSorted(const DMICodeName (&table)[N]) {
    for (size_t i = 1; i < N; ++i)
        if (table[i - 1].code >= table[i].code) return false;
    return true;
}

// The name of `code`; null when the table does not list it.
template <size_t N>
const char* DMICodeNameOf(const DMICodeName (&table)[N], unsigned code) {
    size_t low = 0, high = N;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (table[middle].code == code) return table[middle].name;
        if (table[middle].code < code) low = middle + 1;
        else high = middle;
    }
    return nullptr;
}

// Copies `name` into `text`; null leaves the text empty.
void SetDMIText(CDMIText& text, const char* name);

// Copies the name of `code` into `text`; a code the table does not list
// leaves the text empty.
template <size_t N>
void SetDMICodeName(CDMIText& text, const DMICodeName (&table)[N], unsigned code) {
    SetDMIText(text, DMICodeNameOf(table, code));
}
