// SPDX-License-Identifier: GPL-3.0-or-later

// Mouse events go through the window system layer, as a real pointer does, so that
// QGuiApplication::mouseButtons() follows them.
#define QTEST_QPA_MOUSE_HANDLING

#include "AdvSpin.h"
#include "AdvSpinText.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace advspin;

Q_DECLARE_METATYPE(TAdvSpinType)

namespace {

// Replays a recorded key sequence: plain characters are typed, <Name> presses a named key, and
// a "C-" or "S-" prefix inside the brackets holds Ctrl or Shift.
void replay(QWidget* widget, const QString& script)
{
    static const QHash<QString, Qt::Key> keys{
        {"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},  {"PgUp", Qt::Key_PageUp},
        {"PgDn", Qt::Key_PageDown}, {"Del", Qt::Key_Delete}, {"BS", Qt::Key_Backspace},
        {"Enter", Qt::Key_Return},  {"Tab", Qt::Key_Tab},    {"Home", Qt::Key_Home},
        {"End", Qt::Key_End},       {"Left", Qt::Key_Left},  {"Right", Qt::Key_Right},
        {"V", Qt::Key_V},           {"X", Qt::Key_X},        {"Z", Qt::Key_Z},
        {"Ins", Qt::Key_Insert}};
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script[i] != u'<') {
            QTest::keyClick(widget, script[i].toLatin1());
            continue;
        }
        const qsizetype close = script.indexOf(u'>', i);
        QString name = script.mid(i + 1, close - i - 1);
        Qt::KeyboardModifiers modifiers;
        if (name.startsWith("C-"))
            modifiers |= Qt::ControlModifier;
        if (name.startsWith("S-"))
            modifiers |= Qt::ShiftModifier;
        if (modifiers)
            name = name.mid(2);
        QVERIFY2(keys.contains(name), qPrintable(name));
        QTest::keyClick(widget, keys.value(name), modifiers);
        i = close;
    }
}

// A window with three spin edits in tab order; the middle one is under test.
struct Panel
{
    QWidget window;
    TAdvSpinEdit* before{new TAdvSpinEdit(&window)};
    TAdvSpinEdit* edit{new TAdvSpinEdit(&window)};
    TAdvSpinEdit* after{new TAdvSpinEdit(&window)};

    Panel()
    {
        auto* layout = new QHBoxLayout(&window);
        for (TAdvSpinEdit* e : {before, edit, after})
            layout->addWidget(e);
        window.show();
        window.activateWindow();
    }
};

// The main window's digit control: range -1..10, smart steps.
void makeDigitControl(TAdvSpinEdit& edit)
{
    edit.setMinValue(-1);
    edit.setMaxValue(10);
    edit.setIncrementSmart(true);
}

void placeCaret(TAdvSpinEdit& edit, const QString& text, int caret, bool selectAll)
{
    edit.setText(text);
    if (selectAll)
        edit.selectAll();
    else
        edit.setCursorPosition(caret);
}

} // namespace

class TestAdvSpinKeys : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void digitControlStepKeys_data();
    void digitControlStepKeys();
    void typedCharacters_data();
    void typedCharacters();
    void germanSeparators_data();
    void germanSeparators();
    void deleteKey_data();
    void deleteKey();
    void editorDisabledStillSteps_data();
    void editorDisabledStillSteps();
    void onKeyDownCanChangeOrConsumeTheKey_data();
    void onKeyDownCanChangeOrConsumeTheKey();
    void enterKey_data();
    void enterKey();
    void ctrlEnterStepsUpOnce();
    void emptyTextOnFocusLoss_data();
    void emptyTextOnFocusLoss();
    void exitCorrection_data();
    void exitCorrection();
    void carryHandlerRunsOnExit();
    void windowSwitchIsNoExit();
    void paste_data();
    void paste();
    void emptyPasteRaisesNoChange();
    void cutRefusedWhileEditorDisabled();
    void contextMenuPaste_data();
    void contextMenuPaste();
    void contextMenuIsNoFocusLoss();
    void inputMethodCommit_data();
    void inputMethodCommit();
    void modifiedKeys_data();
    void modifiedKeys();
    void entrySelection_data();
    void entrySelection();
    void keysOnTheButtonPair_data();
    void keysOnTheButtonPair();
    void autoFocusOnMouseEnter_data();
    void autoFocusOnMouseEnter();
    void recordedSequences_data();
    void recordedSequences();

