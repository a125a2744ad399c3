// The exported C functions of xbase.h. Each one catches everything: no C++
// exception may unwind into a C caller. Positioning follows one rule: a call
// that fails leaves the table on no record, so d4eof answers 1 and a loop
// "while not eof: skip" ends instead of spinning on a damaged file.
#include "Engine.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

using xb::KeyKind;

namespace {

template <typename Result, typename Body>
Result Guard(XbEngine* engine, Result failure, Body&& body) {
    try {
        return body();
    } catch (...) {  // std::bad_alloc in practice
        if (engine != nullptr) engine->Fail(XB_E_MEMORY);
        return failure;
    }
}

void SetNoRecord(XbData& data) {
    data.position = XbPosition::None;
    data.recNo = 0;
    data.recordLoaded = false;
    data.cursorTag = nullptr;
}

void SetEof(XbData& data) {
    SetNoRecord(data);
    data.position = XbPosition::Eof;
}

int Failed(XbData& data, int rc) {
    SetNoRecord(data);
    return data.Fail(rc);
}

// Completes a cursor movement: stands on the entry's record (read at once
// when readNow), or past the end.
int Finish(XbData& data, XbTag& tag, int rc, bool readNow) {
    if (rc == 0) {
        rc = xb::GoRecord(data, data.leaf->records[data.cursorIndex], readNow);
        if (rc == 0) {
            data.cursorTag = &tag;
            return XB_SUCCESS;
        }
    }
    if (rc == XB_EOF) {
        SetEof(data);
        return XB_EOF;
    }
    return Failed(data, rc);
}

// First and last in the tag's order; a descending tag walks its pages backwards.
int TagTop(XbData& data, XbTag& tag) {
    return tag.descending ? xb::CursorLast(data, tag) : xb::CursorFirst(data, tag);
}
int TagBottom(XbData& data, XbTag& tag) {
    return tag.descending ? xb::CursorFirst(data, tag) : xb::CursorLast(data, tag);
}
int TagStep(XbData& data, XbTag& tag, bool forward) {
    return forward != tag.descending ? xb::CursorNext(data, tag) : xb::CursorPrev(data, tag);
}

// The tag order of every positioning call; a tag we cannot order refuses.
int UsableTag(XbData& data, XbTag*& tag) {
    tag = data.selected;
    if (tag == nullptr) return XB_E_TAG;
    if (!tag->machineCollation) return XB_E_COLLATE;
    if (!data.index) return XB_E_INDEX;
    return 0;
}

bool Matches(const XbData& data, const XbTag& tag, const std::vector<uint8_t>& probe, int n,
             bool tooLong) {
    if (tooLong) return false;
    if (n == 0) return true;  // the empty text is a prefix of every key
    const uint8_t* key = data.leaf->Key(data.cursorIndex, tag.keyLength);
    return std::memcmp(key, probe.data(), static_cast<size_t>(n)) == 0;
}

int SeekProbe(XbData& data, XbTag& tag, const std::vector<uint8_t>& probe, int n, bool tooLong) {
    int rc = 0;
    if (!tag.descending) {
        rc = xb::CursorLowerBound(data, tag, probe.data(), n, tooLong);
    } else {
        // In descending order the first match is the last key, in page
        // order, whose prefix is not above the text.
        rc = xb::CursorLowerBound(data, tag, probe.data(), n, true);
        if (rc == 0) {
            rc = xb::CursorPrev(data, tag);
        } else if (rc == XB_EOF) {
            rc = xb::CursorLast(data, tag);
        }
    }
    rc = Finish(data, tag, rc, true);
    if (rc != XB_SUCCESS) return rc;
    return Matches(data, tag, probe, n, tooLong) ? XB_SUCCESS : XB_AFTER;
}

int RecordSkip(XbData& data, long count) {
    const long long target = static_cast<long long>(data.recNo) + count;
    if (target > static_cast<long long>(data.recordCount)) {
        SetEof(data);
        return XB_EOF;
    }
    if (target < 1) {
        if (int rc = xb::GoRecord(data, 1, true); rc != 0) return Failed(data, rc);
        return XB_BOF;
    }
    if (int rc = xb::GoRecord(data, static_cast<uint32_t>(target), false); rc != 0) {
        return Failed(data, rc);
    }
    return XB_SUCCESS;
}

int TagSkip(XbData& data, XbTag& tag, long count) {
    if (data.cursorTag != &tag) {
        // Positioned in another order: find this record in the tag first.
        const int rc = xb::CursorLocate(data, tag, data.recNo);
        if (rc == XB_EOF) {  // not in this tag (a FOR tag)
            SetEof(data);
            return XB_EOF;
        }
        if (rc != 0) return Failed(data, rc);
        data.cursorTag = &tag;
    }
    const bool forward = count > 0;
    for (long i = 0; i < std::labs(count); ++i) {
        const int rc = TagStep(data, tag, forward);
        if (rc == XB_EOF) {
            if (forward) {
                SetEof(data);
                return XB_EOF;
            }
            const int top = Finish(data, tag, TagTop(data, tag), true);
            return top == XB_SUCCESS ? XB_BOF : top;
        }
        if (rc != 0) return Failed(data, rc);
    }
    return Finish(data, tag, 0, false);
}

std::string IndexPathFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string prefix =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    const std::string wanted = name + ".cdx";
    struct stat st {};
    for (const std::string& candidate : {prefix + name + ".cdx", prefix + name + ".CDX"}) {
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
    }
    // Any other spelling, as on a case-insensitive file system.
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, wanted.c_str()) == 0) {
            found = prefix + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Runs a call on the files as they are now: a table found changed is
// reopened first, and a call that meets a change part-way starts once more
// on the reopened files (which no longer hold its position).
template <typename Body>
int OnCurrentFiles(XbData& data, Body&& body) {
    if (int rc = xb::BeginCall(data); rc != 0) return Failed(data, rc);
    int rc = body();
    if (rc != xb::kChanged) return rc;
    rc = xb::Refresh(data);
    if (rc != 0) return Failed(data, rc);
    rc = body();
    return rc == xb::kChanged ? Failed(data, XB_E_READ) : rc;
}

// The current record's bytes, read now if a step left them unread. A record
// already read was checked by the call that positioned on it.
bool CurrentRecord(XbData& data) {
    if (data.position == XbPosition::Record && data.recordLoaded) return true;
    const int rc = OnCurrentFiles(data, [&]() -> int {
        if (data.position != XbPosition::Record) return data.Fail(XB_E_NO_RECORD);
        if (const int r = xb::LoadRecord(data); r != 0) return Failed(data, r);
        return 0;
    });
    return rc == 0;
}

}  // namespace

