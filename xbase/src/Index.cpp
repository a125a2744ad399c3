// The compound index (.cdx): tag directory, tag headers and the B-tree walk.
// Every walk is bounded: descents by depth, sibling walks by a hop budget
// and by the rule that entries strictly ascend by (key, record number)
// across the whole tag, so a cycle of links is reported, never followed.
#include "Engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace xb {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kLeafInfoStart = 24;
constexpr int kInteriorStart = 12;
constexpr int kMaxKeyLength = 240;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t Be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// An empty probe (which matches every key) may come with no storage at all.
int ComparePrefix(const uint8_t* key, const uint8_t* probe, int n) {
    return n == 0 ? 0 : std::memcmp(key, probe, static_cast<size_t>(n));
}

bool IsLeaf(const uint8_t* page) {
    return (Le16(page) & 2) != 0;
}

uint32_t HopBudget(const XbData& data) {
    return static_cast<uint32_t>(data.index->size / kPageSize) + 1;
}

// Node pages lie after the 1024-byte file header, on page boundaries, inside
// the file as it was at open.
bool ValidNodeOffset(const IndexFile& file, uint64_t offset) {
    return offset % kPageSize == 0 && offset >= 2 * kPageSize && offset + kPageSize <= file.size;
}

int ReadPage(XbData& data, uint32_t offset, const uint8_t*& page) {
    IndexFile& file = *data.index;
    if (!ValidNodeOffset(file, offset)) return XB_E_INDEX;
    XbEngine& engine = *data.engine;
    if (engine.optimize) {
        if (const uint8_t* cached = engine.cache.Find(file.id, offset)) {
            page = cached;
            return 0;
        }
    }
    if (int rc = CheckBeforeRead(data); rc != 0) return rc;
    if (int rc = ReadExact(file.fd, offset, file.scratch.data(), kPageSize); rc != 0) return rc;
    page = file.scratch.data();
    if (engine.optimize) {
        if (const uint8_t* cached = engine.cache.Insert(file.id, offset, page)) page = cached;
    }
    return 0;
}

int CompareEntry(const uint8_t* keyA, uint32_t recA, const uint8_t* keyB, uint32_t recB, int len) {
    const int c = std::memcmp(keyA, keyB, static_cast<size_t>(len));
    if (c != 0) return c;
    return recA < recB ? -1 : (recA > recB ? 1 : 0);
}

int DecodeLeaf(const uint8_t* p, uint32_t offset, const XbTag& tag, Leaf& leaf) {
    const int keyLength = tag.keyLength;
    leaf.offset = offset;
    leaf.left = Le32(p + 4);
    leaf.right = Le32(p + 8);
    leaf.count = 0;
    const int n = Le16(p + 2);
    if (n == 0) return 0;
    const int recBits = p[20];
    const int dupBits = p[21];
    const int trailBits = p[22];
    const int width = p[23];
    if (width < 1 || width > 8 || recBits < 1 || recBits > 32 || dupBits > 8 || trailBits > 8 ||
        recBits + dupBits + trailBits > width * 8) {
        return XB_E_INDEX;
    }
    const size_t infoEnd = kLeafInfoStart + static_cast<size_t>(n) * width;
    if (infoEnd > kPageSize) return XB_E_INDEX;  // more keys than the page holds
    leaf.keys.resize(static_cast<size_t>(n) * keyLength);
    leaf.records.resize(n);
    const uint64_t recMask = (uint64_t{1} << recBits) - 1;
    const uint64_t dupMask = (uint64_t{1} << dupBits) - 1;
    const uint64_t trailMask = (uint64_t{1} << trailBits) - 1;
    size_t pos = kPageSize;
    const uint8_t* prev = nullptr;
    for (int i = 0; i < n; ++i) {
        const uint8_t* info = p + kLeafInfoStart + static_cast<size_t>(i) * width;
        uint64_t v = 0;
        for (int b = 0; b < width; ++b) v |= static_cast<uint64_t>(info[b]) << (8 * b);
        const uint32_t rec = static_cast<uint32_t>(v & recMask);
        const int dup = static_cast<int>((v >> recBits) & dupMask);
        const int trail = static_cast<int>((v >> (recBits + dupBits)) & trailMask);
        if (dup + trail > keyLength || (i == 0 && dup != 0)) return XB_E_INDEX;
        const size_t suffix = static_cast<size_t>(keyLength - dup - trail);
        if (pos < infoEnd + suffix) return XB_E_INDEX;  // suffixes run into the entry table
        pos -= suffix;
        uint8_t* key = leaf.keys.data() + static_cast<size_t>(i) * keyLength;
        if (dup > 0) std::memcpy(key, prev, static_cast<size_t>(dup));
        std::memcpy(key + dup, p + pos, suffix);
        std::memset(key + dup + suffix, tag.fill, static_cast<size_t>(trail));
        if (prev != nullptr) {
            // The first dup bytes are equal by construction.
            const int c = std::memcmp(prev + dup, key + dup, static_cast<size_t>(keyLength - dup));
            if (c > 0 || (c == 0 && leaf.records[i - 1] >= rec)) {
                return XB_E_INDEX;  // out of order: damaged, or not in machine order
            }
        }
        leaf.records[i] = rec;
        prev = key;
    }
    leaf.count = n;
    return 0;
}

