// dbfbuild: a table (.dbf) and its production index (.cdx) from a schema and
// CSV rows. See README.md for the schema format.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TableBuild.h"
#include "ToolMain.h"

namespace {

const char kUsage[] =
    "usage: dbfbuild SCHEMA CSV TABLE.dbf\n"
    "  Writes TABLE.dbf from the rows of CSV (a header row names the fields) and,\n"
    "  when SCHEMA defines tags, its index TABLE.cdx.\n";

}  // namespace

int main(int argc, char** argv) {
    return RunTool("dbfbuild", kUsage, [&] {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        for (const auto& arg : args) {
            if (arg.size() > 1 && arg[0] == '-') throw TUsageError{"unknown option '" + arg + "'"};
        }
        if (args.size() != 3) throw TUsageError{"expected three arguments"};
        TBuildResult result = BuildTable(args[0], args[1], args[2]);
        std::printf("%s: %u records", args[2].c_str(), result.records);
        if (!result.indexPath.empty()) std::printf(", index %s", result.indexPath.c_str());
        std::printf("\n");
        return 0;
    });
}
