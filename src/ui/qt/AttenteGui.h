#pragma once
// The two GUI-side halves of the driver's waits, for the Qt front end.
//
// - The wait window: the worker asks for it through AfficherAttente (any
//   thread); the request is carried to the GUI thread, which alone touches
//   widgets, where the window (template 2070, CDlgAttente) is made through the
//   Qt front end. Requests keep their order, so "show" then "remove" never
//   swap, and the worker never waits for the GUI thread (which may itself be
//   waiting for the worker).
// - The request wait: a facade request made on the GUI thread runs the event
//   loop while it waits, so the wait window paints and animates and host
//   timers run; user input that arrives meanwhile is discarded (not delivered,
//   not replayed afterwards).

class CEvenementManuel;
class QWidget;

void InstallerAttenteGui();
void DesinstallerAttenteGui();

// The GUI-aware wait itself, for the front end's operation waits: on the GUI
// thread, runs the event loop until `evenement` is set or nDelaiMs passes,
// dropping the user's input except on `libre` (a push button, may be null):
// mouse and Space on it, Enter while it has the focus, and Escape anywhere
// click it. Elsewhere (no filter installed, another thread) a plain wait.
bool AttendreEvenementGui(CEvenementManuel& evenement, unsigned long nDelaiMs, QWidget* libre);

// True while a request wait runs on the GUI thread.
bool AttenteGuiEnCours();
