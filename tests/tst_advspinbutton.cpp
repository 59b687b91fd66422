// SPDX-License-Identifier: GPL-3.0-or-later

// Mouse events go through the window system layer, as a real pointer does, so that
// QGuiApplication::mouseButtons() follows them.
#define QTEST_QPA_MOUSE_HANDLING

#include "AdvSpin.h"
#include "AdvSpinButton.h"
#include "TransparentBitmap.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <stdexcept>

// Reaches the repeat tick, to drive a failing repeated click by hand.
class TickableButton : public TAdvTimerSpeedButton
{
public:
    using TAdvTimerSpeedButton::RepeatTick;
    using TAdvTimerSpeedButton::TAdvTimerSpeedButton;
};

// A shown pair in a window that records its clicks as "U" and "D".
struct PairFixture
{
    QWidget window;
    TAdvSpinButton* pair = new TAdvSpinButton(&window);
    QString clicks;

    PairFixture()
    {
        pair->OnUpClick = [this](QObject* sender) { record(sender, 'U'); };
        pair->OnDownClick = [this](QObject* sender) { record(sender, 'D'); };
        pair->SetBounds(40, 20, 15, 17);
        window.resize(120, 80);
        // The pointer may still stand where an earlier test left it.
        QCursor::setPos(window.mapToGlobal(QPoint(2, 2)));
    }

    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    void record(QObject* sender, char what)
    {
        QVERIFY(sender == pair);
        clicks += QLatin1Char(what);
    }
};

class TestAdvSpinButton : public QObject
{
    Q_OBJECT

private slots:
    void clickAtRelease_data();
    void clickAtRelease();
    void holdingRepeats();
    void heldWithoutClicking_data();
    void heldWithoutClicking();
    void draggingBackResumes();
    void failingRepeatedClickStopsTimer();
    void disablingWhileHeldEndsPress();
    void repeatEndsWhenTheReleaseIsLost_data();
    void repeatEndsWhenTheReleaseIsLost();
    void adjustButtons_data();
    void adjustButtons();
    void directionRoutesClicks_data();
    void directionRoutesClicks();
    void builtInGlyph_data();
    void builtInGlyph();
    void glyphForDevice_data();
    void glyphForDevice();
    void noneRestoresBuiltInGlyph();
    void glyphBackgroundIsTransparent_data();
    void glyphBackgroundIsTransparent();
    void pressMovesFocus_data();
    void pressMovesFocus();
    void pressInsideASpinEdit_data();
    void pressInsideASpinEdit();
    void focusControlClearedWhenDestroyed();
    void keyboardOnPair_data();
    void keyboardOnPair();
};

namespace {

QPoint outside(const QWidget* button)
{
    return button->rect().center() + QPoint(0, 60);
}

int blackPixels(const QImage& image, int row)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        count += (image.pixel(x, row) & RGB_MASK) == 0 ? 1 : 0;
    }
    return count;
}

} // namespace

void TestAdvSpinButton::clickAtRelease_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("releaseOver");
    QTest::addColumn<QString>("expected");
    QTest::newRow("left click over the button") << Qt::LeftButton << true << true << "U";
    QTest::newRow("left press released off the button") << Qt::LeftButton << true << false << "";
    QTest::newRow("right click") << Qt::RightButton << true << true << "";
    QTest::newRow("left click on a disabled pair") << Qt::LeftButton << false << true << "";
}

void TestAdvSpinButton::clickAtRelease()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(bool, enabled);
    QFETCH(bool, releaseOver);
    QFETCH(QString, expected);
    PairFixture f;
    f.pair->setEnabled(enabled);
    QVERIFY(f.show());
    auto* up = f.pair->UpButton();

    QTest::mousePress(up, mouseButton, {}, up->rect().center());
    QCOMPARE(f.clicks, QString());
    const QPoint at = releaseOver ? up->rect().center() : outside(up);
    QTest::mouseMove(up, at);
    QTest::mouseRelease(up, mouseButton, {}, at);
    QCOMPARE(f.clicks, expected);
    QVERIFY(!up->isPressed());
}

