/*
 * yarvel.h - the C boundary of the vehicle lookup engine libYarvel.so.
 *
 * The lookup program loads the library with dlopen and binds the 22 functions
 * below by name (dlsym); each has a function-pointer type TYarvel...Func for
 * that. Nothing else is exported. The header compiles as C (C11) and as C++.
 *
 * Conventions, stated once for the whole interface:
 *
 *  - Session. YarvelStart opens the vehicle tables of the data folder that the
 *    host ini Pollark.Ini names (default: the program's folder + "Data/");
 *    YarvelStop closes them. Every other function needs a started session.
 *    One caller thread, one call at a time; nothing here is thread-safe.
 *
 *  - Errors. No function fails towards the caller: each one catches every
 *    error, shows "YARVEL.DLL Error: " and the message in a message box (the
 *    platform library's box service) and returns its fixed default, given
 *    beside each prototype. YarvelSetSuppressMessages(1) silences only the
 *    engine's own "VIN Not Found" and "Yarvel Table" boxes, never the report.
 *
 *  - Texts are TYarvelString: immutable, length-counted, reference-counted
 *    8-bit strings (Windows-1252 bytes) allocated with malloc, so either side
 *    may release what the other created. A null pointer is the empty string.
 *    Create and release them only through the inline helpers below.
 *      * An input text (const TYarvelString*) is borrowed for the call.
 *      * An output text (TYarvelString**) must hold null or a valid string on
 *        entry; the engine releases what it holds and stores a new string,
 *        which the caller then owns and releases. On error it is untouched.
 *
 *  - TVinRecord belongs to the caller and is passed by address; the engine
 *    fills it in place. Its text fields are owned by the record: each holds
 *    null or a valid string, and the engine releases a field's old text when
 *    it stores a new one. A zero-filled record is a valid empty record;
 *    YarvelVinRecordClear releases its texts and zero-fills it again. The
 *    record is byte-packed: assign its text fields (YarvelStringReplace),
 *    never take their address.
 *
 *  - Lists. The caller passes a TYarvelList: its own list object and the
 *    function that appends one entry. The engine calls AddObject once per
 *    entry with a borrowed text and a new object (TAutoMake* or TModelID*,
 *    made with the helpers below) whose ownership passes to the list on the
 *    call, whatever AddObject does; the list frees it later with
 *    YarvelAutoMakeFree / YarvelModelIDFree. AddObject must not throw.
 *
 *  - Booleans are 8-bit (0 false, 1 true; any non-zero reads as true),
 *    integers 32-bit signed, dates double day counts since 30 December 1899
 *    (the fraction is the time of day).
 */
#ifndef YARVEL_H
#define YARVEL_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of the exports: the platform's standard one for
   exported functions. Nothing to say on x86-64. */
#if defined(__i386__)
#define YARVEL_CALL __attribute__((stdcall))
#else
#define YARVEL_CALL
#endif

#if defined(YARVEL_BUILDING)
#define YARVEL_EXPORT __attribute__((visibility("default")))
#else
#define YARVEL_EXPORT
#endif

typedef uint8_t TYarvelBool;

/* ---- Shared string ------------------------------------------------------ */

/* Header of a string; its bytes follow it directly, NUL-terminated. */
typedef struct TYarvelString {
    int32_t RefCount;
    int32_t Length;
} TYarvelString;

/* A new string holding Length bytes of Text (which may contain NUL bytes),
   reference count 1. Null for Length <= 0, and when memory runs out. */
static inline TYarvelString* YarvelStringCreate(const char* Text, int32_t Length) {
    TYarvelString* s;
    if (Length <= 0 || Text == NULL) return NULL;
    s = (TYarvelString*)malloc(sizeof(TYarvelString) + (size_t)Length + 1);
    if (s == NULL) return NULL;
    s->RefCount = 1;
    s->Length = Length;
    memcpy((char*)(s + 1), Text, (size_t)Length);
    ((char*)(s + 1))[Length] = '\0';
    return s;
}

/* A new string from a NUL-terminated text (null gives null). */
static inline TYarvelString* YarvelStringFromC(const char* Text) {
    size_t n = Text ? strlen(Text) : 0;
    return YarvelStringCreate(Text, n > INT32_MAX ? INT32_MAX : (int32_t)n);
}

