// SPDX-License-Identifier: GPL-3.0-or-later

#include "ASXPVS.h"
#include "AdvSpinButton.h"

#include <QCursor>
#include <QLibrary>
#include <QTest>

// The theme loader against a missing library and two stand-ins built beside
// this test: one with every entry point, one that lacks GetThemeSysFont.
class TestASXPVS : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void missingLibraryLeavesThemeOff_data();
    void missingLibraryLeavesThemeOff();
    void missingEntryPointFailsAssertion();
    void completeLibraryLoadsOnceAndUnloads();
    void platformLook();
    void themedPaintPartAndState_data();
    void themedPaintPartAndState();

private:
    using LastStateProc = int (*)(int);
    using CountProc = int (*)();
    using ResetProc = void (*)();
};

void TestASXPVS::cleanup()
{
    UnloadThemeApi();
}

void TestASXPVS::missingLibraryLeavesThemeOff_data()
{
    QTest::addColumn<QString>("libraryFileName");
    QTest::newRow("UXTHEME.DLL, the system name") << QStringLiteral("UXTHEME.DLL");
    QTest::newRow("absolute path that does not exist")
        << QStringLiteral("/nonexistent/libuxtheme.so");
}

void TestASXPVS::missingLibraryLeavesThemeOff()
{
    QFETCH(QString, libraryFileName);
    if (libraryFileName == QLatin1String("UXTHEME.DLL")) {
        LoadThemeApi();
    } else {
        LoadThemeApi(libraryFileName);
    }
    QVERIFY(!ThemeApiLoaded());
}

void TestASXPVS::missingEntryPointFailsAssertion()
{
    try {
        LoadThemeApi(QStringLiteral(THEME_STANDIN_INCOMPLETE));
        QFAIL("an incomplete theme library was accepted");
    } catch (const EAssertionFailed& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Assertion failure (ASXPVS)"));
    }
    // The half-resolved library is not left marked as loaded.
    QVERIFY(!ThemeApiLoaded());
}

void TestASXPVS::completeLibraryLoadsOnceAndUnloads()
{
    LoadThemeApi(QStringLiteral(THEME_STANDIN_COMPLETE));
    QVERIFY(ThemeApiLoaded());
    QCOMPARE(IsThemeActive(), 1);
    // Loading again does nothing while loaded, so not even a bad library fails.
    LoadThemeApi(QStringLiteral(THEME_STANDIN_INCOMPLETE));
    QVERIFY(ThemeApiLoaded());
    UnloadThemeApi();
    QVERIFY(!ThemeApiLoaded());
}

void TestASXPVS::platformLook()
{
    // Linux desktops theme their widgets and Qt draws edits in the new style.
    QVERIFY(ThemeCapableOS());
    QVERIFY(NewStyleWindowLook());
}

void TestASXPVS::themedPaintPartAndState_data()
{
    QTest::addColumn<TSpinDirection>("direction");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hoverUp");
    QTest::addColumn<bool>("pressUp");
    QTest::addColumn<int>("upPart");
    QTest::addColumn<int>("downPart");
    QTest::addColumn<int>("upState");
    QTest::addColumn<int>("downState");
    QTest::newRow("vertical, normal")
        << TSpinDirection::spVertical << true << false << false << 1 << 2 << 1 << 1;
    QTest::newRow("vertical, pointer over up")
        << TSpinDirection::spVertical << true << true << false << 1 << 2 << 2 << 1;
    QTest::newRow("vertical, up pressed")
        << TSpinDirection::spVertical << true << true << true << 1 << 2 << 3 << 1;
    QTest::newRow("vertical, disabled")
        << TSpinDirection::spVertical << false << false << false << 1 << 2 << 4 << 4;
    QTest::newRow("horizontal, normal")
        << TSpinDirection::spHorizontal << true << false << false << 3 << 4 << 1 << 1;
    QTest::newRow("horizontal, up (right arrow) pressed")
        << TSpinDirection::spHorizontal << true << true << true << 3 << 4 << 3 << 1;
}

void TestASXPVS::themedPaintPartAndState()
{
    QFETCH(TSpinDirection, direction);
    QFETCH(bool, enabled);
    QFETCH(bool, hoverUp);
    QFETCH(bool, pressUp);
    QFETCH(int, upPart);
    QFETCH(int, downPart);
    QFETCH(int, upState);
    QFETCH(int, downState);

    LoadThemeApi(QStringLiteral(THEME_STANDIN_COMPLETE));
    QVERIFY(ThemeApiLoaded());
    QLibrary standIn(QStringLiteral(THEME_STANDIN_COMPLETE));
    const auto lastState = reinterpret_cast<LastStateProc>(standIn.resolve("StandInLastState"));
    const auto openCount = reinterpret_cast<CountProc>(standIn.resolve("StandInOpenCount"));
    const auto closeCount = reinterpret_cast<CountProc>(standIn.resolve("StandInCloseCount"));
    const auto reset = reinterpret_cast<ResetProc>(standIn.resolve("StandInReset"));
    QVERIFY(lastState && openCount && closeCount && reset);

    QWidget window;
    auto* pair = new TAdvSpinButton(&window);
    pair->setDirection(direction);
    pair->SetBounds(40, 20, 20, 17);
    pair->setEnabled(enabled);
    window.resize(100, 60);
    // The pointer may still stand where an earlier row left it.
    QCursor::setPos(window.mapToGlobal(QPoint(2, 2)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!pair->UpButton()->Hot() && !pair->DownButton()->Hot());
    if (hoverUp) {
        QTest::mouseMove(pair->UpButton(), pair->UpButton()->rect().center());
        QTRY_VERIFY(pair->UpButton()->Hot());
    }
    if (pressUp) {
        QTest::mousePress(pair->UpButton(), Qt::LeftButton, {}, pair->UpButton()->rect().center());
    }
    reset();
    pair->UpButton()->repaint();
    pair->DownButton()->repaint();
    if (pressUp) {
        QTest::mouseRelease(pair->UpButton(), Qt::LeftButton, {},
                            pair->UpButton()->rect().center());
    }

    QCOMPARE(lastState(upPart), upState);
    QCOMPARE(lastState(downPart), downState);
    // The theme handle is opened and closed on every paint.
    QVERIFY(openCount() >= 2);
    QCOMPARE(closeCount(), openCount());
}

QTEST_MAIN(TestASXPVS)
#include "tst_asxpvs.moc"
