#include "CdxWriter.h"

#include <dirent.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "KeyExpression.h"
#include "xbase.h"
#include "WriteError.h"

namespace {

constexpr std::size_t kPage = 512;
constexpr std::size_t kHeaderSize = 1024;
constexpr std::size_t kLeafHeader = 24;
constexpr std::size_t kInteriorHeader = 12;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Node attributes.
constexpr std::uint16_t kInterior = 0;
constexpr std::uint16_t kRoot = 1;
constexpr std::uint16_t kLeaf = 2;

// Header option bits.
constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kCompact = 0x20;
constexpr std::uint8_t kCompound = 0x40;
constexpr std::uint8_t kDirectory = 0x80;
constexpr std::uint8_t kSignature = 0x01;

constexpr std::size_t kDirectoryKeyLength = 10;

void PutLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutBe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

unsigned BitsFor(std::uint64_t value) {
    unsigned bits = 0;
    while (value > 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

// Where the pages of a tree go: appended to the index file, or collected in
// memory (the directory, written once the tag offsets are known).
class TPageSink {
public:
    virtual ~TPageSink() = default;
    virtual std::uint32_t NextOffset() const = 0;
    virtual void Put(const std::uint8_t* page) = 0;
};

class TFileSink : public TPageSink {
public:
    explicit TFileSink(TFileOut& out) : m_out(out) {}
    std::uint32_t NextOffset() const override {
        if (m_out.Size() + 2 * kPage >= kNone)
            throw EXbaseWrite("the index would pass 4 GB, the most its offsets can address");
        return static_cast<std::uint32_t>(m_out.Size());
    }
    void Put(const std::uint8_t* page) override { m_out.Write(page, kPage); }

private:
    TFileOut& m_out;
};

class TMemorySink : public TPageSink {
public:
    explicit TMemorySink(std::uint32_t base) : m_base(base) {}
    std::uint32_t NextOffset() const override {
        return m_base + static_cast<std::uint32_t>(m_bytes.size());
    }
    void Put(const std::uint8_t* page) override {
        m_bytes.insert(m_bytes.end(), page, page + kPage);
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::size_t Pages() const { return m_bytes.size() / kPage; }

private:
    std::uint32_t m_base;
    std::vector<std::uint8_t> m_bytes;
};

// Writes one B-tree from keys given in order: leaves as they fill, interior
// levels at the end.
class TTreeWriter {
public:
    TTreeWriter(std::size_t keyLength, std::uint32_t maxRecord, TPageSink& sink)
        : m_keyLength(keyLength), m_sink(sink), m_previous(keyLength, 0) {
        m_countBits = BitsFor(keyLength);
        unsigned needed = std::max(1u, BitsFor(maxRecord));
        m_entryBytes = (2 * m_countBits + needed + 7) / 8;
        m_recordBits = std::min(32u, m_entryBytes * 8 - 2 * m_countBits);
        StartLeaf();
    }

    void Add(const std::uint8_t* key, std::uint32_t record) {
        if (!TryAdd(key, record)) {
            FlushLeaf(false);
            StartLeaf();
            TryAdd(key, record);  // an empty leaf takes any key
        }
    }

    // Writes what is pending and the interior levels; returns the root offset.
    std::uint32_t Finish() {
        FlushLeaf(true);
        while (m_level.size() > 1) WriteInteriorLevel();
        return m_level.empty() ? m_lastOffset : m_level.offsets.front();
    }

private:
    // The entries of one level, waiting for their parents: keys back to back,
    // so that a level of many pages costs no allocation per entry.
    struct TLevel {
        std::vector<std::uint8_t> keys;
        std::vector<std::uint32_t> records;
        std::vector<std::uint32_t> offsets;
        std::size_t size() const { return records.size(); }
        bool empty() const { return records.empty(); }
        void Add(const std::uint8_t* key, std::size_t keyLength, std::uint32_t record,
                 std::uint32_t offset) {
            keys.insert(keys.end(), key, key + keyLength);
            records.push_back(record);
            offsets.push_back(offset);
        }
    };

    void StartLeaf() {
        std::memset(m_page, 0, kPage);
        m_count = 0;
        m_entryEnd = kLeafHeader;
        m_keyStart = kPage;
    }

    bool TryAdd(const std::uint8_t* key, std::uint32_t record) {
        std::size_t trail = 0;
        while (trail < m_keyLength && key[m_keyLength - 1 - trail] == ' ') ++trail;
        // Shared bytes stop where either key's dropped blanks begin: readers
        // differ in what they hold for the previous key's trailing part.
        std::size_t dup = 0;
        if (m_count > 0) {
            std::size_t limit = m_keyLength - std::max(trail, m_previousTrail);
            while (dup < limit && key[dup] == m_previous[dup]) ++dup;
        }
        std::size_t stored = m_keyLength - trail - dup;
        if (m_keyStart - m_entryEnd < m_entryBytes + stored) return false;
        std::uint64_t entry = std::uint64_t(record) | (std::uint64_t(dup) << m_recordBits) |
                              (std::uint64_t(trail) << (m_recordBits + m_countBits));
        for (unsigned i = 0; i < m_entryBytes; ++i)
            m_page[m_entryEnd + i] = static_cast<std::uint8_t>(entry >> (8 * i));
        m_entryEnd += m_entryBytes;
        m_keyStart -= stored;
        std::memcpy(m_page + m_keyStart, key + dup, stored);
        std::memcpy(m_previous.data(), key, m_keyLength);
        m_previousTrail = trail;
        m_lastRecord = record;
        ++m_count;
        return true;
    }

    void FlushLeaf(bool last) {
        std::uint32_t offset = m_sink.NextOffset();
        bool only = last && m_level.empty();
        PutLe16(m_page, kLeaf | (only ? kRoot : 0));
        PutLe16(m_page + 2, m_count);
        PutLe32(m_page + 4, m_leftLeaf);
        PutLe32(m_page + 8, last ? kNone : offset + static_cast<std::uint32_t>(kPage));
        PutLe16(m_page + 12, static_cast<std::uint32_t>(m_keyStart - m_entryEnd));
        PutLe32(m_page + 14, m_recordBits >= 32 ? kNone : (1u << m_recordBits) - 1);
        m_page[18] = static_cast<std::uint8_t>((1u << m_countBits) - 1);
        m_page[19] = m_page[18];
        m_page[20] = static_cast<std::uint8_t>(m_recordBits);
        m_page[21] = static_cast<std::uint8_t>(m_countBits);
        m_page[22] = static_cast<std::uint8_t>(m_countBits);
        m_page[23] = static_cast<std::uint8_t>(m_entryBytes);
        m_sink.Put(m_page);
        m_leftLeaf = offset;
        m_lastOffset = offset;
        if (!only) m_level.Add(m_previous.data(), m_keyLength, m_lastRecord, offset);
    }

    void WriteInteriorLevel() {
        std::size_t perPage = (kPage - kInteriorHeader) / (m_keyLength + 8);
        std::size_t pages = (m_level.size() + perPage - 1) / perPage;
        // Spread the entries evenly so that no page at the right end is nearly empty.
        std::size_t base = m_level.size() / pages;
        std::size_t extra = m_level.size() % pages;
        TLevel parents;
        std::uint32_t left = kNone;
        std::size_t next = 0;
        for (std::size_t p = 0; p < pages; ++p) {
            std::size_t count = base + (p < extra ? 1 : 0);
            std::uint8_t page[kPage] = {};
            std::uint32_t offset = m_sink.NextOffset();
            PutLe16(page, pages == 1 ? kRoot : kInterior);
            PutLe16(page + 2, static_cast<std::uint32_t>(count));
            PutLe32(page + 4, left);
            PutLe32(page + 8, p + 1 < pages ? offset + static_cast<std::uint32_t>(kPage) : kNone);
            std::uint8_t* entry = page + kInteriorHeader;
            for (std::size_t i = 0; i < count; ++i, ++next) {
                std::memcpy(entry, m_level.keys.data() + next * m_keyLength, m_keyLength);
                PutBe32(entry + m_keyLength, m_level.records[next]);
                PutBe32(entry + m_keyLength + 4, m_level.offsets[next]);
                entry += m_keyLength + 8;
            }
            m_sink.Put(page);
            parents.Add(m_level.keys.data() + (next - 1) * m_keyLength, m_keyLength,
                        m_level.records[next - 1], offset);
            left = offset;
        }
        m_level = std::move(parents);
    }

    std::size_t m_keyLength;
    TPageSink& m_sink;
    unsigned m_countBits = 0;
    unsigned m_recordBits = 0;
    unsigned m_entryBytes = 0;
    std::uint8_t m_page[kPage];
    std::size_t m_count = 0;
    std::size_t m_entryEnd = 0;
    std::size_t m_keyStart = 0;
    std::vector<std::uint8_t> m_previous;
    std::size_t m_previousTrail = 0;
    std::uint32_t m_lastRecord = 0;
    std::uint32_t m_leftLeaf = kNone;
    std::uint32_t m_lastOffset = kNone;
    TLevel m_level;
};

void WriteHeader(TFileOut& out, std::uint64_t at, std::uint32_t root, std::size_t keyLength,
                 std::uint8_t options, const std::string& expression,
                 const TDbfImage* pairedWith = nullptr) {
    std::uint8_t header[kHeaderSize] = {};
    if (pairedWith != nullptr) {
        // Which table state the index belongs to, in reserved bytes.
        const std::uint8_t* table = pairedWith->HeaderStart();
        std::uint8_t* pair = header + XB_PAIR_AT;
        std::memcpy(pair, XB_PAIR_MARK, 4);
        std::memcpy(pair + 4, table + 1, 11);
        std::memcpy(pair + 15, table + 20, 8);
        static_assert(XB_PAIR_AT + XB_PAIR_LENGTH <= 92, "before the collation name");
    }
    PutLe32(header, root);
    PutLe32(header + 4, 0);  // no free pages
    PutLe16(header + 12, static_cast<std::uint32_t>(keyLength));
    header[14] = options;
    header[15] = kSignature;
    std::uint32_t expressionLength = static_cast<std::uint32_t>(expression.size() + 1);
    PutLe16(header + 502, 0);  // ascending
    PutLe16(header + 504, expressionLength);
    PutLe16(header + 506, 1);  // no FOR expression: its text is just the terminator
    PutLe16(header + 510, expressionLength);
    std::memcpy(header + 512, expression.data(), expression.size());
    out.WriteAt(at, header, kHeaderSize);
}

// Record numbers in key order, equal keys by record number. Keys are sorted
// eight bytes at a time: each pass orders a run by the next eight bytes and
// only runs still tied go on, so long shared prefixes cost little.
struct TSortItem {
    std::uint64_t prefix;
    std::uint32_t record;
};

std::uint64_t LoadPrefix(const std::uint8_t* key, std::size_t keyLength, std::size_t depth) {
    if (depth + 8 <= keyLength) {
        std::uint64_t value;
        std::memcpy(&value, key + depth, 8);
        return __builtin_bswap64(value);
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        value <<= 8;
        if (depth + i < keyLength) value |= key[depth + i];
    }
    return value;
}

// `begin..end` is in record order on entry (true of the whole table, and of
// every run of equal prefixes after a pass).
// `keys` holds the key of record r at (r - base) * keyLength.
void SortRun(TSortItem* begin, TSortItem* end, const std::uint8_t* keys, std::size_t keyLength,
             std::size_t depth, std::uint32_t base) {
    for (;;) {
        std::uint64_t low = UINT64_MAX, high = 0;
        for (TSortItem* item = begin; item != end; ++item) {
            item->prefix =
                LoadPrefix(keys + std::size_t(item->record - base) * keyLength, keyLength, depth);
            low = std::min(low, item->prefix);
            high = std::max(high, item->prefix);
        }
        // Bytes every key of the run shares (the blanks before a number, a
        // common make) need no sorting: go on to the next eight.
        if (low != high) break;
        depth += 8;
        if (depth >= keyLength) return;
    }
    std::sort(begin, end, [](const TSortItem& a, const TSortItem& b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : a.record < b.record;
    });
    if (depth + 8 >= keyLength) return;
    for (TSortItem* run = begin; run != end;) {
        TSortItem* runEnd = run + 1;
        while (runEnd != end && runEnd->prefix == run->prefix) ++runEnd;
        if (runEnd - run > 1) SortRun(run, runEnd, keys, keyLength, depth + 8, base);
        run = runEnd;
    }
}

// Sorted runs of (key, record) entries in an unnamed temporary file beside
// the index being written: it is removed as soon as it is created, so
// nothing is left behind however the tool ends.
class TRunFile {
public:
    explicit TRunFile(const std::string& beside) {
        std::string pattern = beside + ".runsXXXXXX";
        m_fd = mkstemp(pattern.data());
        if (m_fd < 0)
            throw EXbaseWrite("Cannot create a temporary file beside '" + beside +
                              "': " + std::strerror(errno));
        unlink(pattern.c_str());
        m_buffer.reserve(kBuffer);
    }
    ~TRunFile() { close(m_fd); }
    TRunFile(const TRunFile&) = delete;
    TRunFile& operator=(const TRunFile&) = delete;

    void Append(const std::uint8_t* bytes, std::size_t size) {
        if (m_buffer.size() + size > kBuffer) Flush();
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    }
    void Flush() {
        std::size_t done = 0;
        while (done < m_buffer.size()) {
            ssize_t n = pwrite(m_fd, m_buffer.data() + done, m_buffer.size() - done,
                               static_cast<off_t>(m_written + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw EXbaseWrite(std::string("Cannot write sorted keys: ") + std::strerror(errno));
            done += static_cast<std::size_t>(n);
        }
        m_written += m_buffer.size();
        m_buffer.clear();
    }
    std::uint64_t Size() const { return m_written + m_buffer.size(); }
    // Reads up to size bytes at offset (after Flush); how many were read.
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const {
        std::size_t got = 0;
        while (got < size) {
            ssize_t n = pread(m_fd, buffer + got, size - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw EXbaseWrite(std::string("Cannot read sorted keys: ") + std::strerror(errno));
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

private:
    static constexpr std::size_t kBuffer = std::size_t{1} << 20;
    int m_fd = -1;
    std::uint64_t m_written = 0;
    std::vector<std::uint8_t> m_buffer;
};

// One run being merged: its entries read through a buffer of its own.
class TRunReader {
public:
    TRunReader(const TRunFile& file, std::uint64_t begin, std::uint64_t end, std::size_t entrySize)
        : m_file(file), m_next(begin), m_end(end), m_entrySize(entrySize),
          m_buffer(std::max<std::size_t>(1, kBuffer / entrySize) * entrySize) {
        Advance();
    }
    bool Done() const { return m_current == nullptr; }
    const std::uint8_t* Entry() const { return m_current; }
    void Advance() {
        if (m_pos + m_entrySize <= m_filled) {
            m_current = m_buffer.data() + m_pos;
            m_pos += m_entrySize;
            return;
        }
        m_current = nullptr;
        if (m_next >= m_end) return;
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(m_buffer.size(), m_end - m_next));
        m_filled = m_file.ReadAt(m_next, m_buffer.data(), want);
        if (m_filled != want || m_filled % m_entrySize != 0)
            throw EXbaseWrite("Cannot read sorted keys: the temporary file came up short");
        m_next += m_filled;
        m_pos = 0;
        Advance();
    }

private:
    static constexpr std::size_t kBuffer = std::size_t{256} << 10;
    const TRunFile& m_file;
    std::uint64_t m_next;
    std::uint64_t m_end;
    std::size_t m_entrySize;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_filled = 0;
    std::size_t m_pos = 0;
    const std::uint8_t* m_current = nullptr;
};

std::uint32_t EntryRecord(const std::uint8_t* entry, std::size_t keyLength) {
    std::uint32_t record;
    std::memcpy(&record, entry + keyLength, sizeof record);
    return record;
}

struct TCompiledTag {
    const TTagDef* def;
    std::string name;
    TKeyExpression expression;
};

std::vector<TCompiledTag> CompileTags(const std::vector<TFieldDef>& fields,
                                      const std::vector<TTagDef>& tags, const std::string& source) {
    if (tags.empty()) throw EXbaseWrite(source + ": an index needs at least one tag");
    std::vector<TCompiledTag> compiled;
    for (const auto& tag : tags) {
        std::string where = source;
        if (tag.line > 0) where.append(":").append(std::to_string(tag.line));
        where += ": ";
        if (!IsValidName(tag.name))
            throw EXbaseWrite(where + "invalid tag name '" + tag.name + "'");
        std::string name = ToUpperAscii(tag.name);
        for (const auto& other : compiled) {
            if (other.name == name) throw EXbaseWrite(where + "tag " + name + " is defined twice");
        }
        if (tag.expression.size() > 500)
            throw EXbaseWrite(where + "tag " + name +
                              ": the key expression is longer than 500 characters");
        try {
            compiled.push_back({&tag, name, TKeyExpression(tag.expression, fields)});
        } catch (const EXbaseWrite& e) {
            throw EXbaseWrite(where + "tag " + name + ": " + e.Message());
        }
    }
    std::sort(compiled.begin(), compiled.end(),
              [](const TCompiledTag& a, const TCompiledTag& b) { return a.name < b.name; });
    return compiled;
}

std::vector<std::uint8_t> DirectoryKey(const std::string& name) {
    std::vector<std::uint8_t> key(kDirectoryKeyLength, ' ');
    std::memcpy(key.data(), name.data(), name.size());
    return key;
}

// Pages of the directory tree for tags at the given header offsets.
struct TDirectory {
    TMemorySink pages{kHeaderSize};
    std::uint32_t root = 0;
};

TDirectory BuildDirectory(const std::vector<TCompiledTag>& tags,
                          const std::vector<std::uint32_t>& offsets, std::uint32_t maxOffset) {
    TDirectory directory;
    TTreeWriter tree(kDirectoryKeyLength, maxOffset, directory.pages);
    for (std::size_t i = 0; i < tags.size(); ++i)
        tree.Add(DirectoryKey(tags[i].name).data(), offsets[i]);
    directory.root = tree.Finish();
    return directory;
}

}  // namespace

void CheckTags(const std::vector<TFieldDef>& fields, const std::vector<TTagDef>& tags,
               const std::string& source) {
    CompileTags(fields, tags, source);
}

void WriteCdx(const TDbfImage& table, const std::vector<TTagDef>& tagDefs, TFileOut& out,
              const std::string& source, std::size_t sortBytes) {
    std::vector<TCompiledTag> tags = CompileTags(table.Fields(), tagDefs, source);

    // The directory's size depends on the offsets it holds; room for the
    // widest entries is kept, which for any real tag count is one page.
    std::vector<std::uint32_t> offsets(tags.size(), kNone);
    std::size_t reserved = BuildDirectory(tags, offsets, kNone).pages.Pages();
    std::vector<std::uint8_t> zeros(kHeaderSize + reserved * kPage, 0);
    out.Write(zeros.data(), zeros.size());

    TFileSink sink(out);
    std::uint32_t count = table.RecordCount();
    std::vector<std::uint8_t> keys;
    std::vector<TSortItem> order;
    // Records are read a block at a time, each tag in a pass of its own: memory
    // holds one tag's keys, never the table.
    constexpr std::uint32_t kBlockRecords = 4096;
    std::vector<std::uint8_t> block(std::size_t(kBlockRecords) * table.RecordLength());
    for (std::size_t t = 0; t < tags.size(); ++t) {
        const TKeyExpression& expression = tags[t].expression;
        std::size_t keyLength = expression.Width();
        offsets[t] = sink.NextOffset();
        out.Write(zeros.data(), kHeaderSize);

        TTreeWriter tree(keyLength, count, sink);
        bool unique = tags[t].def->unique;
        std::vector<std::uint8_t> previous;
        auto add = [&](const std::uint8_t* key, std::uint32_t record) {
            if (unique && !previous.empty() && std::memcmp(key, previous.data(), keyLength) == 0)
                return;
            tree.Add(key, record);
            if (unique) previous.assign(key, key + keyLength);
        };
        // Keys of records first .. first + n - 1, sorted into order[0 .. n).
        auto sortRecords = [&](std::uint32_t first, std::uint32_t n) {
            keys.resize(std::size_t(n) * keyLength);
            order.resize(n);
            for (std::uint32_t at = 0; at < n; at += kBlockRecords) {
                std::uint32_t m = std::min(kBlockRecords, n - at);
                table.ReadRecords(first + at, m, block.data());
                for (std::uint32_t i = 0; i < m; ++i) {
                    expression.Evaluate(block.data() + std::size_t(i) * table.RecordLength(),
                                        keys.data() + std::size_t(at + i) * keyLength);
                    order[at + i].record = first + at + i;
                }
            }
            SortRun(order.data(), order.data() + n, keys.data(), keyLength, 0, first);
        };
        const std::uint32_t runRecords = static_cast<std::uint32_t>(
            std::max<std::size_t>(kBlockRecords, sortBytes / (keyLength + sizeof(TSortItem))));
        if (count <= runRecords) {
            sortRecords(1, count);
            for (const TSortItem& item : order)
                add(keys.data() + std::size_t(item.record - 1) * keyLength, item.record);
        } else {
            // Sorted runs into a temporary file, then one merge of them all.
            const std::size_t entrySize = keyLength + sizeof(std::uint32_t);
            TRunFile runs(out.TempPath());
            std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;
            std::vector<std::uint8_t> entry(entrySize);
            for (std::uint32_t first = 1; first <= count; first += runRecords) {
                std::uint32_t n = std::min(runRecords, count - first + 1);
                sortRecords(first, n);
                std::uint64_t begin = runs.Size();
                for (const TSortItem& item : order) {
                    std::memcpy(entry.data(), keys.data() + std::size_t(item.record - first) * keyLength,
                                keyLength);
                    std::memcpy(entry.data() + keyLength, &item.record, sizeof item.record);
                    runs.Append(entry.data(), entrySize);
                }
                extents.emplace_back(begin, runs.Size());
                if (first > count - n) break;  // the last run (and no overflow of first)
            }
            runs.Flush();
            keys = {};
            order = {};
            std::vector<TRunReader> readers;
            readers.reserve(extents.size());
            for (const auto& [begin, end] : extents) readers.emplace_back(runs, begin, end, entrySize);
            // Equal keys come out by record number, as in one sort.
            auto later = [&](std::size_t a, std::size_t b) {
                const std::uint8_t* x = readers[a].Entry();
                const std::uint8_t* y = readers[b].Entry();
                int c = std::memcmp(x, y, keyLength);
                if (c != 0) return c > 0;
                return EntryRecord(x, keyLength) > EntryRecord(y, keyLength);
            };
            std::vector<std::size_t> heap;
            for (std::size_t r = 0; r < readers.size(); ++r)
                if (!readers[r].Done()) heap.push_back(r);
            std::make_heap(heap.begin(), heap.end(), later);
            while (!heap.empty()) {
                std::pop_heap(heap.begin(), heap.end(), later);
                TRunReader& reader = readers[heap.back()];
                add(reader.Entry(), EntryRecord(reader.Entry(), keyLength));
                reader.Advance();
                if (reader.Done()) {
                    heap.pop_back();
                } else {
                    std::push_heap(heap.begin(), heap.end(), later);
                }
            }
        }
        std::uint32_t root = tree.Finish();
        WriteHeader(out, offsets[t], root, keyLength, kCompact | kCompound | (unique ? kUnique : 0),
                    tags[t].def->expression);
    }
    keys = {};
    order = {};

    TDirectory directory =
        BuildDirectory(tags, offsets, *std::max_element(offsets.begin(), offsets.end()));
    const auto& bytes = directory.pages.Bytes();
    out.WriteAt(kHeaderSize, bytes.data(), bytes.size());
    WriteHeader(out, 0, directory.root, kDirectoryKeyLength, kCompact | kCompound | kDirectory, "",
                &table);
}

std::string IndexPathFor(const std::string& tablePath) {
    std::size_t slash = tablePath.rfind('/');
    std::size_t dot = tablePath.rfind('.');
    std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                           ? tablePath.substr(0, dot)
                           : tablePath;
    bool upper = dot != std::string::npos && tablePath.size() > dot + 1 &&
                 std::isupper(static_cast<unsigned char>(tablePath[dot + 1]));
    std::string wanted = base + (upper ? ".CDX" : ".cdx");

    std::string folder = slash == std::string::npos ? "." : tablePath.substr(0, slash);
    std::string wantedName = wanted.substr(slash == std::string::npos ? 0 : slash + 1);
    if (DIR* dir = opendir(folder.empty() ? "/" : folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (strcasecmp(entry->d_name, wantedName.c_str()) == 0) {
                wantedName = entry->d_name;
                wanted =
                    (slash == std::string::npos ? "" : tablePath.substr(0, slash + 1)) + wantedName;
                break;
            }
        }
        closedir(dir);
    }
    return wanted;
}
