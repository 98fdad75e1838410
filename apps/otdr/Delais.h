#pragma once
// The time limits the tool promises, against the waits the library makes: the
// channel waits twice for each reply (once to size its buffer, once to read),
// so a reply limit of S seconds is handed over as S/2; the library's messages
// state the time waited in all, which is then S.

// The channel's limit per wait for a reply limit of nMs in all (at least 1 ms).
long AttenteParLecture(long nMs);