void TestAdvSpinButton::holdingRepeats()
{
    PairFixture f;
    QVERIFY(f.show());
    auto* up = f.pair->UpButton();
    QVERIFY(!up->AutoRepeatTimer());

    QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
    QTimer* timer = up->AutoRepeatTimer();
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 400);
    QCOMPARE(f.clicks, QString());

    QTRY_COMPARE(f.clicks, QStringLiteral("U"));
    QCOMPARE(timer->interval(), 100);
    QTRY_VERIFY(f.clicks.size() >= 3);
    const qsizetype beforeRelease = f.clicks.size();
    QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
    QCOMPARE(f.clicks.size(), beforeRelease + 1);
    QVERIFY(!timer->isActive());
    QCOMPARE(f.clicks, QString(f.clicks.size(), QLatin1Char('U')));

    // The timer stays for the next press and starts with the long delay again.
    QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
    QCOMPARE(up->AutoRepeatTimer(), timer);
    QCOMPARE(timer->interval(), 400);
    QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
}

void TestAdvSpinButton::heldWithoutClicking_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<bool>("dragOff");
    QTest::newRow("right button held over the button") << Qt::RightButton << false;
    QTest::newRow("left button held, dragged off, released off") << Qt::LeftButton << true;
}

void TestAdvSpinButton::heldWithoutClicking()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(bool, dragOff);
    PairFixture f;
    QVERIFY(f.show());
    auto* down = f.pair->DownButton();

    QTest::mousePress(down, mouseButton, {}, down->rect().center());
    const QPoint at = dragOff ? outside(down) : down->rect().center();
    QTest::mouseMove(down, at);
    QVERIFY(!down->isPressed());
    QSignalSpy ticks(down->AutoRepeatTimer(), &QTimer::timeout);
    // Without the left button there is nothing to repeat: the first tick ends the timer.
    QTRY_VERIFY(ticks.count() >= (mouseButton == Qt::LeftButton ? 2 : 1));
    QCOMPARE(down->AutoRepeatTimer()->isActive(), mouseButton == Qt::LeftButton);
    QTest::mouseRelease(down, mouseButton, {}, at);
    QCOMPARE(f.clicks, QString());
}

void TestAdvSpinButton::draggingBackResumes()
{
    PairFixture f;
    QVERIFY(f.show());
    auto* down = f.pair->DownButton();

    QTest::mousePress(down, Qt::LeftButton, {}, down->rect().center());
    QTest::mouseMove(down, outside(down));
    QSignalSpy ticks(down->AutoRepeatTimer(), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 2);
    QCOMPARE(f.clicks, QString());

    QTest::mouseMove(down, down->rect().center());
    QVERIFY(down->isPressed());
    QTRY_VERIFY(f.clicks.size() >= 2);
    QTest::mouseRelease(down, Qt::LeftButton, {}, down->rect().center());
    QCOMPARE(f.clicks, QString(f.clicks.size(), QLatin1Char('D')));
}

void TestAdvSpinButton::failingRepeatedClickStopsTimer()
{
    QWidget window;
    auto* button = new TickableButton(&window);
    button->setGeometry(0, 0, 15, 9);
    button->setAutoRepeat(true);
    int clicks = 0;
    button->OnClick = [&clicks](QObject*) {
        ++clicks;
        throw std::runtime_error("step failed");
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QVERIFY(button->AutoRepeatTimer()->isActive());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, button->RepeatTick());
    QCOMPARE(clicks, 1);
    QVERIFY(!button->AutoRepeatTimer()->isActive());

    button->OnClick = nullptr;
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
}

void TestAdvSpinButton::disablingWhileHeldEndsPress()
{
    PairFixture f;
    QVERIFY(f.show());
    auto* up = f.pair->UpButton();

    QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
    QVERIFY(up->isPressed());
    f.pair->setEnabled(false);
    QVERIFY(!up->isPressed());
    QVERIFY(!up->AutoRepeatTimer()->isActive());
    // The release goes nowhere while disabled; enabling again must not click.
    QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
    f.pair->setEnabled(true);
    QVERIFY(!up->AutoRepeatTimer()->isActive());
    QCOMPARE(f.clicks, QString());
}

void TestAdvSpinButton::repeatEndsWhenTheReleaseIsLost_data()
{
    QTest::addColumn<QString>("thief");
    QTest::newRow("a popup takes the release") << "popup";
    QTest::newRow("a modal dialog blocks the window while the button is held") << "modal";
    QTest::newRow("the window is hidden while the button is held") << "hide";
}