/* The bytes, NUL-terminated; "" for the empty string. Valid while a
   reference is held. */
static inline const char* YarvelStringText(const TYarvelString* s) {
    return s ? (const char*)(s + 1) : "";
}

static inline int32_t YarvelStringLength(const TYarvelString* s) {
    return s ? s->Length : 0;
}

/* One more reference; answers s. */
static inline TYarvelString* YarvelStringAddRef(TYarvelString* s) {
    if (s) ++s->RefCount;
    return s;
}

/* Drops one reference; the last one frees the string. Null is ignored. */
static inline void YarvelStringRelease(TYarvelString* s) {
    if (s && --s->RefCount <= 0) free(s);
}

/* *Slot := Value, taking a reference to Value and releasing the old text.
   Slot must be aligned: not the address of a TVinRecord field. */
static inline void YarvelStringAssign(TYarvelString** Slot, TYarvelString* Value) {
    TYarvelString* old = *Slot;
    *Slot = YarvelStringAddRef(Value);
    YarvelStringRelease(old);
}

/* Value in place of Old: a reference to Value is taken and Old released.
   Meant for TVinRecord fields, which are unaligned (the record is packed)
   and so are assigned, never passed by address:
       rec.VIN = YarvelStringReplace(rec.VIN, vin);                         */
static inline TYarvelString* YarvelStringReplace(TYarvelString* Old, TYarvelString* Value) {
    YarvelStringAddRef(Value);
    YarvelStringRelease(Old);
    return Value;
}

/* ---- Vehicle record ----------------------------------------------------- */

/* AntiLockBrakes and DaytimeRunningLamps. */
enum {
    YV_EQUIP_UNKNOWN = 0,
    YV_EQUIP_STANDARD = 1,
    YV_EQUIP_OPTIONAL = 2,
    YV_EQUIP_NOT_AVAILABLE = 3
};

/* SpecialEngineType. */
enum {
    YV_ENGINE_TURBO = 0,
    YV_ENGINE_DIESEL = 1,
    YV_ENGINE_TURBO_DIESEL = 2,
    YV_ENGINE_NATURAL_GAS = 3,
    YV_ENGINE_NONE = 4
};

/* Performance. */
enum {
    YV_PERF_STANDARD = 0,
    YV_PERF_INTERMEDIATE = 1,
    YV_PERF_HIGH = 2,
    YV_PERF_SPORTS = 3,
    YV_PERF_SPORTS_PREMIUM = 4
};

/* Sets hold bit YV_BIT(n) for member n. */
#define YV_BIT(n) (1u << (n))

/* PassiveRestraints members (8-bit set). */
enum {
    YV_RESTRAINT_DRIVER = 0,
    YV_RESTRAINT_PASSENGER = 1,
    YV_RESTRAINT_DRIVERS_SIDE = 2,
    YV_RESTRAINT_PASSENGERS_SIDE = 3,
    YV_RESTRAINT_DRIVER_AUTO_BELT = 4,
    YV_RESTRAINT_PASSENGER_AUTO_BELT = 5,
    YV_RESTRAINT_NONE = 6,
    YV_RESTRAINT_UNKNOWN = 7
};

/* AntiTheftDevices members (16-bit set). */
enum {
    YV_THEFT_ALARM = 0,
    YV_THEFT_ACTIVE_DISABLING = 1,
    YV_THEFT_PASSIVE_DISABLING = 2,
    YV_THEFT_VEHICLE_RECOVERY = 3,
    YV_THEFT_OTHER_MA_CATEGORY_I = 4,
    YV_THEFT_OTHER_MA_CATEGORY_II = 5,
    YV_THEFT_OTHER_MA_CATEGORY_III = 6,
    YV_THEFT_OTHER_MA_CATEGORY_IV = 7,
    YV_THEFT_OTHER_MA_CATEGORY_V = 8
};

/* SpecialInfo (16-bit set) uses members 6 to 11; their meaning is the data's. */
enum { YV_SPECIAL_INFO_FIRST = 6, YV_SPECIAL_INFO_LAST = 11 };

