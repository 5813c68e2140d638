// File version blocks (VS_VERSIONINFO): building one, finding one inside any
// file, and answering VerQueryValueA from it.
//
// A block is a tree of nodes, each {u16 length, u16 value length, u16 type,
// UTF-16 key with terminator, padding to 4, value, padding to 4, children},
// all little-endian, with offsets aligned relative to the start of the block.
// The buffer GetFileVersionInfoA fills holds the block, a small trailer and
// room for the narrow copies of texts that VerQueryValueA hands out.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/resources.h"
#include "platform/system_files.h"
#include "platform/text.h"

namespace vexa::platform {

namespace {

constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kTrailerMagic = 0x49565856;  // "VXVI"
constexpr size_t kHeaderSize = 6;

size_t align4(size_t value) { return (value + 3) & ~size_t(3); }

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// ---- Building ----

void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}

void pad4(std::vector<uint8_t>& out) {
    while (out.size() % 4) out.push_back(0);
}

// UTF-8 -> UTF-16LE code units (with terminator).
std::vector<uint16_t> utf16(const std::string& text) {
    std::vector<uint16_t> units;
    const std::wstring wide = toWide(text);
    for (wchar_t c : wide) {
        const auto code = static_cast<uint32_t>(c);
        if (code >= 0x10000) {
            units.push_back(static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(code));
        }
    }
    units.push_back(0);
    return units;
}

struct Node {
    std::string key;
    std::vector<uint8_t> value;
    bool text = false;       // value is UTF-16 text
    uint16_t textUnits = 0;  // its length in code units, terminator included
    std::vector<Node> children;
};

// Appends a node at a 4-aligned position of `out` (relative to the block).
void emit(std::vector<uint8_t>& out, const Node& node) {
    pad4(out);
    const size_t start = out.size();
    put16(out, 0);  // length, patched below
    put16(out, node.text ? node.textUnits : static_cast<uint16_t>(node.value.size()));
    put16(out, node.text ? 1 : 0);
    for (uint16_t unit : utf16(node.key)) put16(out, unit);
    pad4(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) emit(out, child);
    const size_t length = out.size() - start;
    out[start] = static_cast<uint8_t>(length);
    out[start + 1] = static_cast<uint8_t>(length >> 8);
}

Node textNode(const std::string& key, const std::string& value) {
    Node node;
    node.key = key;
    node.text = true;
    const auto units = utf16(value);
    node.textUnits = static_cast<uint16_t>(units.size());
    for (uint16_t unit : units) put16(node.value, unit);
    return node;
}

// ---- Reading ----

struct View {
    const uint8_t* base;  // start of the block
    size_t size;          // bytes of the block that may be read
};

struct NodeView {
    size_t offset = 0, length = 0;
    uint16_t valueLength = 0, type = 0;
    size_t keyUnits = 0;  // without terminator
    size_t valueOffset = 0, childrenOffset = 0;
};

bool readNode(const View& view, size_t offset, size_t end, NodeView& node) {
    if (offset + kHeaderSize > end) return false;
    node.offset = offset;
    node.length = le16(view.base + offset);
    node.valueLength = le16(view.base + offset + 2);
    node.type = le16(view.base + offset + 4);
    if (node.length < kHeaderSize || offset + node.length > end) return false;
    const size_t nodeEnd = offset + node.length;
    size_t p = offset + kHeaderSize;
    node.keyUnits = 0;
    while (p + 2 <= nodeEnd && le16(view.base + p) != 0) {
        p += 2;
        ++node.keyUnits;
    }
    if (p + 2 > nodeEnd) return false;  // key without terminator
    node.valueOffset = align4(p + 2);
    const size_t valueBytes = node.type == 1 ? size_t(node.valueLength) * 2 : node.valueLength;
    if (node.valueOffset + valueBytes > nodeEnd) {
        if (valueBytes != 0) return false;
        node.valueOffset = nodeEnd;
    }
    node.childrenOffset = align4(node.valueOffset + valueBytes);
    return true;
}

bool keyEquals(const View& view, const NodeView& node, std::string_view key) {
    if (node.keyUnits != key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const uint16_t unit = le16(view.base + node.offset + kHeaderSize + 2 * i);
        const auto wanted = static_cast<unsigned char>(key[i]);
        auto lower = [](unsigned c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (unit > 0x7F || lower(unit) != lower(wanted)) return false;
    }
    return true;
}

bool findChild(const View& view, const NodeView& parent, std::string_view key, NodeView& child) {
    const size_t end = parent.offset + parent.length;
    size_t p = parent.childrenOffset;
    while (p < end) {
        NodeView candidate;
        if (!readNode(view, p, end, candidate)) return false;
        if (keyEquals(view, candidate, key)) {
            child = candidate;
            return true;
        }
        p = align4(p + candidate.length);
    }
    return false;
}

// The position of a version block inside a file image, validated.
bool locateBlock(const uint8_t* data, size_t size, size_t& offset, size_t& length) {
    std::string pattern;
    for (char c : std::string("VS_VERSION_INFO")) {
        pattern += c;
        pattern += '\0';
    }
    pattern.append(2, '\0');
    const std::string_view haystack(reinterpret_cast<const char*>(data), size);
    for (size_t hit = haystack.find(pattern); hit != std::string_view::npos;
         hit = haystack.find(pattern, hit + 1)) {
        if (hit < kHeaderSize) continue;
        const size_t start = hit - kHeaderSize;
        const View view{data + start, size - start};
        NodeView root;
        if (!readNode(view, 0, std::min<size_t>(view.size, 0xFFFF), root)) continue;
        if (root.type != 0 || root.valueLength != sizeof(VS_FIXEDFILEINFO)) continue;
        if (le32(view.base + root.valueOffset) != kFixedInfoSignature) continue;
        offset = start;
        length = root.length;
        return true;
    }
    return false;
}

size_t bufferSizeFor(size_t blockLength) {
    return align4(blockLength) + 16 + blockLength * 3 / 2 + 8;
}

// A read-only mapping of a whole file.
class MappedFile {
public:
    explicit MappedFile(const char* path) {
        // A system file the machine lists carries the version it gives.
        if (systemFileVersionBlock(path, listed_)) {
            data_ = listed_.data();
            size_ = listed_.size();
            return;
        }
        const std::string native = nativePath(path);
        const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st {};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                data_ = static_cast<const uint8_t*>(map);
                size_ = static_cast<size_t>(st.st_size);
            }
        }
        close(fd);
    }
    ~MappedFile() {
        if (data_ && listed_.empty()) munmap(const_cast<uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    std::vector<uint8_t> listed_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace

std::vector<uint8_t> buildVersionBlock(const VersionBlockLayout& layout) {
    Node root;
    root.key = "VS_VERSION_INFO";
    auto& v = root.value;
    put32(v, kFixedInfoSignature);
    put32(v, 0x00010000);  // structure version 1.0
    put32(v, (uint32_t(layout.fileVersion[0]) << 16) | layout.fileVersion[1]);
    put32(v, (uint32_t(layout.fileVersion[2]) << 16) | layout.fileVersion[3]);
    put32(v, (uint32_t(layout.productVersion[0]) << 16) | layout.productVersion[1]);
    put32(v, (uint32_t(layout.productVersion[2]) << 16) | layout.productVersion[3]);
    put32(v, 0x3F);        // file flags mask
    put32(v, 0);           // file flags
    put32(v, 0x00040004);  // VOS_NT_WINDOWS32
    put32(v, 1);           // VFT_APP
    put32(v, 0);
    put32(v, 0);
    put32(v, 0);
    if (!layout.stringTables.empty()) {
        Node strings;
        strings.key = "StringFileInfo";
        for (const auto& table : layout.stringTables) {
            char name[9];
            std::snprintf(name, sizeof name, "%04x%04x", table.language, table.codePage);
            Node tableNode;
            tableNode.key = name;
            for (const auto& [key, value] : table.strings) tableNode.children.push_back(textNode(key, value));
            strings.children.push_back(std::move(tableNode));
        }
        root.children.push_back(std::move(strings));
    }
    if (!layout.translations.empty()) {
        Node vars;
        vars.key = "VarFileInfo";
        Node translation;
        translation.key = "Translation";
        for (const auto& [language, codePage] : layout.translations) {
            put16(translation.value, language);
            put16(translation.value, codePage);
        }
        vars.children.push_back(std::move(translation));
        root.children.push_back(std::move(vars));
    }
    std::vector<uint8_t> out;
    emit(out, root);
    return out;
}

} // namespace vexa::platform

using namespace vexa::platform;

DWORD GetFileVersionInfoSizeA(LPCSTR path, LPDWORD handle) {
    if (handle) *handle = 0;
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    MappedFile file(path);
    if (!file.data()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    size_t offset, length;
    if (!locateBlock(file.data(), file.size(), offset, length)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(bufferSizeFor(length));
}

BOOL GetFileVersionInfoA(LPCSTR path, DWORD, DWORD length, LPVOID data) {
    if (!path || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MappedFile file(path);
    size_t offset, blockLength;
    if (!file.data() || !locateBlock(file.data(), file.size(), offset, blockLength)) {
        SetLastError(file.data() ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const size_t needed = bufferSizeFor(blockLength);
    if (length < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* out = static_cast<uint8_t*>(data);
    std::memset(out, 0, needed);
    std::memcpy(out, file.data() + offset, blockLength);
    const uint32_t trailer[4] = {kTrailerMagic, static_cast<uint32_t>(blockLength),
                                 static_cast<uint32_t>(needed), 0};
    std::memcpy(out + align4(blockLength), trailer, sizeof trailer);
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    if (buffer) *buffer = nullptr;
    if (length) *length = 0;
    if (!block || !subBlock || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* base = static_cast<uint8_t*>(const_cast<void*>(block));
    const uint16_t blockLength = le16(base);
    uint32_t trailer[4];
    std::memcpy(trailer, base + align4(blockLength), sizeof trailer);
    if (trailer[0] != kTrailerMagic || trailer[1] != blockLength) {
        SetLastError(ERROR_INVALID_DATA);  // not filled by GetFileVersionInfoA
        return FALSE;
    }
    const View view{base, blockLength};
    NodeView node;
    if (!readNode(view, 0, blockLength, node)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::string_view path(subBlock);
    while (!path.empty()) {
        const size_t start = path.find_first_not_of("\\/");
        if (start == std::string_view::npos) break;
        path.remove_prefix(start);
        const size_t end = path.find_first_of("\\/");
        const std::string_view part = path.substr(0, end);
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
        NodeView child;
        if (!findChild(view, node, part, child)) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = child;
    }
    if (node.type != 1) {
        *buffer = base + node.valueOffset;
        if (length) *length = node.valueLength;
        return TRUE;
    }
    // A text: its narrow copy goes to the scratch area at a place fixed by
    // the text's own position, so repeated queries reuse it and texts never
    // overlap (a UTF-16 unit needs at most three UTF-8 bytes).
    std::wstring text;
    for (size_t i = 0; i < node.valueLength; ++i) {
        uint32_t unit = le16(base + node.valueOffset + 2 * i);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < node.valueLength) {
            const uint32_t low = le16(base + node.valueOffset + 2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    char* scratch = reinterpret_cast<char*>(base + align4(blockLength) + 16 + node.valueOffset * 3 / 2);
    const size_t room = size_t(node.valueLength) * 3;
    wideToNarrow(text.c_str(), scratch, room ? room : 1);
    *buffer = scratch;
    if (length) *length = static_cast<UINT>(std::strlen(scratch) + 1);
    return TRUE;
}
