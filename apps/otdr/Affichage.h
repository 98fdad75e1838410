#pragma once
// Text from the instrument, the FTP server or a remote file name, made safe to
// print on a terminal: an escape sequence in a model name or a file name must
// not clear the screen or set the window title.

#include <string>

// The UTF-8 text with every control character in a visible form: C0 controls
// and DEL as \xNN (ESC is \x1b), C1 controls and the bidirectional overrides
// as \uNNNN, bytes that are not UTF-8 as \xNN, and the backslash doubled so
// the form cannot be mistaken for the text. Everything else is kept.
std::string Visible(const std::string& texte);

// The characters that drive a terminal and are never printed as they stand,
// here or in the JSON output: C0 controls, DEL, C1 controls, and the
// bidirectional embeddings, overrides and isolates (U+202A..U+202E,
// U+2066..U+2069), which reorder what follows them on the line.
bool EstControleTerminal(char32_t c);
