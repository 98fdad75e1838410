#pragma once
// Texts of the file transfer dialog's panes and the rules its names follow.

#include <cstdint>
#include <ctime>

#include "common/CString.h"
#include "common/Export.h"
#include "ftp/InfosFichierFtp.h"

namespace TextesTransfert {

// Size column: bytes below 2047, then k, M and G with one decimal from two
// units less one byte on ("2046", "2.0 k", "2.0 M", "2.0 G").
CString TexteTaille(uint64_t nTaille);

// Date column: the time as UTC, "MM/DD/YYYY HH:MM:SS" in every locale (the
// date sort reads fixed character positions). "Unknown" when the time cannot
// be turned into calendar fields.
CString TexteDate(std::time_t t);
// The same layout in the computer's local time, as the panes and the
// overwrite question show dates (their column header says so).
CString TexteDateLocale(std::time_t t);
// What the panes show for a date column text: a UTC date ("MM/DD/YYYY
// HH:MM:SS") in local time; any other text as it is.
CString DateAffichee(const CString& strDateUtc);
// The reverse: seconds since the epoch of a date column text (UTC), 0 when
// the text is not such a date ("Unknown", "Invalid DateTime").
long long DateUtc(const CString& strTexte);
// A listing entry's time to compare: its exact seconds when the listing gave
// them, else its date column read back.
long long DateUtc(const tInfosFichierFtp& fichier);

// A name the user may give a new directory: none of \ / : * ? " < > | (nor a
// line break or NUL, which would end an FTP command), and, blanks at both ends
// aside, neither empty nor "." nor "..".
bool NomRepertoireValide(const CString& strNom);

// A name read from the local file system that can be joined to a local
// directory text: not empty, not "." or "..", no "/" (nor "\\" on Windows) or NUL.
bool NomLocalSur(const CString& strNom);

} // namespace TextesTransfert
