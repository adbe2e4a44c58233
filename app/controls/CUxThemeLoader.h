#pragma once

namespace app {

// Looks for the platform's visual-styles library for a button. There is
// none on this platform, so it never loads; the buttons draw themselves the
// same way either way.
class CUxThemeLoader {
public:
    // Whether a theme is wanted (a non-standard colour scheme) and, if so,
    // whether the library could be loaded.
    void Init();
    // True unless the user's appearance scheme is "Windows Standard".
    static bool IsNonStandardScheme();

    bool m_bThemeWanted = false;
    bool m_bThemed = false;
    bool m_bLoaded = false;
};

} // namespace app
