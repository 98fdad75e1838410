#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/CChaineMBCS.h"
#include "common/CChaineUTF8.h"
#include "common/CChaineUTFOptimise.h"
#include "common/CChaineUnicode.h"
#include "common/Conversions.h"

namespace {

std::string Octets(const CBaseChaineAtypique& s)
{
    return std::string(s.GetChaine(), static_cast<size_t>(s.GetLongueur() * s.GetTailleUnite()));
}

// Is the encoded form held in the object itself (inline buffer)?
bool Interne(const CBaseChaineAtypique& s)
{
    const char* p = s.GetChaine();
    const char* debut = reinterpret_cast<const char*>(&s);
    return p >= debut && p < debut + sizeof(s);
}

std::vector<std::unique_ptr<CBaseChaineAtypique>> ToutesLesClasses()
{
    std::vector<std::unique_ptr<CBaseChaineAtypique>> v;
    v.push_back(std::make_unique<CChaineUTF8>());
    v.push_back(std::make_unique<CChaineMBCS>());
    v.push_back(std::make_unique<CChaineUnicode>());
    v.push_back(std::make_unique<CChaineUTFOptimise>());
    v.push_back(std::make_unique<CChaineUTFOptimiseRapide>());
    return v;
}

std::unique_ptr<CBaseChaineAtypique> NouvelleDeMemeClasse(const CBaseChaineAtypique& s)
{
    if (dynamic_cast<const CChaineUTFOptimiseRapide*>(&s)) return std::make_unique<CChaineUTFOptimiseRapide>();
    if (dynamic_cast<const CChaineUTFOptimise*>(&s)) return std::make_unique<CChaineUTFOptimise>();
    if (dynamic_cast<const CChaineUnicode*>(&s)) return std::make_unique<CChaineUnicode>();
    if (dynamic_cast<const CChaineMBCS*>(&s)) return std::make_unique<CChaineMBCS>();
    return std::make_unique<CChaineUTF8>();
}

// Random texts of one kind: 0 ASCII, 1 Latin-1 (rich in C3 and lead-byte
// values), 2 BMP, 3 astral, 4 mixed, 5 UTF-8 bytes taken as Latin-1 (the
// texts a compact form could mistake for UTF-8), sometimes cut short.
std::wstring TexteAleatoire(std::mt19937& gen, int sorte)
{
    if (sorte == 5) {
        std::string utf8 = WideToUtf8(TexteAleatoire(gen, 4).substr(0, 6));
        if (!utf8.empty() && gen() % 2) utf8.pop_back();
        return AnsiToWide(utf8);
    }
    std::uniform_int_distribution<int> longueur(0, 70);
    const int n = longueur(gen);
    std::wstring t;
    for (int i = 0; i < n; ++i) {
        int k = sorte == 4 ? static_cast<int>(gen() % 4) : sorte;
        char32_t c;
        switch (k) {
        case 0: c = 1 + gen() % 0x7F; break;
        case 1: {
            static const char32_t frequents[] = {0xC3, 0xA9, 0xE9, 0xC2, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x80, 'a'};
            c = (gen() % 2) ? frequents[gen() % 11] : 1 + gen() % 0xFF;
            break;
        }
        case 2:
            do c = 0x80 + gen() % (0x10000 - 0x80); while (c >= 0xD800 && c <= 0xDFFF);
            break;
        default: c = 0x10000 + gen() % (0x110000 - 0x10000); break;
        }
        t.push_back(static_cast<wchar_t>(c));
    }
    return t;
}

} // namespace

