// The bytes of a written index, walked level by level: headers, node
// attributes, sibling links on every level, interior entries carrying their
// child's largest key, and the leaves' keys in the expected order. Readers may
// take any of these roads through a tree, so each must be right on its own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "CdxWriter.h"
#include "DbfImage.h"
#include "FileOut.h"
#include "Schema.h"
#include "TableBuild.h"
#include "ToolTestSupport.h"
#include "VehicleFixture.h"

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

class TIndexBytes {
public:
    explicit TIndexBytes(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::uint32_t Le16(std::size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    std::uint32_t Le32(std::size_t at) const { return Le16(at) | Le16(at + 2) << 16; }
    std::uint32_t Be32(std::size_t at) const {
        return Byte(at) << 24 | Byte(at + 1) << 16 | Byte(at + 2) << 8 | Byte(at + 3);
    }
    std::uint32_t Byte(std::size_t at) const {
        if (at >= m_bytes.size()) throw std::out_of_range("offset past the index");
        return static_cast<unsigned char>(m_bytes[at]);
    }
    std::string Text(std::size_t at, std::size_t size) const { return m_bytes.substr(at, size); }
    std::size_t Size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
};

using TEntries = std::vector<std::pair<std::string, std::uint32_t>>;

struct TNode {
    std::uint32_t offset, attributes, left, right;
    TEntries entries;                     // key and record number
    std::vector<std::uint32_t> children;  // interior nodes only
};

TNode ReadNode(const TIndexBytes& index, std::uint32_t offset, std::size_t keyLength) {
    EXPECT_EQ(offset % 512, 0u);
    TNode node{offset, index.Le16(offset), index.Le32(offset + 4), index.Le32(offset + 8), {}, {}};
    std::uint32_t count = index.Le16(offset + 2);
    if (!(node.attributes & 2)) {
        for (std::uint32_t i = 0; i < count; ++i) {
            std::size_t at = offset + 12 + i * (keyLength + 8);
            node.entries.emplace_back(index.Text(at, keyLength), index.Be32(at + keyLength));
            node.children.push_back(index.Be32(at + keyLength + 4));
        }
        return node;
    }
    std::uint32_t freeSpace = index.Le16(offset + 12);
    std::uint32_t recordMask = index.Le32(offset + 14);
    std::uint32_t recordBits = index.Byte(offset + 20), dupBits = index.Byte(offset + 21);
    std::uint32_t trailBits = index.Byte(offset + 22), entryBytes = index.Byte(offset + 23);
    EXPECT_EQ(recordMask, recordBits >= 32 ? kNone : (1u << recordBits) - 1);
    EXPECT_EQ(index.Byte(offset + 18), (1u << dupBits) - 1);
    EXPECT_EQ(index.Byte(offset + 19), (1u << trailBits) - 1);
    EXPECT_LE(recordBits + dupBits + trailBits, entryBytes * 8);
    std::string previous;
    std::size_t previousTrail = 0;
    std::size_t keyEnd = offset + 512;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t entry = 0;
        for (std::uint32_t b = 0; b < entryBytes; ++b)
            entry |= std::uint64_t(index.Byte(offset + 24 + i * entryBytes + b)) << (8 * b);
        std::uint32_t record = static_cast<std::uint32_t>(entry & recordMask);
        std::size_t dup = (entry >> recordBits) & ((1u << dupBits) - 1);
        std::size_t trail = (entry >> (recordBits + dupBits)) & ((1u << trailBits) - 1);
        // Readers do not agree on what the previous key's dropped blanks
        // are, so shared bytes must not reach into them.
        EXPECT_LE(dup, keyLength - previousTrail) << "entry " << i << " of leaf " << offset;
        previousTrail = trail;
        std::size_t stored = keyLength - dup - trail;
        keyEnd -= stored;
        std::string key =
            previous.substr(0, dup) + index.Text(keyEnd, stored) + std::string(trail, ' ');
        node.entries.emplace_back(key, record);
        previous = key;
    }
    EXPECT_EQ(freeSpace, keyEnd - (offset + 24 + count * entryBytes)) << "leaf at " << offset;
    return node;
}

struct TTree {
    std::vector<std::vector<TNode>> levels;  // root level first
    TEntries keys;                           // the leaves' keys left to right
};

// Walks from the root down, level by level, checking each level as a whole.
TTree Walk(const TIndexBytes& index, std::uint32_t root, std::size_t keyLength) {
    TTree tree;
    std::vector<std::uint32_t> offsets = {root};
    for (;;) {
        std::vector<TNode> level;
        for (std::uint32_t offset : offsets) level.push_back(ReadNode(index, offset, keyLength));
        for (std::size_t i = 0; i < level.size(); ++i) {
            const TNode& node = level[i];
            EXPECT_EQ((node.attributes & 1) != 0, tree.levels.empty())
                << "root flag at " << node.offset;
            EXPECT_EQ(node.left, i == 0 ? kNone : level[i - 1].offset) << "left of " << node.offset;
            EXPECT_EQ(node.right, i + 1 == level.size() ? kNone : level[i + 1].offset)
                << "right of " << node.offset;
            EXPECT_EQ(node.attributes & 2, level[0].attributes & 2) << "leaves at one depth";
        }
        if (!tree.levels.empty()) {
            // Each parent entry names its child's last key and record.
            std::size_t child = 0;
            for (const TNode& parent : tree.levels.back()) {
                for (const auto& entry : parent.entries) {
                    const TNode& node = level[child++];
                    EXPECT_FALSE(node.entries.empty()) << "empty node at " << node.offset;
                    if (!node.entries.empty()) {
                        EXPECT_EQ(entry, node.entries.back());
                    }
                }
            }
        }
        bool leaves = level[0].attributes & 2;
        tree.levels.push_back(std::move(level));
        if (leaves) break;
        offsets.clear();
        for (const TNode& node : tree.levels.back())
            offsets.insert(offsets.end(), node.children.begin(), node.children.end());
    }
    for (const TNode& leaf : tree.levels.back())
        tree.keys.insert(tree.keys.end(), leaf.entries.begin(), leaf.entries.end());
    return tree;
}

class CdxLayout : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_dir.File("s.txt"), TVehicleFixture::Schema());
        WriteFile(m_dir.File("in.csv"), m_fixture.Csv());
        BuildTable(m_dir.File("s.txt"), m_dir.File("in.csv"), m_dir.File("veh.dbf"));
    }

    TTempDir m_dir;
    TVehicleFixture m_fixture;
};