extern "C" {

XBENGINE* code4initP(void) {
    try {
        return new XbEngine();
    } catch (...) {
        return nullptr;
    }
}

int code4initUndo(XBENGINE* engine) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    engine->tables.clear();
    delete engine;
    return XB_SUCCESS;
}

int code4singleOpen(XBENGINE* engine, int on) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    engine->singleOpen = on;
    return XB_SUCCESS;
}

int code4lockAttempts(XBENGINE* engine, int attempts) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    engine->lockAttempts = attempts;
    return XB_SUCCESS;
}

int code4optStart(XBENGINE* engine) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    engine->optimize = true;
    return XB_SUCCESS;
}

int code4optSuspend(XBENGINE* engine) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    engine->optimize = false;
    engine->cache.Clear();
    engine->blocks.Clear();
    engine->blockMisses.Clear();
    engine->records.Clear();
    engine->leaves.Clear();
    for (auto& table : engine->tables) {
        table->leafTag = nullptr;  // a decoded page is cached too
        for (auto& tag : table->tags) {
            tag->fenceState = 0;
            tag->fenceKeys = {};
            tag->fenceChildren = {};
        }
    }
    return XB_SUCCESS;
}

int code4indexCacheSize(XBENGINE* engine, long bytes) {
    if (engine == nullptr || bytes < 0) return XB_E_ARGUMENT;
    engine->cache.SetCapacity(static_cast<size_t>(bytes) / xb::kPageSize);
    return XB_SUCCESS;
}

int code4recordCacheSize(XBENGINE* engine, long bytes) {
    if (engine == nullptr || bytes < 0) return XB_E_ARGUMENT;
    engine->records.SetBudget(static_cast<size_t>(bytes));
    return XB_SUCCESS;
}

int code4errorCode(XBENGINE* engine, int newCode) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    const int code = engine->errorCode;
    engine->errorCode = newCode;
    return code;
}

