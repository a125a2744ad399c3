// Internal model of the xBase engine: the session, open tables, their fields,
// index tags and the tag cursor. Nothing here is exported; the C functions of
// xbase.h (Api.cpp) are the only way in. See FORMAT.md for the file layouts.
#pragma once

#include "xbase.h"

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace xb {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kTagHeaderSize = 1024;
// Bounds every descent: a child link that loops back up is caught here.
constexpr int kMaxTreeDepth = 32;
// Index pages cached by default: 64 MiB, enough to hold every tag of a
// master of a few million rows; code4indexCacheSize sets another bound.
constexpr size_t kCachePages = 131072;
// Answers from the caches are re-checked against the files at most this
// often (by the coarse monotonic clock, which costs no system call); every
// read from a file checks them first.
constexpr int64_t kRecheckNanos = 1000000000;
// Returned deep inside a call when a file turned out changed since it was
// opened: the call drops what it has, reopens the table and starts again.
// Never recorded as the engine's error.
constexpr int kChanged = -1000;
// Table records are cached in blocks of whole records of up to 4 KiB;
// 1024 of them bound the record cache to 4 MiB per engine.
constexpr uint32_t kBlockSize = 4096;
constexpr size_t kCacheBlocks = 1024;
// Blocks missed once are remembered in this many slots (see RepeatFilter).
constexpr size_t kRepeatSlots = 4096;
// Decoded leaves are kept up to this many bytes per engine (the leaves a
// 1,000,000-row master's lookups touch fit in it).
constexpr size_t kLeafCacheBytes = size_t{32} << 20;
// Largest flattened level kept for one tag (see BuildFences).
constexpr size_t kFenceBytes = size_t{16} << 20;
// Single records read at random are kept whole, up to this many bytes per
// engine (code4recordCacheSize sets another bound): lookups spread over a
// table far larger than the block cache then find the records they touched
// before in memory.
constexpr size_t kRecordCacheBytes = size_t{48} << 20;

// Reads exactly size bytes at offset. A short read (the file shrank while
// open) gives XB_E_READ, like any failing read; 0 on success.
int ReadExact(int fd, uint64_t offset, void* buffer, size_t size);
// Reads up to size bytes at offset, fewer only at the end of the file; got
// receives how many. 0, or XB_E_READ when the read fails.
int ReadUpTo(int fd, uint64_t offset, void* buffer, size_t size, size_t& got);

// Hash index from a 64-bit key to a small value, open addressing with
// linear probing and the keys inline: a hit costs one probe of one cache
// line, where a node-based map costs a bucket, a node and the value. Only the
// calls the caches below use: find (null when absent), operator[], erase,
// clear. A pointer from find is invalidated by the next insertion or erase.
// The key ~0 marks a free slot and is never stored (file ids never reach it).
template <typename Value>
class FlatIndex {
public:
    struct Slot {
        uint64_t first = kFree;
        Value second{};
    };
    FlatIndex() { m_slots.resize(kMinSlots); }

    Slot* find(uint64_t key) {
        for (size_t i = Home(key);; i = (i + 1) & Mask()) {
            Slot& slot = m_slots[i];
            if (slot.first == key) return &slot;
            if (slot.first == kFree) return nullptr;
        }
    }
    Slot* end() { return nullptr; }
    Value& operator[](uint64_t key) {
        if (Slot* slot = find(key)) return slot->second;
        if ((m_size + 1) * 2 > m_slots.size()) Grow();
        size_t i = Home(key);
        while (m_slots[i].first != kFree) i = (i + 1) & Mask();
        m_slots[i].first = key;
        m_slots[i].second = Value{};
        ++m_size;
        return m_slots[i].second;
    }
    void erase(uint64_t key) {
        if (Slot* slot = find(key)) erase(slot);
    }
    // Backward-shift deletion: later entries of the probe run move up, so no
    // tombstones accumulate.
    void erase(Slot* slot) {
        size_t hole = static_cast<size_t>(slot - m_slots.data());
        for (size_t i = (hole + 1) & Mask();; i = (i + 1) & Mask()) {
            Slot& next = m_slots[i];
            if (next.first == kFree) break;
            const size_t home = Home(next.first);
            // Moves up unless its home lies cyclically in (hole, i].
            if (((i - home) & Mask()) >= ((i - hole) & Mask())) {
                m_slots[hole] = next;
                hole = i;
            }
        }
        m_slots[hole].first = kFree;
        --m_size;
    }
    void clear() {
        m_slots.assign(kMinSlots, Slot{});
        m_size = 0;
    }

private:
    static constexpr uint64_t kFree = ~uint64_t{0};
    static constexpr size_t kMinSlots = 64;
    size_t Mask() const { return m_slots.size() - 1; }
    size_t Home(uint64_t key) const {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 17) & Mask();
    }
    void Grow() {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_size = 0;
        for (const Slot& slot : old)
            if (slot.first != kFree) (*this)[slot.first] = slot.second;
    }
    std::vector<Slot> m_slots;
    size_t m_size = 0;
};

