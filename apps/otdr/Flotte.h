#pragma once
// otdr --fleet FILE: one command run for many instruments. Each instrument gets
// a child process of its own (this same program, on its address), --jobs at
// once: a child shares no state with the others (profile, traces, interrupts,
// an identify that must give up its worker), and one that fails or crashes
// stops nothing else. Their output comes back whole lines only, each prefixed
// with the instrument's name, or, under --json, as one document for all.

#include <optional>
#include <string>
#include <vector>

#include "OptionsOtdr.h"

struct tInstrumentFlotte
{
    std::string strNom;       // letters, digits, '.', '_', '-'; also its directory under LOCAL
    std::string strAdresse;
    std::optional<int> port;  // PORT_PAR_DEFAUT for "default"
    std::optional<int> portFtp;
};

// The instruments of a fleet file's text: "NAME ADDRESS [PORT [FTP_PORT]]" a
// line, '#' to the end of a line a comment. Throws CErreurOtdr(2) naming the
// file and line of the first mistake (a name twice included) or an empty fleet.
std::vector<tInstrumentFlotte> AnalyserFlotte(const std::string& strTexte, const std::string& strFichier);

// Runs the command line `args` (which holds --fleet) for each instrument of the
// fleet file; the exit status: 0 when all succeeded, else 1 (2 when the command
// line was wrong for them) after one line (or JSON object) per failed
// instrument on standard error.
int ExecuterFlotte(const std::vector<std::string>& args, const tOptionsOtdr& options);

// Ends the running children (Ctrl+C, SIGTERM): safe from the signal thread.
void TerminerFlotte();
