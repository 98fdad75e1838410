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
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/InfosFichierFtp.h"

class CMarcheArbre;
class CSessionFtp;
class CAnnulationFtp;
struct tCacheListeFtp;
class CRecepteurListeFtp;
struct tTelechargementFtp;

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
    /// The names the last GetDir skipped because they decode to the same text,
    /// bytes that are not UTF-8 shown as \xNN (so each is told apart).
    const std::vector<CString>& GetNomsEnDoublon() const { return m_nomsEnDoublon; }

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
    /// GetFile for a copy that knows the file from a listing (a sync, a
    /// parallel copy): the size is nTaille and, unless nDateExacte is 0, the
    /// time is nDateExacte (seconds, UTC) rather than asked with MDTM. With
    /// bReprendre the download goes into a partial file of a fixed name
    /// beside the target (".otdr-r<16 hex digits>.part", after the
    /// file's name, size and time), which a failed transfer leaves in
    /// place for a later call to resume: then the server sends only the rest
    /// (REST), if the partial file is shorter than nTaille; the whole file is
    /// fetched again when the server refuses REST or the resumed file does
    /// not come to nTaille bytes. *pRepris, when given, receives the bytes
    /// kept from a partial file (0 when none was resumed).
    int GetFileListe(CString strDistant, CString strLocal, uint64_t nTaille, int64_t nDateExacte, bool bReprendre,
                     uint64_t* pRepris = nullptr);
    /// STOR of the local file, then MFMT to its time when the server offers
    /// MFMT. TRUE on success. Cancelled, it removes what it stored (DELE) and
    /// names the file in GetDerniereErreur when it could not.
    int PutFile(CString strLocal, CString strDistant);
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

    int Telecharger(const CString& strDistant, const CString& strLocal, tTelechargementFtp& t);
    // Whether the last listing gave exact times (MLSD).
    bool ListeExacte() const;

    short Lister(CString* pChemin, int nFallback, CRecepteurListeFtp& recepteur);
    // GetDir, with the MLSD "unique" fact of each entry in pIdentites (in
    // list order, empty when the server gives none) when it is not null.
    short Lister(CString* pChemin, CListeFichiersFtp& liste, int nFallback, std::vector<std::string>* pIdentites);
    // The "unique" fact of the current directory (MLST); empty when the server
    // gives none.
    std::string IdentiteRepertoireCourant();
    // Names the last GetDir left out because they cannot be one path component.
    const std::vector<CString>& NomsInutilisables() const { return m_nomsInutilisables; }
    void AppliquerDelais(CSessionFtp& session) const;
    short Echec(int nCode);
    short CommandeSurNom(const char* pszVerbe, const CString& strNom);
    int EchecBool(const std::string& strRaison);
    bool Utilisable();
    void OublierListe();

    std::shared_ptr<CAnnulationFtp> m_annulation;
    std::unique_ptr<CSessionFtp> m_pSession;  ///< null when not connected
    std::unique_ptr<tCacheListeFtp> m_pCache;    ///< sizes and times of the last listing
    std::vector<CString> m_nomsEnDoublon;
    std::vector<CString> m_nomsInutilisables;
    std::string m_strErreur;
    tEchecConnexion m_eEchecConnexion = tEchecConnexion::Aucun;
    FonctionProgression m_progression;
    CString m_strAdresse;
    int m_nPort;
    std::chrono::milliseconds m_delaiConnexion{30000};
    std::chrono::milliseconds m_delaiReponse{30000};
    std::chrono::milliseconds m_delaiBlocage{30000};
    FonctionTrace m_trace;
    tEtatListe m_etatListe = tEtatListe::Complete;
};
