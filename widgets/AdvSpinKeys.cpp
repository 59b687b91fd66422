// SPDX-License-Identifier: GPL-3.0-or-later

// Keyboard, clipboard and focus handling of the spin edit.
#include "AdvSpin.h"

#include "AdvSpinText.h"
#include "Convert.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyleHints>
#include <algorithm>

using namespace advspin;

namespace {

constexpr char16_t enterCode = 13;
constexpr char16_t escapeCode = 27;
constexpr char16_t backspaceCode = 8;
constexpr char16_t deleteCode = 127;

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The keys after whose handling the caret and the selection are put back.
bool restoresCaret(int key)
{
    return isEnterKey(key) || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
           key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Delete;
}

bool isControlCharacter(QChar c)
{
    return c.unicode() < 32 && c.unicode() != enterCode;
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return isDecimalDigit(c) || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// The characters a key event types, as the platform's character messages would carry them: none
// while Ctrl, Alt or Meta is held (those keys are shortcuts) unless Ctrl+Alt stands for AltGr and
// types a printable character; Enter, Backspace and Escape always; never the Delete character.
QString typedCharacters(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool altGr = (modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier) &&
                       !event->text().isEmpty() && event->text().front().unicode() >= 32;
    if (!altGr && (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return {};
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QString(QChar(enterCode));
    case Qt::Key_Backspace:
        return QString(QChar(backspaceCode));
    case Qt::Key_Escape:
        return QString(QChar(escapeCode));
    case Qt::Key_Delete:
        return {};
    }
    QString text = event->text();
    text.remove(QChar(deleteCode));
    return text;
}

// Shortcuts that change the text without typing a character.
bool isEditingShortcut(const QKeyEvent* event)
{
    return event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
           event->matches(QKeySequence::DeleteStartOfWord) ||
           event->matches(QKeySequence::DeleteEndOfWord) ||
           event->matches(QKeySequence::DeleteEndOfLine) ||
           event->matches(QKeySequence::DeleteCompleteLine);
}

// Focus that leaves for another window or a popup, or comes back from one.
bool isWindowSwitch(Qt::FocusReason reason)
{
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

// A menu caption with its shortcut, where the application shows shortcuts in context menus.
QString menuCaption(const QString& caption, QKeySequence::StandardKey key)
{
    const bool shown = !QCoreApplication::testAttribute(Qt::AA_DontShowShortcutsInContextMenus) &&
                       QGuiApplication::styleHints()->showShortcutsInContextMenus();
    return shown ? caption + u'\t' + QKeySequence(key).toString(QKeySequence::NativeText) : caption;
}

} // namespace

// --- keys ------------------------------------------------------------------------------------

// One key event runs the key-down handling first and then the character handling on its text;
// what survives both goes on to the line edit's own processing.
void TAdvSpinEdit::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    keyDown(key, event->modifiers());
    if (isEnterKey(key) && (event->modifiers() & Qt::ControlModifier))
        postKeyToSelf(Qt::Key_Up, Qt::NoModifier);
    if (key != 0 && handleShortcut(event))
        return;
    const QString typed = typedCharacters(event);
    if (typed.isEmpty()) {
        if (key != 0)
            forwardKey(event, key, QString());
        return;
    }
    QString admitted;
    for (const QChar c : typed)
        admitted += characterMessage(c);
    if (isEnterKey(key))
        forwardKey(event, key, QString());
    else if (!admitted.isEmpty())
        forwardKey(event, event->key(), admitted);
}

// Text committed by an input method obeys the same character rules as typed keys, and like a
// key it inserts no control character (those are editing keys); its pre-edit text is not shown,
// as nothing unfiltered may appear in the edit.
void TAdvSpinEdit::inputMethodEvent(QInputMethodEvent* event)
{
    QString admitted;
    for (const QChar c : event->commitString()) {
        const QString typed = characterMessage(c);
        if (!typed.isEmpty() && typed.front().isPrint())
            admitted += typed;
    }
    QInputMethodEvent filtered;
    filtered.setCommitString(admitted);
    QLineEdit::inputMethodEvent(&filtered);
}

void TAdvSpinEdit::keyDown(int& key, Qt::KeyboardModifiers shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
    const int caret = caretPosition();
    const int selection = selectionLength();
    const QString before = text();
    if (isEnterKey(key)) {
        if (m_returnIsTab) {
            key = Qt::Key_Tab;
            const bool backwards = shift & Qt::ShiftModifier;
            postKeyToSelf(backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                          backwards ? Qt::ShiftModifier : Qt::NoModifier);
        }
    } else if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        pageStep(key == Qt::Key_PageUp ? +1 : -1);
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        arrowStep(key == Qt::Key_Up ? +1 : -1);
    } else if (key == Qt::Key_Delete) {
        if (!m_editorEnabled || (m_spinType == sptHex && caret < 2))
            key = 0;
    }
    if (restoresCaret(key))
        setCaretAndSelection(caret, selection);
    if (text() != before)
        setModified(true);
}

// Page keys step the digit left of the caret when smart, otherwise by the page increments.
void TAdvSpinEdit::pageStep(int direction)
{
    stepBy(direction, smartKeyStep() ? StepSize::Digit : StepSize::Page);
}

// Arrow keys step the digit left of the caret when smart and the kind is a number, otherwise
// they click the buttons.
void TAdvSpinEdit::arrowStep(int direction)
{
    const bool numberKind = m_spinType == sptNormal || m_spinType == sptFloat;
    if (smartKeyStep() && numberKind)
        stepBy(direction, StepSize::Digit);
    else if (direction > 0)
        UpClick(this);
    else
        DownClick(this);
}

// A selection turns a smart key step into an ordinary one.
bool TAdvSpinEdit::smartKeyStep() const
{
    return m_incrementSmart && selectionLength() == 0;
}

// Posted, so that it takes effect after the current key has been processed completely.
void TAdvSpinEdit::postKeyToSelf(int key, Qt::KeyboardModifiers modifiers)
{
    QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, key, modifiers));
}

