#include "TableBuild.h"

#include <fcntl.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstring>

#include "CdxWriter.h"
#include "Csv.h"
#include "DbfImage.h"
#include "DbfWriter.h"
#include "FileOut.h"
#include "WriteError.h"

namespace {

std::vector<std::size_t> MapColumns(const std::vector<std::string>& header,
                                    const std::vector<TFieldDef>& fields,
                                    const std::string& csvPath) {
    std::string where = csvPath + ":1: ";
    std::vector<std::size_t> fieldOfColumn;
    std::vector<bool> seen(fields.size(), false);
    for (const auto& column : header) {
        std::string name = ToUpperAscii(column);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        std::size_t index = fields.size();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].name == name) index = i;
        }
        if (index == fields.size())
            throw EXbaseWrite(where + "column '" + column + "' is not a field of the schema");
        if (seen[index]) throw EXbaseWrite(where + "column " + name + " appears twice");
        seen[index] = true;
        fieldOfColumn.push_back(index);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!seen[i]) throw EXbaseWrite(where + "no column for field " + fields[i].name);
    }
    return fieldOfColumn;
}

void MarkIndexed(const std::string& tablePath, std::uint8_t flags) {
    if (flags & TDbfWriter::kFlagHasIndex) return;
    int fd = open(tablePath.c_str(), O_WRONLY | O_CLOEXEC);
    std::uint8_t value = flags | TDbfWriter::kFlagHasIndex;
    // One byte written in place: it is either there or not.
    bool ok = fd >= 0 && pwrite(fd, &value, 1, 28) == 1;
    int error = errno;
    if (fd >= 0) close(fd);
    if (!ok)
        throw EXbaseWrite("Cannot mark '" + tablePath + "' as indexed: " + std::strerror(error));
}

}  // namespace

bool HasTableExtension(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".dbf") == 0 &&
           path[path.size() - 5] != '/';
}

TBuildResult BuildTable(const std::string& schemaPath, const std::string& csvPath,
                        const std::string& tablePath) {
    if (!HasTableExtension(tablePath))
        throw EXbaseWrite("'" + tablePath + "': a table's name must end in .dbf");
    TSchema schema = LoadSchema(schemaPath);
    if (schema.fields.empty()) throw EXbaseWrite(schemaPath + ": the schema defines no fields");
    if (!schema.tags.empty()) CheckTags(schema.fields, schema.tags, schemaPath);

    std::string csvText = ReadWholeFile(csvPath);
    TCsvReader csv(csvText, csvPath);
    std::vector<std::string> row;
    if (!csv.Next(row)) throw EXbaseWrite(csvPath + ": the file is empty (a header row is needed)");
    std::vector<std::size_t> fieldOfColumn = MapColumns(row, schema.fields, csvPath);

    TBuildResult result;
    TFileOut tableOut(tablePath);
    TDbfWriter writer(tableOut, schema.fields, !schema.tags.empty());
    std::vector<std::string_view> values(schema.fields.size());
    while (csv.Next(row)) {
        std::string where = csvPath + ":" + std::to_string(csv.Line()) + ": ";
        if (row.size() != fieldOfColumn.size())
            throw EXbaseWrite(where + std::to_string(row.size()) +
                              " values, but the header names " +
                              std::to_string(fieldOfColumn.size()) + " columns");
        for (std::size_t c = 0; c < row.size(); ++c) values[fieldOfColumn[c]] = row[c];
        try {
            writer.AddRecord(values);
        } catch (const EXbaseWrite& e) {
            throw EXbaseWrite(where + e.Message());
        }
    }
    writer.Finish();
    tableOut.Flush();
    result.records = writer.RecordCount();

    std::string indexPath = IndexPathFor(tablePath);
    if (schema.tags.empty()) {
        tableOut.Commit();
        // An index of an earlier table of this name would describe other data.
        if (unlink(indexPath.c_str()) != 0 && errno != ENOENT)
            throw EXbaseWrite("Cannot remove the old index '" + indexPath +
                              "': " + std::strerror(errno));
        return result;
    }
    TDbfImage image(tableOut.TempPath());
    TFileOut indexOut(indexPath);
    WriteCdx(image, schema.tags, indexOut, schemaPath);
    indexOut.Commit();
    tableOut.Commit();
    result.indexPath = indexPath;
    return result;
}

std::string RebuildIndex(const std::string& tablePath, const std::vector<TTagDef>& tags,
                         const std::string& source) {
    if (!HasTableExtension(tablePath))
        throw EXbaseWrite("'" + tablePath + "': a table's name must end in .dbf");
    TDbfImage image(tablePath);
    std::string indexPath = IndexPathFor(tablePath);
    TFileOut indexOut(indexPath);
    WriteCdx(image, tags, indexOut, source);
    indexOut.Commit();
    MarkIndexed(tablePath, image.TableFlags());
    return indexPath;
}