int code4readOnly(XBENGINE* engine, int on) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    const int previous = engine->readOnly;
    engine->readOnly = on != 0 ? 1 : 0;
    return previous;
}

int code4autoOpen(XBENGINE* engine, int on) {
    if (engine == nullptr) return XB_E_ARGUMENT;
    const int previous = engine->autoOpen;
    engine->autoOpen = on != 0 ? 1 : 0;
    return previous;
}

XBDATA* d4open(XBENGINE* engine, const char* path) {
    if (engine == nullptr) return nullptr;
    if (path == nullptr || *path == '\0') {
        engine->Fail(XB_E_ARGUMENT);
        return nullptr;
    }
    return Guard<XBDATA*>(engine, nullptr, [&]() -> XBDATA* {
        auto data = std::make_unique<XbData>();
        data->engine = engine;
        data->path = path;
        data->fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (data->fd < 0) {
            engine->Fail(XB_E_OPEN);
            return nullptr;
        }
        if (int rc = xb::OpenTable(*data); rc != 0) {
            engine->Fail(rc);
            return nullptr;
        }
        const std::string cdx = engine->autoOpen ? IndexPathFor(data->path) : std::string();
        if (!engine->autoOpen) {
            // Asked for the table alone.
        } else if (!cdx.empty()) {
            if (int rc = xb::OpenIndex(*data, cdx); rc != 0) {
                engine->Fail(rc);
                return nullptr;
            }
        } else if ((data->tableFlags & 0x01) != 0) {
            // The table says it has a production index and it is gone.
            engine->Fail(XB_E_OPEN);
            return nullptr;
        }
        if (!xb::IdentityOf(data->fd, data->identity)) {
            engine->Fail(XB_E_OPEN);
            return nullptr;
        }
        data->watching = true;
        engine->tables.push_back(std::move(data));
        return engine->tables.back().get();
    });
}

int d4close(XBDATA* data) {
    if (data == nullptr) return XB_E_ARGUMENT;
    XbEngine* engine = data->engine;
    for (auto it = engine->tables.begin(); it != engine->tables.end(); ++it) {
        if (it->get() == data) {
            engine->tables.erase(it);
            return XB_SUCCESS;
        }
    }
    return engine->Fail(XB_E_ARGUMENT);
}

namespace {

// d4top and d4bottom: the first or last record in the selected order.
int GoEnd(XbData& data, bool top) {
    return Guard<int>(data.engine, XB_E_MEMORY, [&] {
        return OnCurrentFiles(data, [&] {
            if (data.selected == nullptr) {
                if (data.recordCount == 0) {
                    SetEof(data);
                    return static_cast<int>(XB_EOF);
                }
                data.cursorTag = nullptr;
                if (int rc = xb::GoRecord(data, top ? 1 : data.recordCount, true); rc != 0) {
                    return Failed(data, rc);
                }
                return static_cast<int>(XB_SUCCESS);
            }
            XbTag* tag = nullptr;
            if (int rc = UsableTag(data, tag); rc != 0) return Failed(data, rc);
            return Finish(data, *tag, top ? TagTop(data, *tag) : TagBottom(data, *tag), true);
        });
    });
}

}  // namespace

int d4top(XBDATA* data) { return data == nullptr ? XB_E_ARGUMENT : GoEnd(*data, true); }

int d4bottom(XBDATA* data) { return data == nullptr ? XB_E_ARGUMENT : GoEnd(*data, false); }

int d4skip(XBDATA* data, long count) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return Guard<int>(data->engine, XB_E_MEMORY, [&] {
        return OnCurrentFiles(*data, [&] {
            if (data->position == XbPosition::Eof) {
                if (count >= 0) return static_cast<int>(XB_EOF);
                // Back from past the end: the last record counts as the first step.
                const int rc = d4bottom(data);
                if (rc != XB_SUCCESS || count == -1) return rc;
                ++count;
            } else if (data->position != XbPosition::Record) {
                return data->Fail(XB_E_NO_RECORD);
            }
            if (count == 0) return static_cast<int>(XB_SUCCESS);
            if (data->selected == nullptr) {
                data->cursorTag = nullptr;
                return RecordSkip(*data, count);
            }
            XbTag* tag = nullptr;
            if (int rc = UsableTag(*data, tag); rc != 0) return Failed(*data, rc);
            return TagSkip(*data, *tag, count);
        });
    });
}

