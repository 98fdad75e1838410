// The channel interface: messages, helpers, run-time classes and the shared
// virtual base of the instrument classes.

#include <gtest/gtest.h>

#include "ServeurScripte.h"
#include "comm/AdresseIp.h"
#include "comm/CAppareilBaseTcpIp.h"
#include "comm/FamillesAppareil.h"

TEST(CGenericCom, MessagesErreur)
{
    CTcpIpCom canal;
    const struct {
        short code;
        const wchar_t* message;
    } cas[] = {
        {0, L""},
        {-1, L"Timeout error"},
        {-2, L"Communication support failure"},
        {-3, L"Communication failure"},
        {-4, L""},
        {-5, L"Modem busy"},
        {-6, L"Modem failure"},
        {-7, L""},
        {1, L""},
    };
    for (const auto& c : cas) EXPECT_EQ(canal.GetMessageErreur(c.code), CString(c.message)) << c.code;
}

TEST(CGenericCom, SupprimerCaractere)
{
    EXPECT_EQ(CGenericCom::SupprimerCaractere('"', L"\"KRX\" \"15\""), CString(L"KRX 15"));
    EXPECT_EQ(CGenericCom::SupprimerCaractere('x', L"xxx"), CString(L""));
    EXPECT_EQ(CGenericCom::SupprimerCaractere('a', L""), CString(L""));
    // Bytes from 128 up are negative as signed characters: they match nothing.
    EXPECT_EQ(CGenericCom::SupprimerCaractere(static_cast<char>(0xE9), L"caf\u00e9"), CString(L"caf\u00e9"));
}

TEST(CGenericCom, ClassesEtBaseVirtuellePartagee)
{
    CTcpIpCom canal;
    EXPECT_STREQ(canal.GetRuntimeClass()->m_lpszClassName, "CGenericCom");
    EXPECT_EQ(canal.GetEtat(), 0);

    auto* appareil = new CAppareilBaseTcpIp;
    EXPECT_STREQ(appareil->GetRuntimeClass()->m_lpszClassName, "CAppareil");
    EXPECT_TRUE(appareil->IsKindOf(&CGenericCom::classCGenericCom));
    EXPECT_FALSE(canal.IsKindOf(&CAppareil::classCAppareil));
    EXPECT_EQ(appareil->GetCapacites(), 0x80000010u);
    EXPECT_NE(appareil->GetCapaciteBit4(), 0u);
    EXPECT_NE(appareil->GetCapaciteBit31(), 0u);
    EXPECT_EQ(appareil->GetCapaciteBit0() | appareil->GetCapaciteBit5() | appareil->GetCapaciteBit16(), 0u);
    EXPECT_FALSE(appareil->GetCapaciteBit16Ou17());
    EXPECT_TRUE(appareil->GetModele().IsEmpty());

    // Opening through the instrument side runs the TCP channel and changes the
    // one shared state that the channel side sees.
    CServeurScripte serveur(InstrumentSimple());
    tDelaisCom delais;
    delais.nAttenteReponseMs = 2000;
    delais.nPauseMs = 10;
    appareil->SetDelais(delais);
    appareil->SetAdresse(L"127.0.0.1");
    appareil->SetPort(static_cast<unsigned>(serveur.Port()));
    CAppareil& cote = *appareil;
    CGenericCom& base = cote;
    ASSERT_EQ(base.Ouvrir(), 0);
    EXPECT_EQ(static_cast<CTcpIpCom&>(*appareil).GetEtat(), 1);
    EXPECT_EQ(cote.GetEtat(), 1);

    // CopierEtat carries the state to another channel.
    CTcpIpCom autre;
    autre.SetDelais(delais);
    base.CopierEtat(&autre);
    EXPECT_EQ(autre.GetEtat(), 1);

    // Deleting through the shared base runs the whole destructor: the channel
    // side hands control back.
    delete &base;
    ASSERT_TRUE(serveur.AttendreFinConnexions(1));
    EXPECT_EQ(serveur.Lignes().back(), "*LOC");
}

TEST(Familles, Identifiants)
{
    const char* attendus[] = {"BOREAL", "KRX",     "Q-LANCE", "KRX 13a", "KRX 13b", "NETSCAN",
                              "NETREFL", "FPX",    "FPXe",    "LVT 3",   "KRX 15",  "KRX 14"};
    for (int i = 0; i < NOMBRE_FAMILLES_APPAREIL; ++i)
        EXPECT_EQ(g_strFamillesAppareil[i], CString(attendus[i])) << i;
    EXPECT_EQ(g_strEventAppareil, CString(L"EventAppareil"));
    // Family tests are substring tests: "FPXe 2" is an FPX, "KRX 15" a KRX.
    EXPECT_NE(CString(L"FPXe 2").Find(g_strFamillesAppareil[FAMILLE_FPX]), -1);
    EXPECT_NE(CString(L"KRX 15").Find(g_strFamillesAppareil[FAMILLE_KRX]), -1);
}

TEST(NormaliserAdresseIp, Formes)
{
    const struct {
        const wchar_t* entree;
        const wchar_t* attendu;
    } cas[] = {
        {L"192.168.001.010", L"192.168.1.10"},
        {L"192.168.1", L"192.168.1.0"},
        {L"010.000.000.001", L"10.0.0.1"},
        {L" 10 . 1 .2. 3", L"10.1.2.3"},
        {L"instrument-7", L"instrument-7"},
        {L"7lab-box", L"7lab-box"},
        {L"::1", L"::1"},
        {L"fe80::1%eth0", L"fe80::1%eth0"},
        {L"0.0.0.0", L"0.0.0.0"},
        {L"", L""},
        {L"99999999999.1.1.1", L"2147483647.1.1.1"},
    };
    for (const auto& c : cas) EXPECT_EQ(NormaliserAdresseIp(c.entree), CString(c.attendu)) << CString(c.entree).c_str();

    CTcpIpCom canal;
    canal.SetAdresse(L"127.000.000.001");
    EXPECT_EQ(canal.GetAdresse(), CString(L"127.0.0.1"));
}