// Paste and cut go through their guarded versions; text-changing shortcuts are refused while
// the editor is disabled, and in the hexadecimal kind, where they could eat the "0x" prefix.
bool TAdvSpinEdit::handleShortcut(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste))
        pasteChecked();
    else if (event->matches(QKeySequence::Cut))
        cutChecked();
    else if (!isEditingShortcut(event) || (m_editorEnabled && m_spinType != sptHex))
        return false;
    event->accept();
    return true;
}

void TAdvSpinEdit::forwardKey(QKeyEvent* event, int key, const QString& text)
{
    if (key == event->key() && text == event->text()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent changed(event->type(), key, event->modifiers(), text, event->isAutoRepeat(),
                      static_cast<quint16>(event->count()));
    QLineEdit::keyPressEvent(&changed);
    event->setAccepted(changed.isAccepted());
}

// The sign and Enter rules; returns the text to insert (empty for none).
QString TAdvSpinEdit::characterMessage(QChar character)
{
    const bool minusIsDateSeparator = m_spinType == sptDate && localeFormat().dateSeparator == u'-';
    if (character == u'+') {
        character = QChar();
    } else if (character == u'-' && !minusIsDateSeparator) {
        // A locked edit keeps its sign like any other character it refuses.
        if (m_signed && !editable()) {
            MessageBeep();
            return {};
        }
        character = QChar();
        toggleSign();
        keyPress(QChar(u'-'));
    } else if (character.unicode() == enterCode) {
        if (OnKeyPress)
            OnKeyPress(this, character);
        return {};
    }
    const QChar admitted = keyPress(character);
    return admitted.isNull() ? QString() : QString(admitted);
}

// The key filter with its beep; an admitted character is reported through OnKeyPress, whose
// handler may still replace or drop it.
QChar TAdvSpinEdit::keyPress(QChar character)
{
    if (!AcceptChar(character)) {
        MessageBeep();
        return {};
    }
    if (!character.isNull() && OnKeyPress)
        OnKeyPress(this, character);
    return character;
}

// The minus sign is toggled at the front wherever the caret is; the caret keeps its place
// relative to the digits.
void TAdvSpinEdit::toggleSign()
{
    int caret = caretPosition();
    const int selection = selectionLength();
    QString t = text();
    if (m_signed) {
        if (t.startsWith(u'-')) {
            t.remove(0, 1);
            --caret;
        } else {
            t.prepend(u'-');
            ++caret;
        }
    }
    replaceText(t);
    setCaretAndSelection(caret, selection);
}

bool TAdvSpinEdit::AcceptChar(QChar& Key)
{
    const LocaleFormat& format = localeFormat();
    const QChar dec = format.decimalSeparator;
    const QChar grp = format.thousandSeparator;
    const QChar dsep = format.dateSeparator;
    const QChar tsep = format.timeSeparator;
    const auto isSign = [](QChar c) { return c == u'-' || c == u'+'; };
    const bool isSeparator = Key == dec || Key == grp || Key == tsep || Key == dsep;
    bool accepted = isSeparator || isSign(Key) || isDecimalDigit(Key) || isControlCharacter(Key);
    if (m_spinType == sptNormal && isSeparator)
        accepted = false;
    // A separator that doubles as another character stays where that character belongs.
    if (Key == tsep && m_spinType != sptTime) {
        const bool shared = tsep == dec || tsep == grp || isSign(tsep);
        if (!shared || m_spinType == sptDate || m_spinType == sptHex)
            accepted = false;
    }
    if (Key == dsep && m_spinType != sptDate) {
        const bool shared = dsep == dec || dsep == grp || isSign(dsep);
        if (!shared || m_spinType == sptTime || m_spinType == sptHex)
            accepted = false;
    }
    const char16_t code = Key.unicode();
    if (m_spinType == sptFloat && code != escapeCode && code != enterCode && code != backspaceCode)
        accepted = acceptInFloat(Key, accepted);
    if (m_spinType == sptTime) {
        if ((Key == u',' || Key == u'.') && Key != tsep)
            Key = tsep;
        if (Key == tsep && text().contains(tsep))
            accepted = false;
    }
    if (m_spinType == sptHex) {
        const int caret = caretPosition();
        accepted = (isHexDigit(Key) || isControlCharacter(Key)) && caret >= 2 &&
                   !(Key.unicode() == backspaceCode && caret == 2);
    }
    if (!m_editorEnabled && (Key.unicode() >= 32 || Key.unicode() == backspaceCode))
        accepted = false;
    return accepted;
}

// One decimal separator at most, none with Precision 0 (unless it replaces the whole text), and
// no more fraction digits than Precision.
bool TAdvSpinEdit::acceptInFloat(QChar& key, bool accepted) const
{
    const QChar dec = localeFormat().decimalSeparator;
    if (key == localeFormat().thousandSeparator)
        key = dec;
    const QString t = text();
    const int selection = selectionLength();
    if (key == dec && selection == t.size())
        accepted = true;
    else if (key == dec && (t.contains(dec) || m_precision == 0))
        accepted = false;
    const auto separatorAt = static_cast<int>(t.indexOf(dec)) + 1;
    const bool fractionFull = m_precision > 0 && separatorAt > 0 &&
                              caretPosition() >= separatorAt && selection == 0 &&
                              t.size() >= separatorAt + m_precision;
    return accepted && !fractionFull;
}

// --- clipboard -------------------------------------------------------------------------------

bool TAdvSpinEdit::editable() const
{
    return m_editorEnabled && !isReadOnly();
}

void TAdvSpinEdit::pasteChecked()
{
    pasteCheckedFrom(QClipboard::Clipboard);
}

// A paste is let through only when the text it would leave converts as a number as it stands.
// The conversion passes over blanks and control characters at the ends of the text, so a pasted
// "3\n" would convert and leave its newline in the text, and from a digit in the reply on the
// line: a paste that holds one is refused.
void TAdvSpinEdit::pasteCheckedFrom(QClipboard::Mode mode)
{
    if (!editable())
        return;
    const QString clip = QGuiApplication::clipboard()->text(mode);
    if (std::any_of(clip.begin(), clip.end(), [](QChar c) { return c.unicode() <= u' '; }))
        return;
    QString wouldBe = text();
    const int caret = caretPosition();
    wouldBe.remove(caret, selectionLength());
    wouldBe.insert(caret, clip);
    if (parseFloat(wouldBe, localeFormat().decimalSeparator))
        insert(clip);
}

void TAdvSpinEdit::cutChecked()
{
    if (editable())
        cut();
}

void TAdvSpinEdit::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

// The line edit's standard entries, built here so that each entry is an action of our own, bound
// to the guarded operation whatever its caption says (captions vary with the translation and with
// whether shortcuts are shown). Nothing that changes the text is offered to a locked edit.
QMenu* TAdvSpinEdit::createContextMenu()
{
    auto* menu = new QMenu(this);
    const bool changeable = editable();
    const bool selected = hasSelectedText();
    const auto add = [this, menu](const QString& caption, bool enabled, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
    };
    add(menuCaption(QLineEdit::tr("&Undo"), QKeySequence::Undo), changeable && isUndoAvailable(),
        &QLineEdit::undo);
    add(menuCaption(QLineEdit::tr("&Redo"), QKeySequence::Redo), changeable && isRedoAvailable(),
        &QLineEdit::redo);
    menu->addSeparator();
    add(menuCaption(QLineEdit::tr("Cu&t"), QKeySequence::Cut), changeable && selected,
        &TAdvSpinEdit::cutChecked);
    add(menuCaption(QLineEdit::tr("&Copy"), QKeySequence::Copy), selected, &QLineEdit::copy);
    add(menuCaption(QLineEdit::tr("&Paste"), QKeySequence::Paste),
        changeable && !QGuiApplication::clipboard()->text().isEmpty(), &TAdvSpinEdit::pasteChecked);
    add(QLineEdit::tr("Delete"), changeable && selected, &QLineEdit::del);
    menu->addSeparator();
    add(menuCaption(QLineEdit::tr("Select All"), QKeySequence::SelectAll),
        !text().isEmpty() && selectedText() != text(), &QLineEdit::selectAll);
    return menu;
}

// --- focus -----------------------------------------------------------------------------------

// A press of any mouse button on the edit gives MouseFocusReason; a left press on one of the
// edit's own buttons does too (the pair hands the focus to the edit), but counts as entry by
// button.
bool TAdvSpinEdit::pressOnEditItself(Qt::FocusReason reason) const
{
    return reason == Qt::MouseFocusReason && childAt(mapFromGlobal(QCursor::pos())) == nullptr;
}

// Entering runs before the line edit's own focus handling, OnEnter after it.
void TAdvSpinEdit::focusInEvent(QFocusEvent* event)
{
    const bool entered = enterControl(event->reason());
    focusInWithoutBaseSelection(event);
    lookFocusIn();
    if (entered && OnEnter)
        OnEnter(this);
}

// Order on focus loss: the line edit's handling, the empty-text rule, then (only when the focus
// moved on within the window) the exit correction and OnExit. A popup such as the context menu
// borrows the focus and gives it back: that is no loss at all.
void TAdvSpinEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return;
    lookFocusOut();
    resetEmptyText();
    if (leaveControl(event->reason())) {
        correctOnExit();
        if (OnExit)
            OnExit(this);
    }
}

