// Fontconfig's configuration for the font lookup: the system's, or a built-in one where the
// system has none.
#pragma once

namespace d3dx9 {

// Loads the system's fontconfig configuration once and makes it current. Where there is none
// (a sandbox that shows a program only /usr, as GNOME's thumbnailers run, has no /etc/fonts),
// a built-in one finds the fonts under /usr/share/fonts instead, and nothing is printed.
// Returns false when fontconfig cannot start.
bool InitFontConfig();

} // namespace d3dx9
