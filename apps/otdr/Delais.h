#pragma once
// The time limits the tool promises, against the waits the library makes: the
// channel waits twice for each reply (once to size its buffer, once to read),
// so a reply limit of S seconds is handed over as S/2, and the library's
// "within S/2 s" is told as the S the user actually waited.

#include <string>

// The channel's limit per wait for a reply limit of nMs in all (at least 1 ms).
long AttenteParLecture(long nMs);

// strRaison with the library's "within <half> s" put back as "within <whole> s".
std::string AttenteReelle(const std::string& strRaison, long nMs);
