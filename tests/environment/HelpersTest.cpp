#include <gtest/gtest.h>

#include <limits>

#include "Cursrlst.h"
#include "Helpers.h"
#include "TextHelpers.h"
#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"

using platform::testing::RecordingServices;

namespace {

TEST(StrToIntTrimmedTest, ConvertsOrRaises) {
    struct Case {
        const char* text;
        int32_t value;
    } good[] = {{" 42 ", 42}, {"\t42\r\n", 42}, {"   ", 0}, {"", 0}, {"-$10", -16}, {"0x1f", 31}};
    for (const auto& c : good) EXPECT_EQ(StrToIntTrimmed(c.text), c.value) << c.text;
    for (const char* bad : {"4 2", "12a", "yes", "99999999999"}) {
        try {
            StrToIntTrimmed(std::string(" ") + bad + " ");
            ADD_FAILURE() << bad;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
        }
    }
}

TEST(IsIntegerTextTest, LeadingSpacesOnly) {
    EXPECT_TRUE(IsIntegerText("  12"));
    EXPECT_TRUE(IsIntegerText("$FF"));
    EXPECT_FALSE(IsIntegerText("12 "));
    EXPECT_FALSE(IsIntegerText(""));
    EXPECT_FALSE(IsIntegerText("1.5"));
}

TEST(RoundHalfUpTest, HalvesAwayFromZero) {
    const std::pair<double, int64_t> cases[] = {
        {2.5, 3},   {-2.5, -3}, {2.49995, 3}, {2.4998, 2}, {3.5, 4}, {0.5, 1}, {-0.4, 0},
        {1.0, 1},   {0.0, 0},   {-7.51, -8},  {1e12 + 0.5, 1000000000001LL}};
    for (const auto& [x, r] : cases) EXPECT_EQ(RoundHalfUp(x), r) << x;
    const double big = 9223372036854774784.0;  // the largest double below 2^63
    EXPECT_EQ(RoundHalfUp(big), 9223372036854774784LL);
    EXPECT_EQ(RoundHalfUp(-big), -9223372036854774784LL);
}

TEST(RoundHalfUpTest, WhatHasNoIntegerIsAnError) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {nan, -nan, inf, -inf, 9223372036854775808.0, -9223372036854775808.0, 1e300})
        EXPECT_THROW(RoundHalfUp(x), EConvertError) << x;
}

TEST(TextHelpersTest, BeforeAndAfter) {
    struct Case {
        const char *text, *sep, *before, *beforeOrEmpty, *after, *afterOrEmpty;
    } cases[] = {
        {"a=b=c", "=", "a", "a", "b=c", "b=c"},
        {"abc", "=", "abc", "", "abc", ""},
        {"", "=", "", "", "", ""},
        {"key::value", "::", "key", "key", "value", "value"},
        {"=x", "=", "", "", "x", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBefore(c.text, c.sep), c.before) << c.text;
        EXPECT_EQ(TextBeforeOrEmpty(c.text, c.sep), c.beforeOrEmpty) << c.text;
        EXPECT_EQ(TextAfter(c.text, c.sep), c.after) << c.text;
        EXPECT_EQ(TextAfterOrEmpty(c.text, c.sep), c.afterOrEmpty) << c.text;
    }
}

TEST(TextHelpersTest, RemoveReplaceEnsure) {
    EXPECT_EQ(RemoveChars("say \"hi\" & \"bye\"", "\""), "say hi & bye");
    EXPECT_EQ(RemoveChars("abc", ""), "abc");
    EXPECT_EQ(ReplaceAllText("aa", "a", "banana"), "baanaanaa") << "inserted text is not rescanned";
    EXPECT_EQ(ReplaceAllText("x", "", "abc"), "abc");
    EXPECT_EQ(ReplaceAllText("", "&&", "A&&B&&"), "AB");
    EXPECT_EQ(EnsureEndsWith("", '/'), "/");
    EXPECT_EQ(EnsureEndsWith("a/", '/'), "a/");
    EXPECT_EQ(EnsureEndsWith("a", '/'), "a/");
    std::string empty, folder = "/data", done = "/data/";
    AddTrailingBackslash(empty);
    AddTrailingBackslash(folder);
    AddTrailingBackslash(done);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(folder, "/data/");
    EXPECT_EQ(done, "/data/");
    EXPECT_EQ(IfThenStr(true, "a", "b"), "a");
    EXPECT_EQ(IfThenInt(false, 1, 2), 2);
}