// A held button whose release goes elsewhere must not step on forever.
void TestAdvSpinButton::repeatEndsWhenTheReleaseIsLost()
{
    QFETCH(QString, thief);
    PairFixture f;
    QVERIFY(f.show());
    auto* up = f.pair->UpButton();
    QMenu popup;
    popup.addAction(QStringLiteral("item"));
    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);

    QTest::mousePress(up, Qt::LeftButton, {}, up->rect().center());
    if (thief == "popup") {
        popup.popup(f.window.mapToGlobal(QPoint(0, 0)));
        QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
        QVERIFY(!(QGuiApplication::mouseButtons() & Qt::LeftButton));
    } else if (thief == "modal") {
        modal.show();
    } else {
        f.window.hide();
    }
    QTRY_VERIFY(!up->AutoRepeatTimer()->isActive());
    QVERIFY(!up->isPressed());
    QCOMPARE(f.clicks, QString());

    popup.close();
    modal.close();
    QVERIFY(f.show());
    QTest::mouseRelease(up, Qt::LeftButton, {}, up->rect().center());
    QCOMPARE(f.clicks, QString());
}

void TestAdvSpinButton::adjustButtons_data()
{
    QTest::addColumn<TSpinDirection>("direction");
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("adjusted");
    QTest::addColumn<QRect>("upGeometry");
    QTest::addColumn<QRect>("downGeometry");
    QTest::newRow("vertical 15 x 17 (inside a spin edit): two 9-pixel buttons")
        << TSpinDirection::spVertical << QSize(15, 17) << QSize(15, 17) << QRect(0, 0, 15, 9)
        << QRect(0, 9, 15, 9);
    QTest::newRow("vertical width 10 grows to 15")
        << TSpinDirection::spVertical << QSize(10, 17) << QSize(15, 17) << QRect(0, 0, 15, 9)
        << QRect(0, 9, 15, 9);
    QTest::newRow("vertical 15 x 25 (as constructed)")
        << TSpinDirection::spVertical << QSize(15, 25) << QSize(15, 25) << QRect(0, 0, 15, 13)
        << QRect(0, 13, 15, 13);
    QTest::newRow("vertical 22 x 30 keeps its width")
        << TSpinDirection::spVertical << QSize(22, 30) << QSize(22, 30) << QRect(0, 0, 22, 16)
        << QRect(0, 16, 22, 16);
    QTest::newRow("horizontal 20 x 17: up starts one pixel right of the middle")
        << TSpinDirection::spHorizontal << QSize(20, 17) << QSize(20, 17) << QRect(11, 0, 10, 17)
        << QRect(0, 0, 10, 17);
    QTest::newRow("horizontal width 12 grows to 20")
        << TSpinDirection::spHorizontal << QSize(12, 15) << QSize(20, 15) << QRect(11, 0, 10, 15)
        << QRect(0, 0, 10, 15);
    QTest::newRow("horizontal odd width 31")
        << TSpinDirection::spHorizontal << QSize(31, 15) << QSize(31, 15) << QRect(16, 0, 15, 15)
        << QRect(0, 0, 15, 15);
}

void TestAdvSpinButton::adjustButtons()
{
    QFETCH(TSpinDirection, direction);
    QFETCH(QSize, requested);
    QFETCH(QSize, adjusted);
    QFETCH(QRect, upGeometry);
    QFETCH(QRect, downGeometry);
    PairFixture f;
    f.pair->setDirection(direction);

    f.pair->SetBounds(5, 6, requested.width(), requested.height());
    QCOMPARE(f.pair->geometry(), QRect(QPoint(5, 6), adjusted));
    QCOMPARE(f.pair->UpButton()->geometry(), upGeometry);
    QCOMPARE(f.pair->DownButton()->geometry(), downGeometry);

    // A plain resize of the shown pair goes through the same adjustment.
    QVERIFY(f.show());
    f.pair->resize(50, 50);
    f.pair->resize(requested);
    QCOMPARE(f.pair->size(), adjusted);
    QCOMPARE(f.pair->UpButton()->geometry(), upGeometry);
    QCOMPARE(f.pair->DownButton()->geometry(), downGeometry);
}

