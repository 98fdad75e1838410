#pragma once
// Tracing of the instrument dialogue (the CLI's --verbose): every command line
// sent, every reply line received, and the connection events. A trace can be
// set for the whole process or for one channel (the channel's own wins).
// When no trace is set, the cost is one atomic load per line.

#include <functional>
#include <string>

#include "common/Export.h"

enum class eSensTrace {
    Envoi,     // a command line as sent, without its terminator
    Reception, // a reply line as received, without its line feed
    Evenement, // connection, disconnection, failure (text made by the channel)
};

// Called on the channel's own thread; must not throw nor call back into the channel.
using FonctionTraceCom = std::function<void(eSensTrace sens, const std::string& texte)>;

// Sets (or, with an empty function, removes) the process-wide trace.
OTDR_EXPORT void DefinirTraceCom(FonctionTraceCom fonction);

// True when a process-wide trace is set.
OTDR_EXPORT bool TraceComActive();

// Sends one entry to the process-wide trace, if any.
OTDR_EXPORT void TracerCom(eSensTrace sens, const std::string& texte);