private:
    std::unique_ptr<Panel> m_panel;
    int m_beeps{0};
    QString m_keyPresses;
};

void TestAdvSpinKeys::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    reloadLocaleFormat();
    m_beeps = 0;
    m_keyPresses.clear();
    setMessageBeep([this] { ++m_beeps; });
    m_panel = std::make_unique<Panel>();
    QVERIFY(QTest::qWaitForWindowActive(&m_panel->window));
    m_panel->edit->setFocus();
    QVERIFY(m_panel->edit->hasFocus());
    m_panel->edit->OnKeyPress = [this](QObject*, QChar& key) { m_keyPresses += key; };
}

void TestAdvSpinKeys::cleanup()
{
    m_panel.reset();
    setMessageBeep(nullptr);
}

void TestAdvSpinKeys::digitControlStepKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCaret");
    QTest::addColumn<int>("expectedSelection");
    QTest::newRow("Up after the digit") << "5" << 1 << false << int(Qt::Key_Up) << "6" << 1 << 0;
    QTest::newRow("Down after the digit")
        << "5" << 1 << false << int(Qt::Key_Down) << "4" << 1 << 0;
    QTest::newRow("Page Up after the digit")
        << "5" << 1 << false << int(Qt::Key_PageUp) << "6" << 1 << 0;
    QTest::newRow("Page Down after the digit")
        << "5" << 1 << false << int(Qt::Key_PageDown) << "4" << 1 << 0;
    QTest::newRow("Up with the whole text selected keeps the selection")
        << "5" << 0 << true << int(Qt::Key_Up) << "6" << 0 << 1;
    QTest::newRow("Down with the whole text selected keeps the selection")
        << "5" << 0 << true << int(Qt::Key_Down) << "4" << 0 << 1;
    QTest::newRow("Page Up with the selection steps by IncrementPage up to the bound")
        << "5" << 0 << true << int(Qt::Key_PageUp) << "10" << 0 << 1;
    QTest::newRow("Up at 9 gives the carry value 10")
        << "9" << 1 << false << int(Qt::Key_Up) << "10" << 1 << 0;
    QTest::newRow("Down at 0 gives the borrow value -1")
        << "0" << 1 << false << int(Qt::Key_Down) << "-1" << 1 << 0;
    QTest::newRow("Up before the digit steps by Increment")
        << "5" << 0 << false << int(Qt::Key_Up) << "6" << 0 << 0;
}