void TestAdvSpinButton::directionRoutesClicks_data()
{
    QTest::addColumn<TSpinDirection>("direction");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("width");
    QTest::addColumn<TButtonArrow>("upArrow");
    QTest::addColumn<TButtonArrow>("downArrow");
    QTest::addColumn<QString>("expected");
    QTest::newRow("vertical, top half steps up")
        << TSpinDirection::spVertical << QPoint(7, 3) << 15 << TButtonArrow::baUp
        << TButtonArrow::baDown << "U";
    QTest::newRow("vertical, bottom half steps down")
        << TSpinDirection::spVertical << QPoint(7, 13) << 15 << TButtonArrow::baUp
        << TButtonArrow::baDown << "D";
    QTest::newRow("horizontal, left-arrow button on the left steps down")
        << TSpinDirection::spHorizontal << QPoint(4, 8) << 20 << TButtonArrow::baRight
        << TButtonArrow::baLeft << "D";
    QTest::newRow("horizontal, right-arrow button on the right steps up")
        << TSpinDirection::spHorizontal << QPoint(15, 8) << 20 << TButtonArrow::baRight
        << TButtonArrow::baLeft << "U";
}

void TestAdvSpinButton::directionRoutesClicks()
{
    QFETCH(TSpinDirection, direction);
    QFETCH(QPoint, at);
    QFETCH(int, width);
    QFETCH(TButtonArrow, upArrow);
    QFETCH(TButtonArrow, downArrow);
    QFETCH(QString, expected);
    PairFixture f;
    f.pair->setDirection(direction);
    QVERIFY(f.show());
    QCOMPARE(f.pair->width(), width);
    QCOMPARE(f.pair->UpButton()->ButtonArrow(), upArrow);
    QCOMPARE(f.pair->DownButton()->ButtonArrow(), downArrow);

    auto* button = qobject_cast<TAdvTimerSpeedButton*>(f.pair->childAt(at));
    QVERIFY(button);
    const QPoint local = button->mapFrom(f.pair, at);
    QTest::mouseClick(button, Qt::LeftButton, {}, local);
    QCOMPARE(f.clicks, expected);
}

void TestAdvSpinButton::builtInGlyph_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<QList<int>>("blackPerRow");
    QTest::newRow("AdvSpinUp points up") << true << QList<int>{0, 1, 3, 5, 7, 0};
    QTest::newRow("AdvSpinDown points down") << false << QList<int>{0, 7, 5, 3, 1, 0};
}

void TestAdvSpinButton::builtInGlyph()
{
    QFETCH(bool, up);
    QFETCH(QList<int>, blackPerRow);
    TAdvSpinButton pair;
    const QImage glyph = up ? pair.UpGlyph() : pair.DownGlyph();
    QCOMPARE(glyph.size(), QSize(9, 6));
    QCOMPARE(glyph.pixel(0, 5) & RGB_MASK, qRgb(128, 128, 0) & RGB_MASK);
    for (int row = 0; row < glyph.height(); ++row) {
        QCOMPARE(blackPixels(glyph, row), blackPerRow[row]);
    }
    // The middle column is black in every row that holds the triangle.
    QCOMPARE(glyph.pixel(4, 1) & RGB_MASK, 0u);
    QCOMPARE(glyph.pixel(4, 4) & RGB_MASK, 0u);
    QCOMPARE(up ? pair.UpNumGlyphs() : pair.DownNumGlyphs(), 1);
}

void TestAdvSpinButton::glyphForDevice_data()
{
    QTest::addColumn<QStringList>("picture"); // '#' black, '.' transparent
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<int>>("blackPerRow"); // opaque black pixels; none listed: not counted
    QTest::addColumn<bool>("shaded");            // some pixels partly transparent
    const QStringList arrowUp{".........", "....#....", "...###...",
                              "..#####..", ".#######.", "........."};
    QTest::newRow("AdvSpinUp at 1 is its own pixels")
        << arrowUp << 1.0 << QSize(9, 6) << QList<int>{0, 1, 3, 5, 7, 0} << false;
    // Each step of the edges is cut on one row of the pair it became, filled on the other.
    QTest::newRow("AdvSpinUp at 2: cut steps, no blur")
        << arrowUp << 2.0 << QSize(18, 12) << QList<int>{0, 0, 2, 4, 4, 8, 8, 12, 14, 14, 0, 0}
        << false;
    QTest::newRow("AdvSpinUp at 1.5: reduced from 3, edges shaded")
        << arrowUp << 1.5 << QSize(14, 9) << QList<int>() << true;
    QTest::newRow("a square at 2 keeps its corners")
        << QStringList{"....", ".##.", ".##.", "...."} << 2.0 << QSize(8, 8)
        << QList<int>{0, 0, 4, 4, 4, 4, 0, 0} << false;
}

