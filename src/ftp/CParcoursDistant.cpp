#include "ftp/CParcoursDistant.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "common/Conversions.h"
#include "ftp/CEquipeTransferts.h"
#include "ftp/CFTPDirect.h"
#include "ftp/CheminDistant.h"
#include "ftp/FichiersLocaux.h"

namespace fs = std::filesystem;

namespace {

using FichiersLocaux::Chemin;
using FichiersLocaux::Texte;

CString Joindre(const CString& strRep, const CString& strNom) { return CheminDistant::Joindre(strRep, strNom); }

CString Relatif(const CString& strRelatif, const CString& strNom)
{
    return strRelatif.IsEmpty() ? strNom : CString(strRelatif + L"/" + strNom);
}

// A directory named among files: with its final "/".
CString Dossier(const CString& strChemin)
{
    return !strChemin.IsEmpty() && strChemin.back() == L'/' ? strChemin : CString(strChemin + L"/");
}

CString Message(const std::error_code& ec) { return CString(Utf8ToWide(ec.message())); }

bool DansArbre(const std::wstring& strChemin, const std::wstring& strRacine)
{
    if (strRacine == L"/")
        return !strChemin.empty() && strChemin[0] == L'/';
    return strChemin.compare(0, strRacine.size(), strRacine) == 0 && strChemin.size() > strRacine.size() &&
           strChemin[strRacine.size()] == L'/';
}

// A listing sorted for the walk: files and subdirectories in name order.
struct tListe
{
    CListeFichiersFtp liste;
    std::vector<std::string> identites;  // "unique" of each entry, in list order
    std::vector<int> fichiers;
    std::vector<int> repertoires;
    bool bComplete = true;

    const tInfosFichierFtp& operator[](int i) const { return liste.m_pElements[i]; }
    const std::string& Identite(int i) const
    {
        static const std::string aucune;
        return static_cast<size_t>(i) < identites.size() ? identites[static_cast<size_t>(i)] : aucune;
    }
};

} // namespace

// One walk: the state of a copy or removal from its start to its end.
class CMarcheArbre
{
public:
    using tBilan = CParcoursDistant::tBilan;
    using tFichier = CParcoursDistant::tFichier;
    using tRepertoire = CParcoursDistant::tRepertoire;
    using tSuite = CParcoursDistant::tSuite;
    using tIssueFichier = CParcoursDistant::tIssueFichier;

    CMarcheArbre(CFTPDirect& ftp, const CParcoursDistant::tRappels& rappels, int nProfondeurMax,
                 int nRepertoiresMax, bool bListerCibles)
        : m_ftp(ftp), m_rappels(rappels), m_nProfondeurMax(nProfondeurMax), m_nRepertoiresMax(nRepertoiresMax),
          m_bListerCibles(bListerCibles)
    {
    }
    // Files go to nSessions clients (the walker's and those `connecter` makes).
    void Partager(int nSessions, const CParcoursDistant::FonctionConnexion& connecter, bool bTelechargement);
    // Waits for the shared files, taking some on the walker's client, and
    // walks the directories they turned out to be.
    void Finir();

    void Descendre(const CString& strDistant, const CString& strLocal, const CString& strRelatif,
                   const std::string& strUnique, int nProfondeur);
    void Envoyer(const CString& strLocal, const CString& strDistant);
    // How the listing that showed a directory to remove tells links: LIST
    // (`ls -l`) shows them as links, MLSD as what they lead to.
    enum class tListeParent { Racine, Ls, Mlsd };
    bool Vider(const CString& strDistant, const CString& strRelatif, const std::string& strUnique,
               int nProfondeur, tListeParent parent = tListeParent::Racine);
    void NoterEchec(const CString& strChemin, const CString& strRaison);
    const tBilan& Bilan() const { return m_bilan; }

private:
    enum class tIssue { Fait, Passe, Echoue, NonFait, Confie };

