#include "CommandLine.h"

#include <cstring>
#include <string>

namespace {

// Qt takes these out of argv itself (QGuiApplication, QApplication, the X11 platform),
// with one dash or two; they only need to get past the check for unknown options.
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
constexpr const char* kQtOptionsWithValue[] = {"platform",
                                               "platformpluginpath",
                                               "platformtheme",
                                               "plugin",
                                               "qwindowgeometry",
                                               "qwindowicon",
                                               "qwindowtitle",
                                               "session",
                                               "display",
                                               "geometry",
                                               "title",
                                               "icon",
                                               "name",
                                               "style",
                                               "stylesheet",
                                               "qmljsdebugger"};

const char kHelp[] =
    "Usage: %s [options]\n"
    "Plays audio CDs and rips their tracks to WAV, MP3 or Ogg Vorbis files.\n"
    "\n"
    "Options:\n"
    "  -h, --help       Show this help and exit.\n"
    "  -v, --version    Show the version and exit.\n"
    "\n"
    "Qt's own options are passed on to Qt, among them:\n"
    "  -platform NAME   Window system plugin (xcb, wayland, offscreen, ...).\n"
    "  -display HOST:N  X display to use.\n"
    "  -style NAME      Widget style; the program's own look applies on top.\n"
    "  -reverse         Lay the window out right to left.\n"
    "\n"
    "Disc images are listed as drives after the real drives: name their cue sheets in\n"
    "CDRIP3_IMAGES (separated by ':') or in the [Images] section of\n"
    "$XDG_CONFIG_HOME/Tolvane.ini (~/.config/Tolvane.ini).\n";

bool inList(const std::string& name, const auto& list) {
    for (const char* known : list) {
        if (name == known) return true;
    }
    return false;
}

}  // namespace

int AnswerCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    const char* program = argc > 0 && argv[0] && argv[0][0] ? argv[0] : "sonvale";
    if (const char* slash = std::strrchr(program, '/')) program = slash + 1;
    const auto refuse = [&](const std::string& what) {
        std::fprintf(err, "%s: %s\nTry '%s --help' for the options.\n", program, what.c_str(),
                     program);
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fprintf(out, kHelp, program);
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            std::fprintf(out, "Sonvale %s\n", SONVALE_VERSION);
            return 0;
        }
        if (arg.size() < 2 || arg[0] != '-') return refuse("unexpected argument '" + arg + "'");
        std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
        const size_t eq = name.find('=');
        const bool valueAttached = eq != std::string::npos;
        if (valueAttached) name.resize(eq);
        if (inList(name, kQtFlags) && !valueAttached) continue;
        if (!inList(name, kQtOptionsWithValue)) return refuse("unknown option '" + arg + "'");
        if (!valueAttached && ++i >= argc) return refuse("option '" + arg + "' needs a value");
    }
    return -1;
}
