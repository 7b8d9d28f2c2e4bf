#pragma once
// The program's own version: on Windows the fixed file-version information of the
// executable; here the four numbers the build stamps into the program (the CMake project
// version).
#include <QString>

#include <array>
#include <optional>

namespace vel::platform {

// a.b.c.d, each a 16-bit number, as the file-version resource holds them.
using FileVersion = std::array<quint16, 4>;

// The version of this program, or nothing when the build gave none.
std::optional<FileVersion> ProgramVersion();

// "1.2.3.4" (one to four numbers, missing ones 0); nothing when the text is no version.
std::optional<FileVersion> ParseFileVersion(const QString &text);

} // namespace vel::platform
