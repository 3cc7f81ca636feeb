#pragma once

#include <array>
#include <vector>

// One caption of the main window or the About box in the three languages,
// indexed like LanguageIndex: Simplified Chinese, Traditional Chinese, English.
struct CaptionRow {
    enum class Target { StatusPanel, MainWindow, AboutBox };
    Target target;
    // Object name of the control, or the panel number for a status panel.
    const char* control;
    std::array<const char*, 3> text;
};

// The captions ApplyLanguage sets on the main window and the About box, in the
// order it sets them. The dialogs keep their own tables.
const std::vector<CaptionRow>& MainCaptions();
