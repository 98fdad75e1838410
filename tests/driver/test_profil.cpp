#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>
#include <vector>

#include "profile/CProfilIni.h"
#include "profile/CProfilMemoire.h"
#include "profile/ClesProfil.h"
#include "support/RepertoireTemp.h"

namespace fs = std::filesystem;
using namespace ClesProfil;

namespace {

// Both stores must behave the same for everything the driver reads and writes.
void VerifierValeurs(IProfil& p)
{
    EXPECT_EQ(p.GetProfileInt(SECTION_DRIVER, CONTACT, 7), 7);
    EXPECT_EQ(p.GetProfileString(SECTION_FTPDIRECT, REP_LOCAL, DEFAUT_REP_LOCAL), CString(L"c:/"));

    const struct { const wchar_t* texte; bool entier; int valeur; } entiers[] = {
        {L"42", true, 42}, {L"-3", true, -3}, {L" 12 ", true, 12}, {L"+5", true, 5},
        {L"2147483647", true, INT_MAX}, {L"-2147483648", true, INT_MIN},
        {L"abc", false, 0}, {L"12abc", false, 0}, {L"", false, 0}, {L"-", false, 0},
        {L"2147483648", false, 0}, {L"99999999999999999999", false, 0}, {L"1.5", false, 0},
    };
    for (const auto& e : entiers) {
        ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, PORT, e.texte), 1);
        EXPECT_EQ(p.GetProfileInt(SECTION_DRIVER, PORT, -77), e.entier ? e.valeur : -77) << e.texte;
    }
    EXPECT_EQ(p.WriteProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 6), 1);
    EXPECT_EQ(p.GetProfileInt(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, 0), 6);
    EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, FTP_TYPE_IDENTIFICATION, L""), CString(L"6"));

    const wchar_t* textes[] = {
        L"192.168.1.10", L"", L"p\u00e4ss w\u00f6rd \u20ac \U0001F511", L"  blancs autour  ", L"\"guillemets\"",
        L"\"", L"\"\"", L"a=b;c#d[e]", L"\u65e5\u672c\u8a9e",
    };
    for (const wchar_t* t : textes) {
        ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, t), 1) << t;
        EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L"?"), CString(t));
    }
    // Keys with spaces, names in any case.
    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.0.0.1"), 1);
    EXPECT_EQ(p.GetProfileString(L"otdr driver", L"ADRESS IP", L""), CString(L"10.0.0.1"));
    EXPECT_EQ(p.GetProfileString(SECTION_FTPDIRECT, ADRESSE_IP, L"none"), CString(L"none"));
    // A null value removes the key.
    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, nullptr), 1);
    EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L"none"), CString(L"none"));
}

class CProfilIniRenommageRate : public CProfilIni
{
public:
    using CProfilIni::CProfilIni;

protected:
    bool Remplacer(const fs::path&, const fs::path&) override { return false; }
};

int Mode(const fs::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

} // namespace

TEST(Profile, MemoryStoreDefaultsTypesAndTexts)
{
    CProfilMemoire p;
    VerifierValeurs(p);
}

TEST(Profile, IniStoreDefaultsTypesAndTexts)
{
    CRepertoireTemp rep;
    CProfilIni p(rep.Chemin() / "sous" / "profile.ini");
    VerifierValeurs(p);
    // The file is UTF-8 text a person can read.
    const std::string contenu = CRepertoireTemp::Lire(p.Chemin());
    EXPECT_NE(contenu.find("[OTDR Driver]"), std::string::npos) << contenu;
    EXPECT_NE(contenu.find("Ftp Type Identification = 6"), std::string::npos) << contenu;
    // Other programs' files load as written, comments and all.
    rep.Ecrire("autre.ini", "; note\n[OTDR Driver]\nContact = 1\nAdress IP=  192.168.0.9  \n");
    CProfilIni autre(rep.Chemin() / "autre.ini");
    EXPECT_EQ(autre.GetProfileInt(SECTION_DRIVER, CONTACT, 0), 1);
    EXPECT_EQ(autre.GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""), CString(L"192.168.0.9"));
    ASSERT_EQ(autre.WriteProfileInt(SECTION_DRIVER, CONTACT, 0), 1);
    EXPECT_NE(CRepertoireTemp::Lire(rep.Chemin() / "autre.ini").find("; note"), std::string::npos);
}

