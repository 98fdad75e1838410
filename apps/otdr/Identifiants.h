#pragma once
// Where the tool's FTP login comes from, in this order: --user (with
// --password, OTDR_PASSWORD, the ~/.netrc password of that login, or a
// prompt on a terminal); the ~/.netrc entry of the instrument's address; the
// family of the model the instrument gives to "*IDN?"; the login stored in
// the profile ('otdr config --user', or the identification dialog's choice);
// the logins of the families in the driver's order. The choice itself is the
// library's (IdentifiantsFtp).

#include <functional>
#include <string>

#include "Contexte.h"
#include "common/CString.h"

using FonctionLogin = std::function<int(const CString& strUtilisateur, const CString& strMotDePasse)>;

// Makes the logins through 'login' (1 logged in, 0 refused, < 0 unreachable)
// and returns the last result.
int ConnecterSelonOptions(const tContexte& ctx, const FonctionLogin& login);

// A password typed on the terminal without echo, after strInvite on standard
// error; without a terminal, the first line of standard input. False when
// there is nothing to read.
bool LireMotDePasse(const std::string& strInvite, std::string& strMotDePasse);

// True when standard input is a terminal (a prompt can be answered).
bool TerminalInteractif();
