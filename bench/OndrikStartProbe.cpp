// Start probe: a small library the start benchmark preloads (LD_PRELOAD) into
// a few extra runs of Ondrik and of the empty Qt program, to tell where the
// start-up time goes. It timestamps, on the monotonic clock the benchmark
// also reads before it spawns the process:
//   - its own initialiser (the loader has mapped and relocated everything),
//   - the C library's start of the program and main() itself,
//   - the construction and destruction of the QApplication object,
//   - loading the engine library (dlopen of libYarvel.so),
//   - the first QDialog constructed (the lookup window, the empty dialog),
//   - every call into the engine: YarvelStart and YarvelStop on their own,
//     the other exports (the lookup) summed,
//   - its own finaliser, late in exit().
// The engine's exports are timed by handing out wrappers from dlsym, which is
// how the program binds them. The timestamps are written at exit to the file
// named by ONDRIK_START_PROBE, one "name wall-ns cpu-ns" per line (the CPU
// clock of the process), then the engine's calls. The probe is
// never part of a timed run: it costs a little itself.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "yarvel.h"

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int64_t Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

enum TEvent {
    evInit,
    evStartMain,
    evMain,
    evAppBegin,
    evAppEnd,
    evEngineLoadBegin,
    evEngineLoadEnd,
    evStartBegin,
    evStartEnd,
    evDialogBegin,
    evLookupBegin,
    evStopBegin,
    evStopEnd,
    evAppDoneBegin,
    evAppDoneEnd,
    evFini,
    evCount
};
const char* const kEventNames[evCount] = {
    "init", "start_main", "main", "app_begin", "app_end", "engine_load_begin", "engine_load_end",
    "start_begin", "start_end", "dialog_begin", "lookup_begin", "stop_begin", "stop_end", "app_done_begin", "app_done_end", "fini"};

int64_t CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// First occurrence only: the probe marks the one start-up of a run, on the
// wall clock and on the process's CPU clock.
int64_t g_events[evCount];
int64_t g_eventsCpu[evCount];
int64_t g_engineCallNs = 0;  // exports other than Start and Stop
int64_t g_engineCalls = 0;
int64_t g_engineCallNsBeforeLookup = 0;  // of those, before the VIN lookup began
int64_t g_exportNs[YARVEL_EXPORT_COUNT];  // per export, in binding order
int64_t g_exportCalls[YARVEL_EXPORT_COUNT];

void Mark(TEvent e) {
    if (g_events[e] != 0) return;
    g_events[e] = Now();
    g_eventsCpu[e] = CpuNow();
}

using TDlsym = void* (*)(void*, const char*);
using TDlopen = void* (*)(const char*, int);

TDlsym RealDlsym() {
    static TDlsym real = [] {
        void* p = dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
        if (!p) p = dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
        return reinterpret_cast<TDlsym>(p);
    }();
    return real;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(RealDlsym()(RTLD_NEXT, name));
}

// One wrapper per export: the real address, and a function of the same type
// that times the call.
template <size_t I, typename F>
struct TWrap;

template <size_t I, typename R, typename... A>
struct TWrap<I, R (*)(A...)> {
    static inline R (*real)(A...) = nullptr;
    static R Call(A... args) {
        constexpr bool isStart = I == 0, isStop = I == 1;
        // The window's VIN search asks for the minimum length first.
        constexpr bool isLookup = I == 21;
        if (isStart) Mark(evStartBegin);
        if (isLookup) Mark(evLookupBegin);
        if (isStop) Mark(evStopBegin);
        const int64_t t0 = Now();
        struct TAfter {
            int64_t t0;
            ~TAfter() {
                g_exportNs[I] += Now() - t0;
                ++g_exportCalls[I];
                if (isStart) Mark(evStartEnd);
                else if (isStop) Mark(evStopEnd);
                else {
                    const int64_t spent = Now() - t0;
                    g_engineCallNs += spent;
                    if (g_events[evLookupBegin] == 0) g_engineCallNsBeforeLookup += spent;
                    ++g_engineCalls;
                }
            }
        } after{t0};
        return real(args...);
    }
};

struct TExport {
    const char* name;
    void* (*install)(void* real);
};

template <size_t I, typename F>
void* Install(void* real) {
    TWrap<I, F>::real = reinterpret_cast<F>(real);
    return reinterpret_cast<void*>(&TWrap<I, F>::Call);
}

template <typename F, size_t I>
constexpr TExport Entry(const char* name) {
    return {name, &Install<I, F>};
}

constexpr size_t kIndex0 = __COUNTER__ + 1;
#define PROBE_ENTRY_(Name) Entry<TYarvel##Name##Func, __COUNTER__ - kIndex0>("Yarvel" #Name),
const TExport kExports[] = {YARVEL_EXPORTS(PROBE_ENTRY_)};
#undef PROBE_ENTRY_
static_assert(sizeof kExports / sizeof kExports[0] == YARVEL_EXPORT_COUNT);

