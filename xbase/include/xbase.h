/*
 * xbase.h - the xBase table engine: read access to dBase/FoxPro tables (.dbf)
 * and their FoxPro compound production index (.cdx).
 *
 * Conventions, stated once for the whole interface:
 *  - Handles are opaque. An engine handle owns every table opened through it;
 *    a table handle owns its tags and fields. Tag and field handles stay valid
 *    until their table is closed. code4initUndo closes whatever is still open.
 *  - Texts are NUL-terminated 8-bit strings. Field texts returned by f4str and
 *    names returned by f4name point into the table's own buffers: they stay
 *    valid until the next positioning call on that table, or its close.
 *  - Errors: a failing call records a negative code in the engine (the first
 *    one wins until it is read); code4errorCode reports it and resets it.
 *    Nothing ever aborts the process: a damaged, truncated or foreign file
 *    gives an error code and a failed open, positioning or seek.
 *  - A table whose files change while it is open (cut, rewritten in place,
 *    replaced under the same name) is noticed before the engine reads from
 *    them again, and within a second when it answers from its caches; the
 *    table is then reopened (its position is lost, handles stay valid) or,
 *    when that fails, every call on it fails until it is closed.
 *  - The production index is the .cdx file with the table's base name (any
 *    letter case) beside the table; it is opened together with the table.
 *  - The engine only reads. Single-threaded: one engine per thread.
 */
#ifndef XBASE_H
#define XBASE_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(XBASE_BUILDING)
#define XBASE_API __attribute__((visibility("default")))
#else
#define XBASE_API
#endif

typedef struct XbEngine XBENGINE;
typedef struct XbData XBDATA;
typedef struct XbTag XBTAG;
typedef struct XbField XBFIELD;

/* Results of positioning calls. */
enum {
    XB_SUCCESS = 0, /* positioned on a record (d4seek: on a matching one)   */
    XB_AFTER = 2,   /* d4seek: no match; positioned on the next greater key */
    XB_EOF = 3,     /* past the last record (or the table is empty)         */
    XB_BOF = 4      /* before the first record                              */
};

/* Error codes (always negative). */
enum {
    XB_E_OPEN = -60,        /* the file cannot be opened                    */
    XB_E_READ = -70,        /* a read failed or the file shrank             */
    XB_E_DATA = -80,        /* the table file is damaged or not a table     */
    XB_E_INDEX = -90,       /* the index file is damaged or not an index    */
    XB_E_PAIR = -92,        /* the index was built for another table state  */
    XB_E_COLLATE = -95,     /* the index uses a collation we cannot order   */
    XB_E_TAG = -100,        /* no such tag                                  */
    XB_E_FIELD = -110,      /* no such field                                */
    XB_E_ARGUMENT = -120,   /* a null handle or an argument out of range    */
    XB_E_MEMORY = -130,     /* out of memory                                */
    XB_E_NO_RECORD = -140   /* a field was read with no current record      */
};

/* Pairing of a table and its index. A writer that builds both stores, in
 * the index's first header at XB_PAIR_AT, the 4 bytes XB_PAIR_MARK and then
 * the table header's bytes 1-11 (update date, record count, header and
 * record lengths) and 20-27 (a stamp of the records' contents). An index
 * carrying the mark opens only with a table whose header still holds those
 * bytes (else XB_E_PAIR); other readers ignore the reserved header bytes. */
#define XB_PAIR_MARK "PAIR"
enum { XB_PAIR_AT = 16, XB_PAIR_LENGTH = 4 + 11 + 8 };

/* Engine session. */
XBASE_API XBENGINE* code4initP(void);                /* null when out of memory */
XBASE_API int code4initUndo(XBENGINE* engine);       /* closes every table      */
XBASE_API int code4singleOpen(XBENGINE* engine, int on);  /* recorded; files always open shared */
XBASE_API int code4lockAttempts(XBENGINE* engine, int attempts); /* recorded; the engine never locks */
XBASE_API int code4optStart(XBENGINE* engine);      /* read optimisation on (pages and records cached) */
XBASE_API int code4optSuspend(XBENGINE* engine);    /* off: cached pages and records dropped  */
/* Bound of the index page cache in bytes (64 MiB until set); pages beyond a
 * smaller bound are dropped. */
XBASE_API int code4indexCacheSize(XBENGINE* engine, long bytes);
/* Bound of the cache of single records read at random, in bytes (48 MiB
 * until set); records beyond a smaller bound are dropped. */