// A window switch away and back is neither an exit nor an entry; anything else that brings the
// focus is an entry, which selects the whole text by AutoSelect. Returns whether it was one.
bool TAdvSpinEdit::enterControl(Qt::FocusReason reason)
{
    const bool entered = !(m_isActiveControl && isWindowSwitch(reason));
    m_isActiveControl = true;
    const bool pressOnEdit = pressOnEditItself(reason);
    // Only a left press places the caret; a right or middle press on the edit enters it as the
    // keyboard does.
    const bool leftPress = pressOnEdit && (QGuiApplication::mouseButtons() & Qt::LeftButton);
    if (entered && m_autoSelect && (!leftPress || !m_editorEnabled)) {
        selectAll();
        m_keepSelectionOnPress = pressOnEdit;
    }
    return entered;
}

bool TAdvSpinEdit::leaveControl(Qt::FocusReason reason)
{
    if (!m_isActiveControl || isWindowSwitch(reason))
        return false;
    m_isActiveControl = false;
    return true;
}

// QLineEdit selects everything on Tab by itself; here AutoSelect has decided already.
void TAdvSpinEdit::focusInWithoutBaseSelection(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    const bool baseSelects = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                             reason == Qt::ShortcutFocusReason;
    QFocusEvent base(event->type(), baseSelects ? Qt::OtherFocusReason : reason);
    QLineEdit::focusInEvent(&base);
}