#pragma pack(push, 1)
/* The vehicle record, byte-packed, 155 bytes on 64-bit targets. The comment
   gives the master-table field each member is filled from. */
typedef struct TVinRecord {
    TYarvelBool FourWheelDrive;      /* FOURWHDRV is "4"                    */
    int32_t Cylinders;               /* ENGN_CYLN, translated                */
    TYarvelString* VIN;              /* VIN; input of YarvelGetRecordByVIN   */
    TYarvelString* OtherInfo;        /* NOTCLASINF                           */
    TYarvelString* TransmissionInfo; /* TRANSINFO                            */
    TYarvelString* BodyInfo;         /* BODYINFO                             */
    TYarvelString* RestraintInfo;    /* RESTINFO                             */
    TYarvelString* Make;             /* make name; input (abbreviation) of YarvelGetRecordByYMM */
    TYarvelString* Model;            /* MODELNAME; input (as stored) of YarvelGetRecordByYMM    */
    TYarvelString* EngineInfo;       /* ENGNINFO                             */
    TYarvelString* ModelInfo;        /* MODELINFO                            */
    TYarvelString* Body;             /* BODYSTYLE                            */
    double EffectiveDate;            /* input only: the date of the lookup   */
    uint8_t PassiveRestraints;       /* REST_IND, set of YV_RESTRAINT_...    */
    uint8_t SpecialEngineType;       /* ENGN_TYPE, YV_ENGINE_...             */
    uint16_t SpecialInfo;            /* SPLINFOSEL, set                      */
    uint8_t Performance;             /* CONT_PERF, YV_PERF_...               */
    int32_t Symbol;                  /* TWODIGVSR, else VSRSYM               */
    TYarvelString* VehicleClass;     /* CLASSCODE, translated                */
    uint16_t AntiTheftDevices;       /* ANTITHEFT, set of YV_THEFT_...       */
    uint8_t DaytimeRunningLamps;     /* DAYRLIND, YV_EQUIP_...               */
    uint8_t AntiLockBrakes;          /* ANTILCKBRK, YV_EQUIP_...             */
    int32_t NonVSRSymbol;            /* TWODIGNVSR, else NON_VSRSYM          */
    int32_t ModelYear;               /* IIN; input of YarvelGetRecordByYMM   */
    int32_t RecordType;              /* input only: leads the model key      */
    TYarvelString* VSRText;          /* TWODIGVSR, trimmed                   */
    TYarvelBool HighTheft;           /* STAT_EXEP begins with "MA"           */
    TYarvelString* StateExceptions;  /* STAT_EXEP, trimmed                   */
    int32_t CompSymbol;              /* COMP_SYM, when the table has it      */
    int32_t CollSymbol;              /* COLL_SYM, when the table has it      */
    int32_t PriceSymbol;             /* PRICE_SYM, when the table has it     */
} TVinRecord;
#pragma pack(pop)

/* Releases every text of the record and zero-fills it. */
static inline void YarvelVinRecordClear(TVinRecord* r) {
    YarvelStringRelease(r->VIN);
    YarvelStringRelease(r->OtherInfo);
    YarvelStringRelease(r->TransmissionInfo);
    YarvelStringRelease(r->BodyInfo);
    YarvelStringRelease(r->RestraintInfo);
    YarvelStringRelease(r->Make);
    YarvelStringRelease(r->Model);
    YarvelStringRelease(r->EngineInfo);
    YarvelStringRelease(r->ModelInfo);
    YarvelStringRelease(r->Body);
    YarvelStringRelease(r->VehicleClass);
    YarvelStringRelease(r->VSRText);
    YarvelStringRelease(r->StateExceptions);
    memset(r, 0, sizeof *r);
}

/* ---- Field selectors and difference sets -------------------------------- */

/* A selector names a master-table field (YarvelGetFieldValue); a difference
   set holds bit YV_BIT(n) for selector n, and only selectors 2 to 11 enter
   it. A selector above 15 names no field: YarvelGetFieldValue reports it as
   an error. */
typedef uint8_t TYarvelFieldSelector;
typedef uint16_t TYarvelDifferenceSet;

