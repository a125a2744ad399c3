#include "ToolMain.h"

#include <cstdio>
#include <exception>
#include <new>

#include "FileOut.h"
#include "WriteError.h"

int RunTool(const char* name, const char* usage, const std::function<int()>& body) {
    InstallTempCleanup();
    try {
        return body();
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "%s: %s\n%s", name, e.message.c_str(), usage);
        return kExitUsage;
    } catch (const EXbaseWrite& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.Message().c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: out of memory\n", name);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected failure\n", name);
    }
    return kExitFailure;
}
