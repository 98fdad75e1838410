#pragma once
// What the file commands select and how they report what they would do:
// remote patterns (*, ?, [...]) matched against a listing, the filters of the
// tree copies (--include, --exclude, --newer-than), and --dry-run's list.

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Contexte.h"
#include "ftp/CParcoursDistant.h"

class CConnexionFtp;

namespace Selection {

// True when the text holds a pattern character: *, ? or [.
bool EstMotif(const std::string& strTexte);
// Shell-style match of a whole text: * any run, ? one character, [abc] [a-z]
// [!a] one of (or none of) a set; a backslash quotes the next character.
bool Correspond(const std::string& strMotif, const std::string& strTexte);

// The remote operands made absolute, each pattern replaced by the entries of
// its directory that match it (files only, directories too with bRepertoires),
// in name order. A pattern may stand in the last component only. Throws when
// a pattern matches nothing or its directory cannot be listed.
std::vector<std::string> Developper(CConnexionFtp& c, const std::vector<std::string>& operandes,
                                    bool bRepertoires);

// --include, --exclude, --newer-than. A pattern with a "/" is matched against
// the path below the tree's root, one without against the file's name (and,
// for --exclude, against each directory on its path).
class CFiltre
{
public:
    explicit CFiltre(const tOptionsOtdr& o);
    bool Actif() const { return m_bActif; }
    // nDateUtc: the file's time in seconds since 1970 UTC, 0 when unknown
    // (then --newer-than keeps it: nothing says it is older).
    bool Retenir(const std::string& strRelatif, long long nDateUtc) const;

private:
    std::vector<std::string> m_inclusions, m_exclusions;
    long long m_nDepuis = 0;
    bool m_bDepuis = false;
    bool m_bActif = false;
};

// --dry-run's list: what would be done, printed at the end as text lines
// ("would download '/a' to 'b'") or, under --json, as one document.
class CEssai
{
public:
    void Ajouter(const std::string& strAction, const std::string& strDe, const std::string& strVers,
                 long long nTaille = -1);
    void Imprimer(bool bJson) const;

private:
    struct tAction
    {
        std::string strAction, strDe, strVers;
        long long nTaille;
    };
    std::vector<tAction> m_actions;
};

// A walk's hooks with the filter applied (files left out are passed over) and,
// with an essai, every file that would move noted there instead of moved.
// bTelechargement: remote to local (the file's time is the listing's), else
// local to remote (the local file's time).
CParcoursDistant::tRappels Filtrer(CParcoursDistant::tRappels r, const CFiltre& filtre, CEssai* pEssai,
                                   bool bTelechargement);

// The local directories a walk made under a root, removed when this goes (for
// --dry-run, which must leave the disk as it found it): those that did not
// exist when it was made and are empty at the end.
class CRepertoiresTemoins
{
public:
    explicit CRepertoiresTemoins(const std::filesystem::path& racine);
    ~CRepertoiresTemoins();
    CRepertoiresTemoins(const CRepertoiresTemoins&) = delete;
    CRepertoiresTemoins& operator=(const CRepertoiresTemoins&) = delete;

private:
    std::filesystem::path m_racine;
    bool m_bRacineExistait = false;
    std::set<std::filesystem::path> m_existants;
};

} // namespace Selection