    bool Arreter();
    // The short reason, with why the client says the step failed (the
    // server's reply or the local reason; else the failure number when given).
    CString Raison(const wchar_t* pszRaison, short nCode = 0) const;
    // Runs a step; when the session was lost, runs it once more (once per
    // walk). False when it failed; m_bFin then tells whether the walk stops.
    bool Essayer(const std::function<bool()>& etape);
    // What a file step does: a copy moves bytes (and may go to the other
    // clients of a parallel copy), a removal does not.
    enum class tEtape { Copie, Suppression };
    // One file through the caller's hooks and the step; strNom names it in
    // nonFaits. The caller names an Echoue.
    tIssue Traiter(const tFichier& f, const CString& strNom, const std::function<bool()>& etape, tEtape eEtape,
                   int nProfondeur = 0);
    // The file step of a copy on a client: the caller's, or the walker's own.
    bool Transferer(CFTPDirect& ftp, const tFichier& f, bool bTelechargement) const;
    bool TransfererFichier(CFTPDirect& ftp, const tFichier& f, bool bTelechargement) const;
    // What became of a file another client took.
    void Appliquer(CEquipeTransferts::tResultat& r);
    void Recolter();
    bool DejaVu(const std::string& strCle, const CString& strChemin);
    bool TropProfond(const CString& strChemin, int nProfondeur);
    // Enters and lists a remote directory after the checks every walk makes
    // (already walked, depth); false when it is skipped (and named).
    bool Entrer(const CString& strDistant, const std::string& strUnique, int nProfondeur, tListe& liste);
    // Files and subdirectories of a listing, in name order; unusable names named.
    void Trier(const CString& strRep, tListe& liste);
    // The same checks for a local directory (links followed).
    bool EntrerLocal(const fs::path& chemin, const CString& strLocal, int nProfondeur);
    // Whether the remote directory an upload goes into was there before it.
    enum class tCible { Nouvelle, Existante };
    struct tEntreeLocale
    {
        CString strNom;
        uint64_t nTaille;
    };
    void Monter(const CString& strLocal, const CString& strDistant, const CString& strRelatif,
                tCible cibleExistante, int nProfondeur);
    void MonterSousRepertoire(const fs::path& local, const CString& strDistant, const CString& strRelatif,
                              const CString& strNom, int nProfondeur);
    // The files and subdirectories of a local directory, in name order; a
    // link that leads outside the upload's tree is named and left.
    bool LireLocal(const fs::path& local, const CString& strLocal, std::vector<tEntreeLocale>& fichiers,
                   std::vector<tEntreeLocale>& reps);
    bool DansRacineLocale(const fs::path& chemin) const;
    // A directory without a unique fact whose listing is the same as one of
    // the directories it is inside: a link back up (a loop).
    bool Boucle(const CString& strDistant, const tListe& liste);

    CFTPDirect& m_ftp;
    const CParcoursDistant::tRappels& m_rappels;
    const int m_nProfondeurMax;
    const int m_nRepertoiresMax;
    const bool m_bListerCibles;
    tBilan m_bilan;
    std::map<std::string, CString> m_vus;  // identity of each directory walked, and its path
    std::string m_strRacineReelle;         // the removal's root as the server reports it
    fs::path m_racineLocale;               // an upload's root, canonical
    // The listings of the directories the walk is inside, root first (a
    // digest of names, sizes, dates and kinds), for servers without unique facts.
    std::vector<std::pair<uint64_t, CString>> m_ascendants;
    int m_nRepertoiresEntres = 0;
    bool m_bReessaye = false;
    bool m_bFin = false;
    std::unique_ptr<CEquipeTransferts> m_pEquipe;
    bool m_bTelechargement = false;
    struct tDescente
    {
        CString strDistant, strLocal, strRelatif;
        int nProfondeur;
    };
    std::vector<tDescente> m_aDescendre;   // files shared out that can be entered
};

CParcoursDistant::CParcoursDistant(CFTPDirect& ftp, tRappels rappels) : m_ftp(ftp), m_rappels(std::move(rappels))
{
}

CParcoursDistant::tBilan CParcoursDistant::Telecharger(const CString& strDistant, const CString& strLocal)
{
    CMarcheArbre marche(m_ftp, m_rappels, m_nProfondeurMax, m_nRepertoiresMax, m_bListerCibles);
    marche.Partager(m_nSessions, m_connecter, true);
    marche.Descendre(CheminDistant::Normaliser(strDistant), strLocal, CString(), std::string(), 0);
    marche.Finir();
    return marche.Bilan();
}

CParcoursDistant::tBilan CParcoursDistant::Envoyer(const CString& strLocal, const CString& strDistant)
{
    CMarcheArbre marche(m_ftp, m_rappels, m_nProfondeurMax, m_nRepertoiresMax, m_bListerCibles);
    marche.Partager(m_nSessions, m_connecter, false);
    marche.Envoyer(strLocal, CheminDistant::Normaliser(strDistant));
    marche.Finir();
    return marche.Bilan();
}

CParcoursDistant::tBilan CParcoursDistant::Supprimer(const CString& strDistant)
{
    CMarcheArbre marche(m_ftp, m_rappels, m_nProfondeurMax, m_nRepertoiresMax, m_bListerCibles);
    const CString strRacine = CheminDistant::Normaliser(strDistant);
    if (strRacine == L"/")
        marche.NoterEchec(strRacine, L"the root directory is never removed");
    else
        marche.Vider(strRacine, CString(), std::string(), 0);
    return marche.Bilan();
}