void TestAdvSpinKeys::digitControlStepKeys()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, selectAll);
    QFETCH(int, key);
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    placeCaret(edit, text, caret, selectAll);
    QTest::keyClick(&edit, static_cast<Qt::Key>(key));
    QTEST(edit.text(), "expected");
    QTEST(edit.caretPosition(), "expectedCaret");
    QTEST(edit.selectionLength(), "expectedSelection");
    QVERIFY(edit.isModified());
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::typedCharacters_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<int>("precision");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCaret");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("keyPresses");
    QTest::addColumn<QString>("lock"); // "read-only" or "editor disabled"
    const auto row = [](const char* name, TAdvSpinType kind, const QString& text, int caret,
                        const QString& typed, const QString& expected, int expectedCaret, int beeps,
                        const QString& keyPresses) {
        QTest::newRow(name) << kind << 2 << false << text << caret << false << typed << expected
                            << expectedCaret << beeps << keyPresses << QString();
    };
    const auto lockedRow = [](const char* name, const char* lock) {
        QTest::newRow(name) << sptNormal << 0 << true << "12" << 1 << false << "-"
                            << "12" << 1 << 1 << "" << lock;
    };
    row("integer: a digit is inserted", sptNormal, "12", 2, "7", "127", 3, 0, "7");
    row("integer: a letter beeps", sptNormal, "12", 2, "a", "12", 2, 1, "");
    row("integer: a full stop beeps", sptNormal, "12", 2, ".", "12", 2, 1, "");
    row("integer: a comma beeps", sptNormal, "12", 2, ",", "12", 2, 1, "");
    row("integer: a colon beeps", sptNormal, "12", 2, ":", "12", 2, 1, "");
    row("integer: a blank beeps", sptNormal, "12", 2, " ", "12", 2, 1, "");
    row("integer: plus is dropped silently", sptNormal, "12", 2, "+", "12", 2, 0, "");
    row("integer: minus without Signed keeps the sign", sptNormal, "12", 1, "-", "12", 1, 0, "-");
    row("integer: backspace deletes", sptNormal, "12", 2, "\b", "1", 1, 0, "\b");
    QTest::newRow("Signed: minus puts a sign in front")
        << sptNormal << 0 << true << "12" << 1 << false << "-"
        << "-12" << 2 << 0 << "-" << QString();
    QTest::newRow("Signed: minus twice takes it away again")
        << sptNormal << 0 << true << "12" << 2 << false << "--"
        << "12" << 2 << 0 << "--" << QString();
    QTest::newRow("Signed: minus with the caret at the front")
        << sptNormal << 0 << true << "12" << 0 << false << "-"
        << "-12" << 1 << 0 << "-" << QString();
    lockedRow("Signed, read-only: minus beeps and leaves the text", "read-only");
    lockedRow("Signed, editor disabled: minus beeps and leaves the text", "editor disabled");
    row("hex: nothing typed before the prefix end", sptHex, "0x1F", 0, "a", "0x1F", 0, 1, "");
    row("hex: nothing typed inside the prefix", sptHex, "0x1F", 1, "5", "0x1F", 1, 1, "");
    row("hex: g beeps after the prefix", sptHex, "0x1F", 4, "g", "0x1F", 4, 1, "");
    row("hex: a is inserted after the prefix", sptHex, "0x1F", 4, "a", "0x1Fa", 5, 0, "a");
    row("hex: backspace at the prefix end beeps", sptHex, "0x1F", 2, "\b", "0x1F", 2, 1, "");
    row("hex: backspace after the prefix deletes", sptHex, "0x1F", 4, "\b", "0x1", 3, 0, "\b");
    row("hex: minus beeps and plus beeps inside the prefix", sptHex, "0x1F", 1, "+", "0x1F", 1, 1,
        "");
    row("hex: minus beeps after the prefix", sptHex, "0x1F", 3, "-", "0x1F", 3, 1, "");
    row("float: the fraction is full", sptFloat, "1.25", 4, "3", "1.25", 4, 1, "");
    row("float: plus beeps when the fraction is full", sptFloat, "1.25", 4, "+", "1.25", 4, 1, "");
    row("float: a second separator beeps", sptFloat, "1.25", 1, ",", "1.25", 1, 1, "");
    row("float: a comma enters the separator", sptFloat, "12", 2, ",", "12.", 3, 0, ".");
    row("float: digits before the separator", sptFloat, "1.25", 1, "0", "10.25", 2, 0, "0");
    QTest::newRow("float, Precision 0: no separator")
        << sptFloat << 0 << false << "12" << 2 << false << "."
        << "12" << 2 << 1 << "" << QString();
    QTest::newRow("float, Precision 0: separator over the whole text")
        << sptFloat << 0 << false << "12" << 0 << true << "."
        << "." << 1 << 0 << "." << QString();
    row("time: a colon beeps when there is one", sptTime, "9:05", 4, ":", "9:05", 4, 1, "");
    row("time: a full stop beeps when there is a colon", sptTime, "9:05", 4, ".", "9:05", 4, 1, "");
    row("time: a full stop enters the colon", sptTime, "", 0, "9.", "9:", 2, 0, "9:");
    row("date: the separator is admitted", sptDate, "", 0, "1/2", "1/2", 3, 0, "1/2");
    row("date: letters beep", sptDate, "", 0, "x", "", 0, 1, "");
}

void TestAdvSpinKeys::typedCharacters()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(int, precision);
    QFETCH(bool, isSigned);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(bool, selectAll);
    QFETCH(QString, typed);
    QFETCH(QString, lock);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setPrecision(precision);
    edit.setSpinType(kind);
    edit.setSigned(isSigned);
    placeCaret(edit, text, caret, selectAll);
    edit.setReadOnly(lock == "read-only");
    edit.setEditorEnabled(lock != "editor disabled");
    replay(&edit, typed);
    QTEST(edit.text(), "expected");
    QTEST(edit.caretPosition(), "expectedCaret");
    QTEST(m_beeps, "beeps");
    QTEST(m_keyPresses, "keyPresses");
}

