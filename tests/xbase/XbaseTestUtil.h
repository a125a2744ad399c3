// Small helpers shared by the engine tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "xbase.h"

namespace xbtest {

// One engine session per test; closes whatever is still open.
class Engine {
public:
    Engine() : m_engine(code4initP()) {}
    ~Engine() { code4initUndo(m_engine); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    XBENGINE* get() const { return m_engine; }
    operator XBENGINE*() const { return m_engine; }
    int TakeError() const { return code4errorCode(m_engine, 0); }

private:
    XBENGINE* m_engine;
};

inline std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

using KeyList = std::vector<std::pair<std::string, long>>;  // key bytes, record number

// Every key of the selected tag with its record, walking from the top (or
// backwards from the bottom).
inline KeyList WalkTag(XBDATA* data, XBTAG* tag, bool backwards = false) {
    KeyList out;
    const int keyLength = t4keyLen(tag);
    int rc = backwards ? d4bottom(data) : d4top(data);
    for (int guard = 0; rc == XB_SUCCESS && guard < 1000000; ++guard) {
        const char* key = t4key(tag);
        if (key == nullptr) break;
        out.emplace_back(std::string(key, static_cast<size_t>(keyLength)), d4recNo(data));
        rc = d4skip(data, backwards ? -1 : 1);
    }
    return out;
}

inline std::string TrimRight(std::string text, char fill = ' ') {
    while (!text.empty() && text.back() == fill) text.pop_back();
    return text;
}

}  // namespace xbtest
