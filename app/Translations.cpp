#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

QString languageSuffix(MessageLanguage language)
{
    switch (language) {
    case MessageLanguage::English:
        return QStringLiteral("en");
    case MessageLanguage::Russian:
        return QStringLiteral("ru");
    }
    return QStringLiteral("en");
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

MessageLanguage messageLanguage(const QLocale& locale)
{
    const QStringList languages = locale.uiLanguages();
    if (!languages.isEmpty() && QLocale(languages.first()).language() == QLocale::Russian)
        return MessageLanguage::Russian;
    return MessageLanguage::English;
}

void installTranslations(QCoreApplication& application, const QLocale& locale)
{
    const QString suffix = languageSuffix(messageLanguage(locale));
    install(application, QStringLiteral("quartzel_") + suffix, QStringLiteral(":/i18n"));
    install(application, QStringLiteral("qtbase_") + suffix,
            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
