#include "XbaseFixtures.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace xbtest {
namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kNone = 0xFFFFFFFFu;

int BitsFor(uint64_t value) {
    int bits = 1;
    while ((uint64_t{1} << bits) <= value) ++bits;
    return bits;
}

struct Node {
    std::vector<std::string> keys;
    std::vector<uint32_t> records;
    std::vector<uint32_t> children;  // interior only
};

std::string LeafPage(const Node& node, int keyLength, char fill, bool root, uint32_t left,
                     uint32_t right) {
    std::string page(kPage, '\0');
    uint32_t maxRec = 1;
    for (uint32_t r : node.records) maxRec = std::max(maxRec, r);
    const int countBits = BitsFor(static_cast<uint64_t>(keyLength));
    int recBits = BitsFor(maxRec);
    const int width = (recBits + 2 * countBits + 7) / 8;
    recBits = width * 8 - 2 * countBits;
    PutLe16(page, 0, static_cast<uint16_t>(root ? 3 : 2));
    PutLe16(page, 2, static_cast<uint16_t>(node.keys.size()));
    PutLe32(page, 4, left);
    PutLe32(page, 8, right);
    PutLe32(page, 14, recBits >= 32 ? kNone : (uint32_t{1} << recBits) - 1);
    page[18] = static_cast<char>((1 << countBits) - 1);
    page[19] = static_cast<char>((1 << countBits) - 1);
    page[20] = static_cast<char>(recBits);
    page[21] = static_cast<char>(countBits);
    page[22] = static_cast<char>(countBits);
    page[23] = static_cast<char>(width);
    size_t tail = kPage;
    for (size_t i = 0; i < node.keys.size(); ++i) {
        const std::string& key = node.keys[i];
        // Trailing fill first, then the bytes shared with the previous key.
        int trail = 0;
        while (trail < keyLength && key[keyLength - 1 - trail] == fill) ++trail;
        int dup = 0;
        if (i > 0) {
            const std::string& prev = node.keys[i - 1];
            while (dup < keyLength - trail && prev[dup] == key[dup]) ++dup;
        }
        const size_t suffix = static_cast<size_t>(keyLength - dup - trail);
        tail -= suffix;
        page.replace(tail, suffix, key, static_cast<size_t>(dup), suffix);
        const uint64_t v = node.records[i] | (static_cast<uint64_t>(dup) << recBits) |
                           (static_cast<uint64_t>(trail) << (recBits + countBits));
        for (int b = 0; b < width; ++b) {
            page[24 + i * width + b] = static_cast<char>((v >> (8 * b)) & 0xFF);
        }
    }
    const size_t used = 24 + node.keys.size() * width;
    if (used > tail) throw std::logic_error("leaf overflow in fixture");
    PutLe16(page, 12, static_cast<uint16_t>(tail - used));
    return page;
}

std::string InteriorPage(const Node& node, int keyLength, bool root, uint32_t left,
                         uint32_t right) {
    std::string page(kPage, '\0');
    PutLe16(page, 0, static_cast<uint16_t>(root ? 1 : 0));
    PutLe16(page, 2, static_cast<uint16_t>(node.keys.size()));
    PutLe32(page, 4, left);
    PutLe32(page, 8, right);
    for (size_t i = 0; i < node.keys.size(); ++i) {
        const size_t at = 12 + i * (keyLength + 8);
        page.replace(at, keyLength, node.keys[i]);
        PutBe32(page, at + keyLength, node.records[i]);
        PutBe32(page, at + keyLength + 4, node.children[i]);
    }
    return page;
}

size_t LeafCost(const std::string& prev, const std::string& key, int keyLength, char fill,
                int width) {
    int trail = 0;
    while (trail < keyLength && key[keyLength - 1 - trail] == fill) ++trail;
    int dup = 0;
    if (!prev.empty()) {
        while (dup < keyLength - trail && prev[dup] == key[dup]) ++dup;
    }
    return static_cast<size_t>(width + keyLength - dup - trail);
}

std::string TagHeader(const TagDef& def, uint32_t root, uint8_t options) {
    std::string h(2 * kPage, '\0');
    PutLe32(h, 0, root);
    PutLe32(h, 4, kNone);
    PutLe16(h, 12, static_cast<uint16_t>(def.keyLength));
    h[14] = static_cast<char>(options | (def.unique ? 0x01 : 0) | (def.filter.empty() ? 0 : 0x08));
    h[15] = 1;
    h.replace(92, std::min<size_t>(def.collation.size(), 26), def.collation, 0,
              std::min<size_t>(def.collation.size(), 26));
    PutLe16(h, 502, def.descending ? 1 : 0);
    const uint16_t keyLen = static_cast<uint16_t>(def.expr.size() + 1);
    const uint16_t forLen = static_cast<uint16_t>(def.filter.size() + 1);
    PutLe16(h, 504, keyLen);  // FOR text follows the key text
    PutLe16(h, 506, forLen);
    PutLe16(h, 508, 0);
    PutLe16(h, 510, keyLen);
    h.replace(512, def.expr.size(), def.expr);
    h.replace(512 + keyLen, def.filter.size(), def.filter);
    return h;
}