// ---------------------------------------------------------------- shared steps

bool CMarcheArbre::Arreter()
{
    // The client's own cancel stops the walk too: what it broke off is not done.
    if (!m_bFin && (m_ftp.EstAnnule() || (m_rappels.arret && m_rappels.arret()))) {
        m_bFin = true;
        m_bilan.bArrete = true;
    }
    if (m_bFin && m_pEquipe)
        m_pEquipe->Arreter();
    return m_bFin;
}

// ---------------------------------------------------------------- shared files

void CMarcheArbre::Partager(int nSessions, const CParcoursDistant::FonctionConnexion& connecter, bool bTelechargement)
{
    m_bTelechargement = bTelechargement;
    if (nSessions <= 1 || !connecter)
        return;
    m_pEquipe = std::make_unique<CEquipeTransferts>(
        nSessions - 1, connecter,
        [this, bTelechargement](CFTPDirect& ftp, CEquipeTransferts::tTache& t) {
            return Transferer(ftp, t.Fichier(), bTelechargement);
        },
        bTelechargement);
}

bool CMarcheArbre::Transferer(CFTPDirect& ftp, const tFichier& f, bool bTelechargement) const
{
    if (!m_rappels.octets)
        return TransfererFichier(ftp, f, bTelechargement);
    ftp.SetProgression([this, &f](uint64_t nFaits, uint64_t nTotal) {
        m_rappels.octets(f, nFaits, nTotal);
        return true;
    });
    const bool bFait = TransfererFichier(ftp, f, bTelechargement);
    ftp.SetProgression({});
    return bFait;
}

bool CMarcheArbre::TransfererFichier(CFTPDirect& ftp, const tFichier& f, bool bTelechargement) const
{
    if (m_rappels.transfert)
        return m_rappels.transfert(ftp, f);
    if (!bTelechargement)
        return ftp.PutFile(f.strLocal, f.strDistant) != 0;
    // Another client has no listing of the directory: size and time come with the file.
    if (&ftp != &m_ftp)
        return ftp.GetFileListe(f.strDistant, f.strLocal,
                                {f.nTaille, f.nDateExacte, f.pDistant ? f.pDistant->m_nDateUtc : 0},
                                CFTPDirect::tReprise::Non) != 0;
    return ftp.GetFile(f.strDistant, f.strLocal) != 0;
}

void CMarcheArbre::Recolter()
{
    if (m_pEquipe)
        for (CEquipeTransferts::tResultat& r : m_pEquipe->Recolter())
            Appliquer(r);
}

void CMarcheArbre::Appliquer(CEquipeTransferts::tResultat& r)
{
    using tIssueEquipe = CEquipeTransferts::tIssue;
    const tFichier& f = r.tache.Fichier();
    if (r.issue != tIssueEquipe::NonFait && m_rappels.apresFichier)
        m_rappels.apresFichier(f, r.issue == tIssueEquipe::Fait);
    if (m_rappels.finFichier) {
        const tIssueFichier issue = r.issue == tIssueEquipe::Fait     ? tIssueFichier::Fait
                                    : r.issue == tIssueEquipe::Echoue ? tIssueFichier::Echoue
                                                                      : tIssueFichier::NonFait;
        m_rappels.finFichier(f, issue, r.strErreur);
    }
    if (r.issue == tIssueEquipe::Fait) {
        ++m_bilan.nFichiers;
        m_bilan.nOctets += f.nTaille;
    } else if (r.issue == tIssueEquipe::NonFait) {
        m_bilan.nonFaits.push_back(r.tache.strNom);
    } else if (r.bRepertoire) {
        m_aDescendre.push_back({f.strDistant, f.strLocal, f.strRelatif, r.tache.nProfondeur + 1});
    } else {
        NoterEchec(r.tache.strNom, CString(m_bTelechargement ? L"cannot be downloaded" : L"cannot be uploaded") +
                                       (r.strErreur.IsEmpty() ? CString() : L": " + r.strErreur));
    }
}

