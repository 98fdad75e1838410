#pragma once
// Remote paths on the instrument, written once for the FTP client, the file
// transfer dialog and the command-line tool.
//
// A remote path is "/"-separated. An absolute one starts with "/"; once
// normalised it holds no empty, "." or ".." component and no final "/" (the
// root is "/"). Each rule comes for wide text (what the dialog and CFTPDirect's
// callers hold) and for the UTF-8 bytes that travel on the control connection:
// every character the rules look at is ASCII, so both give the same answer.

#include <string>
#include <vector>

#include "common/Export.h"

namespace CheminDistant {

/// strRep and strNom with exactly one "/" between them, also at the root
/// ("/" and "a" give "/a", "/x" and "a" give "/x/a"). An absolute strNom
/// replaces the directory; an empty strRep gives strNom as it is.
OTDR_EXPORT std::string Joindre(const std::string& strRep, const std::string& strNom);
OTDR_EXPORT std::wstring Joindre(const std::wstring& strRep, const std::wstring& strNom);

/// The directory part: "/a/b" gives "/a"; "/a", "/" and a text without "/" give "/".
OTDR_EXPORT std::string Parent(const std::string& strChemin);
OTDR_EXPORT std::wstring Parent(const std::wstring& strChemin);

/// The last component: "/a/b" gives "b", "/" gives "", a text without "/" itself.
OTDR_EXPORT std::string Nom(const std::string& strChemin);
OTDR_EXPORT std::wstring Nom(const std::wstring& strChemin);

/// The non-empty components, in order: "/a//b/" gives "a" and "b".
OTDR_EXPORT std::vector<std::string> Composants(const std::string& strChemin);
OTDR_EXPORT std::vector<std::wstring> Composants(const std::wstring& strChemin);

/// Lexical form, read from the root: empty and "." components dropped, ".."
/// takes one back (never above the root). "/a/./b//../c/" gives "/a/c",
/// "x/.." and "" give "/". No server is asked: links are not resolved.
OTDR_EXPORT std::string Normaliser(const std::string& strChemin);
OTDR_EXPORT std::wstring Normaliser(const std::wstring& strChemin);

/// strChemin made absolute and normalised: a relative text is read from
/// strBase (the root when strBase is empty).
OTDR_EXPORT std::string Absolu(const std::string& strBase, const std::string& strChemin);
OTDR_EXPORT std::wstring Absolu(const std::wstring& strBase, const std::wstring& strChemin);

/// True for exactly "." and "..".
OTDR_EXPORT bool EstSpecial(const std::string& strNom);
OTDR_EXPORT bool EstSpecial(const std::wstring& strNom);

/// True when strNom can be one path component on both sides: not empty, not
/// "." or "..", without "/", "\", NUL, CR or LF. A remote name that fails this
/// never becomes a local path or a command argument.
OTDR_EXPORT bool NomSur(const std::string& strNom);
OTDR_EXPORT bool NomSur(const std::wstring& strNom);

/// True when strChemin can go on the control connection as a command's
/// argument: no NUL, CR or LF (which would end the command and start another)
/// and no "\" (a separator on some servers, not in these paths).
OTDR_EXPORT bool CheminSur(const std::string& strChemin);
OTDR_EXPORT bool CheminSur(const std::wstring& strChemin);

} // namespace CheminDistant
