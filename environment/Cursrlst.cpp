#include "Cursrlst.h"

#include <new>

#include "Helpers.h"

namespace {

void ShowWarning(const char* text) {
    ShowMessage(text, "Warning", platform::MsgIcon::Warning);
}

}  // namespace

TCursorStack::~TCursorStack() {
    const int count = CursorCount();
    for (int i = 0; i < count; ++i) RemoveCursor(0);
}

void TCursorStack::PushCursor(platform::CursorId cursor) {
    try {
        m_items.push_back(std::make_unique<TContained>(cursor));
    } catch (const std::bad_alloc&) {
        ShowWarning("Attempt to add cursor to a Non-Existant List");
    }
}

void TCursorStack::RemoveCursor(int index) {
    if (index < 0 || index >= CursorCount()) {
        ShowWarning("Cannot remove cursor item from empty list");
        return;
    }
    m_items.erase(m_items.begin() + index);
}

const TContained* TCursorStack::Item(int index) const {
    return index >= 0 && index < CursorCount() ? m_items[static_cast<size_t>(index)].get() : nullptr;
}

TCursorList::TCursorList(platform::CursorId cursor) { m_stack.PushCursor(cursor); }