TEST(EncodedStrings, ReferenceTextsGiveTheirKnownBytes)
{
    CChaineUTF8 neuve;
    EXPECT_STREQ(neuve.GetChaine(), "");
    EXPECT_EQ(neuve.GetLongueur(), 0);
    EXPECT_EQ(neuve.GetTailleOctets(), 1);

    CChaineUTF8 u8;
    u8.Affecter(L"\u00e9");
    EXPECT_EQ(Octets(u8), "\xC3\xA9");
    EXPECT_EQ(u8.GetLongueur(), 2);
    EXPECT_EQ(u8.GetTailleOctets(), 3);
    CChaineUnicode u16;
    u16.Affecter(L"\u00e9");
    EXPECT_EQ(u16.GetLongueur(), 1);
    EXPECT_EQ(u16.GetTailleOctets(), 4);
    EXPECT_EQ(std::string(u16.GetChaine(), 4), std::string("\xE9\0\0\0", 4));
    u16.Affecter(L"\U0001F600");
    EXPECT_EQ(u16.GetLongueur(), 2);
    EXPECT_EQ(std::string(u16.GetChaine(), 6), std::string("\x3D\xD8\x00\xDE\0\0", 6));

    u8.SetChaine("\x66\xC3");
    EXPECT_EQ(u8, CString(L"f"));
    // Bytes given to Affecter are ANSI, even for the UTF-8 class.
    u8.Affecter("\xC3\xA9");
    EXPECT_EQ(u8, CString(L"\u00c3\u00a9"));
    u8.SetChaine("\xC3\xA9");
    EXPECT_EQ(u8, CString(L"\u00e9"));

    CChaineUTFOptimise opt;
    opt.Affecter(L"caf\u00e9");
    EXPECT_EQ(Octets(opt), "\x63\x61\x66\xE9");
    opt.Affecter(L"5 \u20ac");
    EXPECT_EQ(Octets(opt), "\xC3" "5 \xE2\x82\xAC");
    opt.SetChaine("\xE9\x61");
    EXPECT_EQ(opt, CString(L"\u00e9a"));
    opt.SetChaine("\xC3\xA9");
    EXPECT_EQ(opt, CString(L"\u00e9"));
    opt.SetChaine("\xC3\x78");
    EXPECT_EQ(opt, CString(L"x"));
    // The one-byte form of café is read back whole.
    opt.SetChaine("\x63\x61\x66\xE9");
    EXPECT_EQ(opt, CString(L"caf\u00e9"));
    opt.SetChaine(nullptr);
    EXPECT_EQ(opt, CString(L""));

    CChaineMBCS mbcs;
    mbcs.Affecter(L"\u00e9\u20ac");
    EXPECT_EQ(Octets(mbcs), "\xE9?");

    EXPECT_STREQ(CChaineUTF8().GetBOM(), "\xEF\xBB\xBF");
    EXPECT_STREQ(CChaineUnicode().GetBOM(), "\xFF\xFE");
    EXPECT_STREQ(CChaineMBCS().GetBOM(), "");
    EXPECT_STREQ(CChaineUTFOptimiseRapide().GetBOM(), "");

    for (auto& s : ToutesLesClasses()) {
        s->Affecter(L"d\u00e9j\u00e0 \u20ac");
        EXPECT_EQ(s->GetAscii('?'), CString(L"d?j? ?"));
        EXPECT_EQ(s->GetTailleOctets(), (s->GetLongueur() + 1) * s->GetTailleUnite());
    }
}

TEST(EncodedStrings, EveryTextRoundTrips)
{
    std::mt19937 gen(20261206);
    for (int essai = 0; essai < 600; ++essai) {
        const int sorte = essai % 6;
        const std::wstring texte = TexteAleatoire(gen, sorte);
        for (auto& s : ToutesLesClasses()) {
            s->Affecter(texte.c_str());
            auto relue = NouvelleDeMemeClasse(*s);
            relue->SetChaine(s->GetChaine(), s->GetLongueur());
            const bool ansi = dynamic_cast<CChaineMBCS*>(s.get()) != nullptr;
            const std::wstring attendu = ansi ? AnsiToWide(WideToAnsi(texte)) : texte;
            ASSERT_EQ(static_cast<std::wstring&>(*relue), attendu) << typeid(*s).name() << " sorte " << sorte;
            // The zero-terminated form of SetChaine gives the same text.
            relue->SetChaine(s->GetChaine());
            ASSERT_EQ(static_cast<std::wstring&>(*relue), attendu);
        }
        CChaineUTF8 u8;
        u8.Affecter(texte.c_str());
        ASSERT_EQ(Octets(u8), WideToUtf8(texte));
        CChaineUnicode u16;
        u16.Affecter(texte.c_str());
        ASSERT_EQ(Octets(u16), WideToUtf16LE(texte));
    }
}

