/* A stand-in e-mail plug-in for the tests: every call appends one line to
 * the file named by $QELEMAIL_RECORD; a send answers $QELEMAIL_ANSWER
 * (default 1). Built a second time without qelBopSendEmail. */
#include <stdio.h>
#include <stdlib.h>

#include "qelEmail.h"

#define EXPORT __attribute__((visibility("default")))

static void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));

#include <stdarg.h>
static void Record(const char* format, ...) {
    const char* name = getenv("QELEMAIL_RECORD");
    if (!name) return;
    FILE* file = fopen(name, "a");
    if (!file) return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    fclose(file);
}

static const char* Shown(const char* text) {
    return text ? text : "(null)";
}

static int32_t Answer(void) {
    const char* answer = getenv("QELEMAIL_ANSWER");
    return answer ? (int32_t)strtol(answer, NULL, 0) : 1;
}

EXPORT void QEL_STDCALL qelEmailStart(uintptr_t appWindow) {
    Record("start %s", appWindow ? "window" : "none");
}

EXPORT void QEL_STDCALL qelEmailStop(void) {
    Record("stop");
}

#ifndef LACK_BOP_SEND
EXPORT int32_t QEL_STDCALL qelBopSendEmail(const char* recipient, const char* secondText,
                                           const char* subject, const char* messageFile,
                                           int32_t first, int32_t second) {
    Record("bop %s|%s|%s|%s|%d|%d", Shown(recipient), Shown(secondText), Shown(subject),
           Shown(messageFile), first, second);
    return Answer();
}
#endif

EXPORT int32_t QEL_STDCALL qelQELSendEmail(const char* recipient, const char* secondText,
                                           const char* subject, const char* messageFile,
                                           int32_t first, int32_t second) {
    Record("send %s|%s|%s|%s|%d|%d", Shown(recipient), Shown(secondText), Shown(subject),
           Shown(messageFile), first, second);
    return Answer();
}
