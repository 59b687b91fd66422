// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLocale>

class QCoreApplication;

// The program speaks Russian to a user whose first language (LANGUAGE,
// LC_ALL, LC_MESSAGES or LANG) is Russian, and English to everyone else.
// Russian shows the serial messages exactly as they are written; English
// translates them. Texts the program adds in English (the command line's help
// and errors) are translated into Russian. The window's captions stay as the
// form gives them in every language.
//
// Installs, on `application`, the program's own translation for the language
// of `locale` (compiled in) and Qt's for its standard texts (dialog buttons,
// the command line's help): compiled in where Qt is linked into the program
// (Windows), else from Qt's translations directory where it is installed.
// Call once, before any text is shown.
void installTranslations(QCoreApplication& application, const QLocale& locale = QLocale::system());