void CMarcheArbre::Finir()
{
    if (!m_pEquipe)
        return;
    for (;;) {
        const bool bSession = m_pEquipe->Finir(
            m_ftp, [this](CEquipeTransferts::tResultat& r) { Appliquer(r); }, [this] { return Arreter(); },
            m_bReessaye);
        if (!bSession && !m_bFin) {
            m_bilan.bSessionPerdue = true;
            m_bFin = true;
        }
        if (m_aDescendre.empty())
            break;
        const tDescente d = m_aDescendre.front();
        m_aDescendre.erase(m_aDescendre.begin());
        if (m_bFin)
            m_bilan.nonFaits.push_back(Dossier(d.strDistant));
        else
            Descendre(d.strDistant, d.strLocal, d.strRelatif, std::string(), d.nProfondeur);
    }
    m_bilan.nSessions = m_pEquipe->Sessions();
    m_pEquipe.reset();
}

bool CMarcheArbre::Essayer(const std::function<bool()>& etape)
{
    if (Arreter())
        return false;
    if (etape())
        return true;
    // A step the caller cancelled is not done rather than failed.
    if (Arreter() || !m_ftp.SessionPerdue())
        return false;
    if (!m_bReessaye) {
        m_bReessaye = true;
        if (etape())
            return true;
        if (Arreter() || !m_ftp.SessionPerdue())
            return false;
    }
    m_bilan.bSessionPerdue = true;
    m_bFin = true;
    return false;
}

CString CMarcheArbre::Raison(const wchar_t* pszRaison, short nCode) const
{
    const CString erreur = m_ftp.GetDerniereErreur();
    if (!erreur.IsEmpty())
        return CString(pszRaison) + L": " + erreur;
    if (nCode == 0)
        return pszRaison;
    CString s;
    s.Format(L"%ls (%d)", pszRaison, static_cast<int>(static_cast<unsigned short>(nCode)));
    return s;
}

void CMarcheArbre::NoterEchec(const CString& strChemin, const CString& strRaison)
{
    m_bilan.echecs.push_back({strChemin, strRaison});
}

bool CMarcheArbre::TropProfond(const CString& strChemin, int nProfondeur)
{
    if (nProfondeur < m_nProfondeurMax)
        return false;
    CString s;
    s.Format(L"beyond the depth limit (%d levels)", m_nProfondeurMax);
    NoterEchec(strChemin, s);
    return true;
}

bool CMarcheArbre::DejaVu(const std::string& strCle, const CString& strChemin)
{
    const auto it = m_vus.find(strCle);
    if (it == m_vus.end())
        return false;
    m_bilan.ignores.push_back({strChemin, L"the same directory as " + it->second});
    return true;
}

CMarcheArbre::tIssue CMarcheArbre::Traiter(const tFichier& f, const CString& strNom,
                                           const std::function<bool()>& etape, tEtape eEtape, int nProfondeur)
{
    Recolter();
    if (Arreter()) {
        m_bilan.nonFaits.push_back(strNom);
        return tIssue::NonFait;
    }
    const tSuite suite = m_rappels.avantFichier ? m_rappels.avantFichier(f) : tSuite::Faire;
    if (suite == tSuite::Passer) {
        ++m_bilan.nPasses;
        return tIssue::Passe;
    }
    if (suite == tSuite::Arreter) {
        m_bFin = true;
        m_bilan.bArrete = true;
        m_bilan.nonFaits.push_back(strNom);
        return tIssue::NonFait;
    }
    if (eEtape == tEtape::Copie && m_pEquipe) {
        CEquipeTransferts::tTache t;
        t.fichier = f;
        t.bDistant = f.pDistant != nullptr;
        if (f.pDistant)
            t.distant = *f.pDistant;
        t.strNom = strNom;
        t.nProfondeur = nProfondeur;
        m_pEquipe->Confier(std::move(t));
        return tIssue::Confie;
    }
    const bool bFait = Essayer(etape);
    if (m_rappels.apresFichier)
        m_rappels.apresFichier(f, bFait);
    if (m_rappels.finFichier) {
        const tIssueFichier issue = bFait ? tIssueFichier::Fait : m_bFin ? tIssueFichier::NonFait : tIssueFichier::Echoue;
        m_rappels.finFichier(f, issue, issue == tIssueFichier::Echoue ? m_ftp.GetDerniereErreur() : CString());
    }
    if (bFait) {
        ++m_bilan.nFichiers;
        if (eEtape == tEtape::Copie)
            m_bilan.nOctets += f.nTaille;
        return tIssue::Fait;
    }
    if (m_bFin) {
        m_bilan.nonFaits.push_back(strNom);
        return tIssue::NonFait;
    }
    return tIssue::Echoue;
}

