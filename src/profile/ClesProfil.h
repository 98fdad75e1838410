#pragma once
// Every section and key the driver keeps in the host's profile. The spellings
// ("Adress IP" included) are the stored format: never correct them.

namespace ClesProfil {

constexpr const wchar_t* SECTION_DRIVER = L"OTDR Driver";
constexpr const wchar_t* CONTACT = L"Contact";                          // int, 0 = TCP/IP
constexpr const wchar_t* ADRESSE_IP = L"Adress IP";                     // string, ""
constexpr const wchar_t* FTP_TYPE_IDENTIFICATION = L"Ftp Type Identification";  // int 0..6, 0
constexpr const wchar_t* FTP_LOGIN = L"Ftp Login";                      // string, ""
constexpr const wchar_t* FTP_PASSWORD = L"Ftp Password";                // string, "" (as typed)
// Optional overrides of the command port (1400) and the FTP port (21), for
// instruments behind port forwarding and local simulators.
constexpr const wchar_t* PORT = L"Port";
constexpr const wchar_t* FTP_PORT = L"Ftp Port";
// Optional: 1 for passive FTP data connections (instruments behind NAT or a
// firewall); absent or 0, active as the driver always did.
constexpr const wchar_t* FTP_PASSIF = L"Ftp Passive";

constexpr const wchar_t* SECTION_FTPDIRECT = L"FtpDirect";
constexpr const wchar_t* REP_LOCAL = L"Rep Local";                      // string, "c:/"
constexpr const wchar_t* REP_DISTANT = L"Rep Distant";                  // string, "/"
constexpr const wchar_t* JOURNAL = L"Show Log";                         // int, 0: the session log hidden

constexpr const wchar_t* DEFAUT_REP_LOCAL = L"c:/";
constexpr const wchar_t* DEFAUT_REP_DISTANT = L"/";

} // namespace ClesProfil