TEST(EncodedStrings, CompactFormIsTheShortestThatRoundTrips)
{
    // Every text of one or two characters below 256: each comes back, and the
    // one-byte form is kept whenever it reads back the same.
    CChaineUTFOptimise s, relue;
    int formesCourtes = 0;
    for (int a = 1; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            std::wstring texte(1, static_cast<wchar_t>(a));
            if (b) texte.push_back(static_cast<wchar_t>(b));
            s.Affecter(texte.c_str());
            relue.SetChaine(s.GetChaine());
            ASSERT_EQ(static_cast<std::wstring&>(relue), texte) << a << ' ' << b;
            if (static_cast<size_t>(s.GetLongueur()) == texte.size()) ++formesCourtes;
            else ASSERT_EQ(static_cast<unsigned char>(s.GetChaine()[0]), 0xC3);
        }
    }
    EXPECT_GT(formesCourtes, 255 * 200);
    // Latin-1 texts that look like UTF-8, or start with the marker byte.
    for (const wchar_t* texte : {L"\u00c3\u00a9", L"\u00c3", L"\u00c3x", L"a\u00e2\u0082\u00ac", L"\u00e9\u00e9"}) {
        s.Affecter(texte);
        relue.SetChaine(s.GetChaine());
        EXPECT_EQ(relue, CString(texte));
    }
}

TEST(EncodedStrings, ShortFormsStayInlineThenGrowWithAMargin)
{
    for (auto& s : ToutesLesClasses()) {
        const bool unicode = s->GetTailleUnite() == 2;
        // 19 bytes of form (9 UTF-16 units) stay inline, with the text copy.
        s->Affecter(unicode ? L"123456789" : L"1234567890123456789");
        EXPECT_TRUE(Interne(*s)) << typeid(*s).name();
        s->Affecter(std::wstring(40, L'a').c_str());
        EXPECT_FALSE(Interne(*s));
        const int unite = s->GetTailleUnite();
        const int octets = (s->GetLongueur() + 1) * unite;
        const char* bloc = s->GetChaine();
        // A growth within the 32 bytes of slack keeps the block.
        s->Affecter(std::wstring(static_cast<size_t>((octets + 32) / unite - 1), L'b').c_str());
        EXPECT_EQ(s->GetChaine(), bloc);
        EXPECT_EQ(s->GetLongueur(), (octets + 32) / unite - 1);
        s->Affecter(std::wstring(500, L'c').c_str());
        EXPECT_EQ(s->GetLongueur(), 500);
        s->Affecter(L"court");
        EXPECT_EQ(s->GetLongueur(), 5);
    }
}

TEST(EncodedStrings, TextChangedThroughTheBaseIsEncodedAgain)
{
    for (auto& s : ToutesLesClasses()) {
        s->Affecter(L"abc");
        const std::string avant = Octets(*s);
        std::wstring& base = *s;
        base[1] = L'X';  // same length, changed in place
        EXPECT_EQ(Octets(*s).size(), avant.size());
        EXPECT_NE(Octets(*s), avant);
        CString& texte = *s;
        texte += L"defghijklmnopqrstuvwxyz";
        texte.MakeUpper();
        auto relue = NouvelleDeMemeClasse(*s);
        relue->SetChaine(s->GetChaine(), s->GetLongueur());
        EXPECT_EQ(*relue, CString(L"AXCDEFGHIJKLMNOPQRSTUVWXYZ"));
        *s = L"";
        EXPECT_EQ(s->GetLongueur(), 0);
    }
    // Setting the same text again through SetChaine still gives its form.
    CChaineUTF8 u8;
    u8.Affecter(L"\u00e9t\u00e9");
    const std::string forme = Octets(u8);
    u8.SetChaine(forme.c_str());
    EXPECT_EQ(Octets(u8), forme);
    // Reserver drops the buffer's content: the next GetChaine encodes again.
    u8.Reserver(100);
    EXPECT_EQ(Octets(u8), forme);
    u8.Reserver(5);
    EXPECT_EQ(Octets(u8), forme);
}