// With AllowNullValue false an emptied text becomes the lower bound, where there is a range.
void TAdvSpinEdit::resetEmptyText()
{
    if (m_allowNullValue || !text().isEmpty())
        return;
    switch (m_spinType) {
    case sptNormal:
        if (m_minValue != m_maxValue)
            setValue(m_minValue);
        break;
    case sptHex:
        if (m_minValue != m_maxValue)
            setHexValue(m_minValue);
        break;
    case sptFloat:
        if (m_minFloatValue != m_maxFloatValue)
            setFloatValue(m_minFloatValue);
        break;
    case sptDate:
        if (m_minDateValue != m_maxDateValue)
            setDateValue(m_minDateValue);
        break;
    case sptTime:
        if (m_minDateValue != m_maxDateValue)
            setTimeValue(m_minDateValue);
        break;
    }
}

// Leaving the control brings a typed value into range. An integer text in range stays as typed
// (leading zeros included); float and hex texts are always rewritten in their format.
void TAdvSpinEdit::correctOnExit()
{
    if (m_allowNullValue && text().isEmpty())
        return;
    switch (m_spinType) {
    case sptNormal: {
        const int value = Value();
        if (ClampValue(value) != value)
            setValue(value);
        break;
    }
    case sptFloat:
        setFloatValue(ClampFloatValue(FloatValue()));
        break;
    case sptDate: {
        const double date = DateValue();
        if (ClampDateValue(date) != date)
            setDateValue(date);
        break;
    }
    case sptTime: {
        const double time = TimeValue();
        if (ClampDateValue(time) != time)
            setTimeValue(time);
        break;
    }
    case sptHex:
        setHexValue(ClampValue(HexValue()));
        break;
    }
}

// A press of any mouse button on the edit gives it the focus, and then does its own work; where
// the entry selected the whole text (a press other than the left, or the editor disabled), the
// selection stays.
void TAdvSpinEdit::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    QLineEdit::mousePressEvent(event);
    if (m_keepSelectionOnPress)
        selectAll();
    m_keepSelectionOnPress = false;
}

// A middle click pastes the X11 selection; it goes through the same check as any paste.
void TAdvSpinEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection())
        pasteCheckedFrom(QClipboard::Selection);
    else
        QLineEdit::mouseReleaseEvent(event);
}

// AutoFocus: the pointer entering the edit of the active window takes the focus.
void TAdvSpinEdit::enterEvent(QEnterEvent* event)
{
    if (m_autoFocus && isActiveWindow())
        setFocus(Qt::OtherFocusReason);
    QLineEdit::enterEvent(event);
}
