// A stand-in engine library that exports every entry point but the last one,
// so that binding must stop at the missing export without starting the engine.
// YarvelGetEarliestSymbolYearAvailable answers how often YarvelStart ran;
// YarvelSetSuppressMessages(2) makes the next YarvelStop fail.
#define YARVEL_BUILDING
#include <stdexcept>

#include "yarvel.h"

namespace {
int g_starts = 0;
bool g_stopFails = false;
}  // namespace

extern "C" {

YARVEL_EXPORT void YARVEL_CALL YarvelStart(void) {
    ++g_starts;
}
YARVEL_EXPORT void YARVEL_CALL YarvelStop(void) {
    if (g_stopFails) {
        g_stopFails = false;
        throw std::runtime_error("the engine would not stop");
    }
}
YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL YarvelGetDifferenceFields(const TYarvelString*,
                                                                         const TYarvelString*,
                                                                         const TYarvelString*) {
    return 0;
}
YARVEL_EXPORT int32_t YARVEL_CALL YarvelGetEarliestSymbolYearAvailable(void) {
    return g_starts;
}
YARVEL_EXPORT void YARVEL_CALL YarvelGetFieldValue(TYarvelString**, TYarvelFieldSelector) {}
YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstSubModel(const TYarvelString*, const TYarvelString*,
                                                      const TYarvelString*) {}
YARVEL_EXPORT void YARVEL_CALL YarvelGetNextSubModel(void) {}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfModel(void) {
    return 1;
}
YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfMakes(TYarvelList*) {}
YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfModels(TYarvelList*, const TAutoMake*,
                                                     const TYarvelString*) {}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetModelAlwaysRatesSame(const TYarvelString*,
                                                                    const TYarvelString*,
                                                                    const TYarvelString*,
                                                                    const TYarvelString* const*,
                                                                    int32_t) {
    return 0;
}
YARVEL_EXPORT void YARVEL_CALL YarvelGetModelVIN(TYarvelString**, const TYarvelString*,
                                                 const TYarvelString*, const TYarvelString*) {}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByVIN(TVinRecord*) {
    return 0;
}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByYMM(TVinRecord*) {
    return 0;
}
YARVEL_EXPORT void YARVEL_CALL YarvelSetSuppressMessages(TYarvelBool value) {
    if (value == 2) g_stopFails = true;
}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordEffective(double) {
    return 0;
}
YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstVIN(const TYarvelString*) {}
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfVIN(void) {
    return 1;
}
YARVEL_EXPORT void YARVEL_CALL YarvelGetNextVIN(void) {}
YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL YarvelGetDifferenceFieldsVIN(const TYarvelString*) {
    return 0;
}
YARVEL_EXPORT void YARVEL_CALL YarvelLoadFromCurrentRecord(TVinRecord*) {}
// YarvelGetMinVinSizePermitted is missing on purpose.

}  // extern "C"