int d4eof(XBDATA* data) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return data->position == XbPosition::Record ? 0 : 1;
}

long d4recNo(XBDATA* data) {
    if (data == nullptr) return 0;
    return data->position == XbPosition::Record ? static_cast<long>(data->recNo) : 0;
}

long d4recCount(XBDATA* data) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return static_cast<long>(data->recordCount);
}

XBTAG* d4tag(XBDATA* data, const char* name) {
    if (data == nullptr) return nullptr;
    if (name != nullptr) {
        std::string wanted(name);
        while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
        for (const auto& tag : data->tags) {
            if (::strcasecmp(tag->alias.c_str(), wanted.c_str()) == 0) return tag.get();
        }
    }
    data->Fail(XB_E_TAG);
    return nullptr;
}

void d4tagSelectP(XBDATA* data, XBTAG* tag) {
    if (data == nullptr) return;
    if (tag != nullptr && tag->data != data) {
        data->Fail(XB_E_ARGUMENT);
        return;
    }
    data->selected = tag;
    // Selected all the same, so that no walk runs silently in another order;
    // every positioning on it then fails with the same code.
    if (tag != nullptr && !tag->machineCollation) data->Fail(XB_E_COLLATE);
}

XBTAG* d4tagSelected(XBDATA* data) {
    return data == nullptr ? nullptr : data->selected;
}

XBTAG* d4tagNext(XBDATA* data, XBTAG* tag) {
    if (data == nullptr) return nullptr;
    if (tag == nullptr) return data->tags.empty() ? nullptr : data->tags.front().get();
    for (size_t i = 0; i < data->tags.size(); ++i) {
        if (data->tags[i].get() == tag) {
            return i + 1 < data->tags.size() ? data->tags[i + 1].get() : nullptr;
        }
    }
    data->Fail(XB_E_ARGUMENT);
    return nullptr;
}

const char* t4alias(XBTAG* tag) {
    return tag == nullptr ? "" : tag->alias.c_str();
}
const char* t4expr(XBTAG* tag) {
    return tag == nullptr ? "" : tag->expr.c_str();
}
const char* t4filter(XBTAG* tag) {
    return tag == nullptr ? "" : tag->filter.c_str();
}
int t4keyLen(XBTAG* tag) {
    return tag == nullptr ? XB_E_ARGUMENT : tag->keyLength;
}
int t4unique(XBTAG* tag) {
    return tag == nullptr ? XB_E_ARGUMENT : (tag->unique ? 1 : 0);
}
int t4descending(XBTAG* tag) {
    return tag == nullptr ? XB_E_ARGUMENT : (tag->descending ? 1 : 0);
}

const char* t4key(XBTAG* tag) {
    if (tag == nullptr) return nullptr;
    XbData& data = *tag->data;
    if (data.selected != tag || data.cursorTag != tag || data.position != XbPosition::Record) {
        return nullptr;
    }
    std::memcpy(tag->keyText.data(), data.leaf->Key(data.cursorIndex, tag->keyLength),
                static_cast<size_t>(tag->keyLength));
    return tag->keyText.c_str();
}

namespace {

// The selected tag and the key text turned into that tag's probe; 0, or the
// error already recorded.
int PrepareSeek(XbData& data, const char* key, XbTag*& tag, std::vector<uint8_t>& probe, int& n,
                bool& tooLong) {
    if (key == nullptr) return Failed(data, XB_E_ARGUMENT);
    if (int rc = UsableTag(data, tag); rc != 0) return Failed(data, rc);
    if (int rc = xb::MakeProbe(*tag, key, probe, n, tooLong); rc != 0) return Failed(data, rc);
    return 0;
}

}  // namespace

int d4seek(XBDATA* data, const char* key) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return Guard<int>(data->engine, XB_E_MEMORY, [&] {
        XbTag* tag = nullptr;
        std::vector<uint8_t>& probe = data->probe;  // reused: no allocation per seek
        int n = 0;
        bool tooLong = false;
        if (int rc = PrepareSeek(*data, key, tag, probe, n, tooLong); rc != 0) return rc;
        return OnCurrentFiles(*data, [&] { return SeekProbe(*data, *tag, probe, n, tooLong); });
    });
}

