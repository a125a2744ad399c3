// The frame every tool's main() runs in: errors end up as one line
// "TOOL: message" on stderr and exit status 1; usage errors give status 2.
#pragma once

#include <functional>
#include <string>

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Thrown for a command line the tool does not understand.
struct TUsageError {
    std::string message;
};

// Runs `body` with temporaries cleaned up on interruption; returns its exit
// status, or the status for what it threw. `usage` is printed after a
// TUsageError.
int RunTool(const char* name, const char* usage, const std::function<int()>& body);
