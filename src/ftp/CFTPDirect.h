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
// error code; 3 means a directory that cannot be entered.
// Operations block; call one object from one thread at a time.
//
// The client COtdrDriver::GetFTPDirect hands out belongs to the facade's
// worker: it is deleted at that facade's next StartDriver (not only at
// StopDriver) and when its last copy goes. Never delete it, and ask the facade
// for it again after a start or a stop instead of keeping the pointer.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/InfosFichierFtp.h"

class CSessionFtp;

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

    /// Closes any open connection, then logs in with USER/PASS.
    /// TRUE when logged in; FALSE otherwise (the object is then not connected).
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
    /// path component are skipped. 0 when not connected; otherwise 0 or the
    /// failure number of the directory change.
    short GetDir(CString* pChemin, CListeFichiersFtp& liste, int nFallback);

    /// Enters strRepertoire (failure ignored), then MKD strNom. 0 or the failure number.
    short MakeDir(CString strNom, CString strRepertoire);
    /// MKD strNom relative to the current directory. 0 or the failure number.
    short MakeDir(CString strNom);
    /// Enters strRepertoire (failure ignored), then RMD strNom. 0 or the failure number.
    short RemDir(CString strNom, CString strRepertoire);
    /// RETR into a temporary file beside strLocal, renamed over strLocal only on
    /// success: a failed download leaves an existing local file whole.
    int GetFile(CString strDistant, CString strLocal);
    /// STOR of the local file. TRUE on success.
    int PutFile(CString strLocal, CString strDistant);
    /// DELE. TRUE on success.
    int DelFile(CString strNom);
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

    /// Trace of the control connection: called with each command sent
    /// ("> CWD /x", password shown as "> PASS ****") and each reply line
    /// received ("< 250 OK"). Empty function: no trace (the default).
    using FonctionTrace = std::function<void(const std::string& strLigne)>;
    void SetTrace(FonctionTrace fonction);

    /// Called during each file transfer (GetFile, PutFile) with the bytes moved
    /// so far and the file's size (0 when unknown). Returning false cancels the
    /// transfer as Annuler() does. Empty function: no progress (the default).
    using FonctionProgression = std::function<bool(uint64_t nFaits, uint64_t nTotal)>;
    void SetProgression(FonctionProgression fonction);

    /// Cancels the operation in course, from any thread; the operation then
    /// fails (ECHEC_ANNULE for the short statuses). The cancel holds until
    /// RearmerAnnulation(): every operation started meanwhile fails at once.
    void Annuler();
    void RearmerAnnulation();
    bool EstAnnule() const;
    static constexpr short ECHEC_ANNULE = -30;

    /// Why the last operation failed, for people; empty after a success.
    CString GetDerniereErreur() const;

private:
    void AppliquerDelais(CSessionFtp& session) const;

    std::unique_ptr<CSessionFtp> m_pSession;  ///< null when not connected
    CString m_strAdresse;
    int m_nPort;
    std::chrono::milliseconds m_delaiConnexion{30000};
    std::chrono::milliseconds m_delaiReponse{30000};
    std::chrono::milliseconds m_delaiBlocage{30000};
    FonctionTrace m_trace;
    FonctionProgression m_progression;
    std::atomic<bool> m_bAnnule{false};
};

// Stand-in for the FTP layer's progress and cancel while they are being
// written: progress is stored, not reported; a cancel is seen before each
// operation only.
#define OTDR_FTP_PROVISOIRE 1