void TestAdvSpinKeys::germanSeparators_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    QTest::newRow("float: the thousands separator enters the decimal comma") << sptFloat << "12"
                                                                             << "."
                                                                             << "12," << 0;
    QTest::newRow("float: a second decimal comma beeps") << sptFloat << "1,5"
                                                         << ","
                                                         << "1,5" << 1;
    QTest::newRow("integer: the decimal comma beeps") << sptNormal << "12"
                                                      << ","
                                                      << "12" << 1;
    QTest::newRow("date: the dotted separator is admitted") << sptDate << "8"
                                                            << "."
                                                            << "8." << 0;
    QTest::newRow("time: a dot is the date separator and beeps") << sptTime << "9"
                                                                 << "."
                                                                 << "9" << 1;
}

void TestAdvSpinKeys::germanSeparators()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, text);
    QFETCH(QString, typed);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    reloadLocaleFormat();
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setPrecision(2);
    edit.setSpinType(kind);
    placeCaret(edit, text, static_cast<int>(text.size()), false);
    replay(&edit, typed);
    QTEST(edit.text(), "expected");
    QTEST(m_beeps, "beeps");
}

void TestAdvSpinKeys::deleteKey_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hex: caret 0 keeps the prefix") << sptHex << true << "0x1F" << 0 << "0x1F";
    QTest::newRow("hex: caret 1 keeps the prefix") << sptHex << true << "0x1F" << 1 << "0x1F";
    QTest::newRow("hex: caret 2 deletes a digit") << sptHex << true << "0x1F" << 2 << "0xF";
    QTest::newRow("integer: deletes the next digit") << sptNormal << true << "12" << 0 << "2";
    QTest::newRow("editor disabled: nothing deleted") << sptNormal << false << "12" << 0 << "12";
}

void TestAdvSpinKeys::deleteKey()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(bool, editorEnabled);
    QFETCH(QString, text);
    QFETCH(int, caret);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setSpinType(kind);
    edit.setEditorEnabled(editorEnabled);
    placeCaret(edit, text, caret, false);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTEST(edit.text(), "expected");
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::editorDisabledStillSteps_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    QTest::newRow("Up steps") << "<Up>"
                              << "6" << 0;
    QTest::newRow("Down steps") << "<Down>"
                                << "4" << 0;
    QTest::newRow("Page Up steps") << "<PgUp>"
                                   << "15" << 0;
    QTest::newRow("Page Down steps") << "<PgDn>"
                                     << "-5" << 0;
    QTest::newRow("a digit beeps") << "7"
                                   << "5" << 1;
    QTest::newRow("backspace beeps") << "<BS>"
                                     << "5" << 1;
    QTest::newRow("Delete does nothing") << "<Home><Del>"
                                         << "5" << 0;
    QTest::newRow("undo does nothing") << "<C-Z>"
                                       << "5" << 0;
}

void TestAdvSpinKeys::editorDisabledStillSteps()
{
    QFETCH(QString, typed);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setEditorEnabled(false);
    edit.setText("1");
    edit.setText("5");
    edit.setCursorPosition(1);
    replay(&edit, typed);
    QTEST(edit.text(), "expected");
    QTEST(m_beeps, "beeps");
}

void TestAdvSpinKeys::onKeyDownCanChangeOrConsumeTheKey_data()
{
    QTest::addColumn<int>("pressed");
    QTest::addColumn<int>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Up consumed") << int(Qt::Key_Up) << 0 << "5";
    QTest::newRow("Down turned into Up") << int(Qt::Key_Down) << int(Qt::Key_Up) << "6";
    QTest::newRow("a consumed digit key still types its character") << int(Qt::Key_7) << 0 << "57";
}

void TestAdvSpinKeys::onKeyDownCanChangeOrConsumeTheKey()
{
    QFETCH(int, pressed);
    QFETCH(int, replacement);
    TAdvSpinEdit& edit = *m_panel->edit;
    QList<int> seen;
    edit.OnKeyDown = [&](QObject* sender, int& key, Qt::KeyboardModifiers) {
        QCOMPARE(sender, &edit);
        seen << key;
        key = replacement;
    };
    placeCaret(edit, "5", 1, false);
    QTest::keyClick(&edit, static_cast<Qt::Key>(pressed));
    QTEST(edit.text(), "expected");
    QCOMPARE(seen, QList<int>{pressed});
}

void TestAdvSpinKeys::enterKey_data()
{
    QTest::addColumn<bool>("returnIsTab");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("focusedIndex");
    QTest::newRow("ReturnIsTab moves on") << true << Qt::KeyboardModifiers() << 2;
    QTest::newRow("ReturnIsTab with Shift moves back")
        << true << Qt::KeyboardModifiers(Qt::ShiftModifier) << 0;
    QTest::newRow("without ReturnIsTab the focus stays") << false << Qt::KeyboardModifiers() << 1;
}