// LRU cache of fixed-size blocks keyed by (file, block number), each with
// the number of valid bytes it holds. A pointer handed out stays valid until
// the next Insert, Claim, DropFile or Clear. Nodes of evicted blocks are
// reused, so memory is bounded by the capacity.
template <size_t BlockBytes>
class LruCache {
public:
    explicit LruCache(size_t capacity) : m_capacity(capacity) {}

    const uint8_t* Find(uint32_t fileId, uint32_t block, uint32_t& length) {
        auto it = m_index.find(Key(fileId, block));
        if (it == m_index.end()) return nullptr;
        // Marked rather than moved to the front: a hit touches one node, not
        // three. Eviction gives marked nodes a second chance (see Claim).
        it->second->referenced = true;
        length = it->second->length;
        return it->second->bytes.data();
    }
    const uint8_t* Find(uint32_t fileId, uint32_t block) {
        uint32_t length = 0;
        return Find(fileId, block, length);
    }

    // Makes room for a block that Find did not have and hands out its
    // buffer of BlockBytes to be filled; then Keep makes it found, or Discard
    // gives it back. Null when the capacity is 0.
    uint8_t* Claim(uint32_t fileId, uint32_t block) {
        if (m_capacity == 0) return nullptr;
        if (m_lru.size() >= m_capacity) {
            // Nodes used since they last passed the end go round once more.
            for (size_t spins = 0; m_lru.back().referenced && spins < m_lru.size(); ++spins) {
                m_lru.back().referenced = false;
                m_lru.splice(m_lru.begin(), m_lru, std::prev(m_lru.end()));
            }
            // Reuse the least recently used node instead of allocating.
            m_index.erase(m_lru.back().key);
            m_lru.splice(m_lru.begin(), m_lru, std::prev(m_lru.end()));
        } else {
            m_lru.emplace_front();
        }
        Entry& entry = m_lru.front();
        entry.key = Key(fileId, block);
        entry.length = 0;
        entry.referenced = false;
        return entry.bytes.data();
    }
    void Keep(uint32_t length) {
        Entry& entry = m_lru.front();
        entry.length = length;
        m_index[entry.key] = m_lru.begin();
    }
    void Discard() { m_lru.pop_front(); }
    // True when a Claim would evict a block.
    bool Full() const { return m_lru.size() >= m_capacity; }
    // A new bound; blocks beyond it are evicted, least recently used first.
    void SetCapacity(size_t capacity) {
        m_capacity = capacity;
        while (m_lru.size() > m_capacity) {
            m_index.erase(m_lru.back().key);
            m_lru.pop_back();
        }
    }
    size_t Capacity() const { return m_capacity; }

    // Copies a whole block in; null when the capacity is 0.
    const uint8_t* Insert(uint32_t fileId, uint32_t block, const uint8_t* bytes) {
        uint32_t length = 0;
        uint8_t* buffer = const_cast<uint8_t*>(Find(fileId, block, length));
        if (buffer == nullptr) buffer = Claim(fileId, block);
        if (buffer == nullptr) return nullptr;
        std::memcpy(buffer, bytes, BlockBytes);
        Keep(BlockBytes);
        return buffer;
    }

