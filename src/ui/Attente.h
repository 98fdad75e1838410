#pragma once
// The wait indication the worker shows while it connects or disconnects.
//
// The worker calls AfficherAttente(text, animation) to show or replace the wait
// window and AfficherAttente(nullptr, …) to remove it. What that does depends on
// the front end: a GUI front end installs a handler (which must be safe to call
// from the worker thread); without one the calls do nothing. Tests install a
// handler that records the calls.

#include <functional>

#include "common/Export.h"

using FnAfficherAttente = std::function<void(const wchar_t* texte, unsigned animation)>;

// Installs the handler (an empty function removes it). Returns the previous one.
OTDR_EXPORT FnAfficherAttente DefinirAfficherAttente(FnAfficherAttente fn);

// Shows (texte non-null) or removes (texte null) the wait window.
OTDR_EXPORT void AfficherAttente(const wchar_t* texte, unsigned animation);
