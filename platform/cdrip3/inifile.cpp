#include "inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace cdrip3 {
namespace {

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool makeFolders(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(dir.substr(0, slash))) {
        return false;
    }
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A ';' or '#' after a blank starts a comment, so a value may be followed by one; one
// without a blank before it is part of the value (paths hold them).
std::string withoutComment(const std::string& line) {
    for (size_t i = 1; i < line.size(); ++i) {
        if ((line[i] == ';' || line[i] == '#') && blank(line[i - 1])) return line.substr(0, i);
    }
    return line;
}

}  // namespace

std::vector<IniSection> parseIni(const std::string& text) {
    std::vector<IniSection> out;
    std::istringstream in(text);
    std::string raw;
    // The lines under a broken header belong to no section: in the one before, a drive's
    // values would turn into images, or another drive's values.
    bool inSection = false;
    while (std::getline(in, raw)) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            // The name runs to the last ']', so it may hold brackets, and a drive named
            // "Image: a] #2" reads back as it was written; what follows (a comment) is not
            // part of it.
            const size_t close = line.find_last_of(']');
            std::string name = close == std::string::npos ? "" : trim(line.substr(1, close - 1));
            inSection = !name.empty();
            if (inSection) out.push_back({std::move(name), {}});
            continue;
        }
        const std::string entry = withoutComment(line);
        const size_t eq = entry.find('=');
        if (!inSection || eq == std::string::npos) continue;
        out.back().entries.emplace_back(trim(entry.substr(0, eq)), trim(entry.substr(eq + 1)));
    }
    return out;
}

std::string formatIni(const std::vector<IniSection>& sections, const std::string& comment) {
    std::string out;
    if (!comment.empty()) out += "# " + comment + "\n";
    for (const IniSection& s : sections) {
        if (!out.empty()) out += "\n";
        out += "[" + s.name + "]\n";
        for (const auto& [key, value] : s.entries) out += key + "=" + value + "\n";
    }
    return out;
}

bool readFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return !in.bad();
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && !makeFolders(path.substr(0, slash))) return false;
    const std::string tmp = path + ".tmp." + std::to_string(getpid());
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    int error = 0;  // the first failure's errno
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += size_t(n);
    }
    // The rename must not publish a file whose bytes are still only in the page cache.
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(tmp.c_str(), path.c_str()) != 0) error = errno;
    if (error == 0) return true;
    unlink(tmp.c_str());
    errno = error;  // the caller says why
    return false;
}

}  // namespace cdrip3