void CMarcheArbre::Trier(const CString& strRep, tListe& l)
{
    std::vector<int> ordre;
    for (int i = 0; i < l.liste.m_nNombre; ++i)
        if (!CheminDistant::EstSpecial(l[i].m_strNom))
            ordre.push_back(i);
    // Names that cannot be used or that decode alike are already out of the
    // listing, named by it (shown as received, not joined: they are no
    // component); an exact name listed twice is one entry: walked once.
    for (const CString& nom : m_ftp.NomsInutilisables())
        NoterEchec(Dossier(strRep) + nom, L"its name cannot be one path component");
    for (const CString& nom : m_ftp.GetNomsEnDoublon())
        NoterEchec(Dossier(strRep) + nom, L"another entry of the listing has the same name");
    std::stable_sort(ordre.begin(), ordre.end(), [&l](int a, int b) { return l[a].m_strNom < l[b].m_strNom; });
    ordre.erase(std::unique(ordre.begin(), ordre.end(), [&l](int a, int b) { return l[a].m_strNom == l[b].m_strNom; }),
                ordre.end());
    for (int i : ordre)
        (CFTPDirect::IsDirectory(l[i]) ? l.repertoires : l.fichiers).push_back(i);
}

bool CMarcheArbre::Entrer(const CString& strDistant, const std::string& strUnique, int nProfondeur, tListe& l)
{
    if ((!strUnique.empty() && DejaVu("u" + strUnique, strDistant)) || TropProfond(strDistant, nProfondeur))
        return false;
    if (m_nRepertoiresEntres >= m_nRepertoiresMax) {
        CString s;
        s.Format(L"beyond the limit of %d directories in one walk", m_nRepertoiresMax);
        NoterEchec(strDistant, s);
        return false;
    }
    ++m_nRepertoiresEntres;

    CString strChemin = strDistant;
    short n = 0;
    const bool bListe = Essayer([&] {
        n = m_ftp.Lister(&strChemin, l.liste, 0, &l.identites);
        return n == 0 && m_ftp.GetEtatDerniereListe() == CFTPDirect::tEtatListe::Complete;
    });
    if (m_bFin) {
        m_bilan.nonFaits.push_back(Dossier(strDistant));
        return false;
    }
    if (!bListe) {
        using tEtat = CFTPDirect::tEtatListe;
        const tEtat etat = m_ftp.GetEtatDerniereListe();
        if (n != 0) {
            NoterEchec(strDistant, Raison(L"cannot be entered"));
            return false;
        }
        if (etat == tEtat::Refusee) {
            NoterEchec(strDistant, Raison(L"the server refused to list it"));
            return false;
        }
        NoterEchec(strDistant, Raison(etat == tEtat::Expiree ? L"its listing timed out" : L"its listing was cut short"));
        l.bComplete = false;
    }

    // Where the server says we stand: a link shows its target's path on
    // servers that resolve links, and the unique fact on those that give it.
    CString strReel;
    m_ftp.GetCurrentDirectoryW(strReel);
    const std::string cleChemin = "p" + WideToUtf8(strReel);
    std::string unique = strUnique;
    if (nProfondeur == 0 && unique.empty())
        unique = m_ftp.IdentiteRepertoireCourant();
    if (DejaVu(cleChemin, strDistant) || (!unique.empty() && DejaVu("u" + unique, strDistant)))
        return false;
    m_vus.emplace(cleChemin, strDistant);
    if (!unique.empty())
        m_vus.emplace("u" + unique, strDistant);
    if (nProfondeur == 0)
        m_strRacineReelle = WideToUtf8(strReel);
    Trier(strDistant, l);
    return unique.empty() ? !Boucle(strDistant, l) : true;
}

namespace {

uint64_t Empreinte(uint64_t h, const std::wstring& s)
{
    for (wchar_t c : s) {
        h ^= static_cast<uint64_t>(c);
        h *= 1099511628211ull;
    }
    return (h ^ 0xff) * 1099511628211ull;
}

} // namespace

bool CMarcheArbre::Boucle(const CString& strDistant, const tListe& l)
{
    uint64_t h = 14695981039346656037ull;
    for (const std::vector<int>* v : {&l.fichiers, &l.repertoires})
        for (int i : *v)
            h = Empreinte(Empreinte(Empreinte(h, l[i].m_strNom), l[i].m_strDate + L"|" + l[i].m_strAttributs),
                          std::to_wstring(l[i].m_nTaille));
    // Only the directories the walk is inside: a sibling may rightly hold the same files.
    while (!m_ascendants.empty() && !DansArbre(strDistant, m_ascendants.back().second))
        m_ascendants.pop_back();
    for (const auto& [empreinte, chemin] : m_ascendants)
        if (empreinte == h) {
            m_bilan.ignores.push_back({strDistant, L"lists the same as " + chemin + L", which it is inside"});
            return true;
        }
    m_ascendants.emplace_back(h, strDistant);
    return false;
}