void* g_engine = nullptr;

void WriteEvents() {
    const char* path = std::getenv("ONDRIK_START_PROBE");
    if (!path || !*path) return;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return;
    char line[96];
    for (int e = 0; e < evCount; ++e) {
        const int n = std::snprintf(line, sizeof line, "%s %lld %lld\n", kEventNames[e],
                                    static_cast<long long>(g_events[e]),
                                    static_cast<long long>(g_eventsCpu[e]));
        if (::write(fd, line, static_cast<size_t>(n)) != n) break;
    }
    const int n = std::snprintf(
        line, sizeof line, "engine_calls_ns %lld\nengine_calls %lld\nengine_calls_before_lookup_ns %lld\n",
        static_cast<long long>(g_engineCallNs), static_cast<long long>(g_engineCalls),
        static_cast<long long>(g_engineCallNsBeforeLookup));
    bool ok = ::write(fd, line, static_cast<size_t>(n)) == n;
    for (size_t i = 0; ok && i < YARVEL_EXPORT_COUNT; ++i) {
        if (g_exportCalls[i] == 0) continue;
        const int m = std::snprintf(line, sizeof line, "call:%s %lld %lld\n", kExports[i].name,
                                    static_cast<long long>(g_exportNs[i]),
                                    static_cast<long long>(g_exportCalls[i]));
        ok = ::write(fd, line, static_cast<size_t>(m)) == m;
    }
    ::close(fd);
}

__attribute__((constructor(101))) void ProbeInit() {
    Mark(evInit);
}

__attribute__((destructor(101))) void ProbeFini() {
    Mark(evFini);
    WriteEvents();
}

}  // namespace

using TMain = int (*)(int, char**, char**);
TMain g_main = nullptr;

static int ProbeMain(int argc, char** argv, char** envp) {
    Mark(evMain);
    return g_main(argc, argv, envp);
}

PROBE_EXPORT int __libc_start_main(TMain main, int argc, char** argv, void (*init)(),
                                   void (*fini)(), void (*rtldFini)(), void* stackEnd) {
    Mark(evStartMain);
    using TStart = int (*)(TMain, int, char**, void (*)(), void (*)(), void (*)(), void*);
    static const TStart real = Next<TStart>("__libc_start_main");
    g_main = main;
    return real(&ProbeMain, argc, argv, init, fini, rtldFini, stackEnd);
}

PROBE_EXPORT void* dlopen(const char* file, int mode) {
    static const TDlopen real = Next<TDlopen>("dlopen");
    const bool engine = file && std::strstr(file, "libYarvel.so") != nullptr;
    if (engine) Mark(evEngineLoadBegin);
    void* handle = real(file, mode);
    if (engine) {
        Mark(evEngineLoadEnd);
        g_engine = handle;
    }
    return handle;
}

PROBE_EXPORT void* dlsym(void* handle, const char* name) {
    void* address = RealDlsym()(handle, name);
    if (!address || !handle || handle != g_engine) return address;
    for (const TExport& e : kExports)
        if (std::strcmp(e.name, name) == 0) return e.install(address);
    return address;
}

// QApplication::QApplication(int&, char**, int) and ~QApplication(): the
// program's calls reach these first, which call Qt's own.
PROBE_EXPORT void _ZN12QApplicationC1ERiPPci(void* self, int& argc, char** argv, int flags) {
    using TCtor = void (*)(void*, int&, char**, int);
    static const TCtor real = Next<TCtor>("_ZN12QApplicationC1ERiPPci");
    Mark(evAppBegin);
    real(self, argc, argv, flags);
    Mark(evAppEnd);
}

// QDialog::QDialog(QWidget*, Qt::WindowFlags), complete and base object:
// the first dialog built is the program's window (or the empty program's).
using TDialogCtor = void (*)(void*, void*, int);

PROBE_EXPORT void _ZN7QDialogC1EP7QWidget6QFlagsIN2Qt10WindowTypeEE(void* self, void* parent, int flags) {
    static const TDialogCtor real = Next<TDialogCtor>("_ZN7QDialogC1EP7QWidget6QFlagsIN2Qt10WindowTypeEE");
    Mark(evDialogBegin);
    real(self, parent, flags);
}

PROBE_EXPORT void _ZN7QDialogC2EP7QWidget6QFlagsIN2Qt10WindowTypeEE(void* self, void* parent, int flags) {
    static const TDialogCtor real = Next<TDialogCtor>("_ZN7QDialogC2EP7QWidget6QFlagsIN2Qt10WindowTypeEE");
    Mark(evDialogBegin);
    real(self, parent, flags);
}

PROBE_EXPORT void _ZN12QApplicationD1Ev(void* self) {
    using TDtor = void (*)(void*);
    static const TDtor real = Next<TDtor>("_ZN12QApplicationD1Ev");
    Mark(evAppDoneBegin);
    real(self);
    Mark(evAppDoneEnd);
}