void TestAdvSpinKeys::enterKey()
{
    QFETCH(bool, returnIsTab);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, focusedIndex);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setReturnIsTab(returnIsTab);
    placeCaret(edit, "5", 1, false);
    QTest::keyClick(&edit, Qt::Key_Return, modifiers);
    QCOMPARE(m_keyPresses, "\r");
    const std::array<TAdvSpinEdit*, 3> edits{m_panel->before, m_panel->edit, m_panel->after};
    QTRY_VERIFY(edits[static_cast<std::size_t>(focusedIndex)]->hasFocus());
    QCOMPARE(edit.text(), "5");
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::ctrlEnterStepsUpOnce()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    placeCaret(edit, "5", 1, false);
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ControlModifier);
    QTRY_COMPARE(edit.text(), "6");
    QCoreApplication::processEvents();
    QCOMPARE(edit.text(), "6");
    QCOMPARE(changes, 1);
    QCOMPARE(m_keyPresses, "");
}

void TestAdvSpinKeys::emptyTextOnFocusLoss_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<bool>("allowNull");
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<QString>("expected");
    QTest::newRow("AllowNullValue false, range 1..9") << sptNormal << false << 1 << 9 << "1";
    QTest::newRow("AllowNullValue false, bounds 0..0 keep the empty text")
        << sptNormal << false << 0 << 0 << "";
    QTest::newRow("AllowNullValue true keeps the empty text") << sptNormal << true << 1 << 9 << "";
    QTest::newRow("hex, AllowNullValue false") << sptHex << false << 3 << 9 << "0x3";
    QTest::newRow("float, AllowNullValue false, no float range: exit writes 0")
        << sptFloat << false << 1 << 9 << "0";
}

void TestAdvSpinKeys::emptyTextOnFocusLoss()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(bool, allowNull);
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setSpinType(kind);
    edit.setAllowNullValue(allowNull);
    edit.setMinValue(minValue);
    edit.setMaxValue(maxValue);
    edit.setText("");
    QTest::keyClick(&edit, Qt::Key_Tab);
    QVERIFY(m_panel->after->hasFocus());
    QTEST(edit.text(), "expected");
    if (edit.text().isEmpty())
        QCOMPARE(edit.Value(), 0);
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::exitCorrection_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer 99 is clamped to 10") << sptNormal << "99"
                                                 << "10";
    QTest::newRow("integer 007 stays as typed") << sptNormal << "007"
                                                << "007";
    QTest::newRow("integer -5 is clamped to -1") << sptNormal << "<Home>-5"
                                                 << "5";
    QTest::newRow("float text is normalised to Precision") << sptFloat << "1.5"
                                                           << "1.50";
    QTest::newRow("float above the range") << sptFloat << "12.5"
                                           << "10.00";
    QTest::newRow("hex is clamped into MinValue..MaxValue") << sptHex << "<End>FF"
                                                            << "0xA";
}

void TestAdvSpinKeys::exitCorrection()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, typed);
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    edit.setPrecision(2);
    edit.setMinFloatValue(0.0);
    edit.setMaxFloatValue(10.0);
    edit.setSpinType(kind);
    edit.setText(kind == sptHex ? "0x" : "");
    QStringList events;
    edit.OnExit = [&](QObject*) { events << "exit " + edit.text(); };
    replay(&edit, typed);
    events << "typed " + edit.text();
    QTest::keyClick(&edit, Qt::Key_Tab);
    QTEST(edit.text(), "expected");
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.last(), "exit " + edit.text());
    QVERIFY(edit.isModified()); // the correction is the program's write, the typing the user's
}

// The main window's carry handler must see the clamped value when the focus leaves.
void TestAdvSpinKeys::carryHandlerRunsOnExit()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    edit.setText("");
    QStringList seen;
    edit.OnChange = [&](QObject*) {
        seen << edit.text();
        if (edit.Value() == 10)
            edit.setValue(0);
    };
    replay(&edit, "99");
    QCOMPARE(seen, QStringList({"9", "99"}));
    QTest::keyClick(&edit, Qt::Key_Tab);
    QCOMPARE(seen, QStringList({"9", "99", "10", "0"}));
    QCOMPARE(edit.text(), "0");
}

