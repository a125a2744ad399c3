// Builds the FoxPro compound index (.cdx) of a table by bulk loading.
//
// Layout written (all offsets are byte offsets into the file, pages are 512
// bytes):
//   0       tag directory header (1024 bytes): a tag whose keys are the tag
//           names (upper case, blank-padded to 10) and whose record numbers
//           are the offsets of the tag headers
//   1024    the directory's nodes
//   then    per tag, in name order: its 1024-byte header (root, key length,
//           options, key expression text from byte 512), its leaves left to
//           right, then each interior level bottom-up, the root last
// Leaves are compressed: per key a bit-packed entry (record number, bytes
// shared with the previous key, trailing blanks dropped) and the remaining
// key bytes packed from the end of the page. Interior entries hold the
// largest key of the child, its record number and the child's offset, both
// big-endian. Every level links its pages left and right, -1 at the ends.
//
// Keys are character keys in machine (byte) order; equal keys follow record
// order. Deleted records are indexed like live ones.
#pragma once

#include <cstddef>
#include <vector>

#include "DbfImage.h"
#include "FileOut.h"
#include "Schema.h"

// Keys are sorted in memory up to this many bytes (keys and sort items); a
// larger table is sorted in runs of that size, kept in an unnamed temporary
// file beside the index, and merged: memory stays bounded however many
// records the table has.
constexpr std::size_t kSortBytes = std::size_t{16} << 20;

// Writes an index with one tag per definition into `out` (not committed).
// Throws EXbaseWrite "SOURCE[:LINE]: tag NAME: ..." for a bad name, a
// duplicate, or a key expression that does not compile against the table's
// fields; `source` names where the definitions came from. `sortBytes` bounds
// the keys sorted in memory at a time (the result is the same at any bound;
// runs hold at least 4,096 records).
void WriteCdx(const TDbfImage& table, const std::vector<TTagDef>& tags, TFileOut& out,
              const std::string& source, std::size_t sortBytes = kSortBytes);

// Checks tag names and compiles every expression against `fields` without
// writing anything; the same errors as WriteCdx.
void CheckTags(const std::vector<TFieldDef>& fields, const std::vector<TTagDef>& tags,
               const std::string& source);

// The index file that belongs to a table: its base name with ".cdx" (".CDX"
// when the table's extension is upper case). An existing index whose name
// differs only in letter case is preferred.
std::string IndexPathFor(const std::string& tablePath);
