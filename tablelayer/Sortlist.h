// A list of object references kept in ascending order by a compare function.
// The list does not own its items; whoever adds them frees them.
#pragma once

#include <cstdint>
#include <vector>

#include "Exception.h"

// Raised for a search or insertion without a compare function, and for an
// insertion of an item equal to one already listed.
class ESortedListError : public Exception {
public:
    using Exception::Exception;
};

class TSortedList {
public:
    // Negative, zero or positive as a orders before, with or after b.
    using TCompare = int (*)(const void* a, const void* b);

    explicit TSortedList(TCompare compare = nullptr) : m_compare(compare) {}

    TCompare Compare() const { return m_compare; }
    void SetCompare(TCompare compare) { m_compare = compare; }

    // Inserts just after the last item smaller than the new one and returns
    // its position. Throws ESortedListError (no compare function, or an
    // equal item is listed; the list is then unchanged).
    int Add(void* item);
    // True when an item equal to the probe is listed; CurrentIndex is then
    // its position, and stays as it was otherwise. Throws ESortedListError
    // without a compare function.
    bool Find(const void* probe);
    // The item at CurrentIndex; null when CurrentIndex is not a position.
    void* Current() const;
    int32_t CurrentIndex() const { return m_currentIndex; }

    // The pointer list's own access and removal.
    int Count() const { return static_cast<int>(m_items.size()); }
    // Both throw ESortedListError for an index outside 0 .. Count - 1.
    void* Items(int index) const;
    int IndexOf(const void* item) const;
    void Delete(int index);        // removes the entry at index
    int Remove(const void* item);  // removes the entry; its former index or -1
    void Clear();

    // Lists of this many items or more are searched by bisection.
    static constexpr int kBisectionThreshold = 128;

private:
    // Found, and the position of the equal item, or of the last item smaller
    // than the probe (-1 when none is).
    bool Search(const void* probe, int& position) const;
    void RequireCompare() const;
    void CheckIndex(int index) const;

    std::vector<void*> m_items;
    TCompare m_compare;
    int32_t m_currentIndex = -1;
};
