#include <gtest/gtest.h>

#include "common/CString.h"
#include "common/Conversions.h"

TEST(Conversions, Utf8RoundTripsEveryPlane)
{
    const std::wstring texte = L"a\u00e9\u20ac\U0001F600z";
    const std::string utf8 = WideToUtf8(texte);
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToWide(utf8), texte);
    std::string un;
    for (char32_t c : {U'a', U'\u00e9', U'\u20ac', U'\U0001F600', U'z'}) AjouterUtf8(un, c);
    EXPECT_EQ(un, utf8);
    un.clear();
    AjouterUtf8(un, 0xD800);   // a lone surrogate has no UTF-8 form
    EXPECT_EQ(un, "\xEF\xBF\xBD");
}

TEST(Conversions, OneDecoderReadsWellFormedUtf8AndReplacesEachMalformedSequenceOnce)
{
    // The bytes, the length of the character read at their start (0: none),
    // and the wide text with one U+FFFD per malformed sequence.
    const struct {
        std::string octets;
        size_t nLongueur;
        std::wstring texte;
    } cas[] = {
        {"a\xC3(b", 1, L"a\uFFFD(b"},                       // cut sequence
        {"\xC3\xA9", 2, L"\u00e9"},
        {"\xE2\x80\xAE", 3, L"\u202e"},
        {"\xF4\x8F\xBF\xBF", 4, L"\U0010FFFF"},
        {"\xFF", 0, L"\uFFFD"},                             // no lead
        {"\x80\x80", 0, L"\uFFFD\uFFFD"},                   // lone continuations
        {"\xE2\x82", 0, L"\uFFFD"},                         // truncated end
        {"\xC0\xAF", 0, L"\uFFFD"},                         // overlong '/', never '/'
        {"\xE0\x80\xAF", 0, L"\uFFFD"},                     // overlong on three bytes
        {"\xED\xA0\x80", 0, L"\uFFFD"},                     // encoded surrogate
        {"\xF4\x90\x80\x80", 0, L"\uFFFD"},                 // past U+10FFFF
        {"\xF5\x80z", 0, L"\uFFFDz"},
    };
    for (const auto& c : cas) {
        char32_t lu = 0;
        EXPECT_EQ(LireCaractereUtf8(c.octets, 0, lu), c.nLongueur) << c.octets;
        EXPECT_EQ(Utf8ToWide(c.octets), c.texte) << c.octets;
        EXPECT_EQ(EstUtf8BienForme(c.octets), c.texte.find(L'\uFFFD') == std::wstring::npos) << c.octets;
    }
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
