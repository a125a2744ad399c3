// dbfdump: lists a table through our xBase engine: its structure, its
// records as CSV, or one tag's keys in index order.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "EngineTable.h"
#include "ToolMain.h"
#include "WriteError.h"

namespace {

const char kUsage[] =
    "usage: dbfdump [--schema | --csv | --tag NAME] [--deleted] TABLE.dbf\n"
    "  --schema    the fields and tags, as dbfbuild reads them\n"
    "  --csv       the live records as CSV with a header row (binary fields in hex)\n"
    "  --tag NAME  the tag's keys in index order, each with its record number\n"
    "  --deleted   the CSV lists deleted records too, in a first column \"*\" marked\n"
    "  Without an option: the schema, an empty line, then the CSV.\n"
    "  A table whose production index is missing is listed without it (said on\n"
    "  stderr); --tag then fails.\n";

void PrintSchema(const TEngineTable& table) {
    XBDATA* data = table.Data();
    short count = d4numFields(data);
    for (short j = 1; j <= count; ++j) {
        XBFIELD* field = d4fieldJ(data, j);
        std::printf("field %s %c", f4name(field), static_cast<char>(f4type(field)));
        int type = f4type(field);
        if (type != 'D' && type != 'L') std::printf(" %lu", f4len(field));
        if (type == 'N' || type == 'F') std::printf(" %d", f4decimals(field));
        std::printf("\n");
    }
    std::vector<std::string> filters;
    std::vector<TTagDef> tags = table.Tags(&filters);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::printf("%s %s %s\n", tags[i].unique ? "unique" : "tag", tags[i].name.c_str(),
                    tags[i].expression.c_str());
        if (!filters[i].empty()) std::printf("# FOR %s\n", filters[i].c_str());
    }
    table.CheckError("Cannot read the fields of '" + table.Path() + "'");
}

void PutCsvValue(std::string_view value) {
    bool quote = value.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!quote) {
        std::fwrite(value.data(), 1, value.size(), stdout);
        return;
    }
    std::string text = "\"";
    for (char c : value) {
        if (c == '"') text += '"';
        text += c;
    }
    text += '"';
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

// Deleted records are left out, as every xBase reader hides them; with
// `withDeleted` they are listed too, marked in a first column "*".
void PrintCsv(const TEngineTable& table, bool withDeleted) {
    XBDATA* data = table.Data();
    short count = d4numFields(data);
    std::vector<XBFIELD*> fields;
    if (withDeleted) std::fputs("*,", stdout);
    for (short j = 1; j <= count; ++j) {
        fields.push_back(d4fieldJ(data, j));
        if (j > 1) std::fputc(',', stdout);
        PutCsvValue(f4name(fields.back()));
    }
    std::fputc('\n', stdout);
    d4tagSelectP(data, nullptr);
    int rc = d4top(data);
    for (; rc == XB_SUCCESS; rc = d4skip(data, 1)) {
        const int deleted = d4deleted(data);
        if (deleted < 0) break;  // the record cannot be read: reported below
        if (deleted > 0 && !withDeleted) continue;
        if (withDeleted) std::fputs(deleted > 0 ? "*," : ",", stdout);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) std::fputc(',', stdout);
            std::string_view value(f4str(fields[i]), f4len(fields[i]));
            // Character values keep leading blanks; numbers, dates and flags
            // are blank only for alignment; other types are binary.
            int type = f4type(fields[i]);
            if (type == 'C') {
                while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
            } else if (std::strchr("NDLF", type) != nullptr) {
                value = Trimmed(value);
            } else {
                PutCsvValue(Hex(value));
                continue;
            }
            PutCsvValue(value);
        }
        std::fputc('\n', stdout);
    }
    table.CheckError("Cannot read the records of '" + table.Path() + "'");
    if (rc != XB_EOF) throw EXbaseWrite("Cannot read the records of '" + table.Path() + "'");
}

// The form index_dump prints: the key without its trailing blanks, a blank,
// the record number.
void PrintTagKeys(const TEngineTable& table, const std::string& name) {
    XBDATA* data = table.Data();
    if (table.IndexMissing())
        throw EXbaseWrite("'" + table.Path() + "' has no tag " + name +
                          " (its production index is missing)");
    XBTAG* tag = d4tag(data, name.c_str());
    if (tag == nullptr) {
        code4errorCode(table.Engine(), 0);  // the message below says it better
        std::string known;
        for (XBTAG* t = d4tagNext(data, nullptr); t != nullptr; t = d4tagNext(data, t))
            known += std::string(known.empty() ? "" : ", ") + t4alias(t);
        throw EXbaseWrite("'" + table.Path() + "' has no tag " + name +
                          (known.empty() ? " (it has no index)" : " (its tags: " + known + ")"));
    }
    d4tagSelectP(data, tag);
    int rc = d4top(data);
    std::string line;
    for (; rc == XB_SUCCESS; rc = d4skip(data, 1)) {
        const char* key = t4key(tag);
        if (key == nullptr) break;
        std::size_t length = static_cast<std::size_t>(t4keyLen(tag));  // keys may hold NULs
        while (length > 0 && key[length - 1] == ' ') --length;
        line.assign(key, length);
        line += ' ';
        line += std::to_string(d4recNo(data));
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    table.CheckError("Cannot read tag " + name + " of '" + table.Path() + "'");
    if (rc != XB_EOF) throw EXbaseWrite("Cannot read tag " + name + " of '" + table.Path() + "'");
}

}  // namespace

int main(int argc, char** argv) {
    return RunTool("dbfdump", kUsage, [&] {
        std::vector<std::string> args(argv + 1, argv + argc);
        std::string mode;
        std::string tagName;
        std::string tablePath;
        bool withDeleted = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (arg == "-h" || arg == "--help") {
                std::fputs(kUsage, stdout);
                return 0;
            }
            if (arg == "--schema" || arg == "--csv" || arg == "--tag") {
                if (!mode.empty()) throw TUsageError{"give one of --schema, --csv, --tag"};
                mode = arg;
                if (arg == "--tag") {
                    if (i + 1 >= args.size()) throw TUsageError{"--tag needs a tag name"};
                    tagName = args[++i];
                }
            } else if (arg == "--deleted") {
                withDeleted = true;
            } else if (arg.size() > 1 && arg[0] == '-') {
                throw TUsageError{"unknown option '" + arg + "'"};
            } else if (!tablePath.empty()) {
                throw TUsageError{"only one table at a time"};
            } else {
                tablePath = arg;
            }
        }
        if (tablePath.empty()) throw TUsageError{"no table given"};
        if (withDeleted && mode == "--tag") throw TUsageError{"--deleted lists records, not keys"};
        if (withDeleted && mode == "--schema") throw TUsageError{"--deleted lists records"};
        // Tables from elsewhere may come without the production index they
        // are flagged for (a dBase IV .mdx, a .cdx not copied along).
        TEngineTable table(tablePath, true);
        if (table.IndexMissing())
            std::fprintf(stderr,
                         "dbfdump: '%s': its production index is missing; listed without it\n",
                         tablePath.c_str());
        if (mode == "--tag") {
            PrintTagKeys(table, tagName);
        } else if (mode == "--csv") {
            PrintCsv(table, withDeleted);
        } else {
            PrintSchema(table);
            if (mode.empty()) {
                std::printf("\n");
                PrintCsv(table, withDeleted);
            }
        }
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            throw EXbaseWrite("Cannot write the listing");
        return 0;
    });
}
