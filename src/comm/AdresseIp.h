#pragma once
#include "common/CString.h"
#include "common/Export.h"

// Canonical form of a dotted IPv4 address typed by a user: leading zeros go
// (192.168.001.010 -> 192.168.1.10) and missing parts become 0 (192.168.1 ->
// 192.168.1.0). Only texts made of digits, dots and white space are rewritten:
// host names (even 7lab-box) and IPv6 addresses come back as typed.
CString NormaliserAdresseIp(const wchar_t* texte);
