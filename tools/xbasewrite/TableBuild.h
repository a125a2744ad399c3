// What the tools do, as functions: dbfbuild and reindex are thin command
// lines over these, and the benchmark calls them directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Schema.h"

struct TBuildResult {
    std::uint32_t records = 0;
    std::string indexPath;  // empty when the schema has no tags
};

// Writes the table `tablePath` (which must end in .dbf, any case) from a
// schema and CSV rows whose header row names every field once, in any order
// and case, and its production index when the schema defines tags. An index
// left from an earlier table of that name is removed when there are no tags.
// On any error nothing is replaced. Throws EXbaseWrite.
TBuildResult BuildTable(const std::string& schemaPath, const std::string& csvPath,
                        const std::string& tablePath);

// Rebuilds the production index of an existing table from tag definitions
// (`source` names them in messages) and marks the table as indexed. Returns
// the index path. Throws EXbaseWrite; the old index stays when it fails.
std::string RebuildIndex(const std::string& tablePath, const std::vector<TTagDef>& tags,
                         const std::string& source);

// True when `path` ends in ".dbf" in any letter case.
bool HasTableExtension(const std::string& path);
