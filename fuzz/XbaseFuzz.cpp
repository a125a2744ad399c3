// Fuzz target for the xBase engine: any bytes as a table and its index must
// give error codes, never a crash, a hang or a sanitizer report.
//
// Input layout: 4 bytes little-endian length n of the table, n bytes of table,
// the rest is the index (none when empty). The files are rewritten in one
// private folder for every input, since the engine opens files by path.
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xbase.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/xbase-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern) + "/";
    }();
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* bytes, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// Every positioning call, bounded by the caller: the engine must end walks.
void Exercise(XBDATA* data, const char* probe) {
    for (int rc = d4top(data), steps = 0; rc == XB_SUCCESS && steps < 5000; ++steps) {
        for (short j = 1; j <= d4numFields(data) && j <= 8; ++j) {
            XBFIELD* field = d4fieldJ(data, j);
            f4str(field);
            f4int(field);
        }
        d4deleted(data);
        if (XBTAG* tag = d4tagSelected(data)) t4key(tag);
        rc = d4skip(data, 1);
    }
    d4bottom(data);
    d4skip(data, -3);
    d4seek(data, probe);
    d4seekNext(data, probe);
    d4seek(data, "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 4) return 0;
    uint32_t tableSize = 0;
    std::memcpy(&tableSize, bytes, 4);
    bytes += 4;
    size -= 4;
    if (tableSize > size) tableSize = static_cast<uint32_t>(size);
    const std::string table = Folder() + "t.dbf";
    const std::string index = Folder() + "t.cdx";
    WriteFile(table, bytes, tableSize);
    ::unlink(index.c_str());
    if (size > tableSize) WriteFile(index, bytes + tableSize, size - tableSize);

    XBENGINE* engine = code4initP();
    if ((size & 1) != 0) code4optStart(engine);
    if (XBDATA* data = d4open(engine, table.c_str())) {
        const char probe[] = {tableSize > 0 ? static_cast<char>(bytes[0] | 1) : 'A', 0};
        Exercise(data, probe);
        for (XBTAG* tag = d4tagNext(data, nullptr); tag != nullptr; tag = d4tagNext(data, tag)) {
            d4tagSelectP(data, tag);
            t4alias(tag);
            t4expr(tag);
            t4filter(tag);
            Exercise(data, probe);
        }
    }
    code4errorCode(engine, 0);
    code4initUndo(engine);
    return 0;
}
