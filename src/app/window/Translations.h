#pragma once
#include <QString>
#include <string>

namespace ostrell::app {

// The owner's language: loads the program's catalogue (and Qt's own, for the buttons of its dialogs)
// for the user's locale from the translations directory installed beside the program, or from dir.
// English, the language of the texts themselves, needs none.
void installTranslations(const QString& dir = {});

// The first-run refusal as the owner reads it.
QString notSetUpMessage(const std::string& settingsFile);

}  // namespace ostrell::app
