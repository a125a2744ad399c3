// Fuzz target for the settings load, XML and INI: any bytes as a settings
// file give values or an error carrying a message, never a crash, a hang or
// a sanitizer report; and a value written, saved and loaded again reads back
// as written.
//
// Input layout: byte 0 even for an XML file, odd for an INI file; the rest
// is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Exception.h"
#include "platform/Files.h"
#include "qelDataStorage.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/settings-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern) + "/";
    }();
    return folder;
}

void ReadEverything(TqelDataStorageAccess& access, const std::string& section) {
    TqelStrings list;
    access.SectionExists(section);
    access.ReadSection(section, list);
    for (const auto& name : list) {
        access.ReadString(section, name);
        access.ReadAttribute(section, name);
        access.ValueExists(section, name);
    }
    access.ReadSectionValues(section, list);
    TqelValuesList tree;
    access.ReadTree(section, tree);
    access.FindSectionByID(section, 1);
    access.ProcessingInstructions();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) return 0;
    const bool ini = (bytes[0] & 1) != 0;
    const std::string file = Folder() + (ini ? "fuzz.ini" : "fuzz.xml");
    if (!platform::WriteFileAtomic(file, std::string_view(reinterpret_cast<const char*>(bytes + 1),
                                                          size - 1),
                                   nullptr))
        std::abort();

    TqelDataStorage storage;
    storage.SetStorageType(ini ? TqelDataStorage::stINI : TqelDataStorage::stXML);
    storage.SetStorageName(file);
    try {
        TqelDataStorageAccess& access = storage.Access();
        TqelStrings sections;
        access.ReadSection(ini ? "" : "QELSettings", sections);
        ReadEverything(access, ini ? "" : "QELSettings");
        for (size_t i = 0; i < sections.size() && i < 8; ++i) ReadEverything(access, sections[i]);
    } catch (const Exception&) {
        return 0;  // a damaged file: reported, nothing more to do with it
    }

    // A file that loaded takes a value and gives it back after a save.
    const std::string value = "v" + std::to_string(size);
    try {
        storage.WriteString("QELSettings/Fuzz", "Item", value);
        storage.UpdateFile();
    } catch (const Exception&) {
        return 0;  // a document without a root cannot take a value
    }
    TqelDataStorage again;
    again.SetStorageType(storage.StorageType());
    again.SetStorageName(file);
    std::string read;
    try {
        read = again.ReadString("QELSettings/Fuzz", "Item");
    } catch (const Exception& e) {
        std::fprintf(stderr, "saved file does not load: %s\n", e.Message().c_str());
        std::abort();
    }
    if (read != value) {
        std::fprintf(stderr, "value written as %s reads back as %s\n", value.c_str(), read.c_str());
        std::abort();
    }
    return 0;
}