void TestAdvSpinKeys::windowSwitchIsNoExit()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    edit.setAllowNullValue(false);
    int exits = 0;
    int enters = 0;
    edit.OnExit = [&](QObject*) { ++exits; };
    edit.OnEnter = [&](QObject*) { ++enters; };
    replay(&edit, "<End>9");
    QCOMPARE(edit.text(), "09");
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!edit.hasFocus());
    QCOMPARE(edit.text(), "09");
    QCOMPARE(exits, 0);
    m_panel->window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m_panel->window));
    QCOMPARE(m_panel->window.focusWidget(), &edit);
    QCOMPARE(enters, 0);
    edit.setText("");
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(edit.text(), "-1");
    QCOMPARE(exits, 0);
}

void TestAdvSpinKeys::paste_data()
{
    QTest::addColumn<TAdvSpinType>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, TAdvSpinType kind, const QString& text,
                        const QString& clip, const QString& keys, const QString& expected) {
        QTest::newRow(name) << kind << text << clip << true << false << keys << expected;
    };
    row("3 after 12 gives 123", sptNormal, "12", "3", "<C-V>", "123");
    row("abc is refused", sptNormal, "12", "abc", "<C-V>", "12");
    row("1.5 is a number, so an integer control takes it", sptNormal, "12", "1.5", "<C-V>",
        "121.5");
    row("Shift+Insert pastes too", sptNormal, "12", "3", "<S-Ins>", "123");
    QTest::newRow("nothing with EditorEnabled false") << sptNormal << "12"
                                                      << "3" << false << false << "<C-V>"
                                                      << "12";
    QTest::newRow("nothing while read-only") << sptNormal << "12"
                                             << "3" << true << true << "<C-V>"
                                             << "12";
    row("a paste that leaves the text empty is refused", sptNormal, "12", "", "<S-Home><C-V>",
        "12");
    row("integer: a newline after a digit is refused", sptNormal, "12", "3\n", "<C-V>", "12");
    row("integer: a blank is refused", sptNormal, "12", "3 ", "<C-V>", "12");
    row("float: a digit is pasted into the fraction", sptFloat, "1.5", "2", "<C-V>", "1.52");
    row("float: a newline is refused", sptFloat, "1.5", "2\n", "<C-V>", "1.5");
    row("date: a tab is refused", sptDate, "1/2/2024", "5\t", "<S-Home><C-V>", "1/2/2024");
    row("time: a carriage return is refused", sptTime, "9:05:00", "9\r", "<S-Home><C-V>",
        "9:05:00");
}

void TestAdvSpinKeys::paste()
{
    QFETCH(TAdvSpinType, kind);
    QFETCH(QString, text);
    QFETCH(QString, clip);
    QFETCH(bool, editorEnabled);
    QFETCH(bool, readOnly);
    QFETCH(QString, keys);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setSpinType(kind);
    edit.setEditorEnabled(editorEnabled);
    edit.setReadOnly(readOnly);
    placeCaret(edit, text, static_cast<int>(text.size()), false);
    QGuiApplication::clipboard()->setText(clip);
    replay(&edit, keys);
    QTEST(edit.text(), "expected");
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::emptyPasteRaisesNoChange()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    placeCaret(edit, "12", 2, false);
    int changes = 0;
    edit.OnChange = [&](QObject*) { ++changes; };
    QGuiApplication::clipboard()->setText("");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), "12");
    QCOMPARE(changes, 0);
}

void TestAdvSpinKeys::contextMenuPaste_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("undoEnabled");
    QTest::addColumn<bool>("shortcutsShown");
    QTest::newRow("a number is pasted") << "3" << true << "123" << true << true;
    QTest::newRow("letters are refused") << "abc" << true << "12" << true << true;
    QTest::newRow("nothing while the editor is disabled") << "3" << false << "12" << false << true;
    QTest::newRow("letters are refused when menus show no shortcuts")
        << "abc" << true << "12" << true << false;
    QTest::newRow("no undo with the editor disabled when menus show no shortcuts")
        << "3" << false << "12" << false << false;
}