    void DropFile(uint32_t fileId) {
        for (auto it = m_lru.begin(); it != m_lru.end();) {
            if ((it->key >> 32) == fileId) {
                m_index.erase(it->key);
                it = m_lru.erase(it);
            } else {
                ++it;
            }
        }
    }
    void Clear() {
        m_index.clear();
        m_lru.clear();
    }

private:
    struct Entry {
        uint64_t key = 0;
        uint32_t length = 0;
        bool referenced = false;
        std::array<uint8_t, BlockBytes> bytes;
    };
    static uint64_t Key(uint32_t fileId, uint32_t block) {
        return (static_cast<uint64_t>(fileId) << 32) | block;
    }
    size_t m_capacity;
    std::list<Entry> m_lru;  // most recently used first
    FlatIndex<typename std::list<Entry>::iterator> m_index;
};

// Remembers recently missed keys in a direct-mapped table, so that once the
// cache is full only a block missed a second time is read whole into it:
// lookups spread over far more blocks than the cache holds then cost a
// record's read, not a block's, and do not evict blocks that are in use.
class RepeatFilter {
public:
    // True when key was seen since its slot last changed; records it if not.
    bool SeenAgain(uint64_t key) {
        const uint64_t mark = key + 1;  // 0 marks an empty slot
        uint64_t& slot = m_slots[(mark * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits)];
        if (slot == mark) return true;
        slot = mark;
        return false;
    }
    void Clear() { m_slots.fill(0); }

private:
    static constexpr int kSlotBits = 12;
    static_assert(kRepeatSlots == size_t{1} << kSlotBits, "slots are indexed by kSlotBits bits");
    std::array<uint64_t, kRepeatSlots> m_slots{};
};

// LRU cache of single records keyed by (file, record number), bounded in
// bytes (each entry counted with its bookkeeping). File ids are never reused,
// so the records of a closed or reopened file are never found again; they
// age out under the bound instead of costing a scan at every close.
class RecordCache {
public:
    explicit RecordCache(size_t bytes) : m_budget(bytes) {}

    // The record's bytes (length as inserted), or null. Valid until the next
    // Insert, SetBudget or Clear.
    const uint8_t* Find(uint32_t fileId, uint32_t recNo, uint32_t length) {
        auto it = m_index.find(Key(fileId, recNo));
        if (it == m_index.end() || it->second->length != length) return nullptr;
        it->second->referenced = true;  // a second chance at eviction, as in LruCache
        return it->second->bytes.get();
    }
    void Insert(uint32_t fileId, uint32_t recNo, const uint8_t* bytes, uint32_t length) {
        const size_t cost = Cost(length);
        if (cost > m_budget) return;
        const uint64_t key = Key(fileId, recNo);
        if (auto it = m_index.find(key); it != m_index.end()) {
            m_used -= Cost(it->second->length);
            m_lru.erase(it->second);
            m_index.erase(it);
        }
        Evict(m_budget - cost);
        Entry entry;
        // Reuse the buffer of an entry of the same size when one was just evicted.
        if (m_spare && m_spareLength == length) {
            entry.bytes = std::move(m_spare);
        } else {
            entry.bytes = std::make_unique<uint8_t[]>(length);
        }
        m_spare.reset();
        entry.key = key;
        entry.length = length;
        std::memcpy(entry.bytes.get(), bytes, length);
        m_lru.push_front(std::move(entry));
        m_index[key] = m_lru.begin();
        m_used += cost;
    }
    void SetBudget(size_t bytes) {
        m_budget = bytes;
        Evict(m_budget);
    }
    void Clear() {
        m_index.clear();
        m_lru.clear();
        m_spare.reset();
        m_used = 0;
    }

private:
    struct Entry {
        uint64_t key = 0;
        uint32_t length = 0;
        bool referenced = false;
        std::unique_ptr<uint8_t[]> bytes;
    };
    static uint64_t Key(uint32_t fileId, uint32_t recNo) {
        return (static_cast<uint64_t>(fileId) << 32) | recNo;
    }
    static size_t Cost(uint32_t length) { return length + 96; }
    void Evict(size_t until) {
        size_t spins = 0;
        while (m_used > until && !m_lru.empty()) {
            Entry& last = m_lru.back();
            if (last.referenced && spins++ < m_lru.size()) {
                last.referenced = false;
                m_lru.splice(m_lru.begin(), m_lru, std::prev(m_lru.end()));
                continue;
            }
            m_used -= Cost(last.length);
            m_index.erase(last.key);
            m_spareLength = last.length;
            m_spare = std::move(last.bytes);
            m_lru.pop_back();
        }
    }
    size_t m_budget;
    size_t m_used = 0;
    std::list<Entry> m_lru;  // most recently used first
    FlatIndex<typename std::list<Entry>::iterator> m_index;
    std::unique_ptr<uint8_t[]> m_spare;
    uint32_t m_spareLength = 0;
};

