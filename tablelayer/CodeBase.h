// The contract with the table engine: one function per engine operation the
// table layer uses, and the only place that calls the engine. Handles are the
// engine's own (xbase.h); nothing here owns or frees them, and nothing throws:
// results and error codes come back as the engine gives them.
#pragma once

#include <cstdint>

#include "xbase.h"

namespace CodeBase {

XBENGINE* InitP();
int InitUndo(XBENGINE* engine);
int SingleOpen(XBENGINE* engine, int on);
int LockAttempts(XBENGINE* engine, int attempts);
int OptStart(XBENGINE* engine);
int OptSuspend(XBENGINE* engine);
// The code recorded so far (0 none, negative an error); reading resets it.
int16_t ErrorCode(XBENGINE* engine);
int ReadOnly(XBENGINE* engine, int on);

XBDATA* Open(XBENGINE* engine, const char* fullName);  // null on failure
int Close(XBDATA* data);
int Top(XBDATA* data);
int Bottom(XBDATA* data);
int Skip(XBDATA* data, long count);
int Eof(XBDATA* data);  // above 0 past the last record

XBTAG* Tag(XBDATA* data, const char* name);   // null when absent
void TagSelect(XBDATA* data, XBTAG* tag);     // null selects record order
int Seek(XBDATA* data, const char* key);      // 0 when found and current
int SeekNext(XBDATA* data, const char* key);  // 0 while the next record still matches

XBFIELD* Field(XBDATA* data, const char* name);  // null when absent
XBFIELD* FieldJ(XBDATA* data, short j);          // counted from 1
int16_t NumFields(XBDATA* data);
const char* FieldName(XBFIELD* field);
char FieldType(XBFIELD* field);
uint32_t FieldLen(XBFIELD* field);
int FieldDecimals(XBFIELD* field);
const char* FieldStr(XBFIELD* field);  // exactly FieldLen bytes are meaningful
long FieldInt(XBFIELD* field);
void FreeDefault(void* block);

}  // namespace CodeBase