// The standard menu's Paste goes through the same check as Ctrl+V.
void TestAdvSpinKeys::contextMenuPaste()
{
    QFETCH(QString, clip);
    QFETCH(bool, editorEnabled);
    QFETCH(bool, shortcutsShown);
    QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, !shortcutsShown);
    const auto restore = qScopeGuard(
        [] { QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, false); });
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setText("");
    replay(&edit, "12"); // typed, so that there is something to undo
    edit.setEditorEnabled(editorEnabled);
    QGuiApplication::clipboard()->setText(clip);
    bool undoEnabled = false;
    bool pasted = false;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QLineEdit::tr("&Undo")))
                undoEnabled = action->isEnabled();
            if (action->text().startsWith(QLineEdit::tr("&Paste"))) {
                action->trigger();
                pasted = true;
            }
        }
        menu->close();
    });
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(2, 2),
                              edit.mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(&edit, &request);
    QVERIFY(pasted);
    QTEST(edit.text(), "expected");
    QTEST(undoEnabled, "undoEnabled");
}

// The menu takes the focus for a moment; the edit keeps its empty text and its focus colour.
void TestAdvSpinKeys::contextMenuIsNoFocusLoss()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setAllowNullValue(false);
    edit.setMinValue(1);
    edit.setMaxValue(9);
    edit.setNormalColor(colorFromRgb(200, 0, 0));
    edit.setText("");
    QString textWhileOpen = "menu never opened";
    TColor colorWhileOpen = clNone;
    QTimer::singleShot(0, this, [&] {
        QWidget* menu = QApplication::activePopupWidget();
        QVERIFY(menu);
        textWhileOpen = edit.text();
        colorWhileOpen = edit.Color();
        menu->close();
    });
    QTest::mouseClick(&edit, Qt::RightButton);
    QCOMPARE(textWhileOpen, "");
    QCOMPARE(colorWhileOpen, clWindow);
    QCOMPARE(m_panel->window.focusWidget(), &edit);
}

void TestAdvSpinKeys::inputMethodCommit_data()
{
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    QTest::newRow("digits are inserted") << "34"
                                         << "1234" << 0;
    QTest::newRow("letters are filtered out with a beep each") << "3x4y"
                                                               << "1234" << 2;
    QTest::newRow("plus is dropped silently") << "+"
                                              << "12" << 0;
    QTest::newRow("a tab is not inserted") << "3\t"
                                           << "123" << 0;
}

void TestAdvSpinKeys::inputMethodCommit()
{
    QFETCH(QString, commit);
    TAdvSpinEdit& edit = *m_panel->edit;
    placeCaret(edit, "12", 2, false);
    QInputMethodEvent event;
    event.setCommitString(commit);
    QCoreApplication::sendEvent(&edit, &event);
    QTEST(edit.text(), "expected");
    QTEST(m_beeps, "beeps");
}

void TestAdvSpinKeys::modifiedKeys_data()
{
    QTest::addColumn<char>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("selection");
    QTest::newRow("Ctrl+A selects all without a beep")
        << 'a' << Qt::KeyboardModifiers(Qt::ControlModifier) << "12" << 2;
    QTest::newRow("Ctrl+Alt (AltGr) types a digit")
        << '7' << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << "127" << 0;
    QTest::newRow("Alt with a digit types nothing")
        << '7' << Qt::KeyboardModifiers(Qt::AltModifier) << "12" << 0;
}

void TestAdvSpinKeys::modifiedKeys()
{
    QFETCH(char, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    TAdvSpinEdit& edit = *m_panel->edit;
    placeCaret(edit, "12", 2, false);
    QTest::keyClick(&edit, key, modifiers);
    QTEST(edit.text(), "expected");
    QTEST(edit.selectionLength(), "selection");
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::cutRefusedWhileEditorDisabled()
{
    TAdvSpinEdit& edit = *m_panel->edit;
    QGuiApplication::clipboard()->setText("before");
    edit.setText("12");
    edit.selectAll();
    edit.setEditorEnabled(false);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit.text(), "12");
    QCOMPARE(QGuiApplication::clipboard()->text(), "before");
    edit.setEditorEnabled(true);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit.text(), "");
    QCOMPARE(QGuiApplication::clipboard()->text(), "12");
}

void TestAdvSpinKeys::entrySelection_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("autoSelect");
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<bool>("selected");
    QTest::newRow("Tab selects all") << "tab" << true << true << true;
    QTest::newRow("Tab with AutoSelect false selects nothing") << "tab" << false << true << false;
    QTest::newRow("program focus selects all") << "program" << true << true << true;
    QTest::newRow("mouse press on the edit selects nothing") << "mouse" << true << true << false;
    QTest::newRow("mouse press with the editor disabled selects all")
        << "mouse" << true << false << true;
    QTest::newRow("right-button press on the edit selects all") << "right" << true << true << true;
    QTest::newRow("middle-button press on the edit selects all")
        << "middle" << true << true << true;
}