enum {
    YV_FIELD_MODELNAME = 0, /* MODELNAME, proper-cased */
    YV_FIELD_VSR = 1,       /* TWODIGVSR               */
    YV_FIELD_BODYSTYLE = 2,
    YV_FIELD_ENGNSIZE = 3,
    YV_FIELD_ENGN_CYLN = 4,
    YV_FIELD_ENGN_TYPE = 5,
    YV_FIELD_MODELINFO = 6,
    YV_FIELD_BODYINFO = 7,
    YV_FIELD_ENGNINFO = 8,
    YV_FIELD_RESTINFO = 9,
    YV_FIELD_TRANSINFO = 10,
    YV_FIELD_NOTCLASINF = 11,
    YV_FIELD_TWODIGVSR = 12, /* TWODIGVSR again         */
    YV_FIELD_COMP_SYM = 13,
    YV_FIELD_COLL_SYM = 14,
    YV_FIELD_VIN = 15,
    YV_FIELD_LAST = 15
};

/* ---- Make and model objects, and the list protocol ---------------------- */

/* One make: Make, its name without surrounding blanks; Abbr, the
   abbreviation exactly as stored (blank-padded), which is what the make
   arguments of the functions below expect. Owns both texts. */
typedef struct TAutoMake {
    TYarvelString* Make;
    TYarvelString* Abbr;
} TAutoMake;

/* One model: Name, the model name as stored (blank-padded), which is what
   the model arguments below expect. Owns the text. */
typedef struct TModelID {
    TYarvelString* Name;
} TModelID;

/* New objects take a reference to each text given; null when out of memory. */
static inline TAutoMake* YarvelAutoMakeCreate(TYarvelString* Make, TYarvelString* Abbr) {
    TAutoMake* m = (TAutoMake*)malloc(sizeof(TAutoMake));
    if (m == NULL) return NULL;
    m->Make = YarvelStringAddRef(Make);
    m->Abbr = YarvelStringAddRef(Abbr);
    return m;
}

static inline void YarvelAutoMakeFree(TAutoMake* m) {
    if (m == NULL) return;
    YarvelStringRelease(m->Make);
    YarvelStringRelease(m->Abbr);
    free(m);
}

static inline TModelID* YarvelModelIDCreate(TYarvelString* Name) {
    TModelID* m = (TModelID*)malloc(sizeof(TModelID));
    if (m == NULL) return NULL;
    m->Name = YarvelStringAddRef(Name);
    return m;
}

static inline void YarvelModelIDFree(TModelID* m) {
    if (m == NULL) return;
    YarvelStringRelease(m->Name);
    free(m);
}

/* The caller's string list. AddObject appends Text (borrowed: AddRef to keep
   it) with Object attached (owned by the list from the call on) and answers
   the new entry's index, which the engine ignores. */
typedef struct TYarvelList {
    void* Owner;
    int32_t(YARVEL_CALL* AddObject)(void* Owner, const TYarvelString* Text, void* Object);
} TYarvelList;

/* ---- The 22 exports ------------------------------------------------------ */

/* Make: a TAutoMake Abbr; Year: a model year as text ("2005"); Model: a
   TModelID Name. The default returned on error follows each prototype. */

/* Starts the session. While one is running, a second start does nothing. A
   start that fails part-way (a table missing or unreadable) is undone
   whole: the session stays not started and a later start tries afresh. */
YARVEL_EXPORT void YARVEL_CALL YarvelStart(void);
/* Ends the session. */
YARVEL_EXPORT void YARVEL_CALL YarvelStop(void);
/* Fields that tell the sub-models of a model apart. Default: 0. */
YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL YarvelGetDifferenceFields(
    const TYarvelString* Make, const TYarvelString* Year, const TYarvelString* Model);
/* 1985. Default: -1. */
YARVEL_EXPORT int32_t YARVEL_CALL YarvelGetEarliestSymbolYearAvailable(void);
/* *Value := the current record's field Selector (0..15), translated. */
YARVEL_EXPORT void YARVEL_CALL YarvelGetFieldValue(TYarvelString** Value,
                                                   TYarvelFieldSelector Selector);
YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstSubModel(const TYarvelString* Make,
                                                      const TYarvelString* Year,
                                                      const TYarvelString* Model);