// One decoded leaf page: keys expanded to full length, back to back.
struct Leaf {
    uint32_t offset = 0;
    uint32_t left = 0;
    uint32_t right = 0;
    int count = 0;
    std::vector<uint8_t> keys;
    std::vector<uint32_t> records;
    const uint8_t* Key(int i, int keyLength) const {
        return keys.data() + static_cast<size_t>(i) * keyLength;
    }
};

// The leaf of a table that stands on none.
inline const std::shared_ptr<const Leaf>& EmptyLeaf() {
    static const std::shared_ptr<const Leaf> empty = std::make_shared<Leaf>();
    return empty;
}

// Leaves already decoded, keyed by (index file, page offset), bounded in
// bytes: a seek on a warm tag then copies its leaf instead of decoding the
// page again. As for records, entries of a reopened file age out.
class LeafCache {
public:
    explicit LeafCache(size_t bytes) : m_budget(bytes) {}

    // The leaf decoded for a tag of this key length and fill, or null. Leaves
    // are shared: a table keeps the one it stands on after it is evicted.
    const std::shared_ptr<const Leaf>* Find(uint32_t fileId, uint32_t offset, int keyLength,
                                            uint8_t fill) {
        auto it = m_index.find(Key(fileId, offset));
        if (it == m_index.end()) return nullptr;
        Entry& entry = *it->second;
        if (entry.keyLength != keyLength || entry.fill != fill) return nullptr;
        entry.referenced = true;  // a second chance at eviction, as in LruCache
        return &entry.leaf;
    }
    void Insert(uint32_t fileId, const std::shared_ptr<const Leaf>& leaf, int keyLength,
                uint8_t fill) {
        const size_t cost = Cost(leaf);
        if (cost > m_budget) return;
        const uint64_t key = Key(fileId, leaf->offset);
        if (auto it = m_index.find(key); it != m_index.end()) {
            m_used -= Cost(it->second->leaf);
            m_lru.erase(it->second);
            m_index.erase(it);
        }
        size_t spins = 0;
        while (m_used + cost > m_budget && !m_lru.empty()) {
            if (m_lru.back().referenced && spins++ < m_lru.size()) {
                m_lru.back().referenced = false;
                m_lru.splice(m_lru.begin(), m_lru, std::prev(m_lru.end()));
                continue;
            }
            m_used -= Cost(m_lru.back().leaf);
            m_index.erase(m_lru.back().key);
            m_lru.pop_back();
        }
        m_lru.push_front(Entry{key, keyLength, fill, false, leaf});
        m_index[key] = m_lru.begin();
        m_used += cost;
    }
    void SetBudget(size_t bytes) {
        m_budget = bytes;
        while (m_used > m_budget && !m_lru.empty()) {
            m_used -= Cost(m_lru.back().leaf);
            m_index.erase(m_lru.back().key);
            m_lru.pop_back();
        }
    }
    void Clear() {
        m_index.clear();
        m_lru.clear();
        m_used = 0;
    }

private:
    struct Entry {
        uint64_t key;
        int keyLength;
        uint8_t fill;
        bool referenced;
        std::shared_ptr<const Leaf> leaf;
    };
    static uint64_t Key(uint32_t fileId, uint32_t offset) {
        return (static_cast<uint64_t>(fileId) << 32) | offset;
    }
    static size_t Cost(const std::shared_ptr<const Leaf>& leaf) {
        return leaf->keys.size() + leaf->records.size() * sizeof(uint32_t) + 160;
    }
    size_t m_budget;
    size_t m_used = 0;
    std::list<Entry> m_lru;  // most recently used first
    FlatIndex<typename std::list<Entry>::iterator> m_index;
};

