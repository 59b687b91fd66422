// SPDX-License-Identifier: GPL-3.0-or-later

#include "AdvSpin.h"
#include "Application.h"
#include "Main.h"
#include "MainFormTesting.h"
#include "ui_Main.h"

#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

// The frequency register of the main window: carries and borrows between the
// nine digits, the composition of the frequency string and the mode buttons.
class TestRegister : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithDefaultDial();
    void ripple_data();
    void ripple();
    void nonIntegerDigitCountsAsBorrow();
    void stepsDoNotCompose();
    void setDialComposes();

    void modeButtons();
    void clickOnCheckedModeButtonRunsNothing();
    void compositionSettlesDigitTexts_data();
    void compositionSettlesDigitTexts();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TMainForm> m_form;
    QStringList m_messages;
};

void TestRegister::init()
{
    m_messages.clear();
    setErrorMessageSink([this](const QString& text, const QString&) { m_messages << text; });
    TMainFormSetup setup;
    setup.settingsFile = m_dir.filePath(QStringLiteral("quartzel.ini"));
    setup.portListRoot = m_dir.path();
    m_form = std::make_unique<TMainForm>(setup);
}

void TestRegister::cleanup()
{
    m_form.reset();
    setErrorMessageSink(nullptr);
}

void TestRegister::startsWithDefaultDial()
{
    QCOMPARE(digitTexts(*m_form), QStringLiteral("014070000"));
    QVERIFY(m_form->form().SDR->isChecked());
    QVERIFY(!m_form->form().VFO->isChecked());
    QVERIFY(m_form->div4Mode());
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("014070000"));
    // The start-up reply padded the frequency string in place.
    QCOMPARE(m_form->frequencyString(), QStringLiteral("003527500"));
    QCOMPARE(m_form->form().StatusPanel1->text(), QStringLiteral("Ftx = 3527500"));
}

void TestRegister::ripple_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("digitIndex");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("after");
    QTest::newRow("hertz up ripples three places") << "014079999" << 9 << true << "014080000";
    QTest::newRow("hertz up at the top wraps the lower eight")
        << "299999999" << 9 << true << "200000000";
    QTest::newRow("hertz down at zero wraps the lower eight")
        << "000000000" << 9 << false << "099999999";
    QTest::newRow("kilohertz down borrows from megahertz")
        << "014000000" << 6 << false << "013999000";
    QTest::newRow("top digit up at 2 stays") << "200000000" << 1 << true << "200000000";
    QTest::newRow("top digit down at 0 stays") << "014070000" << 1 << false << "014070000";
    QTest::newRow("plain step without carry") << "014070000" << 8 << true << "014070010";
}

void TestRegister::ripple()
{
    QFETCH(QString, before);
    QFETCH(int, digitIndex);
    QFETCH(bool, up);
    QFETCH(QString, after);
    m_form->setDial(before);
    TAdvSpinEdit* d = m_form->digit(digitIndex);
    int changes = 0;
    if (digitIndex == 1)
        d->OnChange = [&changes](QObject*) { ++changes; };
    up ? d->StepUp() : d->StepDown();
    QCOMPARE(digitTexts(*m_form), after);
    if (digitIndex == 1)
        QCOMPARE(changes, before == after ? 0 : 1);
}

void TestRegister::nonIntegerDigitCountsAsBorrow()
{
    m_form->setDial(QStringLiteral("014070000"));
    m_form->digit(5)->setText(QStringLiteral("x"));
    QCOMPARE(digitTexts(*m_form), QStringLiteral("013990000"));
}

void TestRegister::stepsDoNotCompose()
{
    m_form->digit(9)->StepUp();
    QCOMPARE(digitTexts(*m_form), QStringLiteral("014070001"));
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("014070000"));
    QCOMPARE(m_form->frequencyString(), QStringLiteral("003527500"));
    m_form->ComposeFrequency();
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("014070001"));
    QCOMPARE(m_form->frequencyString(), QStringLiteral("03527500"));
    m_form->digit(9)->StepUp();
    m_form->digit(9)->StepUp();
    m_form->ComposeFrequency();
    QCOMPARE(m_form->frequencyString(), QStringLiteral("03527501"));
}

// The digits, the dial and the reply agree at once; a digit that shows its
// character already keeps the caret where the operator left it.
void TestRegister::setDialComposes()
{
    TAdvSpinEdit* unchanged = m_form->digit(5); // 7 before and after
    unchanged->setCursorPosition(0);
    m_form->setDial(QStringLiteral("007074000"));
    QCOMPARE(digitTexts(*m_form), QStringLiteral("007074000"));
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("007074000"));
    QCOMPARE(m_form->frequencyString(), QStringLiteral("01778500"));
    QCOMPARE(unchanged->cursorPosition(), 0);
}

void TestRegister::modeButtons()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    QVERIFY(m_form->form().VFO->isChecked());
    QVERIFY(!m_form->div4Mode());
    QCOMPARE(m_form->frequencyString(), QStringLiteral("014070000"));
    QCOMPARE(m_form->form().StatusPanel1->text(), QStringLiteral("Ftx = 14070000"));
    QTest::mouseClick(m_form->form().SDR, Qt::LeftButton);
    QVERIFY(m_form->div4Mode());
    QCOMPARE(m_form->frequencyString(), QStringLiteral("03527500"));
    QCOMPARE(m_form->form().StatusPanel1->text(), QStringLiteral("Ftx = 3527500"));
}

void TestRegister::clickOnCheckedModeButtonRunsNothing()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->digit(9)->StepUp();
    QTest::mouseClick(m_form->form().SDR, Qt::LeftButton);
    QVERIFY(m_form->form().SDR->isChecked());
    QCOMPARE(m_form->dialledFrequency(), QStringLiteral("014070000"));
}

void TestRegister::compositionSettlesDigitTexts_data()
{
    QTest::addColumn<int>("digitIndex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dialled");
    QTest::newRow("007 typed into the 10 kHz digit reads 7") << 5 << "007"
                                                             << "014070000";
    QTest::newRow("35 typed into the 1 kHz digit carries") << 6 << "35"
                                                           << "014080000";
    QTest::newRow("1.5 pasted into the top digit reads as its lowest value") << 1 << "1.5"
                                                                             << "014070000";
    QTest::newRow("a letter in the top digit reads 0") << 1 << "a"
                                                       << "014070000";
    QTest::newRow("two digits in the top digit clamp to 2") << 1 << "11"
                                                            << "214070000";
    QTest::newRow("an emptied hertz digit reads 0") << 9 << ""
                                                    << "014070000";
}

// Whatever a digit was left holding, the dial has nine digits, the window
// shows them, and the reply carries them; nothing is reported.
void TestRegister::compositionSettlesDigitTexts()
{
    QFETCH(int, digitIndex);
    QFETCH(QString, text);
    QFETCH(QString, dialled);
    m_form->digit(digitIndex)->setText(text);
    QTest::mouseClick(m_form->form().VFO, Qt::LeftButton);
    QCOMPARE(m_form->dialledFrequency(), dialled);
    QCOMPARE(digitTexts(*m_form), dialled);
    QCOMPARE(m_form->frequencyString(), dialled);
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(TestRegister)
#include "tst_register.moc"
