// The channel interface: helpers, run-time classes and the shared virtual base
// of the instrument classes.

#include <gtest/gtest.h>

#include "ServeurScripte.h"
#include "comm/AdresseIp.h"
#include "comm/CAppareilBaseTcpIp.h"

TEST(Channel, RemovingACharacterLeavesTheOthers)
{
    EXPECT_EQ(CGenericCom::SupprimerCaractere('"', L"\"KRX\" \"15\""), CString(L"KRX 15"));
    EXPECT_EQ(CGenericCom::SupprimerCaractere('x', L"xxx"), CString(L""));
    EXPECT_EQ(CGenericCom::SupprimerCaractere('a', L""), CString(L""));
    // Bytes from 128 up are negative as signed characters: they match nothing.
    EXPECT_EQ(CGenericCom::SupprimerCaractere(static_cast<char>(0xE9), L"caf\u00e9"), CString(L"caf\u00e9"));
}

TEST(Channel, RunTimeClassesAndTheSharedVirtualBase)
{
    CTcpIpCom canal;
    auto* appareil = new CAppareilBaseTcpIp;
    EXPECT_TRUE(appareil->IsKindOf(&CGenericCom::classCGenericCom));
    EXPECT_FALSE(canal.IsKindOf(&CAppareil::classCAppareil));

    // Opening through the instrument side runs the TCP channel and changes the
    // one shared state that the channel side sees.
    CServeurScripte serveur(InstrumentSimple());
    Preparer(*appareil, serveur.Port());
    CAppareil& cote = *appareil;
    CGenericCom& base = cote;
    ASSERT_EQ(base.Ouvrir(), 0);
    EXPECT_EQ(static_cast<CTcpIpCom&>(*appareil).GetEtat(), 1);
    EXPECT_EQ(cote.GetEtat(), 1);

    // CopierEtat carries the state to another channel.
    CTcpIpCom autre;
    autre.SetDelais(DelaisTest());
    base.CopierEtat(&autre);
    EXPECT_EQ(autre.GetEtat(), 1);

    // Deleting through the shared base runs the whole destructor: the channel
    // side hands control back.
    delete &base;
    ASSERT_TRUE(serveur.AttendreFinConnexions(1));
    EXPECT_EQ(serveur.Recu(), "*REM\n*CLS\n*STB?\n*LOC\n");
}

TEST(IpAddress, DottedNumbersAreNormalisedAndNamesKept)
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
