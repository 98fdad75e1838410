#pragma once
// FTP client of one instrument: log in, walk, create and remove remote
// directories, fetch, store and delete files, list a directory.
//
// Every remote name or path travels as the UTF-8 bytes of its text; names
// received from the server are decoded from UTF-8. Transfers are binary and in
// active mode. One control connection is kept from FtpConnexion to
// FtpDeconnexion. No operation throws; each reports through its result.
//
// Remote arguments are names or "/"-separated paths, absolute or relative to
// the current remote directory. Text containing a backslash, NUL, CR or LF never
// reaches the server: such commands fail (501 for the short statuses).
// Failure numbers are the server's reply code (550...), else the libcurl
// error code; 3 means a directory that cannot be entered, ECHEC_ANNULE a
// cancelled operation. GetDerniereErreur tells why the last one failed.
// Operations block; call one object from one thread at a time (Annuler alone
// may come from any thread).
//
// The client COtdrDriver::GetFTPDirect hands out belongs to the facade's
// worker: it is deleted at that facade's next StartDriver (not only at
// StopDriver) and when its last copy goes. Never delete it, and ask the facade
// for it again after a start or a stop instead of keeping the pointer.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/InfosFichierFtp.h"

#if defined(_WIN32)
#define OTDR_FTP_INTERNE
#else
#define OTDR_FTP_INTERNE __attribute__((visibility("hidden")))
#endif

class CMarcheArbre;
class CSessionFtp;
class CAnnulationFtp;
struct tCacheListeFtp;
class CRecepteurListeFtp;
struct tTelechargementFtp;
struct tEntreeListeFtp;

class OTDR_EXPORT CFTPDirect
{
public:
    /// Binds the client to a server address (host name, IPv4 or IPv6 text) and
    /// port. No network activity.
    explicit CFTPDirect(const CString& strAdresse, int nPort = 21);
    /// Closes the connection as FtpDeconnexion does.
    virtual ~CFTPDirect();
    CFTPDirect(const CFTPDirect&) = delete;
    CFTPDirect& operator=(const CFTPDirect&) = delete;

    /// Closes any open connection, then logs in with USER/PASS (sent in the
    /// ANSI code page, as given). TRUE when logged in; FALSE
    /// otherwise (the object is then not connected; GetEchecConnexion says how).
    /// An address that is not a host name or an IP address is refused here.
    int FtpConnexion(CString strUtilisateur, CString strMotDePasse);
    /// Sends QUIT and closes. TRUE exactly when a connection was open on entry.
    int FtpDeconnexion();
    /// TRUE while logged in.
    int EstConnecte() const;

    /// Lists the directory *pChemin into `liste` (MLSD, or LIST when the
    /// server refuses MLSD), entries in server order. When the directory cannot
    /// be entered: nFallback 1 lists "/" instead and rewrites *pChemin to "/";
    /// any other value returns 3 with list and path untouched. The list is
    /// emptied only once the listing starts. Entries whose name cannot be one
    /// path component, before or after decoding, are skipped ("." and ".."
    /// as the server sends them stay); two or more names that decode to the
    /// same text are all skipped and named by GetNomsEnDoublon. 0 when not
    /// connected; otherwise 0 or the failure number of the directory change.
    short GetDir(CString* pChemin, CListeFichiersFtp& liste, int nFallback);
    /// The same listing handed over entry by entry as it arrives instead of
    /// kept in a list, for directories too large to hold: each record lives
    /// only for the call. Same directory change, fallback and result as
    /// GetDir. Names that decode alike are left out as GetDir does, but an
    /// entry already handed over when another name met its text is only named
    /// in GetNomsEnDoublon (by that text): the caller drops it.
    using FonctionEntreeListe = std::function<void(const tInfosFichierFtp&)>;
    short GetDir(CString* pChemin, const FonctionEntreeListe& fonction, int nFallback);
    /// The same listing again, each entry handed over as parsed: name in
    /// UTF-8 bytes (a name that is not well-formed UTF-8 comes decoded, its
    /// malformed bytes as U+FFFD), size, type and the date as listed, with
    /// its precision. No wide record is built: for callers that print a
    /// listing rather than keep it. Same names left out as the function form.
    using FonctionEntreeBrute = std::function<void(const tEntreeListeFtp&)>;
    short GetDirBrut(CString* pChemin, const FonctionEntreeBrute& fonction, int nFallback);
    /// The names the last GetDir skipped because they decode to the same text,
    /// bytes that are not UTF-8 shown as \xNN (so each is told apart).
    const std::vector<CString>& GetNomsEnDoublon() const { return m_nomsEnDoublon; }
    /// The lines of the last listing that no rule reads (neither an entry
    /// nor blank nor a "total N" header), left out rather than guessed at;
    /// bytes that are not UTF-8 shown as \xNN. The first 100.
    const std::vector<CString>& GetLignesIllisibles() const { return m_lignesIllisibles; }

