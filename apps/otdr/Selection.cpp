#include "Selection.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "Affichage.h"
#include "CConnexionFtp.h"
#include "Erreurs.h"
#include "Json.h"
#include "common/Conversions.h"
#include "ftp/CheminDistant.h"

namespace fs = std::filesystem;

namespace Selection {

namespace {

std::string Etroit(const std::wstring& s) { return WideToUtf8(s); }

// One [...] set at m (just after the '['): whether c is in it; m moves past the ']'.
bool DansEnsemble(const std::string& motif, size_t& m, char c)
{
    bool bNegation = false;
    if (m < motif.size() && (motif[m] == '!' || motif[m] == '^')) bNegation = true, ++m;
    bool bDedans = false;
    bool bPremier = true;
    while (m < motif.size() && (motif[m] != ']' || bPremier)) {
        bPremier = false;
        char debut = motif[m++];
        if (debut == '\\' && m < motif.size()) debut = motif[m++];
        char fin = debut;
        if (m + 1 < motif.size() && motif[m] == '-' && motif[m + 1] != ']') {
            fin = motif[m + 1];
            m += 2;
        }
        if (c >= debut && c <= fin) bDedans = true;
    }
    if (m < motif.size()) ++m;   // the ']'
    return bDedans != bNegation;
}

std::string Dernier(const std::string& relatif)
{
    const size_t p = relatif.rfind('/');
    return p == std::string::npos ? relatif : relatif.substr(p + 1);
}

bool CorrespondUn(const std::vector<std::string>& motifs, const std::string& relatif, bool bComposants)
{
    const std::string nom = Dernier(relatif);
    for (const std::string& m : motifs) {
        if (m.find('/') != std::string::npos) {
            if (Correspond(m, relatif)) return true;
            continue;
        }
        if (Correspond(m, nom)) return true;
        if (!bComposants) continue;
        for (size_t debut = 0, fin; (fin = relatif.find('/', debut)) != std::string::npos; debut = fin + 1)
            if (Correspond(m, relatif.substr(debut, fin - debut))) return true;
    }
    return false;
}

} // namespace

bool EstMotif(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

bool Correspond(const std::string& motif, const std::string& texte)
{
    // Iterative, with one back-track point per '*': linear in practice, never exponential.
    size_t m = 0, t = 0, mEtoile = std::string::npos, tEtoile = 0;
    while (t < texte.size()) {
        if (m < motif.size() && motif[m] == '*') {
            mEtoile = m++;
            tEtoile = t;
            continue;
        }
        if (m < motif.size()) {
            size_t suite = m + 1;
            bool bEgal;
            if (motif[m] == '?') {
                bEgal = true;
            } else if (motif[m] == '[' && motif.find(']', m + 2) != std::string::npos) {
                suite = m + 1;
                bEgal = DansEnsemble(motif, suite, texte[t]);
            } else if (motif[m] == '\\' && m + 1 < motif.size()) {
                bEgal = motif[m + 1] == texte[t];
                suite = m + 2;
            } else {
                bEgal = motif[m] == texte[t];
            }
            if (bEgal) {
                m = suite;
                ++t;
                continue;
            }
        }
        if (mEtoile == std::string::npos) return false;
        m = mEtoile + 1;
        t = ++tEtoile;
    }
    while (m < motif.size() && motif[m] == '*') ++m;
    return m == motif.size();
}

std::vector<std::string> Developper(CConnexionFtp& c, const std::vector<std::string>& operandes, bool bRepertoires)
{
    std::vector<std::string> r;
    for (const std::string& o : operandes) {
        const std::string abs = c.Absolu(o);
        const std::string nom = abs == "/" ? std::string() : CheminDistant::Nom(abs);
        if (!EstMotif(nom)) {
            r.push_back(abs);
            continue;
        }
        const std::string parent = CheminDistant::Parent(abs);
        if (EstMotif(parent))
            throw ErreurUsage("'" + o + "': a pattern may stand in the last part of a remote path only");
        std::vector<std::string> trouves;
        CString chemin(Utf8ToWide(parent));
        const short n = c.Ftp().GetDir(&chemin, [&](const tInfosFichierFtp& e) {
            const std::string nomEntree = Etroit(e.m_strNom);
            if (CFTPDirect::IsSpecialDir(e.m_strNom) || (!bRepertoires && CFTPDirect::IsDirectory(e))) return;
            if (Correspond(nom, nomEntree)) trouves.push_back(CheminDistant::Joindre(parent, nomEntree));
        }, 0);
        if (n != 0 || c.Ftp().GetEtatDerniereListe() != CFTPDirect::tEtatListe::Complete)
            throw ErreurOperation(CConnexionFtp::ListeIncomplete(parent, c.Ftp().GetEtatDerniereListe(),
                                                                 Etroit(c.Ftp().GetDerniereErreur())));
        if (trouves.empty())
            throw ErreurOperation("nothing on the instrument matches '" + abs + "'");
        std::sort(trouves.begin(), trouves.end());
        r.insert(r.end(), trouves.begin(), trouves.end());
    }
    return r;
}

CFiltre::CFiltre(const tOptionsOtdr& o)
    : m_inclusions(o.inclusions), m_exclusions(o.exclusions), m_nDepuis(o.nouveauDepuis.value_or(0)),
      m_bDepuis(o.nouveauDepuis.has_value())
{
    m_bActif = !m_inclusions.empty() || !m_exclusions.empty() || m_bDepuis;
}

bool CFiltre::Retenir(const std::string& relatif, long long nDateUtc) const
{
    if (!m_inclusions.empty() && !CorrespondUn(m_inclusions, relatif, false)) return false;
    if (CorrespondUn(m_exclusions, relatif, true)) return false;
    return !(m_bDepuis && nDateUtc != 0 && nDateUtc < m_nDepuis);
}

void CEssai::Ajouter(const std::string& action, const std::string& de, const std::string& vers, long long nTaille)
{
    m_actions.push_back({action, de, vers, nTaille});
}

void CEssai::Imprimer(bool bJson) const
{
    if (bJson) {
        CEcrivainJson j;
        j.DebutObjet().Cle("dry_run").Valeur(true).Cle("actions").DebutTableau();
        for (const tAction& a : m_actions) {
            j.DebutObjet().Cle("action").Valeur(a.strAction).Cle("from").Valeur(a.strDe).Cle("to");
            a.strVers.empty() ? j.Nul() : j.Valeur(a.strVers);
            j.Cle("size");
            a.nTaille < 0 ? j.Nul() : j.Valeur(static_cast<uint64_t>(a.nTaille));
            j.FinObjet();
        }
        j.FinTableau().FinObjet();
        std::printf("%s\n", j.Texte().c_str());
        return;
    }
    for (const tAction& a : m_actions)
        std::printf("%s\n", Visible("would " + a.strAction + " '" + a.strDe + "'" +
                                    (a.strVers.empty() ? "" : " to '" + a.strVers + "'"))
                                .c_str());
}

CParcoursDistant::tRappels Filtrer(CParcoursDistant::tRappels r, const CFiltre& filtre, CEssai* pEssai,
                                   bool bTelechargement)
{
    if (!filtre.Actif() && !pEssai) return r;
    auto avant = r.avantFichier;
    r.avantFichier = [avant, &filtre, pEssai, bTelechargement](const CParcoursDistant::tFichier& f) {
        long long nDate = f.nDateExacte;
        if (bTelechargement && nDate == 0 && f.pDistant) nDate = f.pDistant->m_nDateUtc;
        if (!bTelechargement) {
            std::error_code ec;
            const auto t = fs::last_write_time(fs::path(Etroit(f.strLocal)), ec);
            if (!ec)
                nDate = std::chrono::duration_cast<std::chrono::seconds>(
                            t - fs::file_time_type::clock::now() + std::chrono::system_clock::now().time_since_epoch())
                            .count();
        }
        if (filtre.Actif() && !filtre.Retenir(Etroit(f.strRelatif), nDate)) return CParcoursDistant::tSuite::Passer;
        if (!pEssai) return avant ? avant(f) : CParcoursDistant::tSuite::Faire;
        pEssai->Ajouter(bTelechargement ? "download" : "upload", Etroit(bTelechargement ? f.strDistant : f.strLocal),
                        Etroit(bTelechargement ? f.strLocal : f.strDistant), static_cast<long long>(f.nTaille));
        return CParcoursDistant::tSuite::Passer;
    };
    return r;
}

CRepertoiresTemoins::CRepertoiresTemoins(const fs::path& racine) : m_racine(racine)
{
    std::error_code ec;
    m_bRacineExistait = fs::exists(racine, ec);
    if (!m_bRacineExistait || !fs::is_directory(racine, ec)) return;
    for (fs::recursive_directory_iterator it(racine, ec), fin; !ec && it != fin; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) m_existants.insert(it->path());
}

CRepertoiresTemoins::~CRepertoiresTemoins()
{
    std::error_code ec;
    if (!fs::is_directory(m_racine, ec)) return;
    std::vector<fs::path> nouveaux;
    for (fs::recursive_directory_iterator it(m_racine, ec), fin; !ec && it != fin; it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec) && !m_existants.count(it->path()))
            nouveaux.push_back(it->path());
    // Deepest first, so that a parent is empty when its turn comes.
    std::sort(nouveaux.rbegin(), nouveaux.rend());
    for (const fs::path& p : nouveaux)
        if (fs::is_empty(p, ec)) fs::remove(p, ec);
    if (!m_bRacineExistait && fs::is_empty(m_racine, ec)) fs::remove(m_racine, ec);
}

} // namespace Selection
