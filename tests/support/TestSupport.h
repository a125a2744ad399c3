// What the test suites share: running a program with its output captured
// (an argument vector, never a shell line) and expecting an exception with
// a given message.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TRun {
    int status = -1;  // exit status, or 128 + signal; 127 when it could not start
    int pid = 0;      // of the finished process
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, or a name looked up in PATH) with the arguments,
// stdin from /dev/null, and waits for it. With `killAfterMicroseconds` >= 0
// the program is killed (SIGKILL) that long after it started, unless it has
// ended by then.
TRun RunProgram(const std::vector<std::string>& argv, long killAfterMicroseconds = -1);

// Expects `call` to raise `Error` whose Message() is exactly `message`.
template <typename Error, typename Call>
void ExpectMessage(Call&& call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "nothing raised; expected: " << message;
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), message);
    }
}
