#include <gtest/gtest.h>

#include "common/CString.h"
#include "common/Conversions.h"

TEST(Conversions, Utf8RoundTripsEveryPlane)
{
    const std::wstring texte = L"a\u00e9\u20ac\U0001F600z";
    const std::string utf8 = WideToUtf8(texte);
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToWide(utf8), texte);
}

TEST(Conversions, MalformedUtf8BecomesReplacementCharacters)
{
    // Cut sequence, invalid byte, truncated end, overlong '/' (never decoded to
    // the character itself), encoded surrogate.
    const std::pair<const char*, const wchar_t*> cas[] = {
        {"a\xC3(b", L"a\uFFFD(b"}, {"\xFF", L"\uFFFD"}, {"\xE2\x82", L"\uFFFD"},
        {"\xC0\xAF", L"\uFFFD"}, {"\xED\xA0\x80", L"\uFFFD"},
    };
    for (const auto& [octets, attendu] : cas) EXPECT_EQ(Utf8ToWide(std::string(octets)), attendu) << octets;
}

TEST(Conversions, AnsiIsLatin1AndEveryByteRoundTrips)
{
    std::string octets;
    for (int b = 1; b < 256; ++b) octets.push_back(static_cast<char>(b));
    EXPECT_EQ(WideToAnsi(AnsiToWide(octets)), octets);
    EXPECT_EQ(WideToAnsi(L"caf\u00e9 \u20ac"), std::string("caf\xE9 ?"));
}

TEST(Conversions, Utf16LittleEndianWithSurrogatePairs)
{
    const std::wstring texte = L"\u00e9\U0001F600";
    const std::string octets = WideToUtf16LE(texte);
    EXPECT_EQ(octets, std::string("\xE9\x00\x3D\xD8\x00\xDE", 6));
    EXPECT_EQ(Utf16LEToWide(octets), texte);
}