int d4seekNext(XBDATA* data, const char* key) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return Guard<int>(data->engine, XB_E_MEMORY, [&] {
        XbTag* tag = nullptr;
        std::vector<uint8_t>& probe = data->probe;  // reused: no allocation per seek
        int n = 0;
        bool tooLong = false;
        if (int rc = PrepareSeek(*data, key, tag, probe, n, tooLong); rc != 0) return rc;
        return OnCurrentFiles(*data, [&]() -> int {
            if (data->position == XbPosition::Eof) return XB_EOF;
            // No position (none yet, or a failed call dropped it): there is
            // nothing to go on from, and starting over would hand out the
            // first match again and again.
            if (data->position != XbPosition::Record) return Failed(*data, XB_E_NO_RECORD);
            if (data->cursorTag != tag) {
                const int rc = xb::CursorLocate(*data, *tag, data->recNo);
                if (rc == XB_EOF) {  // the record is not in this tag (a FOR tag)
                    SetEof(*data);
                    return XB_EOF;
                }
                if (rc != 0) return Failed(*data, rc);
                data->cursorTag = tag;
            }
            const int rc = Finish(*data, *tag, TagStep(*data, *tag, true), false);
            if (rc != XB_SUCCESS) return rc;
            return Matches(*data, *tag, probe, n, tooLong) ? XB_SUCCESS : XB_AFTER;
        });
    });
}

XBFIELD* d4field(XBDATA* data, const char* name) {
    if (data == nullptr) return nullptr;
    if (name != nullptr) {
        for (const auto& field : data->fields) {
            if (::strcasecmp(field->name.c_str(), name) == 0) return field.get();
        }
    }
    data->Fail(XB_E_FIELD);
    return nullptr;
}

XBFIELD* d4fieldJ(XBDATA* data, short j) {
    if (data == nullptr) return nullptr;
    if (j < 1 || static_cast<size_t>(j) > data->fields.size()) {
        data->Fail(XB_E_ARGUMENT);
        return nullptr;
    }
    return data->fields[static_cast<size_t>(j - 1)].get();
}

short d4numFields(XBDATA* data) {
    if (data == nullptr) return XB_E_ARGUMENT;
    return static_cast<short>(data->fields.size());
}

int d4deleted(XBDATA* data) {
    if (data == nullptr) return XB_E_ARGUMENT;
    if (!CurrentRecord(*data)) return 0;
    return data->record[0] == '*' ? 1 : 0;
}

const char* f4name(XBFIELD* field) {
    return field == nullptr ? "" : field->name.c_str();
}
int f4type(XBFIELD* field) {
    return field == nullptr ? static_cast<int>(XB_E_ARGUMENT) : field->type;
}
unsigned long f4len(XBFIELD* field) {
    return field == nullptr ? 0 : field->length;
}
int f4decimals(XBFIELD* field) {
    return field == nullptr ? XB_E_ARGUMENT : field->decimals;
}

const char* f4str(XBFIELD* field) {
    if (field == nullptr) return "";
    XbData& data = *field->data;
    if (!CurrentRecord(data)) {
        std::memset(field->text.data(), ' ', field->length);
    } else {
        std::memcpy(field->text.data(), data.record.data() + field->offset, field->length);
    }
    return field->text.c_str();
}

long f4int(XBFIELD* field) {
    if (field == nullptr) return 0;
    XbData& data = *field->data;
    if (!CurrentRecord(data)) return 0;
    const uint8_t* p = data.record.data() + field->offset;
    if (field->type == 'I' && field->length == 4) {  // stored as a binary integer
        const uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                           (static_cast<uint32_t>(p[2]) << 16) |
                           (static_cast<uint32_t>(p[3]) << 24);
        return static_cast<int32_t>(v);
    }
    size_t i = 0;
    while (i < field->length && p[i] == ' ') ++i;
    bool negative = false;
    if (i < field->length && (p[i] == '-' || p[i] == '+')) negative = p[i++] == '-';
    long value = 0;
    for (; i < field->length && p[i] >= '0' && p[i] <= '9'; ++i) {
        const int digit = p[i] - '0';
        if (value > (LONG_MAX - digit) / 10) return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

void u4freeDefault(void* block) {
    std::free(block);
}

}  // extern "C"
