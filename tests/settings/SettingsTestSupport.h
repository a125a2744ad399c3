// Helpers shared by the settings tests.
#pragma once

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "Exception.h"
#include "qelDataStorage.h"

namespace settings_test {

// The file's bytes, read past the file layer so that a fault injected there
// cannot hide the file.
inline std::string ReadRaw(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The item as stored in a file: nothing when absent.
inline std::optional<std::string> Stored(const std::string& file, const std::string& section,
                                         const std::string& item) {
    TqelDataStorage storage;
    storage.SetStorageName(file);
    if (!storage.ValueExists(section, item)) return std::nullopt;
    return storage.ReadString(section, item);
}

// The message of the error the action raises, "(no error)" when none.
inline std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace settings_test
