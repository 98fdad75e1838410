#pragma once
// The FTP credentials of the instrument families and the order in which the
// file transfer entry points try them.

#include <functional>
#include <string>

#include "common/CString.h"
#include "common/Export.h"

struct tIdentifiantsFtp {
    const wchar_t* szUtilisateur;
    const wchar_t* szMotDePasse;
};

namespace IdentifiantsFtp {

// The fixed credentials, by family letter.
OTDR_EXPORT extern const tIdentifiantsFtp A, B, C, D, E, F, G, H;

// The credentials of a model name: a later match replaces an earlier one
// ("KRX" -> C; "NETSCAN" or "NETREFL" -> F; "FPX" -> G). False when no family
// matches (the credentials are left as they are).
OTDR_EXPORT bool ParModele(const CString& strModele, CString& strUtilisateur, CString& strMotDePasse);

// The credentials of a type of the identification dialog: 1 to 5 give A, B, C,
// D, E. False for the others (Automatic, Other), leaving the texts unchanged.
OTDR_EXPORT bool ParType(int nType, CString& strUtilisateur, CString& strMotDePasse);

// The credentials of a choice of the identification dialog, as stored in the
// profile: types 1 to 5 give A to E, type 6 ("Other") the login and password
// given. False for Automatic (0) and any other type, leaving the texts unchanged.
OTDR_EXPORT bool ParChoix(int nType, const CString& strLogin, const CString& strMotDePasseChoisi,
                          CString& strUtilisateur, CString& strMotDePasse);

// The login of a machine in a .netrc text: its "machine" entry (names compared
// exactly), else the "default" entry. bMotDePasse tells whether the entry gave
// a password. False when neither entry exists or it gives no login.
OTDR_EXPORT bool ParNetrc(const std::string& strTexte, const std::string& strMachine, std::string& strUtilisateur,
                          std::string& strMotDePasse, bool& bMotDePasse);

// Logs in with a host's stored choice: the family's credentials when the model
// names one (as the entry points do, a family overrides any other choice);
// else the stored choice (ParChoix, type 6 only with a login); else as
// Connecter with no credentials given. Same results as Connecter.
OTDR_EXPORT int ConnecterSelonChoix(const CString& strModele, int nType, const CString& strLogin,
                                    const CString& strMotDePasseChoisi,
                                    const std::function<int(const CString&, const CString&)>& connexion);

// Logs in as the file transfer entry point does and returns the last login's
// result: the given credentials ("krx15" / "brimola" for a null pointer, each
// separately), replaced by the family's when the model is known; then, only
// when no user was given, the model is unknown and that login failed, D, B, A,
// C and H in turn until one succeeds. 'connexion' makes one login: 1 logged
// in, 0 refused; a negative result (the server cannot be reached) ends the
// sequence at once and is returned.
OTDR_EXPORT int Connecter(const CString& strModele, const wchar_t* user, const wchar_t* password,
                          const std::function<int(const CString&, const CString&)>& connexion);

} // namespace IdentifiantsFtp