bool CMarcheArbre::EntrerLocal(const fs::path& chemin, const CString& strLocal, int nProfondeur)
{
    std::error_code ec;
    const fs::path canonique = fs::canonical(chemin, ec);
    const std::string cle = "l" + (ec ? chemin : canonique).string();
    if (DejaVu(cle, strLocal) || TropProfond(strLocal, nProfondeur))
        return false;
    m_vus.emplace(cle, strLocal);
    return true;
}

// ---------------------------------------------------------------- copy down

void CMarcheArbre::Descendre(const CString& strDistant, const CString& strLocal, const CString& strRelatif,
                             const std::string& strUnique, int nProfondeur)
{
    tListe l;
    if (!Entrer(strDistant, strUnique, nProfondeur, l))
        return;
    // Made once the remote side is known to be there; an existing directory
    // is merged into.
    const fs::path local = Chemin(strLocal);
    std::error_code ec;
    // Below the root, a link in the local target is never written through:
    // it could lead anywhere.
    if (nProfondeur > 0 && fs::is_symlink(fs::symlink_status(local, ec))) {
        NoterEchec(strLocal, L"is a link in the local target: not written through");
        return;
    }
    fs::create_directories(local, ec);
    if (!fs::is_directory(local, ec)) {
        NoterEchec(strLocal, ec ? L"cannot be created: " + Message(ec) : CString(L"exists and is not a directory"));
        return;
    }
    ++m_bilan.nRepertoires;

    tRepertoire rep{strDistant, strLocal, strRelatif, static_cast<int>(l.fichiers.size()), 0};
    for (int i : l.fichiers)
        rep.nOctets += l[i].m_nTaille;
    if (m_rappels.entreeRepertoire)
        m_rappels.entreeRepertoire(rep);

    const bool bExacte = m_ftp.ListeExacte();
    std::vector<std::pair<CString, std::string>> sousReps;
    for (int i : l.repertoires)
        sousReps.emplace_back(l[i].m_strNom, l.Identite(i));
    for (size_t k = 0; k < l.fichiers.size(); ++k) {
        const tInfosFichierFtp& e = l[l.fichiers[k]];
        const tFichier f{Joindre(strDistant, e.m_strNom), Texte(local / Chemin(e.m_strNom)),
                         Relatif(strRelatif, e.m_strNom), e.m_nTaille, &e, bExacte ? e.m_nDateUtc : 0};
        if (m_bFin) {
            m_bilan.nonFaits.push_back(f.strDistant);
            continue;
        }
        if (Traiter(f, f.strDistant, [&] { return Transferer(m_ftp, f, true); }, tEtape::Copie, nProfondeur) !=
            tIssue::Echoue)
            continue;
        const CString raison = Raison(L"cannot be downloaded");
        // Servers that list links in `ls -l` form show a link to a directory
        // as a file: one that can be entered is walked as a directory.
        if (m_ftp.SetCurrentDirectoryW(f.strDistant, 0) == 0)
            sousReps.emplace_back(e.m_strNom, std::string());
        else if (!Arreter())
            NoterEchec(f.strDistant, raison);
        else
            m_bilan.nonFaits.push_back(f.strDistant);
    }
    for (const auto& [nom, unique] : sousReps) {
        const CString strFils = Joindre(strDistant, nom);
        if (m_bFin)
            m_bilan.nonFaits.push_back(Dossier(strFils));
        else
            Descendre(strFils, Texte(local / Chemin(nom)), Relatif(strRelatif, nom), unique, nProfondeur + 1);
    }
    if (m_rappels.sortieRepertoire)
        m_rappels.sortieRepertoire(rep);
}

// ---------------------------------------------------------------- copy up

void CMarcheArbre::Envoyer(const CString& strLocal, const CString& strRacine)
{
    const fs::path local = Chemin(strLocal);
    std::error_code ec;
    if (!fs::is_directory(local, ec)) {
        NoterEchec(strLocal, L"is not a directory");
        return;
    }
    if (!EntrerLocal(local, strLocal, 0))
        return;
    m_racineLocale = fs::canonical(local, ec);
    bool bExistait = Essayer([&] { return m_ftp.SetCurrentDirectoryW(strRacine, 0) == 0; });
    short n = 0;
    if (!bExistait && !m_bFin && !Essayer([&] { return (n = m_ftp.MakeDir(strRacine)) == 0; }) && !m_bFin) {
        NoterEchec(strRacine, Raison(L"cannot be created on the instrument", n));
        return;
    }
    if (m_bFin)
        m_bilan.nonFaits.push_back(Dossier(strLocal));
    else
        Monter(strLocal, strRacine, CString(), bExistait ? tCible::Existante : tCible::Nouvelle, 0);
}

