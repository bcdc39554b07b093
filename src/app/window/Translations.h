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

// The refusal of a second copy as the owner reads it (stderr and the system log keep the English line).
QString alreadyRunningMessage(long pid, const std::string& dataDirectory);

// Text from the wire and the host travels as bytes: UTF-8 when it is valid UTF-8, otherwise the
// single-byte character set (Latin-1). CR LF line ends show as plain line breaks.
QString displayText(const std::string& bytes);

}  // namespace ostrell::app