    /// How the last GetDir ended. Complete: every entry the server sent is in
    /// the list. Coupee: the server or the connection cut the listing after it
    /// began (the list holds the whole lines received before). Refusee: the
    /// directory could not be entered or the server refused to list it (also
    /// without a connection). Expiree: a time limit passed (the list holds what
    /// came before). Annulee: cancelled.
    enum class tEtatListe { Complete, Coupee, Refusee, Expiree, Annulee };
    tEtatListe GetEtatDerniereListe() const { return m_etatListe; }
    /// TRUE when the last operation failed because the session is gone: the
    /// server closed or reset the control connection or refused a new one, or
    /// a reply or a transfer hit its time limit; never after a cancel. The next
    /// operation connects and logs in again.
    int SessionPerdue() const;

    /// Enters strRepertoire (failure ignored), then MKD strNom. 0 or the failure number.
    short MakeDir(CString strNom, CString strRepertoire);
    /// MKD strNom relative to the current directory. 0 or the failure number.
    short MakeDir(CString strNom);
    /// Enters strRepertoire (failure ignored), then RMD strNom. 0 or the failure number.
    short RemDir(CString strNom, CString strRepertoire);
    /// RETR into a temporary file beside strLocal, renamed over strLocal only on
    /// success: a failed download leaves an existing local file whole. A
    /// target the user may not write, a directory or a special file is
    /// refused; a symbolic link is written through to its destination (the
    /// link stays); a replaced file keeps its permissions. The file gets the
    /// remote file's time (from the last listing of its directory when that
    /// was MLSD, else MDTM) when the server tells it.
    int GetFile(CString strDistant, CString strLocal);
    /// What a listing told of a remote file: what a download checks its
    /// bytes against, and the identity of a partial file.
    struct tVersionFtp
    {
        uint64_t nTaille = 0;
        int64_t nDateExacte = 0;  ///< seconds, UTC, when exact (MLSD); 0 otherwise
        int64_t nDateListe = 0;   ///< the listing's time (to the minute or the day); 0: none
    };
    /// Whether a download goes into a partial file that a later call resumes.
    enum class tReprise { Non, Oui };
    /// GetFile for a copy that knows the file from a listing (a sync, a
    /// parallel copy): the download must come to version.nTaille bytes, and
    /// unless nDateExacte is 0 the time is that rather than asked with MDTM.
    /// With tReprise::Oui the download goes into a partial file of a fixed name
    /// beside the target (".otdr-r<16 hex digits>.part", after the file's
    /// name and version), which a failed transfer leaves in place for a later
    /// call to resume: the server is then asked (REST) to send again the last
    /// bytes the partial file holds, and the rest only when they match. Any
    /// doubt (no REST, a mismatch, a failure of the resumed transfer, a
    /// resumed file that does not come to the size) fetches the whole file.
    /// *pRepris, when given, receives the bytes kept from a partial file (0
    /// when none was resumed).
    int GetFileListe(CString strDistant, CString strLocal, const tVersionFtp& version, tReprise reprise,
                     uint64_t* pRepris = nullptr);
    /// STOR of the local file under a temporary name in the target's
    /// directory, renamed over the target once whole; then MFMT to its time
    /// when the server offers MFMT. A server that will not rename over a file
    /// has the target renamed aside first (and back on failure). When the
    /// server refuses the temporary name the file is stored directly, but only
    /// where no file of that name exists. TRUE on success; on any failure the
    /// server's file is left as it was and the temporary removed.
    int PutFile(CString strLocal, CString strDistant);
    /// The file's time to the second (MDTM, UTC) into nDateUtc. TRUE when the
    /// server told it.
    int GetDateExacte(CString strNom, int64_t& nDateUtc);
    /// Removes the temporary files of the downloads in flight in this process
    /// (not the partial files a later call may resume): for a program ended
    /// by a signal. Safe from any thread.
    static void SupprimerTemporairesEnCours();
    /// DELE. TRUE on success.
    int DelFile(CString strNom);
    /// RNFR strAncien, RNTO strNouveau (names or paths relative to the
    /// current directory). TRUE on success; GetDerniereErreur says why not.
    int Rename(CString strAncien, CString strNouveau);
    /// CWD to strChemin (absolute, or relative to the current directory). On
    /// failure with nCreer 0 returns 3; with nCreer non-zero walks the "/"
    /// components from the current directory, entering or creating each (an
    /// empty path gives 0). Returns 0 or the failure number of the refused MKD.
    short SetCurrentDirectoryW(CString strChemin, int nCreer);
    /// Current remote directory (absolute). FALSE, strChemin untouched, when not connected.
    int GetCurrentDirectoryW(CString& strChemin) const;

