// The time values of FTP (MDTM, MFMT and the "modify" fact of MLSD):
// "YYYYMMDDHHMMSS" in UTC, a fraction of a second after a dot allowed.
#pragma once

#include "../platform/WinInetAPI.h"

#include <string>
#include <string_view>

namespace quorlin {

// False for anything else than a valid time in that form; milliseconds come
// from the fraction's first three digits.
bool ReadTimeValue(std::string_view value, FILETIME& time);
// The time to the second; false for a time that has no such text (a year
// beyond 9999, a value no system time holds).
bool WriteTimeValue(const FILETIME& time, std::string& value);

}  // namespace quorlin