TEST(Profile, IniRefusesWhatTheFileCannotHold)
{
    CRepertoireTemp rep;
    CProfilIni p(rep.Chemin() / "profile.ini");
    EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"deux\nlignes"), 0);
    EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, L"a=b", L"x"), 0);
    EXPECT_EQ(p.WriteProfileString(L"a]b", CONTACT, L"x"), 0);
    EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, L" cle", L"x"), 0);
    EXPECT_EQ(p.WriteProfileString(SECTION_DRIVER, nullptr, L"x"), 0);
    EXPECT_FALSE(fs::exists(p.Chemin()));
}

TEST(Profile, IniStoresSharingAFileLoseNothing)
{
    CRepertoireTemp rep;
    const fs::path chemin = rep.Chemin() / "profile.ini";
    CProfilIni a(chemin), b(chemin);
    ASSERT_EQ(a.WriteProfileString(SECTION_DRIVER, ADRESSE_IP, L"10.1.2.3"), 1);
    ASSERT_EQ(b.WriteProfileString(SECTION_DRIVER, FTP_LOGIN, L"operateur"), 1);
    ASSERT_EQ(a.WriteProfileInt(SECTION_DRIVER, CONTACT, 0), 1);
    ASSERT_EQ(b.WriteProfileString(SECTION_FTPDIRECT, REP_DISTANT, L"/mesures"), 1);
    for (CProfilIni* p : {&a, &b}) {
        EXPECT_EQ(p->GetProfileString(SECTION_DRIVER, ADRESSE_IP, L""), CString(L"10.1.2.3"));
        EXPECT_EQ(p->GetProfileString(SECTION_DRIVER, FTP_LOGIN, L""), CString(L"operateur"));
        EXPECT_EQ(p->GetProfileInt(SECTION_DRIVER, CONTACT, 9), 0);
        EXPECT_EQ(p->GetProfileString(SECTION_FTPDIRECT, REP_DISTANT, L""), CString(L"/mesures"));
    }

    // Concurrent writers of distinct keys: every key survives.
    std::vector<std::thread> fils;
    for (int t = 0; t < 4; ++t) {
        fils.emplace_back([&chemin, t] {
            CProfilIni p(chemin);
            for (int i = 0; i < 10; ++i)
                p.WriteProfileInt(L"Concurrence", (L"cle" + std::to_wstring(t * 10 + i)).c_str(), i);
        });
    }
    for (auto& f : fils) f.join();
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(a.GetProfileInt(L"Concurrence", (L"cle" + std::to_wstring(k)).c_str(), -1), k % 10) << k;
}

TEST(Profile, IniFailedRenameLeavesTheOldFileWhole)
{
    CRepertoireTemp rep;
    const fs::path chemin = rep.Chemin() / "profile.ini";
    CProfilIni p(chemin);
    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"ancien"), 1);
    const std::string avant = CRepertoireTemp::Lire(chemin);

    CProfilIniRenommageRate rate(chemin);
    EXPECT_EQ(rate.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"nouveau"), 0);
    EXPECT_EQ(CRepertoireTemp::Lire(chemin), avant);
    EXPECT_EQ(p.GetProfileString(SECTION_DRIVER, FTP_PASSWORD, L""), CString(L"ancien"));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(rep.Chemin()), fs::directory_iterator()), 1);
}

TEST(Profile, IniFileIsPrivate)
{
    CRepertoireTemp rep;
    const fs::path chemin = rep.Chemin() / "otdrdriver" / "profile.ini";
    CProfilIni p(chemin);
    ASSERT_EQ(p.WriteProfileString(SECTION_DRIVER, FTP_PASSWORD, L"secret"), 1);
    EXPECT_EQ(Mode(chemin), 0600);
    EXPECT_EQ(Mode(chemin.parent_path()), 0700);
    // A file left readable by someone else is made private on the next write.
    fs::permissions(chemin, fs::perms(0644), fs::perm_options::replace);
    ASSERT_EQ(p.WriteProfileInt(SECTION_DRIVER, CONTACT, 0), 1);
    EXPECT_EQ(Mode(chemin), 0600);
}

TEST(Profile, DefaultPathFollowsXdgConfigHome)
{
    const char* ancien = std::getenv("XDG_CONFIG_HOME");
    const std::string sauve = ancien ? ancien : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(CProfilIni::CheminParDefaut(), fs::path("/tmp/xdg-test/otdrdriver/profile.ini"));
    ::setenv("XDG_CONFIG_HOME", "relatif", 1);  // ignored: must be absolute
    EXPECT_EQ(CProfilIni::CheminParDefaut().filename(), "profile.ini");
    EXPECT_TRUE(CProfilIni::CheminParDefaut().is_absolute());
    if (ancien) ::setenv("XDG_CONFIG_HOME", sauve.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
}
