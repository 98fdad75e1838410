#include <gtest/gtest.h>

#include "common/CString.h"

// Narrow arguments are ANSI text; a byte the C library's locale cannot decode
// must not empty (or stall) the whole format.
TEST(TextType, NarrowArgumentsAreAnsiText)
{
    CString s;
    s.Format(L"[%hs]", "caf\xE9");
    EXPECT_EQ(s, CString(L"[caf\u00e9]"));
    s.Format(L"%d %s|%-6hs|%ls %5.2f %c%c %lu%% %*d %.*s %p", -4, "\xC3\xA9", "\xE9t\xE9", L"\u20ac", 3.14159, 'x',
             '\xE9', 7ul, 4, 42, 2, "abc", static_cast<void*>(nullptr));
    EXPECT_EQ(s, CString(L"-4 \u00c3\u00a9|\u00e9t\u00e9   |\u20ac  3.14 x\u00e9 7%   42 ab (nil)"));
    s.Format(L"%hs %lld %zu %S", static_cast<const char*>(nullptr), -5ll, static_cast<size_t>(9), L"\u00e9");
    EXPECT_EQ(s, CString(L"(null) -5 9 \u00e9"));
    // Plain formats keep going through the C library unchanged.
    s.Format(L"%03d-%ls-%hs", 7, L"\u00e9", "ok");
    EXPECT_EQ(s, CString(L"007-\u00e9-ok"));
}

TEST(TextType, TrimRightRemovesOnlyTheGivenCharacters)
{
    CString s(L"dir/sub//");
    s.TrimRight(L"/\\");
    EXPECT_EQ(s, CString(L"dir/sub"));
    std::wstring avecNul(L"ab");
    avecNul.push_back(L'\0');
    CString t(avecNul);
    t.TrimRight(L"b");
    EXPECT_EQ(t.GetLength(), 3);  // the NUL is not one of the characters given
    t.TrimRight(nullptr);
    EXPECT_EQ(t.GetLength(), 3);
}
