#include <gtest/gtest.h>

#include <string>

#include "common/Conversions.h"
#include "ftp/CheminDistant.h"

namespace {

// Every rule runs on the UTF-8 bytes and on the wide text: both forms must agree.
std::wstring Large(const std::string& s) { return Utf8ToWide(s); }

template <class F>
void DeuxFormes(const std::string& entree, const std::string& attendu, F f)
{
    EXPECT_EQ(f(entree), attendu) << "'" << entree << "'";
    EXPECT_EQ(WideToUtf8(f(Large(entree))), attendu) << "'" << entree << "' (wide)";
}

} // namespace

TEST(CheminDistant, JoinPutsOneSlashBetweenDirectoryAndName)
{
    struct { const char* rep; const char* nom; const char* attendu; } const cas[] = {
        {"/", "a.sor", "/a.sor"},           // at the root too: "//a.sor" is another path on some servers
        {"/Traces", "a.sor", "/Traces/a.sor"},
        {"/Traces/", "a.sor", "/Traces/a.sor"},
        {"rel", "a", "rel/a"},
        {"", "a", "a"},
        {"/Traces", "/abs/b", "/abs/b"},     // an absolute name replaces the directory
        {"/Traces", "", "/Traces/"},
        {"/Mesures \xC3\xA9t\xC3\xA9", "\xC3\xA9.sor", "/Mesures \xC3\xA9t\xC3\xA9/\xC3\xA9.sor"},
    };
    for (const auto& c : cas) {
        EXPECT_EQ(CheminDistant::Joindre(std::string(c.rep), std::string(c.nom)), c.attendu) << c.rep << " + " << c.nom;
        EXPECT_EQ(CheminDistant::Joindre(Large(c.rep), Large(c.nom)), Large(c.attendu)) << c.rep << " + " << c.nom;
    }
}

TEST(CheminDistant, ParentNameComponentsAndNormalForm)
{
    // Components joined with "|" for the table.
    struct { const char* chemin; const char* parent; const char* nom; const char* composants; const char* normal; } const cas[] = {
        {"/", "/", "", "", "/"},
        {"/a", "/", "a", "a", "/a"},
        {"/a/b", "/a", "b", "a|b", "/a/b"},
        {"a", "/", "a", "a", "/a"},
        {"", "/", "", "", "/"},
        {"/a/b/", "/a/b", "", "a|b", "/a/b"},
        {"/a/./b//../c/", "/a/./b//../c", "", "a|.|b|..|c", "/a/c"},
        {"/../..", "/..", "..", "..|..", "/"},          // never above the root
        {"x/..", "x", "..", "x|..", "/"},
        {"/a/...", "/a", "...", "a|...", "/a/..."},     // only "." and ".." are special
        {"/M\xC3\xA9sures/x", "/M\xC3\xA9sures", "x", "M\xC3\xA9sures|x", "/M\xC3\xA9sures/x"},
    };
    for (const auto& c : cas) {
        DeuxFormes(c.chemin, c.parent, [](const auto& s) { return CheminDistant::Parent(s); });
        DeuxFormes(c.chemin, c.composants, [](const auto& s) {
            using T = std::decay_t<decltype(s)>;
            T r;
            for (const T& composant : CheminDistant::Composants(s)) {
                if (!r.empty())
                    r += static_cast<typename T::value_type>('|');
                r += composant;
            }
            return r;
        });
        DeuxFormes(c.chemin, c.nom, [](const auto& s) { return CheminDistant::Nom(s); });
        DeuxFormes(c.chemin, c.normal, [](const auto& s) { return CheminDistant::Normaliser(s); });
    }
}

TEST(CheminDistant, RelativeTextsAreReadFromTheBase)
{
    struct { const char* base; const char* chemin; const char* attendu; } const cas[] = {
        {"/Traces", "a", "/Traces/a"},
        {"/Traces", "../Mesures/", "/Mesures"},
        {"/Traces", "/abs/./x", "/abs/x"},
        {"/Traces", "", "/Traces"},
        {"", "a/b", "/a/b"},                  // no base: the root
        {"/", "..", "/"},
    };
    for (const auto& c : cas) {
        EXPECT_EQ(CheminDistant::Absolu(std::string(c.base), std::string(c.chemin)), c.attendu)
            << c.base << " + " << c.chemin;
        EXPECT_EQ(CheminDistant::Absolu(Large(c.base), Large(c.chemin)), Large(c.attendu))
            << c.base << " + " << c.chemin;
    }
}

TEST(CheminDistant, OnlySafeNamesAndPathsReachTheServer)
{
    using namespace std::string_literals;
    struct { std::string texte; bool special, nomSur, cheminSur; } const cas[] = {
        {"trace.sor", false, true, true},
        {"\xC3\xA9t\xC3\xA9.sor", false, true, true},
        {"a:b", false, true, true},
        {"...a", false, true, true},
        {".", true, false, true},
        {"..", true, false, true},
        {"", false, false, true},
        {"a/b", false, false, true},          // a path, not a name
        {"../evil", false, false, true},
        {"..\\evil", false, false, false},
        {"a\\b", false, false, false},
        {"a\rb", false, false, false},
        {"a\nDELE x", false, false, false},   // would end the command and start another
        {"a\0b"s, false, false, false},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(testing::PrintToString(c.texte));
        const std::wstring large = Large(c.texte);
        EXPECT_EQ(CheminDistant::EstSpecial(c.texte), c.special);
        EXPECT_EQ(CheminDistant::EstSpecial(large), c.special);
        EXPECT_EQ(CheminDistant::NomSur(c.texte), c.nomSur);
        EXPECT_EQ(CheminDistant::NomSur(large), c.nomSur);
        EXPECT_EQ(CheminDistant::CheminSur(c.texte), c.cheminSur);
        EXPECT_EQ(CheminDistant::CheminSur(large), c.cheminSur);
    }
}
