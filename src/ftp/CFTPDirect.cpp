#include "ftp/CFTPDirect.h"

class CSessionFtp {};

CFTPDirect::CFTPDirect(const CString& strAdresse, int nPort) : m_strAdresse(strAdresse), m_nPort(nPort) {}
CFTPDirect::~CFTPDirect() { FtpDeconnexion(); }
int CFTPDirect::FtpConnexion(CString, CString) { return 0; }
int CFTPDirect::FtpDeconnexion() { const int b = m_pSession != nullptr; m_pSession.reset(); return b; }
int CFTPDirect::EstConnecte() const { return m_pSession != nullptr; }
short CFTPDirect::GetDir(CString*, CListeFichiersFtp&, int) { return 0; }
short CFTPDirect::MakeDir(CString, CString) { return 0; }
short CFTPDirect::MakeDir(CString) { return 0; }
short CFTPDirect::RemDir(CString, CString) { return 0; }
int CFTPDirect::GetFile(CString, CString) { return 0; }
int CFTPDirect::PutFile(CString, CString) { return 0; }
int CFTPDirect::DelFile(CString) { return 0; }
short CFTPDirect::SetCurrentDirectoryW(CString, int) { return 0; }
int CFTPDirect::GetCurrentDirectoryW(CString&) const { return 0; }
CString CFTPDirect::GetFileName(CString s) { const int n = s.Find(L'*'); return n < 0 ? CString() : s.Left(n); }
int CFTPDirect::IsSpecialDir(CString s) { return s == L"." || s == L".."; }
int CFTPDirect::IsDirectory(const tInfosFichierFtp& i) { return i.m_strAttributs.Find(L'd') >= 0; }
void CFTPDirect::SetDelaiConnexion(std::chrono::milliseconds d) { m_delaiConnexion = d; }
void CFTPDirect::SetDelaiReponse(std::chrono::milliseconds d) { m_delaiReponse = d; }
void CFTPDirect::SetDelaiBlocage(std::chrono::milliseconds d) { m_delaiBlocage = d; }
void CFTPDirect::SetTrace(FonctionTrace f) { m_trace = std::move(f); }
