#pragma once

#include <QString>

// The documentation's pictures are taken only when BELCOR_SCREENSHOT_DIR names
// their folder (docs/screenshots); `part` is a folder of their own below it.
// Empty when no pictures are wanted.
inline QString screenshotFolder(const QString& part = {})
{
    const QString folder = qEnvironmentVariable("BELCOR_SCREENSHOT_DIR");
    return folder.isEmpty() || part.isEmpty() ? folder : folder + "/" + part;
}

// How a picture's name ends for each language index: "-zh_CN", "-zh_TW", "-en".
inline QString languageSuffix(int language)
{
    static const char* const names[] = {"zh_CN", "zh_TW", "en"};
    return QString("-") + names[language];
}