YARVEL_EXPORT void YARVEL_CALL YarvelGetNextSubModel(void);
/* Default: 1, so that a walk ends on an error. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfModel(void);
/* Appends one entry per make: its name, with a TAutoMake. */
YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfMakes(TYarvelList* List);
/* Appends one entry per master record of the make and year: the proper-cased
   model name, with a TModelID. AutoMake stays the caller's. */
YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfModels(TYarvelList* List, const TAutoMake* AutoMake,
                                                     const TYarvelString* Year);
/* Whether the fields FieldNames[0..LastIndex] agree across the sub-models.
   LastIndex is the count - 1 (-1: no names). Default: 0. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetModelAlwaysRatesSame(
    const TYarvelString* Make, const TYarvelString* Year, const TYarvelString* Model,
    const TYarvelString* const* FieldNames, int32_t LastIndex);
/* *VIN := the model's VIN pattern, empty when none. */
YARVEL_EXPORT void YARVEL_CALL YarvelGetModelVIN(TYarvelString** VIN, const TYarvelString* Make,
                                                 const TYarvelString* Year,
                                                 const TYarvelString* Model);
/* Fills Record for Record->VIN at Record->EffectiveDate. Default: 0. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByVIN(TVinRecord* Record);
/* Fills Record for RecordType, Make (abbreviation), ModelYear, Model. Default: 0. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByYMM(TVinRecord* Record);
YARVEL_EXPORT void YARVEL_CALL YarvelSetSuppressMessages(TYarvelBool Value);
/* Whether the current record is in effect on Date. Default: 0. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordEffective(double Date);
YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstVIN(const TYarvelString* VIN);
/* Default: 1, so that a walk ends on an error. */
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfVIN(void);
YARVEL_EXPORT void YARVEL_CALL YarvelGetNextVIN(void);
/* Fields that tell the candidates of a VIN apart. Default: 0. */
YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL
YarvelGetDifferenceFieldsVIN(const TYarvelString* VIN);
/* Fills Record from the current record. */
YARVEL_EXPORT void YARVEL_CALL YarvelLoadFromCurrentRecord(TVinRecord* Record);
/* 9. Default: 0. */
YARVEL_EXPORT int32_t YARVEL_CALL YarvelGetMinVinSizePermitted(void);

/* Function-pointer types, for binding by name. */
typedef void(YARVEL_CALL* TYarvelStartFunc)(void);
typedef void(YARVEL_CALL* TYarvelStopFunc)(void);
typedef TYarvelDifferenceSet(YARVEL_CALL* TYarvelGetDifferenceFieldsFunc)(const TYarvelString*,
                                                                          const TYarvelString*,
                                                                          const TYarvelString*);
typedef int32_t(YARVEL_CALL* TYarvelGetEarliestSymbolYearAvailableFunc)(void);
typedef void(YARVEL_CALL* TYarvelGetFieldValueFunc)(TYarvelString**, TYarvelFieldSelector);
typedef void(YARVEL_CALL* TYarvelGetFirstSubModelFunc)(const TYarvelString*, const TYarvelString*,
                                                       const TYarvelString*);
typedef void(YARVEL_CALL* TYarvelGetNextSubModelFunc)(void);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetEndOfModelFunc)(void);
typedef void(YARVEL_CALL* TYarvelGetListOfMakesFunc)(TYarvelList*);
typedef void(YARVEL_CALL* TYarvelGetListOfModelsFunc)(TYarvelList*, const TAutoMake*,
                                                      const TYarvelString*);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetModelAlwaysRatesSameFunc)(const TYarvelString*,
                                                                     const TYarvelString*,
                                                                     const TYarvelString*,
                                                                     const TYarvelString* const*,
                                                                     int32_t);
typedef void(YARVEL_CALL* TYarvelGetModelVINFunc)(TYarvelString**, const TYarvelString*,
                                                  const TYarvelString*, const TYarvelString*);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetRecordByVINFunc)(TVinRecord*);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetRecordByYMMFunc)(TVinRecord*);