TEST_F(CdxLayout, DirectoryAndTagsAreWellFormedTrees) {
    TIndexBytes index(ReadFile(m_dir.File("veh.cdx")));
    EXPECT_EQ(index.Size() % 512, 0u);
    // Directory header: a compact compound directory with 10-byte names.
    EXPECT_EQ(index.Le16(12), 10u);
    EXPECT_EQ(index.Byte(14), 0xE0u);
    EXPECT_EQ(index.Byte(15), 0x01u);
    EXPECT_EQ(index.Le32(4), 0u) << "no free pages";
    TTree directory = Walk(index, index.Le32(0), 10);

    std::map<std::string, std::uint32_t> headers;
    for (const auto& [name, offset] : directory.keys) headers[name] = offset;
    ASSERT_EQ(headers.size(), TVehicleFixture::Tags().size());
    std::size_t deepest = 0;
    for (const TFixtureTag& tag : TVehicleFixture::Tags()) {
        SCOPED_TRACE(tag.name);
        std::string directoryKey = tag.name + std::string(10 - tag.name.size(), ' ');
        ASSERT_TRUE(headers.count(directoryKey));
        std::uint32_t header = headers[directoryKey];
        EXPECT_EQ(index.Le16(header + 12), tag.width);
        EXPECT_EQ(index.Byte(header + 14), 0x60u);
        EXPECT_EQ(index.Byte(header + 15), 0x01u);
        EXPECT_EQ(index.Le16(header + 502), 0u) << "ascending";
        EXPECT_EQ(index.Le16(header + 510), tag.expression.size() + 1);
        EXPECT_EQ(index.Le16(header + 506), 1u) << "no FOR expression";
        EXPECT_EQ(std::string(index.Text(header + 512, 512).c_str()), tag.expression);

        TTree tree = Walk(index, index.Le32(header), tag.width);
        deepest = std::max(deepest, tree.levels.size());
        EXPECT_GE(tree.levels.back().size(), 3u) << "the fixture should fill several leaves";
        TEntries expected;
        for (const auto& [key, record] : m_fixture.Ordered(tag.name))
            expected.emplace_back(key, static_cast<std::uint32_t>(record));
        EXPECT_EQ(tree.keys, expected);
    }
    EXPECT_GE(deepest, 3u) << "the fixture should give one tag two interior levels";
}