// Decodes into the table's leaf, or keeps it when it already holds this page
// and cached pages are trusted.
int LoadLeaf(XbData& data, XbTag& tag, uint32_t offset, const uint8_t* page) {
    if (data.leafTag == &tag && data.leaf->offset == offset && data.engine->optimize) return 0;
    data.leafTag = nullptr;
    auto fresh = std::make_shared<Leaf>();
    if (int rc = DecodeLeaf(page, offset, tag, *fresh); rc != 0) return rc;
    data.leaf = std::move(fresh);
    data.leafTag = &tag;
    if (data.engine->optimize)
        data.engine->leaves.Insert(data.index->id, data.leaf, tag.keyLength, tag.fill);
    return 0;
}

// With read optimisation on, the leaf at offset from the table's own leaf or
// the engine's decoded leaves, without reading its page; false when neither
// has it (or the offset holds no leaf decoded for this tag).
bool CachedLeaf(XbData& data, XbTag& tag, uint32_t offset) {
    XbEngine& engine = *data.engine;
    if (!engine.optimize) return false;
    if (data.leafTag == &tag && data.leaf->offset == offset) return true;
    const std::shared_ptr<const Leaf>* leaf =
        engine.leaves.Find(data.index->id, offset, tag.keyLength, tag.fill);
    if (leaf == nullptr) return false;
    data.leaf = *leaf;  // shared, searched in place: neither decoded nor copied again
    data.leafTag = &tag;
    return true;
}

int InteriorCount(const uint8_t* p, int keyLength) {
    const int n = Le16(p + 2);
    if (n < 1 || kInteriorStart + static_cast<size_t>(n) * (keyLength + 8) > kPageSize) return -1;
    return n;
}

const uint8_t* InteriorEntry(const uint8_t* p, int keyLength, int i) {
    return p + kInteriorStart + static_cast<size_t>(i) * (keyLength + 8);
}