typedef void(YARVEL_CALL* TYarvelSetSuppressMessagesFunc)(TYarvelBool);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetRecordEffectiveFunc)(double);
typedef void(YARVEL_CALL* TYarvelGetFirstVINFunc)(const TYarvelString*);
typedef TYarvelBool(YARVEL_CALL* TYarvelGetEndOfVINFunc)(void);
typedef void(YARVEL_CALL* TYarvelGetNextVINFunc)(void);
typedef TYarvelDifferenceSet(YARVEL_CALL* TYarvelGetDifferenceFieldsVINFunc)(const TYarvelString*);
typedef void(YARVEL_CALL* TYarvelLoadFromCurrentRecordFunc)(TVinRecord*);
typedef int32_t(YARVEL_CALL* TYarvelGetMinVinSizePermittedFunc)(void);

/* The 22 exports in binding order, one entry X(Name) each: the function is
   YarvelName, its pointer type TYarvelNameFunc. Loaders and checks expand it
   with a macro of their own, e.g.
       #define SLOT(Name) TYarvel##Name##Func Name;
       struct { YARVEL_EXPORTS(SLOT) } entries;
   Every entry is tied to its prototype at compile time below, and the
   library's version script is checked against the list by the tests. */
#define YARVEL_EXPORTS(X)             \
    X(Start)                          \
    X(Stop)                           \
    X(GetDifferenceFields)            \
    X(GetEarliestSymbolYearAvailable) \
    X(GetFieldValue)                  \
    X(GetFirstSubModel)               \
    X(GetNextSubModel)                \
    X(GetEndOfModel)                  \
    X(GetListOfMakes)                 \
    X(GetListOfModels)                \
    X(GetModelAlwaysRatesSame)        \
    X(GetModelVIN)                    \
    X(GetRecordByVIN)                 \
    X(GetRecordByYMM)                 \
    X(SetSuppressMessages)            \
    X(GetRecordEffective)             \
    X(GetFirstVIN)                    \
    X(GetEndOfVIN)                    \
    X(GetNextVIN)                     \
    X(GetDifferenceFieldsVIN)         \
    X(LoadFromCurrentRecord)          \
    X(GetMinVinSizePermitted)

#define YARVEL_EXPORT_COUNT 22

/* The export names as a list of string literals, each followed by a comma:
       const char* const names[] = {YARVEL_EXPORT_NAMES};                   */
#define YARVEL_EXPORT_NAME_ITEM_(Name) "Yarvel" #Name,
#define YARVEL_EXPORT_NAMES YARVEL_EXPORTS(YARVEL_EXPORT_NAME_ITEM_)

#ifdef __cplusplus
}
#endif

/* ---- Compile-time ties of the list to the prototypes ---------------------- */

#define YARVEL_EXPORT_COUNT_ITEM_(Name) +1
#ifdef __cplusplus
#include <type_traits>
#define YARVEL_EXPORT_TYPE_CHECK_(Name)                                         \
    static_assert(std::is_same_v<decltype(&Yarvel##Name), TYarvel##Name##Func>, \
                  "Yarvel" #Name " and TYarvel" #Name "Func disagree");
YARVEL_EXPORTS(YARVEL_EXPORT_TYPE_CHECK_)
static_assert((0 YARVEL_EXPORTS(YARVEL_EXPORT_COUNT_ITEM_)) == YARVEL_EXPORT_COUNT,
              "YARVEL_EXPORT_COUNT counts the list");
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(TVinRecord) == 155, "TVinRecord is byte-packed, 155 bytes");
#endif
#else
#define YARVEL_EXPORT_TYPE_CHECK_(Name)                                           \
    _Static_assert(_Generic(&Yarvel##Name, TYarvel##Name##Func : 1, default : 0), \
                   "Yarvel" #Name " and TYarvel" #Name "Func disagree");
YARVEL_EXPORTS(YARVEL_EXPORT_TYPE_CHECK_)
_Static_assert((0 YARVEL_EXPORTS(YARVEL_EXPORT_COUNT_ITEM_)) == YARVEL_EXPORT_COUNT,
               "YARVEL_EXPORT_COUNT counts the list");
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
_Static_assert(sizeof(TVinRecord) == 155, "TVinRecord is byte-packed, 155 bytes");
#endif
#endif
#undef YARVEL_EXPORT_TYPE_CHECK_
#undef YARVEL_EXPORT_COUNT_ITEM_

#endif /* YARVEL_H */