bool CMarcheArbre::LireLocal(const fs::path& local, const CString& strLocal, std::vector<tEntreeLocale>& fichiers,
                             std::vector<tEntreeLocale>& reps)
{
    std::error_code ec;
    for (fs::directory_iterator it(local, ec), fin; !ec && it != fin; it.increment(ec)) {
        const CString nom = Texte(it->path().filename());
        std::error_code ecEntree;
        const fs::file_status etat = it->status(ecEntree);   // links followed, within the tree
        const bool bRep = fs::is_directory(etat);
        if (!bRep && !fs::is_regular_file(etat))
            continue;   // sockets, pipes, devices and broken links are not copied
        if (!CheminDistant::NomSur(nom)) {
            NoterEchec(Texte(it->path()), L"its name cannot be sent to the instrument");
            continue;
        }
        if (it->is_symlink(ecEntree) && !DansRacineLocale(it->path())) {
            NoterEchec(Texte(it->path()), L"a link that leads outside the tree: not followed");
            continue;
        }
        const uint64_t nTaille = bRep ? 0 : fs::file_size(it->path(), ecEntree);
        (bRep ? reps : fichiers).push_back({nom, ecEntree ? 0 : nTaille});
    }
    if (ec) {
        NoterEchec(strLocal, L"cannot be read: " + Message(ec));
        return false;
    }
    auto parNom = [](const tEntreeLocale& a, const tEntreeLocale& b) { return a.strNom < b.strNom; };
    std::sort(fichiers.begin(), fichiers.end(), parNom);
    std::sort(reps.begin(), reps.end(), parNom);
    return true;
}

bool CMarcheArbre::DansRacineLocale(const fs::path& chemin) const
{
    std::error_code ec;
    const fs::path reel = fs::canonical(chemin, ec);
    if (ec || m_racineLocale.empty())
        return false;
    const auto [fin, _] = std::mismatch(m_racineLocale.begin(), m_racineLocale.end(), reel.begin(), reel.end());
    return fin == m_racineLocale.end();
}

void CMarcheArbre::Monter(const CString& strLocal, const CString& strDistant, const CString& strRelatif,
                          tCible cibleExistante, int nProfondeur)
{
    const fs::path local = Chemin(strLocal);
    std::vector<tEntreeLocale> fichiers, reps;
    if (!LireLocal(local, strLocal, fichiers, reps))
        return;

    // What the upload would replace, for the caller's question.
    tListe cibles;
    std::map<CString, int> parCible;
    if (cibleExistante == tCible::Existante && m_bListerCibles) {
        CString strChemin = strDistant;
        if (m_ftp.GetDir(&strChemin, cibles.liste, 0) == 0)
            for (int i = 0; i < cibles.liste.m_nNombre; ++i)
                if (!CFTPDirect::IsDirectory(cibles[i]))
                    parCible.emplace(cibles[i].m_strNom, i);
    }
    ++m_bilan.nRepertoires;
    tRepertoire rep{strDistant, strLocal, strRelatif, static_cast<int>(fichiers.size()), 0};
    for (const tEntreeLocale& e : fichiers)
        rep.nOctets += e.nTaille;
    if (m_rappels.entreeRepertoire)
        m_rappels.entreeRepertoire(rep);

    for (const tEntreeLocale& e : fichiers) {
        const auto cible = parCible.find(e.strNom);
        const tFichier f{Joindre(strDistant, e.strNom), Texte(local / Chemin(e.strNom)),
                         Relatif(strRelatif, e.strNom), e.nTaille,
                         cible == parCible.end() ? nullptr : &cibles[cible->second]};
        if (m_bFin)
            m_bilan.nonFaits.push_back(f.strLocal);
        else if (Traiter(f, f.strLocal, [&] { return Transferer(m_ftp, f, false); }, tEtape::Copie, nProfondeur) ==
                 tIssue::Echoue)
            NoterEchec(f.strLocal, Raison(L"cannot be uploaded"));
    }
    for (const tEntreeLocale& e : reps) {
        if (m_bFin)
            m_bilan.nonFaits.push_back(Dossier(Texte(local / Chemin(e.strNom))));
        else
            MonterSousRepertoire(local, strDistant, Relatif(strRelatif, e.strNom), e.strNom, nProfondeur + 1);
    }
    if (m_rappels.sortieRepertoire)
        m_rappels.sortieRepertoire(rep);
}