TEST(SystemHelpersTest, WindowsFolderAndVersion) {
    platform::testing::TempFolder temp;
    EXPECT_EQ(GetWindowsFolder(), temp.WindowsDir());
    setenv("WINDIR", "/", 1);
    EXPECT_EQ(GetWindowsFolder(), "//") << "a root still gets its separator";
    EXPECT_EQ(GetVersionString(PLATFORM_LIB, 6), "libplatform.so");
    EXPECT_EQ(GetVersionString(PLATFORM_LIB, 10), "");
    EXPECT_EQ(GetVersionString(temp.Path() + "none", 2), "");
}

TEST(ListHelpersTest, FreeOwnedObjects) {
    static int destroyed = 0;
    struct Item {
        ~Item() { ++destroyed; }
    };
    auto* list = new std::vector<Item*>{new Item, nullptr, new Item};
    FreeListAndItems(list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(destroyed, 2);
    std::vector<Item*>* none = nullptr;
    FreeListAndItems(none);
    std::vector<std::pair<std::string, Item*>> lines{{"a", new Item}, {"b", nullptr}};
    FreeStringsObjects(lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(destroyed, 3);
}

// The three boxes: caption, icon, buttons, answer, and the cursor rules.
TEST(MessageBoxHelpersTest, BoxesShowLiterallyWithArrowCursor) {
    RecordingServices rec;
    platform::SetScreenCursor(platform::crHourGlass);
    ShowInfoMessage("Tom & Jerry");
    ShowErrorMessage("Broken");
    rec.AnswerNextBox(platform::mrYes);
    EXPECT_TRUE(AskYesNo("Go?"));
    rec.AnswerNextBox(platform::mrNo);
    EXPECT_FALSE(AskYesNo("Go?"));
    EXPECT_TRUE(AskYesNo("Default?")) << "with nothing scripted the default button answers";
    struct Expect {
        const char *caption, *text;
        platform::MsgIcon icon;
        platform::MsgButtons buttons;
    } expected[] = {
        {"Information", "Tom & Jerry", platform::MsgIcon::Information, platform::MsgButtons::OK},
        {"Error", "Broken", platform::MsgIcon::Error, platform::MsgButtons::OK},
        {"Confirm", "Go?", platform::MsgIcon::Question, platform::MsgButtons::YesNo},
    };
    ASSERT_EQ(rec.Boxes().size(), 5u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rec.Boxes()[i].request.caption, expected[i].caption);
        EXPECT_EQ(rec.Boxes()[i].request.text, expected[i].text);
        EXPECT_EQ(rec.Boxes()[i].request.icon, expected[i].icon);
        EXPECT_EQ(rec.Boxes()[i].request.buttons, expected[i].buttons);
    }
    for (const auto& box : rec.Boxes()) EXPECT_EQ(box.cursorWhileShown, platform::crDefault);
    EXPECT_EQ(platform::GetScreenCursor(), platform::crHourGlass);

    rec.FailNextBox();
    EXPECT_THROW(ShowErrorMessage("x"), std::runtime_error);
    EXPECT_EQ(platform::GetScreenCursor(), platform::crHourGlass) << "restored after a failure";
}

TEST(CursorStackTest, PushRemoveAndWarnings) {
    RecordingServices rec;
    {
        TCursorList list(platform::crHourGlass);
        TCursorStack& stack = list.Stack();
        ASSERT_EQ(stack.CursorCount(), 1);
        EXPECT_EQ(stack.Item(0)->Cursor(), platform::crHourGlass);
        stack.PushCursor(platform::crArrow);
        stack.RemoveCursor(0);
        ASSERT_EQ(stack.CursorCount(), 1);
        EXPECT_EQ(stack.Item(0)->Cursor(), platform::crArrow);
        stack.RemoveCursor(5);
        stack.RemoveCursor(-1);
        EXPECT_EQ(stack.CursorCount(), 1);
    }
    ASSERT_EQ(rec.Boxes().size(), 2u) << "destruction removes without warnings";
    EXPECT_EQ(rec.Boxes()[0].request.caption, "Warning");
    EXPECT_EQ(rec.Boxes()[0].request.text, "Cannot remove cursor item from empty list");
}

}  // namespace