TEST_F(CdxLayout, EmptyTableHasAnEmptyRootLeafPerTag) {
    WriteFile(m_dir.File("empty.csv"),
              "VIN,RECTYPE,MAKE,YR,MODEL,FIELDNAME,CODE,EFFDATE,PRICE,ACTIVE\n");
    BuildTable(m_dir.File("s.txt"), m_dir.File("empty.csv"), m_dir.File("empty.dbf"));
    TIndexBytes index(ReadFile(m_dir.File("empty.cdx")));
    TTree directory = Walk(index, index.Le32(0), 10);
    ASSERT_EQ(directory.keys.size(), TVehicleFixture::Tags().size());
    for (const auto& [name, header] : directory.keys) {
        TTree tree = Walk(index, index.Le32(header), index.Le16(header + 12));
        EXPECT_EQ(tree.levels.size(), 1u) << name;
        EXPECT_TRUE(tree.keys.empty()) << name;
        EXPECT_EQ(tree.levels[0][0].attributes, 3u) << name;
    }
}

// A table too large for the keys to be sorted in memory at once is sorted
// in runs and merged: the index must be the very one a single sort gives,
// equal keys across runs included.
TEST(CdxMerge, SortedRunsGiveTheSameIndexAsOneSort) {
    TTempDir dir;
    TVehicleFixture fixture(10000);  // three runs of 4,096 records at the smallest bound
    WriteFile(dir.File("s.txt"), TVehicleFixture::Schema());
    WriteFile(dir.File("in.csv"), fixture.Csv());
    BuildTable(dir.File("s.txt"), dir.File("in.csv"), dir.File("veh.dbf"));
    const TSchema schema = ParseSchema(TVehicleFixture::Schema(), "s.txt");
    TDbfImage table(dir.File("veh.dbf"));
    for (const std::size_t sortBytes : {kSortBytes, std::size_t{1}}) {
        TFileOut out(dir.File(sortBytes == 1 ? "runs.cdx" : "one.cdx"));
        WriteCdx(table, schema.tags, out, "s.txt", sortBytes);
        out.Commit();
    }
    const std::string merged = ReadFile(dir.File("runs.cdx"));
    EXPECT_TRUE(merged == ReadFile(dir.File("one.cdx")));
    TIndexBytes index(merged);
    TTree directory = Walk(index, index.Le32(0), 10);
    for (const TFixtureTag& tag : TVehicleFixture::Tags()) {
        SCOPED_TRACE(tag.name);
        std::uint32_t header = 0;
        for (const auto& [name, offset] : directory.keys)
            if (name == tag.name + std::string(10 - tag.name.size(), ' ')) header = offset;
        ASSERT_NE(header, 0u);
        TEntries expected;
        for (const auto& [key, record] : fixture.Ordered(tag.name))
            expected.emplace_back(key, static_cast<std::uint32_t>(record));
        EXPECT_EQ(Walk(index, index.Le32(header), tag.width).keys, expected);
    }
    // The runs' temporary file is gone with the writer.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 6u) << "s.txt, in.csv, veh.dbf, veh.cdx, one.cdx, runs.cdx";
}

}  // namespace