    /// The part of strTexte before the first "*" (empty when there is none).
    static CString GetFileName(CString strTexte);
    /// TRUE for exactly "." and "..".
    static int IsSpecialDir(CString strNom);
    /// TRUE when the entry's attributes contain "d".
    static int IsDirectory(const tInfosFichierFtp& infos);

    const CString& GetAdresse() const { return m_strAdresse; }
    int GetPort() const { return m_nPort; }

    /// Time limits. Connect: TCP connection to the server (default 30 s).
    /// Reply: wait for each server reply, and for the server to open an
    /// active-mode data connection (default 30 s; whole seconds, at least 1).
    /// Stall: a data transfer that moves no byte for this long fails (default
    /// 30 s; checked about once a second). Applied from the next operation on.
    void SetDelaiConnexion(std::chrono::milliseconds delai);
    void SetDelaiReponse(std::chrono::milliseconds delai);
    void SetDelaiBlocage(std::chrono::milliseconds delai);

    /// Data connections: active (the default; the server connects back) or
    /// passive (the client connects, which NAT and firewalls let through).
    /// In active mode, a data connection that cannot be made (PORT refused,
    /// 425, no connection back within the reply limit) is tried once more in
    /// passive mode, which the client then keeps; the function given to
    /// SetRepliPassif is told why, once per time it happens. Applied from the
    /// next login on. ActifSeul: active, without the passive retry.
    enum class tModeDonnees { Actif, Passif, ActifSeul };
    void SetModeDonnees(tModeDonnees eMode) { m_eModeDonnees = eMode; }
    tModeDonnees GetModeDonnees() const { return m_eModeDonnees; }
    using FonctionRepliPassif = std::function<void(const std::string& strRaison)>;
    void SetRepliPassif(FonctionRepliPassif fonction) { m_repliPassif = std::move(fonction); }

    /// Called during each file transfer (GetFile, PutFile) with the bytes moved
    /// so far and the file's size (0 when unknown), at least once at the start
    /// and once at the end, and about every 100 ms meanwhile, on the calling
    /// thread. Returning false cancels the transfer as Annuler() does. An empty
    /// function: no progress (the default).
    using FonctionProgression = std::function<bool(uint64_t nFaits, uint64_t nTotal)>;
    void SetProgression(FonctionProgression fonction);

    /// Cancels the operation in course, from any thread, within about 100 ms
    /// (a transfer, a listing, a directory change, a login, a wait for a
    /// reply): its sockets are shut down. The operation then fails, with
    /// ECHEC_ANNULE for the short statuses. The cancel holds until
    /// RearmerAnnulation(): every operation started meanwhile fails at once
    /// without network activity. The next operation after it logs in again.
    void Annuler();
    void RearmerAnnulation();
    bool EstAnnule() const;
    static constexpr short ECHEC_ANNULE = -30;

    /// Why the last operation failed, for people: the server's reply line
    /// ("550 Permission denied") or the local reason ("cannot create /x/y:
    /// Permission denied", "timed out waiting for the server's reply (30 s)",
    /// "cancelled"). Empty after a success.
    CString GetDerniereErreur() const;

    /// How the last FtpConnexion failed: the server refused the credentials;
    /// it could not be reached or closed the connection (a refused or cut
    /// connection, a greeting that is not 220); it did not answer in time; the
    /// login was cancelled. Aucun after a successful login.
    enum class tEchecConnexion { Aucun, Refusee, Injoignable, Expiree, Annulee };
    tEchecConnexion GetEchecConnexion() const { return m_eEchecConnexion; }

