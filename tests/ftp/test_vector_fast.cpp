#include <gtest/gtest.h>

#include <vector>

#include "ftp/InfosFichierFtp.h"

TEST(FastVector, GrowsByBlocksThenByHalfAndKeepsRecordsWhole)
{
    CListeFichiersFtp liste;
    EXPECT_EQ(liste.m_pElements, nullptr);
    EXPECT_EQ(liste.m_nCapacite, 0);

    // Short names live in the string's own buffer, long ones on the heap: both
    // must survive the block moving.
    const auto Nom = [](int i) {
        CString nom;
        nom.Format(i % 2 ? L"f%d.sor" : L"a-rather-long-trace-file-name-%04d-with-padding.sor", i);
        return nom;
    };
    std::vector<int> capacites;
    for (int i = 0; i < 250; ++i) {
        liste.Add(tInfosFichierFtp(Nom(i), L"01/02/2024 03:04:05", L"n", static_cast<uint64_t>(i)));
        if (capacites.empty() || capacites.back() != liste.m_nCapacite)
            capacites.push_back(liste.m_nCapacite);
    }
    EXPECT_EQ(capacites, (std::vector<int>{16, 32, 48, 72, 108, 162, 243, 364}));
    ASSERT_EQ(liste.m_nNombre, 250);
    for (int i = 0; i < 250; ++i) {
        EXPECT_EQ(liste.m_pElements[i].m_strNom, Nom(i));
        EXPECT_EQ(liste.m_pElements[i].m_nTaille, static_cast<uint64_t>(i));
    }

    liste.RemoveAll();
    EXPECT_EQ(liste.m_pElements, nullptr);
    EXPECT_EQ(liste.m_nCapacite, 0);
    EXPECT_EQ(liste.m_nNombre, 0);

    liste.Reserve(5);
    EXPECT_EQ(liste.m_nCapacite, 16);
    liste.Reserve(40);
    EXPECT_EQ(liste.m_nCapacite, 40);
    liste.Reserve(10);
    EXPECT_EQ(liste.m_nCapacite, 40);
    liste.Add(tInfosFichierFtp(L"x", L"", L"d", 0));
    EXPECT_EQ(liste.m_nNombre, 1);

    // Adding one of its own elements while the block grows.
    liste.RemoveAll();
    liste.Add(tInfosFichierFtp(L"a name long enough to live on the heap.sor", L"", L"n", 7));
    for (int i = 1; i < 40; ++i)
        liste.Add(liste.m_pElements[0]);
    ASSERT_EQ(liste.m_nNombre, 40);
    EXPECT_EQ(liste.m_pElements[39].m_strNom, L"a name long enough to live on the heap.sor");
    EXPECT_EQ(liste.m_pElements[39].m_nTaille, 7u);

    // Plain data (copied as bytes) grows the same way.
    CVectorFast<int, 16> v;
    for (int i = 0; i < 33; ++i)
        v.Add(i);
    EXPECT_EQ(v.m_nCapacite, 48);
    EXPECT_EQ(v[32], 32);
}