XBASE_API int code4recordCacheSize(XBENGINE* engine, long bytes);
XBASE_API int code4errorCode(XBENGINE* engine, int newCode); /* returns the code, sets newCode */
XBASE_API int code4readOnly(XBENGINE* engine, int on); /* returns the previous mode            */
/* Whether d4open opens the production index (on until set). Off, a table
 * opens without it even when flagged for one that is missing, and has no
 * tags. Returns the previous setting. */
XBASE_API int code4autoOpen(XBENGINE* engine, int on);

/* Tables. d4open takes the full path of the .dbf file; null on failure. */
XBASE_API XBDATA* d4open(XBENGINE* engine, const char* path);
XBASE_API int d4close(XBDATA* data);
XBASE_API int d4top(XBDATA* data);                 /* XB_SUCCESS or XB_EOF (empty) */
XBASE_API int d4bottom(XBDATA* data);              /* XB_SUCCESS or XB_EOF (empty) */
XBASE_API int d4skip(XBDATA* data, long count);    /* XB_SUCCESS, XB_EOF or XB_BOF */
XBASE_API int d4eof(XBDATA* data);                 /* 1 past the end, 0 on a record, negative on error */
XBASE_API long d4recNo(XBDATA* data);              /* current record number, 0 when none */
XBASE_API long d4recCount(XBDATA* data);

/* Index tags of the production index. Tag names compare without regard to case. */
XBASE_API XBTAG* d4tag(XBDATA* data, const char* name); /* null (and XB_E_TAG) when absent */
XBASE_API void d4tagSelectP(XBDATA* data, XBTAG* tag);  /* null selects record order */
XBASE_API XBTAG* d4tagSelected(XBDATA* data);
/* Walks the tags in the index's directory order: null gives the first, the
 * last gives null. */
XBASE_API XBTAG* d4tagNext(XBDATA* data, XBTAG* tag);
XBASE_API const char* t4alias(XBTAG* tag);   /* tag name, upper case   */
XBASE_API const char* t4expr(XBTAG* tag);    /* key expression text     */
XBASE_API const char* t4filter(XBTAG* tag);  /* FOR expression, "" when none */
XBASE_API int t4keyLen(XBTAG* tag);
XBASE_API int t4unique(XBTAG* tag);          /* 1 for a unique tag      */
XBASE_API int t4descending(XBTAG* tag);      /* 1 for a descending tag  */
/* The key of the current record in the tag's order while that tag is
 * selected and positioned (t4keyLen bytes, trailing blanks restored, NUL
 * appended); null otherwise. */
XBASE_API const char* t4key(XBTAG* tag);

/* Seeks on the selected tag. A key text shorter than the tag's key matches
 * every key that begins with it; d4seek positions on the first such record.
 * d4seekNext moves to the next record in tag order and answers XB_SUCCESS
 * while that record still matches the text, XB_AFTER when it does not and
 * XB_EOF at the end. Both answer negative on error or with no tag selected;
 * d4seekNext also without a current record (XB_E_NO_RECORD). */
XBASE_API int d4seek(XBDATA* data, const char* key);
XBASE_API int d4seekNext(XBDATA* data, const char* key);

/* Fields. Names compare without regard to case. Deleted records read like
 * live ones. */
XBASE_API XBFIELD* d4field(XBDATA* data, const char* name); /* null (and XB_E_FIELD) when absent */
XBASE_API XBFIELD* d4fieldJ(XBDATA* data, short j);          /* counted from 1 */
XBASE_API short d4numFields(XBDATA* data);
XBASE_API int d4deleted(XBDATA* data);                       /* 1 when marked deleted */
XBASE_API const char* f4name(XBFIELD* field);  /* upper case */
XBASE_API int f4type(XBFIELD* field);          /* type letter: 'C', 'N', 'D', 'L', ... */
XBASE_API unsigned long f4len(XBFIELD* field); /* width in bytes */
XBASE_API int f4decimals(XBFIELD* field);
/* Exactly width bytes of the current record, blank-padded as stored. With no
 * current record the text is all blanks and XB_E_NO_RECORD is recorded. */
XBASE_API const char* f4str(XBFIELD* field);
XBASE_API long f4int(XBFIELD* field);          /* leading integer of the text, 0 when none */

/* Frees a block the engine handed out; no call above hands one out. */
XBASE_API void u4freeDefault(void* block);

#ifdef __cplusplus
}
#endif
#endif
