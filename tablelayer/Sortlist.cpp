#include "Sortlist.h"

#include <algorithm>

void TSortedList::RequireCompare() const {
    if (m_compare == nullptr) {
        throw ESortedListError("Compare function not assigned for sorted list.");
    }
}

bool TSortedList::Search(const void* probe, int& position) const {
    RequireCompare();
    const int count = Count();
    position = -1;
    if (count < kBisectionThreshold) {
        for (int i = 0; i < count; ++i) {
            const int c = m_compare(probe, m_items[static_cast<size_t>(i)]);
            if (c == 0) {
                position = i;
                return true;
            }
            if (c < 0) return false;
            position = i;
        }
        return false;
    }
    int low = 0;
    int high = count - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (m_compare(probe, m_items[static_cast<size_t>(middle)]) < 0) {
            high = middle - 1;
        } else {
            low = middle;
        }
    }
    const int c = m_compare(probe, m_items[static_cast<size_t>(high)]);
    position = c < 0 ? -1 : high;  // only below the first item can c be negative here
    return c == 0;
}

int TSortedList::Add(void* item) {
    int position = -1;
    if (Search(item, position)) {
        throw ESortedListError("Inserting item that already exists in sorted list.");
    }
    m_items.insert(m_items.begin() + (position + 1), item);
    return position + 1;
}

bool TSortedList::Find(const void* probe) {
    int position = -1;
    const bool found = Search(probe, position);
    if (found) m_currentIndex = position;
    return found;
}

void* TSortedList::Current() const {
    if (m_currentIndex < 0 || m_currentIndex >= Count()) return nullptr;
    return m_items[static_cast<size_t>(m_currentIndex)];
}

int TSortedList::IndexOf(const void* item) const {
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void TSortedList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw ESortedListError(FormatText("List index out of bounds (%d)", index));
    }
}

void* TSortedList::Items(int index) const {
    CheckIndex(index);
    return m_items[static_cast<size_t>(index)];
}

void TSortedList::Delete(int index) {
    CheckIndex(index);
    m_items.erase(m_items.begin() + index);
}

int TSortedList::Remove(const void* item) {
    const int index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

void TSortedList::Clear() {
    m_items.clear();
    m_currentIndex = -1;
}
