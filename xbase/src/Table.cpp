// The .dbf table file: header, field descriptors and records.
#include "Engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace xb {
namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool KnownVersion(uint8_t v) {
    switch (v) {
        case 0x03:  // dBase III / FoxBASE+, no memo
        case 0x05:  // dBase V
        case 0x30:  // Visual FoxPro
        case 0x31:  // Visual FoxPro with autoincrement
        case 0x32:  // Visual FoxPro with varchar/varbinary
        case 0x43:
        case 0x63:
        case 0x83:  // dBase III with memo
        case 0x8B:  // dBase IV with memo
        case 0x8E:
        case 0xCB:
        case 0xE5:
        case 0xF5:  // FoxPro 2 with memo
        case 0xFB:
            return true;
        default:
            return false;
    }
}

// Copies record recNo into the record buffer through the engine's record
// cache. A block holds whole records only (never part of one), so every
// record comes from a single read. A block is read whole and cached on a
// miss while the cache has room, and once it is full on the block's second
// miss (the first reads the record alone); it is cached only when it was
// read in full: a read that comes up short means the file shrank while
// open, and then the table's other cached blocks are dropped as well.
int ReadRecordCached(XbData& data) {
    XbEngine& engine = *data.engine;
    const uint32_t length = data.recordLength;
    const uint32_t perBlock = kBlockSize / length;
    const uint32_t index = data.recNo - 1;
    const uint32_t block = index / perBlock;
    const uint32_t first = block * perBlock;
    const size_t at = static_cast<size_t>(index - first) * length;
    // Single records first: random lookups find theirs there, walks in their blocks.
    if (const uint8_t* bytes = engine.records.Find(data.fileId, data.recNo, length)) {
        std::memcpy(data.record.data(), bytes, length);
        return 0;
    }
    uint32_t valid = 0;
    if (const uint8_t* bytes = engine.blocks.Find(data.fileId, block, valid)) {
        if (at + length > valid) return XB_E_READ;
        std::memcpy(data.record.data(), bytes + at, length);
        // Kept singly too (it was not among the single records): by the next
        // time it is asked for, its block may be gone.
        engine.records.Insert(data.fileId, data.recNo, bytes + at, length);
        return 0;
    }
    if (int rc = CheckBeforeRead(data); rc != 0) return rc;
    if (engine.blocks.Full() &&
        !engine.blockMisses.SeenAgain((static_cast<uint64_t>(data.fileId) << 32) | block)) {
        const uint64_t offset = data.headerLength + static_cast<uint64_t>(index) * length;
        const int rc = ReadExact(data.fd, offset, data.record.data(), length);
        if (rc != 0) {
            engine.blocks.DropFile(data.fileId);
            return rc;
        }
        engine.records.Insert(data.fileId, data.recNo, data.record.data(), length);
        return 0;
    }
    static_assert(kCacheBlocks > 0, "Claim always hands out a block");
    uint8_t* buffer = engine.blocks.Claim(data.fileId, block);
    const uint32_t count = std::min(perBlock, data.recordCount - first);
    const size_t wanted = static_cast<size_t>(count) * length;
    const uint64_t offset = data.headerLength + static_cast<uint64_t>(first) * length;
    size_t got = 0;
    int rc = ReadUpTo(data.fd, offset, buffer, wanted, got);
    if (rc == 0 && at + length > got) rc = XB_E_READ;
    if (rc == 0) std::memcpy(data.record.data(), buffer + at, length);
    if (rc == 0 && got == wanted) {
        engine.blocks.Keep(static_cast<uint32_t>(wanted));
        // Kept singly as well: the block may be evicted long before the record
        // is asked for again.
        engine.records.Insert(data.fileId, data.recNo, data.record.data(), length);
        return 0;
    }
    engine.blocks.Discard();
    if (got < wanted) engine.blocks.DropFile(data.fileId);
    return rc;
}

}  // namespace