// What a glyph becomes on a screen with more device pixels to a pixel.
void TestAdvSpinButton::glyphForDevice()
{
    QFETCH(QStringList, picture);
    QFETCH(qreal, ratio);
    QFETCH(QList<int>, blackPerRow);
    QImage bitmap(int(picture[0].size()), int(picture.size()), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            bitmap.setPixel(x, y, picture[y][x] == u'#' ? qRgb(0, 0, 0) : qRgba(0, 0, 0, 0));
    const QImage image = bitmapForDevice(bitmap, ratio);
    QTEST(image.size(), "size");
    QCOMPARE(image.devicePixelRatio(), ratio);
    if (ratio == 1)
        QCOMPARE(image, bitmap);
    bool shaded = false;
    for (int y = 0; y < image.height(); ++y) {
        int black = 0;
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            black += alpha == 255 ? 1 : 0;
            shaded = shaded || (alpha != 0 && alpha != 255);
        }
        if (!blackPerRow.isEmpty())
            QCOMPARE(black, blackPerRow[y]);
    }
    QTEST(shaded, "shaded");
}

void TestAdvSpinButton::noneRestoresBuiltInGlyph()
{
    TAdvSpinButton pair;
    const QImage builtIn = pair.DownGlyph();
    QImage own(18, 6, QImage::Format_RGB32);
    own.fill(Qt::red);
    pair.setDownGlyph(own);
    pair.setDownNumGlyphs(2);
    QCOMPARE(pair.DownGlyph(), own);
    QCOMPARE(pair.DownNumGlyphs(), 2);

    pair.setDownGlyph(QImage());
    QCOMPARE(pair.DownGlyph(), builtIn);
    QCOMPARE(pair.DownNumGlyphs(), 1);
    QCOMPARE(pair.UpNumGlyphs(), 1);
}

void TestAdvSpinButton::glyphBackgroundIsTransparent_data()
{
    QTest::addColumn<bool>("transparent");
    QTest::newRow("transparent button shows the parent") << true;
    QTest::newRow("opaque button fills its face") << false;
}

void TestAdvSpinButton::glyphBackgroundIsTransparent()
{
    QFETCH(bool, transparent);
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::magenta);
    palette.setColor(QPalette::Button, Qt::cyan);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.resize(60, 40);
    auto* button = new TAdvTimerSpeedButton(&window);
    button->setGlyph(TAdvSpinButton().UpGlyph());
    button->setFlat(true);
    button->setTransparent(transparent);
    button->setGeometry(10, 10, 15, 9);
    QCursor::setPos(window.mapToGlobal(QPoint(2, 2)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // A 9 x 6 glyph in a 15 x 9 button stands at (3, 2); its apex pixel is (4, 1).
    const QImage shot = window.grab().toImage();
    const QColor face = transparent ? QColor(Qt::magenta) : QColor(Qt::cyan);
    QCOMPARE(shot.pixelColor(10 + 3, 10 + 2), face);
    QCOMPARE(shot.pixelColor(10 + 3 + 4, 10 + 2 + 1), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(10 + 3 + 1, 10 + 2 + 4), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(10 + 3, 10 + 2 + 5), face);
}

void TestAdvSpinButton::pressMovesFocus_data()
{
    QTest::addColumn<bool>("withFocusControl");
    QTest::addColumn<bool>("focusControlTabStop");
    QTest::addColumn<bool>("pairTabStop");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    const Qt::MouseButton left = Qt::LeftButton;
    QTest::newRow("focus control takes the focus") << true << true << false << "target" << left;
    QTest::newRow("focus control without tab stop keeps the focus where it was")
        << true << false << false << "other" << left;
    QTest::newRow("no focus control, pair with tab stop")
        << false << false << true << "pair" << left;
    QTest::newRow("no focus control, pair without tab stop")
        << false << false << false << "other" << left;
    QTest::newRow("right press on a pair with tab stop keeps the focus where it was")
        << false << false << true << "other" << Qt::RightButton;
}

void TestAdvSpinButton::pressMovesFocus()
{
    QFETCH(bool, withFocusControl);
    QFETCH(bool, focusControlTabStop);
    QFETCH(bool, pairTabStop);
    QFETCH(QString, focused);
    QFETCH(Qt::MouseButton, mouseButton);
    PairFixture f;
    auto* other = new QLineEdit(&f.window);
    other->setObjectName(QStringLiteral("other"));
    other->setGeometry(0, 50, 30, 20);
    auto* target = new QLineEdit(&f.window);
    target->setObjectName(QStringLiteral("target"));
    target->setGeometry(60, 50, 30, 20);
    target->setFocusPolicy(focusControlTabStop ? Qt::StrongFocus : Qt::ClickFocus);
    f.pair->setObjectName(QStringLiteral("pair"));
    f.pair->setTabStop(pairTabStop);
    if (withFocusControl) {
        f.pair->setFocusControl(target);
    }
    QVERIFY(f.show());
    f.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    other->setFocus();
    QVERIFY(other->hasFocus());

    auto* down = f.pair->DownButton();
    QTest::mouseClick(down, mouseButton, {}, down->rect().center());
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    QCOMPARE(f.clicks, mouseButton == Qt::LeftButton ? "D" : "");
}

void TestAdvSpinButton::pressInsideASpinEdit_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<QString>("focused");
    QTest::newRow("left press focuses the spin edit") << Qt::LeftButton << "edit";
    QTest::newRow("right press leaves the focus and opens no menu") << Qt::RightButton << "other";
    QTest::newRow("middle press leaves the focus") << Qt::MiddleButton << "other";
}

