// The settings file's text form: sections of key=value lines. Kept apart from the
// library state so the format has one place.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace cdrip3 {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // in file order
};

// Lenient: blank lines and lines starting with '#' or ';' are skipped, so are lines
// outside any section and lines without '='. A ';' or '#' after a blank starts a comment
// that runs to the end of the line after a value; one without a blank before it is kept
// ("a;b" is a value). Keys and values are trimmed of blanks.
// A section header is "[name]"; the name runs to the last ']', so it may hold brackets (and
// every name the library writes reads back as it was), and what follows it is left out.
// A header without ']' or with a blank name starts no section, and the lines under it
// are skipped up to the next header.
std::vector<IniSection> parseIni(const std::string& text);
std::string formatIni(const std::vector<IniSection>& sections, const std::string& comment);

// Writes the file atomically (a temporary beside it, then rename), creating missing
// folders. False on any failure, errno then saying why; the old file stays as it was.
bool writeFileAtomically(const std::string& path, const std::string& text);
bool readFile(const std::string& path, std::string* text);

}  // namespace cdrip3
