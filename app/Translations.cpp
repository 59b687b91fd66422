// SPDX-License-Identifier: GPL-3.0-or-later

#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The first of the user's languages decides.
QString languageSuffix(const QLocale& locale)
{
    const QStringList languages = locale.uiLanguages();
    const bool russian =
        !languages.isEmpty() && QLocale(languages.first()).language() == QLocale::Russian;
    return russian ? QStringLiteral("ru") : QStringLiteral("en");
}

// The file from the first directory that has it.
void install(QCoreApplication& application, const QString& file, const QStringList& directories)
{
    auto* translator = new QTranslator(&application);
    for (const QString& directory : directories) {
        if (translator->load(file, directory)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

} // namespace

void installTranslations(QCoreApplication& application, const QLocale& locale)
{
    const QString suffix = languageSuffix(locale);
    const QString compiledIn = QStringLiteral(":/i18n");
    install(application, QStringLiteral("quartzel_") + suffix, {compiledIn});
    // A program linked with Qt has Qt's translation compiled in (Windows);
    // else Qt's own, where it is installed.
    install(application, QStringLiteral("qtbase_") + suffix,
            {compiledIn, QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
}
