#include "CodeBase.h"

namespace CodeBase {

XBENGINE* InitP() {
    return code4initP();
}
int InitUndo(XBENGINE* engine) {
    return code4initUndo(engine);
}
int SingleOpen(XBENGINE* engine, int on) {
    return code4singleOpen(engine, on);
}
int LockAttempts(XBENGINE* engine, int attempts) {
    return code4lockAttempts(engine, attempts);
}
int OptStart(XBENGINE* engine) {
    return code4optStart(engine);
}
int OptSuspend(XBENGINE* engine) {
    return code4optSuspend(engine);
}
int16_t ErrorCode(XBENGINE* engine) {
    return static_cast<int16_t>(code4errorCode(engine, 0));
}
int ReadOnly(XBENGINE* engine, int on) {
    return code4readOnly(engine, on);
}

XBDATA* Open(XBENGINE* engine, const char* fullName) {
    return d4open(engine, fullName);
}
int Close(XBDATA* data) {
    return d4close(data);
}
int Top(XBDATA* data) {
    return d4top(data);
}
int Bottom(XBDATA* data) {
    return d4bottom(data);
}
int Skip(XBDATA* data, long count) {
    return d4skip(data, count);
}
int Eof(XBDATA* data) {
    return d4eof(data);
}

XBTAG* Tag(XBDATA* data, const char* name) {
    return d4tag(data, name);
}
void TagSelect(XBDATA* data, XBTAG* tag) {
    d4tagSelectP(data, tag);
}
int Seek(XBDATA* data, const char* key) {
    return d4seek(data, key);
}
int SeekNext(XBDATA* data, const char* key) {
    return d4seekNext(data, key);
}

XBFIELD* Field(XBDATA* data, const char* name) {
    return d4field(data, name);
}
XBFIELD* FieldJ(XBDATA* data, short j) {
    return d4fieldJ(data, j);
}
int16_t NumFields(XBDATA* data) {
    return d4numFields(data);
}
const char* FieldName(XBFIELD* field) {
    return f4name(field);
}
char FieldType(XBFIELD* field) {
    return static_cast<char>(f4type(field));
}
uint32_t FieldLen(XBFIELD* field) {
    return static_cast<uint32_t>(f4len(field));
}
int FieldDecimals(XBFIELD* field) {
    return f4decimals(field);
}
const char* FieldStr(XBFIELD* field) {
    return f4str(field);
}
long FieldInt(XBFIELD* field) {
    return f4int(field);
}
void FreeDefault(void* block) {
    u4freeDefault(block);
}

}  // namespace CodeBase
