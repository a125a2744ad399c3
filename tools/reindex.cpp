// reindex: rebuilds a table's production index (.cdx), from the tag
// definitions stored in its current index or from a schema.
#include <cstdio>
#include <string>
#include <vector>

#include "DbfImage.h"
#include "EngineTable.h"
#include "Schema.h"
#include "TableBuild.h"
#include "ToolMain.h"
#include "WriteError.h"

namespace {

const char kUsage[] =
    "usage: reindex [--schema SCHEMA] TABLE.dbf\n"
    "  Rebuilds TABLE.cdx with the tags its current index defines, or with the\n"
    "  tags of SCHEMA (whose fields, if it lists any, must match the table).\n";

// A schema given for an existing table must describe that table.
void CheckSchemaFields(const TSchema& schema, const std::string& schemaPath,
                       const std::string& tablePath) {
    if (schema.fields.empty()) return;
    TDbfImage table(tablePath);
    const auto& actual = table.Fields();
    auto describe = [](const TFieldDef& f) {
        return f.name + " " + f.type + " " + std::to_string(f.length) + " " +
               std::to_string(f.decimals);
    };
    std::size_t n = std::max(actual.size(), schema.fields.size());
    for (std::size_t i = 0; i < n; ++i) {
        std::string want = i < schema.fields.size() ? describe(schema.fields[i]) : "nothing";
        std::string have = i < actual.size() ? describe(actual[i]) : "nothing";
        if (want != have)
            throw EXbaseWrite(schemaPath + ": field " + std::to_string(i + 1) + " is '" + want +
                              "' but the table has '" + have + "'");
    }
}

}  // namespace

int main(int argc, char** argv) {
    return RunTool("reindex", kUsage, [&] {
        std::vector<std::string> args(argv + 1, argv + argc);
        std::string schemaPath;
        std::string tablePath;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "-h" || arg == "--help") {
                std::fputs(kUsage, stdout);
                return 0;
            }
            if (arg == "--schema") {
                if (i + 1 >= args.size()) throw TUsageError{"--schema needs a file"};
                if (!schemaPath.empty()) throw TUsageError{"--schema given twice"};
                schemaPath = args[++i];
            } else if (arg.size() > 1 && arg[0] == '-') {
                throw TUsageError{"unknown option '" + arg + "'"};
            } else if (!tablePath.empty()) {
                throw TUsageError{"only one table at a time"};
            } else {
                tablePath = arg;
            }
        }
        if (tablePath.empty()) throw TUsageError{"no table given"};
        if (!HasTableExtension(tablePath))
            throw EXbaseWrite("'" + tablePath + "': a table's name must end in .dbf");

        std::vector<TTagDef> tags;
        std::string source;
        if (!schemaPath.empty()) {
            TSchema schema = LoadSchema(schemaPath);
            if (schema.tags.empty()) throw EXbaseWrite(schemaPath + ": the schema defines no tags");
            CheckSchemaFields(schema, schemaPath, tablePath);
            tags = schema.tags;
            source = schemaPath;
        } else {
            try {
                tags = ReadIndexTags(tablePath);
            } catch (const EXbaseWrite& e) {
                if (e.Message().find("--schema") != std::string::npos) throw;
                throw EXbaseWrite(e.Message() + "; give the tags with --schema");
            }
            source = "the index of " + tablePath;
        }
        std::string indexPath = RebuildIndex(tablePath, tags, source);
        std::printf("%s: %zu tags\n", indexPath.c_str(), tags.size());
        return 0;
    });
}
