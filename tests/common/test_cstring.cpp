#include <gtest/gtest.h>

#include "common/CString.h"

TEST(TextType, FrameworkStyleOperations)
{
    CString s(L"  Hello World  ");
    s.Trim();
    EXPECT_EQ(s, L"Hello World");
    EXPECT_EQ(s.Left(5), L"Hello");
    EXPECT_EQ(s.Mid(6), L"World");
    EXPECT_EQ(s.Mid(20), L"");
    EXPECT_EQ(s.Find(L'o'), 4);
    EXPECT_EQ(s.ReverseFind(L'o'), 7);
    EXPECT_EQ(s.Find(L"xyz"), -1);
    EXPECT_EQ(s.CompareNoCase(L"hello world"), 0);
    CString f;
    f.Format(L"%d-%ls", 42, L"x");
    EXPECT_EQ(f, L"42-x");
    CString n(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(n.IsEmpty());
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
