// SPDX-License-Identifier: GPL-3.0-or-later

#include "Application.h"
#include "BCPort.h"
#include "ComDiagnostics.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>
#include <utility>

namespace {

struct Translation
{
    QString text;
    QString type; // empty when finished; "unfinished", "vanished", ...
};

// (context, source text) -> translation, as a .ts file holds them.
using Catalogue = std::map<std::pair<QString, QString>, Translation>;

struct TsFile
{
    QLocale::Language language = QLocale::AnyLanguage;
    Catalogue messages;
};

TsFile readTs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TsFile ts;
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView element = xml.name();
        if (element == u"TS")
            ts.language =
                QLocale(xml.attributes().value(QLatin1String("language")).toString()).language();
        else if (element == u"name")
            context = xml.readElementText();
        else if (element == u"source")
            source = xml.readElementText();
        else if (element == u"translation") {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            ts.messages[{context, source}] = {xml.readElementText(), type};
        }
    }
    return ts;
}

// Our texts are written in Russian (the serial messages) or in English.
QLocale::Language languageOf(const QString& text)
{
    static const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
    return text.contains(cyrillic) ? QLocale::Russian : QLocale::English;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d+"));
    QStringList found;
    for (const QRegularExpressionMatch& match : placeholder.globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

} // namespace

// Every text the program shows has its translation into the other language,
// and Qt's own texts follow the same language as ours.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void everyTextTranslated_data();
    void everyTextTranslated();
    void languageOfLocale_data();
    void languageOfLocale();

private:
    Catalogue m_texts; // as lupdate finds them in the program's sources
};

// lupdate reads the same sources as the build's translations do.
void TestTranslations::initTestCase()
{
    QFile list(QStringLiteral(TRANSLATED_SOURCES_LIST));
    QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList sources = QString::fromUtf8(list.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString extracted = scratch.filePath(QStringLiteral("extracted.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE_PROGRAM),
                  QStringList{QStringLiteral("-silent"), QStringLiteral("-locations"),
                              QStringLiteral("none")} +
                      sources + QStringList{QStringLiteral("-ts"), extracted});
    QVERIFY(lupdate.waitForFinished());
    QCOMPARE(lupdate.exitCode(), 0);
    m_texts = readTs(extracted).messages;
    // The check below is only as good as what lupdate finds.
    using namespace ComPortMessages;
    for (const char* text :
         {NoSuchPort, PortInUse, WriteError, ReadError, InvalidAsync, PurgeCommFailed,
          SetCommStateFailed, SetCommTimeoutsFailed, SetupCommFailed, ClearCommErrorFailed,
          ModemStatusFailed, EscapeFailed, PropertyWhileOpen, RegistryError, EventsInterrupted})
        QVERIFY2(m_texts.contains({QStringLiteral("EComPort"), QString::fromUtf8(text)}), text);
}

void TestTranslations::cleanup()
{
    qDeleteAll(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly));
}

void TestTranslations::everyTextTranslated_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("type");
    const QDir directory(QStringLiteral(TRANSLATIONS_DIR));
    const QStringList files = directory.entryList({QStringLiteral("quartzel_*.ts")});
    QCOMPARE(files.size(), 2);
    for (const QString& name : files) {
        const TsFile ts = readTs(directory.filePath(name));
        for (const auto& [key, unused] : m_texts) {
            const auto& [context, source] = key;
            if (languageOf(source) == ts.language)
                continue;
            const auto found = ts.messages.find(key);
            const Translation translation = found != ts.messages.end()
                                                ? found->second
                                                : Translation{{}, QStringLiteral("missing")};
            QTest::addRow("%s: %s: %s", qPrintable(name), qPrintable(context), qPrintable(source))
                << source << translation.text << translation.type;
        }
    }
}

// A text written in one language needs a finished translation into each
// other one, with the same placeholders.
void TestTranslations::everyTextTranslated()
{
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(QString, type);
    QCOMPARE(type, QString());
    QVERIFY(!translation.isEmpty());
    QCOMPARE(placeholders(translation), placeholders(source));
}

void TestTranslations::languageOfLocale_data()
{
    QTest::addColumn<QString>("before"); // installed first; empty: nothing
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detailsButton"); // Qt's own text

    QTest::newRow("Russian: the message as written, Qt in Russian")
        << ""
        << "ru_RU"
        << "Порт занят другой программой"
        << "Показать подробности...";
    QTest::newRow("English") << ""
                             << "en_US"
                             << "Port is in use by another program"
                             << "Show Details...";
    QTest::newRow("German: English") << ""
                                     << "de_DE"
                                     << "Port is in use by another program"
                                     << "Show Details...";
    QTest::newRow("English in place of Russian, Qt's texts too")
        << "ru_RU"
        << "en_US"
        << "Port is in use by another program"
        << "Show Details...";
}

// The box of an error shows the system's reason behind "Show Details...",
// in the same language as the message.
void TestTranslations::languageOfLocale()
{
    QFETCH(QString, before);
    QFETCH(QString, locale);
    QFETCH(QString, message);
    QFETCH(QString, detailsButton);
    if (!before.isEmpty())
        installTranslations(*qApp, QLocale(before));
    installTranslations(*qApp, QLocale(locale));
    const QString detail = QStringLiteral("open /dev/ttyUSB0: Permission denied");
    const std::unique_ptr<QMessageBox> box = newErrorMessageBox(
        comport::translatedMessage(QString::fromUtf8(ComPortMessages::PortInUse)), detail);
    QCOMPARE(box->text(), message);
    QCOMPARE(box->detailedText(), detail);
    QStringList buttons;
    for (const QAbstractButton* button : box->findChildren<QAbstractButton*>())
        buttons << button->text();
    QVERIFY2(buttons.contains(detailsButton), qPrintable(buttons.join(u'|')));
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
