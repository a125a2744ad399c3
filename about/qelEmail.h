/* The e-mail plug-in "qelEmail": the entry points a plug-in exports and the
 * program binds by name (libqelEmail.so in the program folder, found without
 * regard to letter case). Compiles as C and as C++.
 *
 * Conventions, once for all entry points:
 * - Texts are null-terminated 8-bit Windows-1252 strings; an empty text is
 *   passed as a null pointer. The plug-in does not keep them past the call.
 * - The program calls qelEmailStart once right after binding, then
 *   qelQELSendEmail once per message, then qelEmailStop once before it
 *   unloads the library. qelBopSendEmail is never called, but a plug-in
 *   without it is refused.
 * - The answer of a send is a boolean in the low byte: non-zero when the
 *   message was handed on.
 * - Single-threaded: the program calls from its user-interface thread. */
#ifndef QELEMAIL_H
#define QELEMAIL_H

#include <stdint.h>

/* The calling convention of the original platform; empty on x86-64 Linux. */
#ifndef QEL_STDCALL
#define QEL_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The handle of the program's application window (0 when it has none). */
typedef void(QEL_STDCALL* TqelEmailStartProc)(uintptr_t appWindow);
typedef void(QEL_STDCALL* TqelEmailStopProc)(void);
/* recipient, second text, subject, path of the message file, two numbers
 * (the program passes 0, 0). */
typedef int32_t(QEL_STDCALL* TqelSendEmailProc)(const char* recipient, const char* secondText,
                                                const char* subject, const char* messageFile,
                                                int32_t first, int32_t second);

#define QEL_EMAIL_START_NAME "qelEmailStart"
#define QEL_EMAIL_STOP_NAME "qelEmailStop"
#define QEL_BOP_SEND_NAME "qelBopSendEmail"
#define QEL_QEL_SEND_NAME "qelQELSendEmail"

#ifdef __cplusplus
}
#endif

#endif /* QELEMAIL_H */
