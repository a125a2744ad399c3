// The one chokepoint of the about box's and the version details' event
// handlers: whatever a handler raises is shown in the program's error box
// (ShowErrorMessage) and goes no further, so nothing unwinds through Qt's
// event loop.
#pragma once

#include <exception>
#include <new>

#include "Exception.h"
#include "Helpers.h"
#include "platform/Services.h"

template <typename F>
void GuardedSlot(F&& handler) noexcept {
    try {
        try {
            handler();
        } catch (const Exception& e) {
            ShowErrorMessage(e.Message());
        } catch (const std::bad_alloc&) {
            ShowErrorMessage("Out of memory");
        } catch (const std::exception& e) {
            ShowErrorMessage(e.what());
        }
    } catch (...) {
        // The error box itself failed: there is nowhere left to report it.
    }
}

// Shows the cursor for its lifetime; the cursor before comes back when it
// goes, also when the code in between throws.
class TScreenCursor {
public:
    explicit TScreenCursor(platform::CursorId cursor) : m_previous(platform::GetScreenCursor()) {
        platform::SetScreenCursor(cursor);
    }
    ~TScreenCursor() { platform::SetScreenCursor(m_previous); }
    TScreenCursor(const TScreenCursor&) = delete;
    TScreenCursor& operator=(const TScreenCursor&) = delete;

private:
    platform::CursorId m_previous;
};