// Index of the first leaf entry whose leading n bytes are >= probe (> when strict).
int LeafBound(const Leaf& leaf, int keyLength, const uint8_t* probe, int n, bool strict) {
    int lo = 0;
    int hi = leaf.count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = ComparePrefix(leaf.Key(mid, keyLength), probe, n);
        if (strict ? c > 0 : c >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

// Moves to the next non-empty leaf in the given direction and stands on its
// near end. XB_EOF when there is none; the cursor is then no longer usable
// (the caller leaves it: the table is past the end).
int StepLeaf(XbData& data, XbTag& tag, bool forward) {
    const int keyLength = tag.keyLength;
    std::vector<uint8_t> edgeKey;
    uint32_t edgeRec = 0;
    if (data.leaf->count > 0) {
        const int edge = forward ? data.leaf->count - 1 : 0;
        edgeKey.assign(data.leaf->Key(edge, keyLength), data.leaf->Key(edge, keyLength) + keyLength);
        edgeRec = data.leaf->records[edge];
    }
    const uint32_t budget = HopBudget(data);
    for (;;) {
        const uint32_t next = forward ? data.leaf->right : data.leaf->left;
        if (next == kNone) return XB_EOF;
        uint32_t& hops = forward ? data.hopsForward : data.hopsBackward;
        if (++hops > budget) return XB_E_INDEX;
        (forward ? data.hopsBackward : data.hopsForward) = 0;
        const uint32_t from = data.leaf->offset;
        if (!CachedLeaf(data, tag, next)) {
            const uint8_t* page = nullptr;
            if (int rc = ReadPage(data, next, page); rc != 0) return rc;
            if (!IsLeaf(page)) return XB_E_INDEX;
            if (int rc = LoadLeaf(data, tag, next, page); rc != 0) return rc;
        }
        // The sibling must link back, and the order must go on where it left off.
        if ((forward ? data.leaf->left : data.leaf->right) != from) return XB_E_INDEX;
        if (data.leaf->count == 0) continue;
        const int near = forward ? 0 : data.leaf->count - 1;
        if (!edgeKey.empty()) {
            const int c = CompareEntry(data.leaf->Key(near, keyLength), data.leaf->records[near],
                                       edgeKey.data(), edgeRec, keyLength);
            if (forward ? c <= 0 : c >= 0) return XB_E_INDEX;
        }
        data.cursorIndex = near;
        return 0;
    }
}

enum class Target { First, Last, Bound };

// Index of the first of `count` separators (keys back to back) whose leading
// n bytes are >= probe (> when strict); the last when none is.
int SeparatorBound(const uint8_t* keys, size_t stride, int count, int keyLength,
                   const uint8_t* probe, int n, bool strict) {
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = ComparePrefix(keys + static_cast<size_t>(mid) * stride, probe, n);
        if (strict ? c > 0 : c >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    (void)keyLength;
    return lo < count ? lo : count - 1;
}

// Flattens the level just above the tag's leaves into one array of
// separators and child offsets, so that a seek finds its leaf by one search
// of contiguous memory instead of a walk down through every level's pages.
// Built once per open file, with read optimisation on, from pages read and
// checked as any; a level that does not hold together (or is too large)
// leaves the tag on the ordinary descent, which reports what is wrong.
void BuildFences(XbData& data, XbTag& tag) {
    tag.fenceState = -1;
    if (tag.leafDepth < 2) return;  // the root alone is above the leaves: nothing to gain
    const int keyLength = tag.keyLength;
    const size_t stride = static_cast<size_t>(keyLength);
    // Down the first children to the level above the leaves.
    uint32_t offset = tag.root;
    for (int depth = 0; depth < tag.leafDepth - 1; ++depth) {
        const uint8_t* page = nullptr;
        if (ReadPage(data, offset, page) != 0 || IsLeaf(page)) return;
        if (InteriorCount(page, keyLength) < 0) return;
        offset = Be32(InteriorEntry(page, keyLength, 0) + keyLength + 4);
    }
    std::vector<uint8_t> keys;
    std::vector<uint32_t> children;
    const uint32_t budget = HopBudget(data);
    for (uint32_t hops = 0; offset != kNone; ++hops) {
        if (hops > budget) return;
        const uint8_t* page = nullptr;
        if (ReadPage(data, offset, page) != 0 || IsLeaf(page)) return;
        const int count = InteriorCount(page, keyLength);
        if (count < 0) return;
        for (int i = 0; i < count; ++i) {
            const uint8_t* entry = InteriorEntry(page, keyLength, i);
            if (!children.empty() &&
                std::memcmp(keys.data() + keys.size() - stride, entry, stride) > 0) {
                return;  // out of order
            }
            keys.insert(keys.end(), entry, entry + keyLength);
            children.push_back(Be32(entry + keyLength + 4));
        }
        if (keys.size() + children.size() * 4 > kFenceBytes) return;
        offset = Le32(page + 8);  // the right sibling
    }
    if (children.empty()) return;
    tag.fenceKeys = std::move(keys);
    tag.fenceChildren = std::move(children);
    tag.fenceState = 1;
}

int Descend(XbData& data, XbTag& tag, Target target, const uint8_t* probe, int n, bool strict) {
    data.cursorTag = nullptr;
    data.hopsForward = 0;
    data.hopsBackward = 0;
    uint32_t offset = tag.root;
    int start = 0;
    if (target == Target::Bound && data.engine->optimize && tag.leafDepth >= 2) {
        if (tag.fenceState == 0) BuildFences(data, tag);
        if (tag.fenceState == 1) {
            const int i = SeparatorBound(tag.fenceKeys.data(), static_cast<size_t>(tag.keyLength),
                                         static_cast<int>(tag.fenceChildren.size()),
                                         tag.keyLength, probe, n, strict);
            offset = tag.fenceChildren[static_cast<size_t>(i)];
            start = tag.leafDepth;
        }
    }
    for (int depth = start; depth < kMaxTreeDepth; ++depth) {
        const uint8_t* page = nullptr;
        // The decoded leaves are asked only at the depth where this tag's
        // leaves were found last (a B-tree's leaves are all at one depth); a
        // wrong guess only costs the ordinary page read.
        bool leaf = depth == tag.leafDepth && CachedLeaf(data, tag, offset);
        if (!leaf) {
            if (int rc = ReadPage(data, offset, page); rc != 0) return rc;
            if (IsLeaf(page)) {
                if (int rc = LoadLeaf(data, tag, offset, page); rc != 0) return rc;
                leaf = true;
                tag.leafDepth = depth;
            }
        }
        if (leaf) {
            data.cursorTag = &tag;
            int rc = 0;
            switch (target) {
                case Target::First:
                    data.cursorIndex = 0;
                    if (data.leaf->count == 0) rc = StepLeaf(data, tag, true);
                    break;
                case Target::Last:
                    data.cursorIndex = data.leaf->count - 1;
                    if (data.leaf->count == 0) rc = StepLeaf(data, tag, false);
                    break;
                case Target::Bound:
                    for (;;) {
                        const int i = LeafBound(*data.leaf, tag.keyLength, probe, n, strict);
                        if (i < data.leaf->count) {
                            data.cursorIndex = i;
                            break;
                        }
                        rc = StepLeaf(data, tag, true);
                        if (rc != 0) break;
                    }
                    break;
            }
            if (rc != 0) data.cursorTag = nullptr;
            return rc;
        }
        const int count = InteriorCount(page, tag.keyLength);
        if (count < 0) return XB_E_INDEX;
        int i = 0;
        if (target == Target::Last) {
            i = count - 1;
        } else if (target == Target::Bound) {
            int lo = 0;
            int hi = count;
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                const int c = ComparePrefix(InteriorEntry(page, tag.keyLength, mid), probe, n);
                if (strict ? c > 0 : c >= 0) {
                    hi = mid;
                } else {
                    lo = mid + 1;
                }
            }
            // Past every separator: the last child, whose leaves then run out.
            i = lo < count ? lo : count - 1;
        }
        offset = Be32(InteriorEntry(page, tag.keyLength, i) + tag.keyLength + 4);
    }
    return XB_E_INDEX;  // deeper than any real index: a loop of child links
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Text of an expression in the tag header's pool, up to its NUL.
bool PoolText(const uint8_t* pool, uint32_t pos, uint32_t len, std::string& out) {
    out.clear();
    if (len == 0) return true;
    if (pos + len > kPageSize) return false;
    const auto* start = reinterpret_cast<const char*>(pool + pos);
    out.assign(start, strnlen(start, len));
    return true;
}

KeyKind KindOf(const XbData& data, const std::string& expr, int keyLength) {
    std::string name = Upper(expr);
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // An alias prefix ("calls.x", "calls->x") still names the field.
    if (auto at = name.rfind("->"); at != std::string::npos) name.erase(0, at + 2);
    if (auto at = name.rfind('.'); at != std::string::npos) name.erase(0, at + 1);
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return KeyKind::Character;
    }
    // Field names are at most 10 characters; tables made with long names in
    // a database container keep only the first 10 in the table.
    if (name.size() > 10) name.resize(10);
    for (const auto& field : data.fields) {
        if (field->name != name) continue;
        switch (field->type) {
            case 'I':
                return keyLength == 4 ? KeyKind::Integer : KeyKind::Binary;
            case 'N':
            case 'F':
            case 'B':
                return keyLength == 8 ? KeyKind::Number : KeyKind::Binary;
            case 'D':
                return keyLength == 8 ? KeyKind::Date : KeyKind::Binary;
            case 'T':
            case 'Y':
                return KeyKind::Binary;
            default:
                return KeyKind::Character;
        }
    }
    return KeyKind::Character;
}

int ReadTagHeader(XbData& data, XbTag& tag, const std::string& name) {
    const IndexFile& file = *data.index;
    if (tag.header % kPageSize != 0 || tag.header < 2 * kPageSize ||
        uint64_t{tag.header} + kTagHeaderSize > file.size) {
        return XB_E_INDEX;
    }
    std::array<uint8_t, kTagHeaderSize> h{};
    if (int rc = ReadExact(file.fd, tag.header, h.data(), h.size()); rc != 0) return rc;
    tag.root = Le32(h.data());
    tag.keyLength = Le16(h.data() + 12);
    if (tag.keyLength < 1 || tag.keyLength > kMaxKeyLength) return XB_E_INDEX;
    const uint8_t options = h[14];
    // Candidate tags (0x04) are unique by constraint, so they count as unique.
    tag.unique = (options & 0x05) != 0;
    tag.descending = Le16(h.data() + 502) != 0;
    const uint8_t* pool = h.data() + kPageSize;
    if (!PoolText(pool, Le16(h.data() + 508), Le16(h.data() + 510), tag.expr) ||
        !PoolText(pool, Le16(h.data() + 504), Le16(h.data() + 506), tag.filter)) {
        return XB_E_INDEX;
    }
    // The collation's name sits at bytes 92..117; empty means machine order.
    const auto* collation = reinterpret_cast<const char*>(h.data() + 92);
    const std::string sequence = Upper(TrimRight(std::string(collation, strnlen(collation, 26))));
    tag.machineCollation = sequence.empty() || sequence == "MACHINE";
    tag.alias = Upper(TrimRight(name));
    tag.kind = KindOf(data, tag.expr, tag.keyLength);
    tag.fill = tag.kind == KeyKind::Character ? ' ' : '\0';
    tag.keyText.assign(static_cast<size_t>(tag.keyLength), static_cast<char>(tag.fill));
    return 0;
}

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Numbers order as big-endian IEEE doubles with the sign bit set for
// positives and every bit inverted for negatives.
void PutNumberKey(uint8_t* p, double value) {
    if (value == 0) value = 0;  // -0 orders as 0
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
    PutBe32(p, static_cast<uint32_t>(bits >> 32));
    PutBe32(p + 4, static_cast<uint32_t>(bits));
}

std::string Trimmed(const char* text) {
    std::string s(text);
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

}  // namespace

int MakeProbe(const XbTag& tag, const char* text, std::vector<uint8_t>& probe, int& n,
              bool& tooLong) {
    tooLong = false;
    const size_t keyLength = static_cast<size_t>(tag.keyLength);
    if (tag.kind == KeyKind::Character || tag.kind == KeyKind::Binary) {
        size_t len = std::strlen(text);
        if (len > keyLength) {
            // Trailing blanks past the key are padding; anything else cannot match.
            for (size_t i = keyLength; i < len; ++i) {
                if (text[i] != ' ') tooLong = true;
            }
            len = keyLength;
        }
        probe.assign(text, text + len);
        n = static_cast<int>(len);
        return 0;
    }
    const std::string value = Trimmed(text);
    if (value.empty()) {  // an empty text is a prefix of every key
        probe.clear();
        n = 0;
        return 0;
    }
    probe.assign(keyLength, 0);
    n = static_cast<int>(keyLength);
    char* end = nullptr;
    errno = 0;
    switch (tag.kind) {
        case KeyKind::Integer: {
            const long long v = std::strtoll(value.c_str(), &end, 10);
            if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return XB_E_ARGUMENT;
            PutBe32(probe.data(), static_cast<uint32_t>(static_cast<int32_t>(v)) ^ 0x80000000u);
            return 0;
        }
        case KeyKind::Number: {
            const double v = std::strtod(value.c_str(), &end);
            if (*end != '\0' || !std::isfinite(v)) return XB_E_ARGUMENT;
            PutNumberKey(probe.data(), v);
            return 0;
        }
        case KeyKind::Date: {
            // CCYYMMDD, ordered as its Julian day number.
            if (value.size() != 8) return XB_E_ARGUMENT;
            for (char c : value) {
                if (!std::isdigit(static_cast<unsigned char>(c))) return XB_E_ARGUMENT;
            }
            const int year = std::atoi(value.substr(0, 4).c_str());
            const int month = std::atoi(value.substr(4, 2).c_str());
            const int day = std::atoi(value.substr(6, 2).c_str());
            if (month < 1 || month > 12 || day < 1 || day > 31) return XB_E_ARGUMENT;
            const int a = (14 - month) / 12;
            const long y = year + 4800 - a;
            const long m = month + 12 * a - 3;
            const long jdn = day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
            PutNumberKey(probe.data(), static_cast<double>(jdn));
            return 0;
        }
        default:
            return XB_E_ARGUMENT;
    }
}

int CursorFirst(XbData& data, XbTag& tag) {
    return Descend(data, tag, Target::First, nullptr, 0, false);
}

int CursorLast(XbData& data, XbTag& tag) {
    return Descend(data, tag, Target::Last, nullptr, 0, false);
}

int CursorLowerBound(XbData& data, XbTag& tag, const uint8_t* probe, int n, bool strict) {
    return Descend(data, tag, Target::Bound, probe, n, strict);
}

int CursorNext(XbData& data, XbTag& tag) {
    if (data.cursorIndex + 1 < data.leaf->count) {
        ++data.cursorIndex;
        return 0;
    }
    return StepLeaf(data, tag, true);
}

int CursorPrev(XbData& data, XbTag& tag) {
    if (data.cursorIndex > 0) {
        --data.cursorIndex;
        return 0;
    }
    return StepLeaf(data, tag, false);
}

int CursorLocate(XbData& data, XbTag& tag, uint32_t recNo) {
    int rc = CursorFirst(data, tag);
    while (rc == 0) {
        if (data.leaf->records[data.cursorIndex] == recNo) return 0;
        rc = CursorNext(data, tag);
    }
    return rc;
}

namespace {

// An index built together with its table names the table state it was built
// for; a table replaced without it (or it without the table) would be read
// through keys of other records.
int CheckPair(const XbData& data, const uint8_t* head) {
    const uint8_t* pair = head + XB_PAIR_AT;
    if (std::memcmp(pair, XB_PAIR_MARK, 4) != 0) return 0;
    uint8_t table[32];
    if (int rc = ReadExact(data.fd, 0, table, sizeof table); rc != 0) return rc;
    if (std::memcmp(pair + 4, table + 1, 11) != 0 || std::memcmp(pair + 15, table + 20, 8) != 0)
        return XB_E_PAIR;
    return 0;
}

}  // namespace

int OpenIndex(XbData& data, const std::string& cdxPath) {
    const int fd = ::open(cdxPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return XB_E_OPEN;
    data.index = std::make_unique<IndexFile>();
    IndexFile& file = *data.index;
    file.fd = fd;
    file.id = ++data.engine->lastFileId;
    file.path = cdxPath;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return XB_E_OPEN;
    if (!IdentityOf(fd, file.identity)) return XB_E_OPEN;
    file.size = static_cast<uint64_t>(st.st_size);
    if (file.size < 3 * kPageSize) return XB_E_INDEX;

    uint8_t head[kPageSize];
    if (int rc = ReadExact(fd, 0, head, sizeof head); rc != 0) return rc;
    if (int rc = CheckPair(data, head); rc != 0) return rc;
    // The directory is a tree like any tag, keyed by tag name.
    XbTag directory;
    directory.data = &data;
    directory.root = Le32(head);
    directory.keyLength = Le16(head + 12);
    if (directory.keyLength < 1 || directory.keyLength > kMaxKeyLength) return XB_E_INDEX;

    std::vector<std::pair<std::string, uint32_t>> entries;
    int rc = CursorFirst(data, directory);
    while (rc == 0) {
        const uint8_t* key = data.leaf->Key(data.cursorIndex, directory.keyLength);
        entries.emplace_back(std::string(reinterpret_cast<const char*>(key),
                                         static_cast<size_t>(directory.keyLength)),
                             data.leaf->records[data.cursorIndex]);
        rc = CursorNext(data, directory);
    }
    data.cursorTag = nullptr;
    data.leafTag = nullptr;
    data.leaf = EmptyLeaf();
    if (rc != XB_EOF) return rc;

    for (const auto& [name, header] : entries) {
        auto tag = std::make_unique<XbTag>();
        tag->data = &data;
        tag->header = header;
        if (int r = ReadTagHeader(data, *tag, name); r != 0) return r;
        data.tags.push_back(std::move(tag));
    }
    return 0;
}

}  // namespace xb