// Index pages, keyed by their offset in the file.
using PageCache = LruCache<kPageSize>;
// Blocks of whole table records, keyed by block number (see Table.cpp).
using BlockCache = LruCache<kBlockSize>;

}  // namespace xb

struct XbData;

struct XbEngine {
    int errorCode = 0;
    int singleOpen = 0;
    int lockAttempts = 0;
    int readOnly = 0;
    int autoOpen = 1;  // open the production index with the table
    bool optimize = false;
    uint32_t lastFileId = 0;
    xb::PageCache cache{xb::kCachePages};   // index pages
    xb::BlockCache blocks{xb::kCacheBlocks};  // table records
    xb::RepeatFilter blockMisses;              // which blocks to cache
    xb::RecordCache records{xb::kRecordCacheBytes};  // single records read at random
    xb::LeafCache leaves{xb::kLeafCacheBytes};        // decoded index leaves
    std::list<std::unique_ptr<XbData>> tables;

    // The first error wins until code4errorCode reads it. kChanged is no
    // error: the call that met it starts again.
    int Fail(int code) {
        if (errorCode == 0 && code != xb::kChanged) errorCode = code;
        return code;
    }
};

struct XbField {
    XbData* data = nullptr;
    std::string name;  // upper case
    char type = 'C';
    uint32_t offset = 0;  // within the record, deletion byte at 0
    uint32_t length = 0;
    int decimals = 0;
    std::string text;  // f4str's buffer: length bytes and a NUL
};

namespace xb {

// How key bytes are formed, known from the key expression: a bare field of a
// binary-keyed type gives fixed-size binary keys (trailing NULs); anything
// else is a character key (trailing blanks).
enum class KeyKind { Character, Integer, Number, Date, Binary };

// What identifies the file behind a path: a file replaced under the same
// name (another inode) or changed in place (size, modification time) no
// longer matches.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    int64_t mtimeSeconds = 0;
    long mtimeNanos = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of an open file, or of the file at a path now; false when
// there is none.
bool IdentityOf(int fd, FileIdentity& out);
bool IdentityAt(const std::string& path, FileIdentity& out);

// The compound index file with its page reader.
struct IndexFile {
    int fd = -1;
    uint32_t id = 0;
    uint64_t size = 0;  // at open; a later shrink shows as a short read
    std::string path;
    FileIdentity identity;
    std::array<uint8_t, kPageSize> scratch{};
    ~IndexFile();
};

}  // namespace xb

struct XbTag {
    XbData* data = nullptr;
    std::string alias;   // upper case
    std::string expr;    // key expression text
    std::string filter;  // FOR expression, "" when none
    uint32_t header = 0;
    uint32_t root = 0;
    int keyLength = 0;
    bool unique = false;
    bool descending = false;
    bool machineCollation = true;
    xb::KeyKind kind = xb::KeyKind::Character;
    uint8_t fill = ' ';
    int leafDepth = -1;  // where the last descent met a leaf (see Descend)
    // The level above the leaves, flattened (Index.cpp, BuildFences): 0 not
    // built yet, 1 built, -1 not usable. Dropped when the file is reopened.
    int fenceState = 0;
    std::vector<uint8_t> fenceKeys;        // separators, keyLength bytes each
    std::vector<uint32_t> fenceChildren;   // the leaf each separator ends
    std::string keyText;  // t4key's buffer: keyLength bytes and a NUL
};