int OpenTable(XbData& data) {
    data.fileId = ++data.engine->lastFileId;
    struct stat st {};
    if (::fstat(data.fd, &st) != 0) return XB_E_OPEN;
    if (!S_ISREG(st.st_mode)) return XB_E_OPEN;
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (fileSize < 32) return XB_E_DATA;

    uint8_t head[32];
    if (int rc = ReadExact(data.fd, 0, head, sizeof head); rc != 0) return rc;
    data.version = head[0];
    if (!KnownVersion(data.version)) return XB_E_DATA;
    data.recordCount = Le32(head + 4);
    data.headerLength = Le16(head + 8);
    data.recordLength = Le16(head + 10);
    data.tableFlags = head[28];
    // A header must hold at least the terminator; every record its deletion byte.
    if (data.headerLength < 33 || data.headerLength > fileSize) return XB_E_DATA;
    if (data.recordLength < 1) return XB_E_DATA;
    const uint64_t needed = static_cast<uint64_t>(data.headerLength) +
                            static_cast<uint64_t>(data.recordCount) * data.recordLength;
    // The records end the file, followed at most by the end-of-file mark: a
    // header that promises fewer or more records than the file holds is
    // damaged (or the file was cut or extended without it).
    if (needed > fileSize || fileSize - needed > 1) return XB_E_DATA;

    std::vector<uint8_t> header(data.headerLength);
    if (int rc = ReadExact(data.fd, 0, header.data(), header.size()); rc != 0) return rc;

    uint32_t offset = 1;  // after the deletion byte
    bool terminated = false;
    for (uint32_t pos = 32; pos < data.headerLength; pos += 32) {
        if (header[pos] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + 32 > data.headerLength) break;  // a partial descriptor: no terminator
        const uint8_t* d = header.data() + pos;
        auto field = std::make_unique<XbField>();
        field->data = &data;
        size_t nameLength = 0;
        while (nameLength < 11 && d[nameLength] != 0) ++nameLength;
        field->name.assign(reinterpret_cast<const char*>(d), nameLength);
        for (char& c : field->name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        field->type = static_cast<char>(std::toupper(d[11]));
        field->length = d[16];
        field->decimals = d[17];
        if (field->length == 0) return XB_E_DATA;
        field->offset = offset;
        offset += field->length;
        if (offset > data.recordLength) return XB_E_DATA;  // field runs past the record
        field->text.assign(field->length, ' ');
        data.fields.push_back(std::move(field));
    }
    if (!terminated) return XB_E_DATA;
    if (data.fields.empty() || data.fields.size() > 32767) return XB_E_DATA;
    data.record.assign(data.recordLength, ' ');
    return 0;
}

int LoadRecord(XbData& data) {
    if (data.recordLoaded) return 0;
    const uint64_t at = static_cast<uint64_t>(data.headerLength) +
                        static_cast<uint64_t>(data.recNo - 1) * data.recordLength;
    // With read optimisation on, records come through the engine's record
    // cache; records longer than a cache block are always read directly.
    int rc = 0;
    if (data.engine->optimize && data.recordLength <= kBlockSize) {
        rc = ReadRecordCached(data);
    } else {
        rc = CheckBeforeRead(data);
        if (rc == 0) rc = ReadExact(data.fd, at, data.record.data(), data.recordLength);
    }
    if (rc != 0) return rc;
    // Every record starts with its deletion mark; anything else means the
    // file is not what its header says (damaged, or replaced while open).
    if (data.record[0] != ' ' && data.record[0] != '*') return XB_E_DATA;
    data.recordLoaded = true;
    return 0;
}

int GoRecord(XbData& data, uint32_t recNo, bool readNow) {
    if (recNo < 1 || recNo > data.recordCount) {
        data.position = XbPosition::None;
        data.recNo = 0;
        return XB_E_INDEX;
    }
    // With read optimisation on, the record already in the buffer is kept.
    const bool keep = data.recordLoaded && data.recNo == recNo && data.engine->optimize;
    data.position = XbPosition::Record;
    data.recNo = recNo;
    data.recordLoaded = keep;
    if (!readNow) return 0;
    if (int rc = LoadRecord(data); rc != 0) {
        data.position = XbPosition::None;
        data.recNo = 0;
        return rc;
    }
    return 0;
}

namespace {

int64_t CoarseNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

FileIdentity FromStat(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = static_cast<int64_t>(st.st_size);
    id.mtimeSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    id.mtimeNanos = st.st_mtim.tv_nsec;
    return id;
}

// Both files still those that were opened, unchanged.
bool Unchanged(const XbData& data) {
    FileIdentity now;
    if (!IdentityAt(data.path, now) || !(now == data.identity)) return false;
    if (data.index) {
        if (!IdentityAt(data.index->path, now) || !(now == data.index->identity)) return false;
    }
    return true;
}

int Check(XbData& data) {
    data.checkedThisCall = true;
    data.lastChecked = CoarseNow();
    if (Unchanged(data)) return 0;
    data.stale = true;
    return kChanged;
}

bool SameFields(const XbData& a, const XbData& b) {
    if (a.recordLength != b.recordLength || a.fields.size() != b.fields.size()) return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const XbField& x = *a.fields[i];
        const XbField& y = *b.fields[i];
        if (x.name != y.name || x.type != y.type || x.offset != y.offset || x.length != y.length ||
            x.decimals != y.decimals) {
            return false;
        }
    }
    return true;
}

void DropCached(XbData& data) {
    XbEngine& engine = *data.engine;
    engine.blocks.DropFile(data.fileId);
    if (data.index) engine.cache.DropFile(data.index->id);
    data.leafTag = nullptr;
    data.leaf = EmptyLeaf();
    data.cursorTag = nullptr;
    data.cursorIndex = -1;
    data.position = XbPosition::None;
    data.recNo = 0;
    data.recordLoaded = false;
}

}  // namespace