// Only a left press hands the focus to the spin edit; the buttons have no menu of their own and
// do not borrow the edit's.
void TestAdvSpinButton::pressInsideASpinEdit()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(QString, focused);
    QWidget window;
    auto* other = new QLineEdit(&window);
    other->setObjectName(QStringLiteral("other"));
    auto* edit = new TAdvSpinEdit(&window);
    edit->setObjectName(QStringLiteral("edit"));
    edit->setGeometry(0, 40, 60, 24);
    window.resize(120, 80);
    QCursor::setPos(window.mapToGlobal(QPoint(2, 2)));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    bool menuOpened = false;
    const QObject scope; // the check goes with the test if no menu ever runs it
    QTimer::singleShot(0, &scope, [&menuOpened] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            menuOpened = true;
            menu->close();
        }
    });

    TAdvTimerSpeedButton* up = edit->buttonPair()->UpButton();
    QTest::mousePress(up, mouseButton, {}, up->rect().center());
    QVERIFY(!menuOpened);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    QVERIFY(up->AutoRepeatTimer()->isActive());
    QTest::mouseRelease(up, mouseButton, {}, up->rect().center());
    QCOMPARE(edit->text(), mouseButton == Qt::LeftButton ? "1" : "0");
}

void TestAdvSpinButton::focusControlClearedWhenDestroyed()
{
    TAdvSpinButton pair;
    auto* control = new QLineEdit;
    pair.setFocusControl(control);
    QCOMPARE(pair.FocusControl(), control);
    delete control;
    QCOMPARE(pair.FocusControl(), nullptr);
}

void TestAdvSpinButton::keyboardOnPair_data()
{
    QTest::addColumn<TSpinDirection>("direction");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Space clicks the up button at first")
        << TSpinDirection::spVertical << QList<int>{Qt::Key_Space} << "U";
    QTest::newRow("Down clicks down and makes Space click down")
        << TSpinDirection::spVertical << QList<int>{Qt::Key_Down, Qt::Key_Space} << "DD";
    QTest::newRow("Up after Down turns Space back to up")
        << TSpinDirection::spVertical << QList<int>{Qt::Key_Down, Qt::Key_Up, Qt::Key_Space}
        << "DUU";
    QTest::newRow("Left and Right do nothing")
        << TSpinDirection::spVertical << QList<int>{Qt::Key_Left, Qt::Key_Right} << "";
    QTest::newRow("Left and Right do nothing on a horizontal pair either")
        << TSpinDirection::spHorizontal << QList<int>{Qt::Key_Left, Qt::Key_Right, Qt::Key_Up}
        << "U";
}

void TestAdvSpinButton::keyboardOnPair()
{
    QFETCH(TSpinDirection, direction);
    QFETCH(QList<int>, keys);
    QFETCH(QString, expected);
    PairFixture f;
    f.pair->setDirection(direction);
    f.pair->setTabStop(true);
    QVERIFY(f.show());
    f.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.pair->setFocus();
    QVERIFY(f.pair->hasFocus());

    for (const int key : keys) {
        QTest::keyClick(f.pair, Qt::Key(key));
    }
    QCOMPARE(f.clicks, expected);
}

QTEST_MAIN(TestAdvSpinButton)
#include "tst_advspinbutton.moc"