TEST(EncodedStrings, CopiesShareNoBuffer)
{
    CChaineUTF8 a;
    a.Affecter(std::wstring(50, L'\u00e9').c_str());
    a.GetChaine();
    CChaineUTF8 b(a);
    CChaineMBCS c;
    c = a;
    CChaineUTF8 d;
    d = a;
    a.Affecter(L"autre");
    EXPECT_EQ(b.GetLongueur(), 100);
    EXPECT_EQ(d.GetLongueur(), 100);
    EXPECT_EQ(c.GetLongueur(), 50);
    EXPECT_NE(b.GetChaine(), a.GetChaine());
    d.Affecter(static_cast<const CString&>(a));
    EXPECT_EQ(d, CString(L"autre"));
}

TEST(EncodedStrings, CopyToNeverCutsACharacterInHalf)
{
    CChaineUTF8 u8;
    u8.SetChaine("\x41\xC3\xA9");
    char tampon[16];
    EXPECT_EQ(u8.CopierVers(tampon, 3, 1), 0);
    EXPECT_STREQ(tampon, "\x41");
    EXPECT_EQ(u8.CopierVers(tampon, 3, 0), 80);
    EXPECT_STREQ(tampon, "\x41\xC3");
    EXPECT_EQ(u8.CopierVers(tampon, 4, 0), 0);
    EXPECT_STREQ(tampon, "\x41\xC3\xA9");

    // "a é € 😀": cut at every size, the copy is always a whole-character prefix.
    u8.Affecter(L"a\u00e9\u20ac\U0001F600");
    const std::string forme = Octets(u8);
    for (int taille = 1; taille <= static_cast<int>(forme.size()) + 2; ++taille) {
        std::memset(tampon, 0x55, sizeof tampon);
        const int statut = u8.CopierVers(tampon, taille, 1);
        EXPECT_EQ(statut, 0);
        const size_t n = std::strlen(tampon);
        EXPECT_LT(n, static_cast<size_t>(taille));
        EXPECT_EQ(forme.compare(0, n, tampon), 0);
        EXPECT_EQ(WideToUtf8(Utf8ToWide(std::string(tampon))), std::string(tampon)) << taille;
        const int statut0 = u8.CopierVers(tampon, taille, 0);
        EXPECT_EQ(statut0, taille > static_cast<int>(forme.size()) ? 0 : 80) << taille;
        EXPECT_EQ(std::strlen(tampon), std::min(forme.size(), static_cast<size_t>(taille - 1)));
    }
    EXPECT_EQ(u8.CopierVers(nullptr, 4, 1), CBaseChaineAtypique::COPIE_INVALIDE);
    EXPECT_EQ(u8.CopierVers(tampon, 0, 1), CBaseChaineAtypique::COPIE_INVALIDE);

    // UTF-16: sizes in units, a surrogate pair is never split in mode 1.
    CChaineUnicode u16;
    u16.Affecter(L"a\U0001F600");
    EXPECT_EQ(u16.CopierVers(tampon, 3, 1), 0);
    EXPECT_EQ(std::string(tampon, 4), std::string("a\0\0\0", 4));
    EXPECT_EQ(u16.CopierVers(tampon, 3, 0), 80);
    EXPECT_EQ(u16.CopierVers(tampon, 4, 0), 0);
    EXPECT_EQ(std::string(tampon, 8), std::string("a\0\x3D\xD8\x00\xDE\0\0", 8));
}

TEST(EncodedStrings, RepairedEndDropsAnIncompleteLastCharacter)
{
    const struct { const char* octets; size_t attendu; } fins[] = {
        {"", 0}, {"A", 1}, {"\x41\xC3", 1}, {"\x41\xE2\x82", 1}, {"\x41\xC3\xA9", 3},
        {"\xF0\x9F\x98", 0}, {"\xF0\x9F\x98\x80", 4}, {"\x80\x80", 2}, {"\x41\xA9", 2},
        {"\x41\xF8\x80", 3}, {"\x41\xC3\xA9\xA9", 1},
    };
    for (const auto& f : fins) EXPECT_EQ(CChaineUTF8::ReparerFin(f.octets, std::strlen(f.octets)), f.attendu) << f.octets;
}
