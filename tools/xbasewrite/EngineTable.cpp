#include "EngineTable.h"

#include "WriteError.h"

std::string EngineErrorText(int code) {
    const char* text = "an unknown error";
    switch (code) {
        case XB_E_OPEN:
            text = "the file cannot be opened";
            break;
        case XB_E_READ:
            text = "a read failed or the file shrank";
            break;
        case XB_E_DATA:
            text = "the table file is damaged or not a table";
            break;
        case XB_E_INDEX:
            text = "the index file is damaged or not an index";
            break;
        case XB_E_PAIR:
            text = "the index was built for another version of the table";
            break;
        case XB_E_COLLATE:
            text = "the index uses a collation that cannot be ordered";
            break;
        case XB_E_TAG:
            text = "no such tag";
            break;
        case XB_E_FIELD:
            text = "no such field";
            break;
        case XB_E_ARGUMENT:
            text = "a bad argument";
            break;
        case XB_E_MEMORY:
            text = "out of memory";
            break;
        case XB_E_NO_RECORD:
            text = "no current record";
            break;
        default:
            break;
    }
    return std::string(text) + " (code " + std::to_string(code) + ")";
}

TEngineTable::TEngineTable(const std::string& path, bool indexOptional) : m_path(path) {
    m_engine = code4initP();
    if (m_engine == nullptr) throw EXbaseWrite("Cannot start the table engine: out of memory");
    m_data = d4open(m_engine, path.c_str());
    int code = m_data == nullptr ? code4errorCode(m_engine, 0) : 0;
    if (m_data == nullptr && indexOptional && code == XB_E_OPEN) {
        // Opened alone, the table tells whether the index was what failed.
        code4autoOpen(m_engine, 0);
        m_data = d4open(m_engine, path.c_str());
        m_indexMissing = m_data != nullptr;
        if (m_data == nullptr) code = code4errorCode(m_engine, 0);
    }
    if (m_data == nullptr) {
        code4initUndo(m_engine);
        throw EXbaseWrite("Cannot open '" + path + "': " + EngineErrorText(code));
    }
}

TEngineTable::~TEngineTable() {
    if (m_data != nullptr) d4close(m_data);
    code4initUndo(m_engine);
}

void TEngineTable::CheckError(const std::string& what) const {
    int code = code4errorCode(m_engine, 0);
    if (code < 0) throw EXbaseWrite(what + ": " + EngineErrorText(code));
}

std::vector<TTagDef> TEngineTable::Tags(std::vector<std::string>* filters) const {
    std::vector<TTagDef> tags;
    for (XBTAG* tag = d4tagNext(m_data, nullptr); tag != nullptr; tag = d4tagNext(m_data, tag)) {
        TTagDef def;
        def.name = t4alias(tag);
        def.expression = t4expr(tag);
        def.unique = t4unique(tag) == 1;
        if (filters != nullptr) filters->push_back(t4filter(tag));
        tags.push_back(def);
    }
    CheckError("Cannot list the tags of '" + m_path + "'");
    return tags;
}

std::vector<TTagDef> ReadIndexTags(const std::string& tablePath) {
    TEngineTable table(tablePath);
    std::vector<TTagDef> tags;
    for (XBTAG* tag = d4tagNext(table.Data(), nullptr); tag != nullptr;
         tag = d4tagNext(table.Data(), tag)) {
        TTagDef def;
        def.name = t4alias(tag);
        def.expression = t4expr(tag);
        std::string why;
        if (*t4filter(tag) != '\0') why = "a FOR condition (" + std::string(t4filter(tag)) + ")";
        def.unique = t4unique(tag) == 1;
        if (t4descending(tag) == 1) why = "descending order";
        if (!why.empty())
            throw EXbaseWrite("tag " + def.name + " of '" + tablePath + "' has " + why +
                              ", which reindex cannot rebuild; give the tags with --schema");
        tags.push_back(def);
    }
    table.CheckError("Cannot list the tags of '" + tablePath + "'");
    if (tags.empty())
        throw EXbaseWrite("'" + tablePath +
                          "' has no index to take the tags from; give them with --schema");
    return tags;
}