void TestAdvSpinKeys::entrySelection()
{
    QFETCH(QString, how);
    QFETCH(bool, autoSelect);
    QFETCH(bool, editorEnabled);
    TAdvSpinEdit& edit = *m_panel->edit;
    m_panel->before->setFocus();
    edit.setText("123");
    edit.setCursorPosition(1);
    edit.setAutoSelect(autoSelect);
    edit.setEditorEnabled(editorEnabled);
    int enters = 0;
    edit.OnEnter = [&](QObject* sender) {
        QCOMPARE(sender, &edit);
        ++enters;
    };
    const Qt::MouseButton button = how == "right"    ? Qt::RightButton
                                   : how == "middle" ? Qt::MiddleButton
                                                     : Qt::LeftButton;
    if (button == Qt::RightButton) // the press opens the context menu
        QTimer::singleShot(0, this, [] { QApplication::activePopupWidget()->close(); });
    if (how == "tab")
        QTest::keyClick(m_panel->before, Qt::Key_Tab);
    else if (how == "program")
        edit.setFocus();
    else
        QTest::mousePress(&edit, button);
    QVERIFY(edit.window()->focusWidget() == &edit);
    QTEST(edit.selectedText() == "123", "selected");
    QCOMPARE(enters, 1);
    if (button != Qt::LeftButton || how == "mouse")
        QTest::mouseRelease(&edit, button);
}

void TestAdvSpinKeys::keysOnTheButtonPair_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a digit stays on the pair") << "7"
                                               << "5";
    QTest::newRow("Backspace stays on the pair") << "<BS>"
                                                 << "5";
    QTest::newRow("Page Up stays on the pair") << "<PgUp>"
                                               << "5";
}

// The pair takes the focus only when it is a tab stop; then the keys it does not use go nowhere.
void TestAdvSpinKeys::keysOnTheButtonPair()
{
    QFETCH(QString, typed);
    TAdvSpinEdit& edit = *m_panel->edit;
    edit.setText("5");
    TAdvSpinButton* pair = edit.buttonPair();
    pair->setTabStop(true);
    pair->setFocus();
    QVERIFY(pair->hasFocus());
    replay(pair, typed);
    QTEST(edit.text(), "expected");
    QCOMPARE(m_beeps, 0);
}

void TestAdvSpinKeys::autoFocusOnMouseEnter_data()
{
    QTest::addColumn<bool>("autoFocus");
    QTest::newRow("AutoFocus takes the focus") << true;
    QTest::newRow("without AutoFocus the focus stays") << false;
}

void TestAdvSpinKeys::autoFocusOnMouseEnter()
{
    QFETCH(bool, autoFocus);
    TAdvSpinEdit& edit = *m_panel->after;
    edit.setAutoFocus(autoFocus);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), edit.mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(&edit, &enter);
    QCOMPARE(edit.hasFocus(), autoFocus);
    QCOMPARE(m_panel->edit->hasFocus(), !autoFocus);
}

void TestAdvSpinKeys::recordedSequences_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("changes");
    QTest::newRow("type over the selection, step twice") << "7<Up><Up>"
                                                         << "9" << 0 << "7 8 9";
    QTest::newRow("step to the carry value") << "9<Up>"
                                             << "10" << 0 << "9 10";
    QTest::newRow("letters and signs are filtered") << "4x+-.<Down>"
                                                    << "3" << 2 << "4 3";
    QTest::newRow("erase and retype") << "5<BS>8<PgDn>"
                                      << "7" << 0 << "5  8 7";
    QTest::newRow("caret at the front steps by Increment") << "<Home><Up><Up>"
                                                           << "2" << 0 << "1 2";
    QTest::newRow("hex keys have no effect on a digit control") << "AF"
                                                                << "0" << 2 << "";
}

void TestAdvSpinKeys::recordedSequences()
{
    QFETCH(QString, script);
    TAdvSpinEdit& edit = *m_panel->edit;
    makeDigitControl(edit);
    edit.setText("0");
    edit.selectAll();
    QStringList changes;
    edit.OnChange = [&](QObject*) { changes << edit.text(); };
    replay(&edit, script);
    QTEST(edit.text(), "expected");
    QTEST(m_beeps, "beeps");
    QTEST(changes.join(u' '), "changes");
}

QTEST_MAIN(TestAdvSpinKeys)
#include "tst_advspin_keys.moc"
