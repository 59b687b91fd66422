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

void install(QCoreApplication& application, const QString& file, const QString& directory)
{
    auto* translator = new QTranslator(&application);
    if (translator->load(file, directory))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void installTranslations(QCoreApplication& application, const QLocale& locale)
{
    const QString suffix = languageSuffix(locale);
    install(application, QStringLiteral("quartzel_") + suffix, QStringLiteral(":/i18n"));
    install(application, QStringLiteral("qtbase_") + suffix,
            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