bool IdentityOf(int fd, FileIdentity& out) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    out = FromStat(st);
    return true;
}

bool IdentityAt(const std::string& path, FileIdentity& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    out = FromStat(st);
    return true;
}

int BeginCall(XbData& data) {
    data.checkedThisCall = false;
    if (!data.watching) return 0;
    if (!data.stale && CoarseNow() - data.lastChecked < kRecheckNanos) return 0;
    if (!data.stale && Check(data) == 0) return 0;
    return Refresh(data);
}

int CheckBeforeRead(XbData& data) {
    if (!data.watching) return 0;
    if (data.stale) return kChanged;
    if (data.checkedThisCall) return 0;
    return Check(data);
}

int Refresh(XbData& data) {
    DropCached(data);
    data.stale = true;
    XbData fresh;
    fresh.engine = data.engine;
    fresh.path = data.path;
    fresh.fd = ::open(data.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fresh.fd < 0) return XB_E_OPEN;
    if (int rc = OpenTable(fresh); rc != 0) return rc;
    if (!SameFields(data, fresh)) return XB_E_DATA;
    if (data.index) {
        if (int rc = OpenIndex(fresh, data.index->path); rc != 0) return rc;
        if (fresh.tags.size() != data.tags.size()) return XB_E_DATA;
        for (size_t i = 0; i < data.tags.size(); ++i) {
            if (fresh.tags[i]->alias != data.tags[i]->alias) return XB_E_DATA;
        }
        for (size_t i = 0; i < data.tags.size(); ++i) {
            XbTag& tag = *data.tags[i];
            XbData* owner = tag.data;
            tag = *fresh.tags[i];
            tag.data = owner;
        }
        if (!IdentityOf(fresh.index->fd, fresh.index->identity)) return XB_E_OPEN;
        fresh.engine->cache.DropFile(data.index->id);
        std::swap(data.index, fresh.index);
        data.leafTag = nullptr;
        data.leaf = EmptyLeaf();
    }
    if (!IdentityOf(fresh.fd, data.identity)) return XB_E_OPEN;
    std::swap(data.fd, fresh.fd);
    std::swap(data.fileId, fresh.fileId);
    data.version = fresh.version;
    data.recordCount = fresh.recordCount;
    data.headerLength = fresh.headerLength;
    data.tableFlags = fresh.tableFlags;
    data.stale = false;
    data.checkedThisCall = true;
    data.lastChecked = CoarseNow();
    return 0;
}

}  // namespace xb

XbData::~XbData() {
    if (engine != nullptr) engine->blocks.DropFile(fileId);
    if (index && engine != nullptr) engine->cache.DropFile(index->id);
    if (fd >= 0) ::close(fd);
}
