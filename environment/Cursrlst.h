// The cursor stack: the application environment keeps the screen cursor it
// found at start-up here. Failures show a warning box and change nothing.
#pragma once

#include <memory>
#include <vector>

#include "platform/Services.h"

class TContained {
public:
    explicit TContained(platform::CursorId cursor) : m_cursor(cursor) {}
    platform::CursorId Cursor() const { return m_cursor; }

private:
    platform::CursorId m_cursor;
};

class TCursorStack {
public:
    TCursorStack() = default;
    ~TCursorStack();
    TCursorStack(const TCursorStack&) = delete;
    TCursorStack& operator=(const TCursorStack&) = delete;

    // Appends an entry; when that fails: "Attempt to add cursor to a
    // Non-Existant List" (warning box) and the stack stays as it was.
    void PushCursor(platform::CursorId cursor);
    // Removes the entry at the index; outside the list: "Cannot remove cursor
    // item from empty list" (warning box) and nothing changes.
    void RemoveCursor(int index);
    int CursorCount() const { return static_cast<int>(m_items.size()); }
    // The entry at the index (oldest first); null outside the list.
    const TContained* Item(int index) const;

private:
    std::vector<std::unique_ptr<TContained>> m_items;
};

class TCursorList {
public:
    explicit TCursorList(platform::CursorId cursor);
    TCursorStack& Stack() { return m_stack; }
    const TCursorStack& Stack() const { return m_stack; }

private:
    TCursorStack m_stack;
};