enum class XbPosition { None, Record, Eof };

struct XbData {
    XbEngine* engine = nullptr;
    std::string path;
    int fd = -1;
    uint32_t fileId = 0;  // the table file's key in the engine's record cache
    uint8_t version = 0;
    uint32_t recordCount = 0;
    uint32_t headerLength = 0;
    uint32_t recordLength = 0;
    uint8_t tableFlags = 0;
    std::vector<std::unique_ptr<XbField>> fields;

    // Current position. The record bytes are read on first use after a step
    // (recordLoaded false), so walking a tag costs no read per step.
    XbPosition position = XbPosition::None;
    uint32_t recNo = 0;
    bool recordLoaded = false;
    std::vector<uint8_t> record;

    std::unique_ptr<xb::IndexFile> index;
    std::vector<std::unique_ptr<XbTag>> tags;
    XbTag* selected = nullptr;

    // Noticing a change of the files while open. Once watching (after the
    // open), every call starts with BeginCall and every read from a file
    // first checks both files (once per call); a change makes the table
    // stale until Refresh has reopened it.
    bool watching = false;
    bool stale = false;
    bool checkedThisCall = false;
    int64_t lastChecked = 0;  // coarse monotonic nanoseconds
    xb::FileIdentity identity;

    // The tag cursor: valid when cursorTag is the selected tag and the table
    // stands on the record at cursorIndex of the decoded leaf (shared with
    // the engine's decoded leaves, never changed once decoded).
    XbTag* cursorTag = nullptr;
    std::shared_ptr<const xb::Leaf> leaf = xb::EmptyLeaf();
    // The tag whose page `leaf` decodes, while that page may be reused
    // without decoding it again (read optimisation on); null otherwise.
    XbTag* leafTag = nullptr;
    int cursorIndex = -1;
    std::vector<uint8_t> probe;  // d4seek's and d4seekNext's key probe
    uint32_t hopsForward = 0;  // leaf hops since the last turn; bounds a walk
    uint32_t hopsBackward = 0;

    ~XbData();
    int Fail(int code) { return engine->Fail(code); }
};

namespace xb {

// Table file (Table.cpp).
int OpenTable(XbData& data);   // header and fields; 0 or negative
int LoadRecord(XbData& data);  // reads recNo into record; 0 or negative
int GoRecord(XbData& data, uint32_t recNo, bool readNow);

// Change checks (Table.cpp). BeginCall starts every call that may answer
// from the table: it re-checks the files when the last check is a second
// old and reopens a table found changed (0, or the error of reopening).
// CheckBeforeRead comes before every read from either file: 0, or kChanged
// (the table is then stale, and the call must Refresh and start again).
// Refresh drops the table's cached pages and records and its position,
// reopens both files and takes their new header and tags, keeping every
// field and tag handle; a table whose fields or tags differ now stays
// stale and answers XB_E_DATA.
int BeginCall(XbData& data);
int CheckBeforeRead(XbData& data);
int Refresh(XbData& data);

// Index file (Index.cpp). Cursor calls answer 0 when the cursor stands on an
// entry, XB_EOF when it ran off the end (either end), negative on damage.
int OpenIndex(XbData& data, const std::string& cdxPath);
int CursorFirst(XbData& data, XbTag& tag);
int CursorLast(XbData& data, XbTag& tag);
int CursorNext(XbData& data, XbTag& tag);
int CursorPrev(XbData& data, XbTag& tag);
// First entry whose leading n key bytes are >= probe (> probe when strict).
int CursorLowerBound(XbData& data, XbTag& tag, const uint8_t* probe, int n, bool strict);
// Finds the entry of the current record by a walk (after a change of tag).
int CursorLocate(XbData& data, XbTag& tag, uint32_t recNo);
// Builds a seek probe from key text; n receives its length. 0 or negative.
int MakeProbe(const XbTag& tag, const char* text, std::vector<uint8_t>& probe, int& n,
              bool& tooLong);

}  // namespace xb