// Appends the tag's header and tree at the end of `out`.
TagLayout AppendTag(std::string& out, const TagDef& def, uint8_t options) {
    TagLayout layout;
    const int keyLength = def.keyLength;
    const char fill = def.binaryKeys ? '\0' : ' ';
    std::vector<std::pair<std::string, uint32_t>> entries = def.entries;
    for (auto& e : entries) {
        e.first.resize(static_cast<size_t>(keyLength), fill);
    }
    std::sort(entries.begin(), entries.end());

    layout.header = static_cast<uint32_t>(out.size());
    out.append(2 * kPage, '\0');

    // Leaves.
    uint32_t maxRec = 1;
    for (const auto& e : entries) maxRec = std::max(maxRec, e.second);
    const int countBits = BitsFor(static_cast<uint64_t>(keyLength));
    const int width = (BitsFor(maxRec) + 2 * countBits + 7) / 8;
    std::vector<Node> level;
    Node current;
    size_t used = 24;
    for (const auto& [key, rec] : entries) {
        const std::string prev = current.keys.empty() ? std::string() : current.keys.back();
        const size_t cost = LeafCost(prev, key, keyLength, fill, width);
        if (!current.keys.empty() && (used + LeafCost({}, key, keyLength, fill, width) > kPage ||
                                      static_cast<int>(current.keys.size()) >= def.maxPerLeaf)) {
            level.push_back(std::move(current));
            current = Node{};
            used = 24;
        }
        used += current.keys.empty() ? LeafCost({}, key, keyLength, fill, width) : cost;
        current.keys.push_back(key);
        current.records.push_back(rec);
    }
    level.push_back(std::move(current));  // an empty tag has one empty leaf

    bool leaves = true;
    for (;;) {
        const bool root = level.size() == 1;
        const uint32_t first = static_cast<uint32_t>(out.size());
        std::vector<uint32_t> offsets;
        for (size_t i = 0; i < level.size(); ++i) offsets.push_back(first + kPage * i);
        for (size_t i = 0; i < level.size(); ++i) {
            const uint32_t left = i == 0 ? kNone : offsets[i - 1];
            const uint32_t right = i + 1 == level.size() ? kNone : offsets[i + 1];
            out += leaves ? LeafPage(level[i], keyLength, fill, root, left, right)
                          : InteriorPage(level[i], keyLength, root, left, right);
        }
        layout.levels.push_back(offsets);
        if (root) break;
        // The next level up: one entry per node, carrying its largest key.
        const int perNode = std::max(
            2, std::min<int>(def.maxPerInterior, static_cast<int>((kPage - 12) / (keyLength + 8))));
        std::vector<Node> up;
        for (size_t i = 0; i < level.size(); ++i) {
            if (up.empty() || static_cast<int>(up.back().keys.size()) >= perNode) up.emplace_back();
            up.back().keys.push_back(level[i].keys.back());
            up.back().records.push_back(level[i].records.back());
            up.back().children.push_back(offsets[i]);
        }
        level = std::move(up);
        leaves = false;
    }
    layout.root = layout.levels.back().front();
    out.replace(layout.header, 2 * kPage, TagHeader(def, layout.root, options));
    return layout;
}

}  // namespace

void PutLe16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutBe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

uint32_t GetLe32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return v;
}

std::string DbfBytes(const TableDef& def) {
    uint32_t recordLength = 1;
    for (const auto& f : def.fields) recordLength += static_cast<uint32_t>(f.length);
    const uint32_t headerLength = 32 + 32 * static_cast<uint32_t>(def.fields.size()) + 1;
    std::string out(headerLength, '\0');
    out[0] = static_cast<char>(def.version);
    out[1] = 126;  // 2026-01-01
    out[2] = 1;
    out[3] = 1;
    PutLe32(out, 4, static_cast<uint32_t>(def.records.size()));
    PutLe16(out, 8, static_cast<uint16_t>(headerLength));
    PutLe16(out, 10, static_cast<uint16_t>(recordLength));
    out[28] = static_cast<char>(def.flags);
    uint32_t displacement = 1;
    for (size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        const size_t at = 32 + 32 * i;
        out.replace(at, std::min<size_t>(f.name.size(), 10), f.name, 0,
                    std::min<size_t>(f.name.size(), 10));
        out[at + 11] = f.type;
        PutLe32(out, at + 12, displacement);
        out[at + 16] = static_cast<char>(f.length);
        out[at + 17] = static_cast<char>(f.decimals);
        displacement += static_cast<uint32_t>(f.length);
    }
    out[headerLength - 1] = 0x0D;
    for (size_t r = 0; r < def.records.size(); ++r) {
        const bool deleted =
            std::find(def.deleted.begin(), def.deleted.end(), r + 1) != def.deleted.end();
        out += deleted ? '*' : ' ';
        for (size_t i = 0; i < def.fields.size(); ++i) {
            std::string value = i < def.records[r].size() ? def.records[r][i] : std::string();
            value.resize(static_cast<size_t>(def.fields[i].length), ' ');
            out += value;
        }
    }
    out += '\x1A';
    return out;
}

CdxImage CdxBytes(const std::vector<TagDef>& tags) {
    CdxImage image;
    std::string& out = image.bytes;
    out.assign(2 * kPage, '\0');  // directory header
    image.directoryRoot = 2 * kPage;
    out.append(kPage, '\0');  // directory root leaf, written last
    for (const TagDef& def : tags) image.tags.push_back(AppendTag(out, def, 0x60));

    TagDef directory;
    directory.keyLength = 10;
    Node names;
    std::vector<std::pair<std::string, uint32_t>> byName;
    for (size_t i = 0; i < tags.size(); ++i) {
        std::string name = tags[i].name;
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        name.resize(10, ' ');
        byName.emplace_back(name, image.tags[i].header);
    }
    std::sort(byName.begin(), byName.end());
    for (const auto& [name, header] : byName) {
        names.keys.push_back(name);
        names.records.push_back(header);
    }
    out.replace(image.directoryRoot, kPage, LeafPage(names, 10, ' ', true, kNone, kNone));
    out.replace(0, 2 * kPage, TagHeader(directory, image.directoryRoot, 0xE0));
    return image;
}

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/xbase-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern + "/";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + File(name));
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace xbtest
