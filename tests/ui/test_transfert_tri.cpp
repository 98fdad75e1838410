// Sort of the transfer dialog's file tables, size and date texts, name rules.

#include <gtest/gtest.h>

#include <random>

#include "TriInsertion.h"
#include "ui/CDlgFileTransfert.h"
#include "ui/TextesTransfert.h"
#include "ui/TriListe.h"

namespace {

tLigneListe Ligne(const wchar_t* nom, uint64_t nTaille = 0, const wchar_t* date = L"")
{
    tLigneListe l;
    l.m_astrTextes[0] = nom;
    l.m_nTaille = nTaille;
    l.m_astrTextes[1] = TextesTransfert::TexteTaille(nTaille);
    l.m_astrTextes[2] = date;
    return l;
}

} // namespace

TEST(ListSort, KeysOfEachColumn)
{
    // Sizes by their bytes: 2.0 M after 900.0 k, and two sizes shown alike
    // ("2.0 M") still in their real order.
    std::vector<tLigneListe> lignes{Ligne(L"a", 2097151), Ligne(L"b", 921600), Ligne(L"c", 12),
                                    Ligne(L"d", 2097152 + 1000)};
    TriListe::TrierLignes(lignes, TriListe::COLONNE_TAILLE, true);
    std::vector<CString> noms;
    for (const auto& l : lignes) noms.push_back(l.m_astrTextes[0]);
    EXPECT_EQ(noms, (std::vector<CString>{L"c", L"b", L"a", L"d"}));
    EXPECT_EQ(lignes[2].m_astrTextes[1], lignes[3].m_astrTextes[1]);

    EXPECT_EQ(TriListe::CleDate(L"04/12/2026 10:15:30"), CString(L"20260412" L"10:15:30"));
    EXPECT_EQ(TriListe::CleDate(L"04/12/"), CString(L"0412"));
    EXPECT_EQ(TriListe::CleDate(L"04/12/20"), CString(L"200412"));

    // Code unit order: upper case first; a character beyond U+FFFF sorts as
    // its UTF-16 surrogates do, below U+E000.
    EXPECT_LT(TriListe::ComparerTextes(L"B", L"a"), 0);
    EXPECT_LT(TriListe::ComparerTextes(L"ab", L"abc"), 0);
    EXPECT_LT(TriListe::ComparerTextes(L"\U0001F600", L"\uE000"), 0);
    EXPECT_GT(TriListe::ComparerTextes(L"\U0001F600", L"\uD7FF"), 0);
}

TEST(ListSort, SameOrderAsTheInsertionPassOnRandomRows)
{
    std::mt19937 alea(7);
    const uint64_t tailles[] = {12, 2046, 2048, 921600, 3670016, 1073741824, 0, 12};
    for (int essai = 0; essai < 30; ++essai) {
        std::vector<tLigneListe> lignes;
        const int n = 1 + static_cast<int>(alea() % 60);
        for (int i = 0; i < n; ++i) {
            CString nom, date;
            nom.Format(L"%lc%d", L"aBcD"[alea() % 4], static_cast<int>(alea() % 50));
            date.Format(L"%02d/%02d/%04d %02d:00:00", 1 + static_cast<int>(alea() % 3), 1 + static_cast<int>(alea() % 2),
                        2024 + static_cast<int>(alea() % 2), static_cast<int>(alea() % 3));
            lignes.push_back(Ligne(nom.c_str(), tailles[alea() % 8], date.c_str()));
        }
        for (int col = 0; col < 3; ++col) {
            for (bool asc : {true, false}) {
                auto rapide = lignes, lent = lignes;
                TriListe::TrierLignes(rapide, col, asc);
                TrierParInsertion(lent, col, asc);
                ASSERT_EQ(rapide.size(), lent.size());
                for (size_t i = 0; i < rapide.size(); ++i)
                    for (int k = 0; k < 3; ++k)
                        ASSERT_EQ(rapide[i].m_astrTextes[k], lent[i].m_astrTextes[k])
                            << "trial " << essai << " column " << col << " asc " << asc << " row " << i;
            }
        }
    }
}

TEST(TransferTexts, SizeThresholdsAndFixedDate)
{
    using TextesTransfert::TexteTaille;
    EXPECT_EQ(TexteTaille(0), CString(L"0"));
    EXPECT_EQ(TexteTaille(2046), CString(L"2046"));
    EXPECT_EQ(TexteTaille(2047), CString(L"2.0 k"));
    EXPECT_EQ(TexteTaille(2097150), CString(L"2048.0 k"));
    EXPECT_EQ(TexteTaille(2097151), CString(L"2.0 M"));
    EXPECT_EQ(TexteTaille(2147483646), CString(L"2048.0 M"));
    EXPECT_EQ(TexteTaille(2147483647), CString(L"2.0 G"));
    EXPECT_EQ(TexteTaille(5ull << 40), CString(L"5120.0 G"));

    // 2026-04-12 10:15:30 UTC
    EXPECT_EQ(TextesTransfert::TexteDate(1775988930), CString(L"04/12/2026 10:15:30"));
    EXPECT_EQ(TextesTransfert::TexteDate(0), CString(L"01/01/1970 00:00:00"));
    EXPECT_EQ(TriListe::CleDate(TextesTransfert::TexteDate(1775988930)), CString(L"2026041210:15:30"));
}

TEST(TransferTexts, DirectoryNamesAndSafeComponents)
{
    struct { const wchar_t* nom; bool valide; } cas[] = {
        {L"a", true}, {L"traces 2026", true}, {L"a ", true}, {L"...a", true}, {L"\u00e9t\u00e9", true},
        {L"", false}, {L" ", false}, {L".", false}, {L"..", false}, {L" .. ", false},
        {L"a*", false}, {L"x:y", false}, {L"a\\b", false}, {L"a/b", false}, {L"a?", false},
        {L"<a", false}, {L"a>", false}, {L"\"a", false}, {L"a|b", false}, {L"a\nb", false},
    };
    for (const auto& c : cas)
        EXPECT_EQ(CDlgFileTransfert::NomRepValide(c.nom), c.valide ? 1 : 0) << CString(c.nom).size();
}