    /// Trace of the control connection: called with each command sent
    /// ("> CWD /x", password shown as "> PASS ****") and each reply line
    /// received ("< 250 OK"). Empty function: no trace (the default).
    using FonctionTrace = std::function<void(const std::string& strLigne)>;
    void SetTrace(FonctionTrace fonction);

private:
    friend class CMarcheArbre;  // the tree walker (CParcoursDistant)
    // Everything private is the library's own, not exported.

    OTDR_FTP_INTERNE int Telecharger(const CString& strDistant, const CString& strLocal, tTelechargementFtp& t);
    // The transfers' steps (CFTPDirectFichiers.cpp): the library's own, not exported.
    OTDR_FTP_INTERNE void ConnaitreFichier(const std::string& strDistant, tTelechargementFtp& t);
    OTDR_FTP_INTERNE int Recevoir(const std::string& strDistant, std::FILE* fichier, const std::string& strTemporaire,
                 tTelechargementFtp& t);
    OTDR_FTP_INTERNE int RecevoirUneFois(const std::string& strDistant, std::FILE* fichier, const std::string& strTemporaire,
                        tTelechargementFtp& t);
    OTDR_FTP_INTERNE bool TailleAttendue(const std::string& strDistant, std::FILE* fichier, tTelechargementFtp& t);
    OTDR_FTP_INTERNE bool Conclure(const std::filesystem::path& temporaire, const std::filesystem::path& cible, bool bExiste,
                  int64_t nDate);
    OTDR_FTP_INTERNE int Envoyer(std::FILE* fichier, uint64_t nTaille, const std::string& strDistant, int64_t nDate);
    OTDR_FTP_INTERNE int Remplacer(const std::string& strTemporaire, const std::string& strDistant);
    OTDR_FTP_INTERNE void Nettoyer(const std::string& strDistant);
    // Whether the last listing gave exact times (MLSD).
    OTDR_FTP_INTERNE bool ListeExacte() const;

    // Lister is GetDir's work under the project's name, also reached by the
    // tree walker (GetDir is the name callers know; both stay).
    OTDR_FTP_INTERNE short Lister(CString* pChemin, int nFallback, CRecepteurListeFtp& recepteur);
    // GetDir, with the MLSD "unique" fact of each entry in pIdentites (in
    // list order, empty when the server gives none) when it is not null.
    OTDR_FTP_INTERNE short Lister(CString* pChemin, CListeFichiersFtp& liste, int nFallback, std::vector<std::string>* pIdentites);
    // The "unique" fact of the current directory (MLST); empty when the server
    // gives none.
    OTDR_FTP_INTERNE std::string IdentiteRepertoireCourant();
    // Names the last GetDir left out because they cannot be one path component.
    const std::vector<CString>& NomsInutilisables() const { return m_nomsInutilisables; }
    OTDR_FTP_INTERNE void AppliquerDelais(CSessionFtp& session) const;
    OTDR_FTP_INTERNE short Echec(int nCode);
    OTDR_FTP_INTERNE short CommandeSurNom(const char* pszVerbe, const CString& strNom);
    OTDR_FTP_INTERNE int EchecBool(const std::string& strRaison);
    OTDR_FTP_INTERNE bool Utilisable();
    OTDR_FTP_INTERNE void OublierListe();

    std::shared_ptr<CAnnulationFtp> m_annulation;
    std::unique_ptr<CSessionFtp> m_pSession;  ///< null when not connected
    std::unique_ptr<tCacheListeFtp> m_pCache;    ///< sizes and times of the last listing
    std::vector<CString> m_nomsEnDoublon;
    std::vector<CString> m_nomsInutilisables;
    std::vector<CString> m_lignesIllisibles;
    std::string m_strErreur;
    tEchecConnexion m_eEchecConnexion = tEchecConnexion::Aucun;
    FonctionProgression m_progression;
    CString m_strAdresse;
    int m_nPort;
    std::chrono::milliseconds m_delaiConnexion{30000};
    std::chrono::milliseconds m_delaiReponse{30000};
    std::chrono::milliseconds m_delaiBlocage{30000};
    FonctionTrace m_trace;
    tModeDonnees m_eModeDonnees = tModeDonnees::Actif;
    FonctionRepliPassif m_repliPassif;
    tEtatListe m_etatListe = tEtatListe::Complete;
};