void CMarcheArbre::MonterSousRepertoire(const fs::path& local, const CString& strDistant, const CString& strRelatif,
                                        const CString& strNom, int nProfondeur)
{
    const CString strFils = Texte(local / Chemin(strNom));
    const CString strFilsDistant = Joindre(strDistant, strNom);
    // Checked before anything is made on the instrument for it.
    if (!EntrerLocal(Chemin(strFils), strFils, nProfondeur))
        return;
    short n = 0;
    if (Essayer([&] { return (n = m_ftp.MakeDir(strFilsDistant)) == 0; })) {
        Monter(strFils, strFilsDistant, strRelatif, tCible::Nouvelle, nProfondeur);
        return;
    }
    const CString raison = Raison(L"cannot be created on the instrument", n);
    // Refused because it is there already: merged into.
    if (!m_bFin && m_ftp.SetCurrentDirectoryW(strFilsDistant, 0) == 0) {
        Monter(strFils, strFilsDistant, strRelatif, tCible::Existante, nProfondeur);
        return;
    }
    if (!Arreter())
        NoterEchec(strFilsDistant, raison);
    if (m_bFin)
        m_bilan.nonFaits.push_back(Dossier(strFils));
}

// ---------------------------------------------------------------- removal

bool CMarcheArbre::Vider(const CString& strDistant, const CString& strRelatif, const std::string& strUnique,
                         int nProfondeur, tListeParent parent)
{
    // What DELE removes was a link (or a file): gone as such, and nothing it
    // led to is touched.
    if (Essayer([&] { return m_ftp.DelFile(strDistant) != 0; })) {
        ++m_bilan.nFichiers;
        return true;
    }
    tListe l;
    if (m_bFin) {
        m_bilan.nonFaits.push_back(Dossier(strDistant));
        return false;
    }
    // A DELE refused for a reason that does not show a directory (a read-only
    // parent refuses it for a link as for a directory): a link it may be, and
    // what it leads to is not the tree's. Left, and named.
    const CString refus = m_ftp.GetDerniereErreur();
    if (parent == tListeParent::Mlsd && refus.Find(L"irectory") < 0) {
        NoterEchec(strDistant, L"not entered: it may be a link that could not be deleted (" + refus + L")");
        return false;
    }
    if (!Entrer(strDistant, strUnique, nProfondeur, l) || !l.bComplete)
        return false;   // nothing is deleted from a partial listing
    CString strReel;
    m_ftp.GetCurrentDirectoryW(strReel);
    if (nProfondeur > 0 && !DansArbre(strReel, Utf8ToWide(m_strRacineReelle))) {
        NoterEchec(strDistant, L"leads outside the tree, to " + strReel);
        return false;
    }

    tRepertoire rep{strDistant, CString(), strRelatif, static_cast<int>(l.fichiers.size()), 0};
    for (int i : l.fichiers)
        rep.nOctets += l[i].m_nTaille;
    if (m_rappels.entreeRepertoire)
        m_rappels.entreeRepertoire(rep);
    for (int i : l.fichiers) {
        const tInfosFichierFtp& e = l[i];
        const tFichier f{Joindre(strDistant, e.m_strNom), CString(), Relatif(strRelatif, e.m_strNom), e.m_nTaille, &e};
        if (m_bFin)
            m_bilan.nonFaits.push_back(f.strDistant);
        else if (Traiter(f, f.strDistant, [&] { return m_ftp.DelFile(f.strDistant) != 0; }, tEtape::Suppression) ==
                 tIssue::Echoue)
            NoterEchec(f.strDistant, Raison(L"cannot be deleted"));
    }
    const tListeParent liste = m_ftp.ListeExacte() ? tListeParent::Mlsd : tListeParent::Ls;
    for (int i : l.repertoires) {
        const CString strFils = Joindre(strDistant, l[i].m_strNom);
        if (m_bFin)
            m_bilan.nonFaits.push_back(Dossier(strFils));
        else
            Vider(strFils, Relatif(strRelatif, l[i].m_strNom), l.Identite(i), nProfondeur + 1, liste);
    }
    if (m_rappels.sortieRepertoire)
        m_rappels.sortieRepertoire(rep);

    short n = 0;
    if (!m_bFin && Essayer([&] {
            n = m_ftp.RemDir(strDistant, CheminDistant::Parent(strDistant));
            return n == 0;
        })) {
        ++m_bilan.nRepertoires;
        return true;
    }
    if (m_bFin)
        m_bilan.nonFaits.push_back(Dossier(strDistant));
    else
        NoterEchec(strDistant, Raison(L"cannot be removed", n));
    return false;
}
