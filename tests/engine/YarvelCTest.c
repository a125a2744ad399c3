/* The boundary seen from C: the header compiles as C, and a C program binds
 * the engine by name, starts it on the sample data beside it and looks a
 * vehicle up. Exits 0 on success; prints what failed otherwise. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "yarvel.h"

static int failures = 0;

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                \
        }                                                              \
    } while (0)

struct Names {
    int count;
    int sawAmpersand;
    TAutoMake* first;
};

static int32_t YARVEL_CALL AddMake(void* owner, const TYarvelString* text, void* object) {
    struct Names* names = (struct Names*)owner;
    if (strcmp(YarvelStringText(text), "Rolls-Royce & Bentley") == 0) names->sawAmpersand = 1;
    if (names->first == NULL)
        names->first = (TAutoMake*)object; /* kept; freed at the end */
    else
        YarvelAutoMakeFree((TAutoMake*)object);
    return names->count++;
}

int main(void) {
    void* lib = dlopen(YARVEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    TYarvelStartFunc start;
    TYarvelStopFunc stop;
    TYarvelGetMinVinSizePermittedFunc minVin;
    TYarvelGetRecordByVINFunc byVin;
    TYarvelGetListOfMakesFunc makes;
    TYarvelGetFieldValueFunc fieldValue;
    TVinRecord record;
    TYarvelList list;
    struct Names names = {0, 0, NULL};
    TYarvelString* value = NULL;

    if (!lib) {
        fprintf(stderr, "cannot load %s: %s\n", YARVEL_LIBRARY_PATH, dlerror());
        return 1;
    }
    *(void**)&start = dlsym(lib, "YarvelStart");
    *(void**)&stop = dlsym(lib, "YarvelStop");
    *(void**)&minVin = dlsym(lib, "YarvelGetMinVinSizePermitted");
    *(void**)&byVin = dlsym(lib, "YarvelGetRecordByVIN");
    *(void**)&makes = dlsym(lib, "YarvelGetListOfMakes");
    *(void**)&fieldValue = dlsym(lib, "YarvelGetFieldValue");
    CHECK(start && stop && minVin && byVin && makes && fieldValue);
    if (failures) return 1;

    start();
    CHECK(minVin() == 9);

    memset(&record, 0, sizeof record);
    record.VIN = YarvelStringFromC("1HGCM82635A004352");
    record.EffectiveDate = 38718.0; /* 1 January 2006 */
    CHECK(byVin(&record) == 1);
    CHECK(strcmp(YarvelStringText(record.Make), "Honda") == 0);
    CHECK(strcmp(YarvelStringText(record.Model), "Accord") == 0);
    CHECK(record.ModelYear == 2005);
    CHECK(record.Cylinders == 6);
    fieldValue(&value, YV_FIELD_ENGN_CYLN);
    CHECK(strcmp(YarvelStringText(value), "6") == 0);
    YarvelStringRelease(value);
    YarvelVinRecordClear(&record);

    list.Owner = &names;
    list.AddObject = AddMake;
    makes(&list);
    CHECK(names.count > 20);
    CHECK(names.sawAmpersand);
    CHECK(names.first != NULL && YarvelStringLength(names.first->Abbr) == 4);
    YarvelAutoMakeFree(names.first);

    stop();
    dlclose(lib);
    if (failures == 0) printf("C boundary test passed\n");
    return failures ? 1 : 0;
}
