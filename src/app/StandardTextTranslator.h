#pragma once

#include <QTranslator>

// Qt's own texts (Yes and No of the question boxes, the file dialogs) follow
// the window's language; the system's Qt translations supply them. Without
// those files the texts simply stay English.
class StandardTextTranslator {
public:
    ~StandardTextTranslator();
    void apply(int languageIndex);

private:
    QTranslator translator_;
    bool installed_ = false;
};
