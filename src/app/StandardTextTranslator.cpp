#include "app/StandardTextTranslator.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

#include "core/MessageCatalogue.h"

StandardTextTranslator::~StandardTextTranslator()
{
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
}

void StandardTextTranslator::apply(int languageIndex)
{
    if (installed_) {
        QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
    }
    if (languageIndex != SimplifiedChinese && languageIndex != TraditionalChinese)
        return;
    const bool simplified = languageIndex == SimplifiedChinese;
    const QLocale locale(QLocale::Chinese, simplified ? QLocale::SimplifiedHanScript : QLocale::TraditionalHanScript,
                         simplified ? QLocale::China : QLocale::Taiwan);
    if (translator_.load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installed_ = QCoreApplication::installTranslator(&translator_);
}
