// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit's window search for the tests that are scripts: prints the mapped client windows
// titled exactly TITLE, or whose WM_CLASS class is CLASS (in any case), topmost first, one id a
// line. Exits with 1 where there is none, 2 without a display.
//
//   window_search --title TITLE | --class CLASS
#include "XWindowProbe.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    const bool byTitle = argc == 3 && std::strcmp(argv[1], "--title") == 0;
    const bool byClass = argc == 3 && std::strcmp(argv[1], "--class") == 0;
    if (!byTitle && !byClass) {
        std::fprintf(stderr, "usage: window_search --title TITLE | --class CLASS\n");
        return 64;
    }
    XWindowProbe probe;
    if (!probe.connected()) {
        std::fprintf(stderr, "window_search: no X display\n");
        return 2;
    }
    const QString wanted = QString::fromLocal8Bit(argv[2]);
    const auto found = byTitle ? probe.viewableTitled(wanted) : probe.viewableOfClass(wanted);
    for (const XWindowProbe::WindowId window : found)
        std::printf("%lu\n", window);
    return found.empty() ? 1 : 0;
}
