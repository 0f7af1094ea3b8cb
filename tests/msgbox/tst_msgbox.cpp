// The message box: its measures, its results and cancel rules, the bump background, and the
// answerer that stands in for a person.

#include "msgbox/StyledMessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <thread>

using namespace mendora;

namespace {

void SaveScreenshot(QWidget& widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("MENDORA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + QLatin1Char('/') + name);
}

QColor ColorOf(ColorRef c)
{
    return QColor(static_cast<int>(RedOf(c)), static_cast<int>(GreenOf(c)), static_cast<int>(BlueOf(c)));
}

MessageBoxParams Params(const QString& text, std::uint32_t style)
{
    MessageBoxParams params = ProgramMessageBoxParams();
    params.text = text;
    params.caption = ProductName();
    params.style = style;
    return params;
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void bumpColumnEntries_data();
    void bumpColumnEntries();
    void bumpPalette();
    void renderedBackground();

    void layoutFromMeasures_data();
    void layoutFromMeasures();
    void realBoxMeasures_data();
    void realBoxMeasures();

    void answersAndCancelRules_data();
    void answersAndCancelRules();
    void modalRunEndsOnButton();
    void answererDrivesTheCall();
    void explicitArgumentsWinOverRecord();
    void callFromWorkerThreadHasNoOwner();
    void centredOnOwnerOrScreen();
};

// Hand-computed: t = (255 × (W − x)) / W − 127, q = t³ / 16384, entry = (128 + q) mod 256.
void TestMessageBox::bumpColumnEntries_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("entry");
    QTest::newRow("left edge") << 400 << 0 << 0;          // t 128, q 128
    QTest::newRow("next to left") << 400 << 1 << 253;     // t 127, q 125
    QTest::newRow("quarter") << 400 << 100 << 144;        // t 64, q 16
    QTest::newRow("centre") << 400 << 200 << 128;         // t 0
    QTest::newRow("three quarters") << 400 << 300 << 112; // t -64, q -16
    QTest::newRow("right edge") << 400 << 399 << 3;       // t -127, q -125 (toward zero)
    QTest::newRow("narrow") << 10 << 3 << 136;            // 1785/10 = 178, t 51, q 8
}

void TestMessageBox::bumpColumnEntries()
{
    QFETCH(int, width);
    QFETCH(int, x);
    QFETCH(int, entry);
    QCOMPARE(BumpColumnEntry(x, width), entry);
}

void TestMessageBox::bumpPalette()
{
    // Distinct colours show which end is which.
    const ColorRef start = Rgb(255, 0, 0);
    const ColorRef middle = Rgb(0, 255, 0);
    const ColorRef end = Rgb(0, 0, 255);
    const BumpPalette palette = MakeBumpPalette(start, middle, end);
    QCOMPARE(palette[0], end);
    QCOMPARE(palette[255], start);
    QCOMPARE(palette[64], Rgb(0, 127, 127));   // (255·64)/128 = 127.5 → 127 each way
    QCOMPARE(palette[200], Rgb(145, 109, 0));  // j = 73: 18615/128, 14025/128

    // The program's look: light blue at both ends, nearly white in the middle.
    const BumpPalette look = MakeBumpPalette(Rgb(216, 231, 252), Rgb(255, 255, 255), Rgb(216, 231, 252));
    QCOMPARE(look[0], Rgb(216, 231, 252));
    QCOMPARE(look[255], Rgb(216, 231, 252));
    QCOMPARE(look[127], Rgb(254, 254, 254)); // (216 + 255·127)/128 = 254.7 → 254
    QCOMPARE(look[128], Rgb(254, 254, 254));
    QCOMPARE(look[64], Rgb(235, 243, 253));
}

void TestMessageBox::renderedBackground()
{
    AreaStyle style;
    style.effect = AreaStyle::kVerticalBump;
    style.start = Rgb(255, 0, 0);
    style.middle = Rgb(0, 255, 0);
    style.end = Rgb(0, 0, 255);
    const QImage image = RenderAreaStyle(style, QSize(400, 30));
    // column 0 uses entry 0 (the end colour), the centre entry 128, every row alike
    QCOMPARE(image.pixelColor(0, 0), QColor(0, 0, 255));
    QCOMPARE(image.pixelColor(0, 29), QColor(0, 0, 255));
    QCOMPARE(image.pixelColor(200, 17), ColorOf(MakeBumpPalette(style.start, style.middle, style.end)[128]));
    QCOMPARE(image.pixelColor(399, 5), ColorOf(MakeBumpPalette(style.start, style.middle, style.end)[3]));

    AreaStyle plain;
    const QImage flat = RenderAreaStyle(plain, QSize(20, 5));
    QCOMPARE(flat.pixelColor(10, 2), ColorOf(SystemButtonFace()));
}

void TestMessageBox::layoutFromMeasures_data()
{
    QTest::addColumn<QSize>("text");
    QTest::addColumn<QList<QSize>>("buttonTexts");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QSize>("button");
    QTest::addColumn<QList<int>>("buttonLefts");
    QTest::addColumn<int>("buttonTop");

    // icon 32 × 32: icon cell 42 × 42
    // text 150 × 13: text cell 160 × 23, block 202 × 42, area 230 × 70
    QTest::newRow("two small buttons under a wide text")
        << QSize(150, 13) << QList<QSize>{{20, 13}, {15, 13}} << QSize(230, 104) << QSize(80, 23)
        << QList<int>{29, 120} << 70;
    // text 60 × 13: area 140 × 70 < the row's 11 + 2 × 91 = 193
    QTest::newRow("short question is as wide as its buttons")
        << QSize(60, 13) << QList<QSize>{{20, 13}, {15, 13}} << QSize(193, 104) << QSize(80, 23)
        << QList<int>{11, 102} << 70;
    // large button texts: 60 × 80 / 45 = 106.7 → 107; 16 × 23 / 13 = 28.3 → 28
    QTest::newRow("scaled buttons") << QSize(100, 16) << QList<QSize>{{60, 16}, {30, 16}}
                                    << QSize(11 + 2 * 118, 70 + 28 + 11) << QSize(107, 28)
                                    << QList<int>{11, 129} << 70;
    // one button, text taller than the icon: text cell 310 × 62, block 352 × 62, area 380 × 90
    QTest::newRow("one button, two-line text") << QSize(300, 52) << QList<QSize>{{18, 13}}
                                               << QSize(380, 124) << QSize(80, 23)
                                               << QList<int>{150} << 90;
}

void TestMessageBox::layoutFromMeasures()
{
    QFETCH(QSize, text);
    QFETCH(QList<QSize>, buttonTexts);
    QFETCH(QSize, client);
    QFETCH(QSize, button);
    QFETCH(QList<int>, buttonLefts);
    QFETCH(int, buttonTop);

    const std::vector<QSize> sizes(buttonTexts.begin(), buttonTexts.end());
    const MessageBoxLayout layout = ComputeMessageBoxLayout(QSize(32, 32), text, sizes);
    QCOMPARE(layout.client, client);
    QCOMPARE(layout.button, button);
    QCOMPARE(static_cast<qsizetype>(layout.buttons.size()), buttonLefts.size());
    for (qsizetype i = 0; i < buttonLefts.size(); ++i) {
        const QRect& rect = layout.buttons[static_cast<std::size_t>(i)];
        QCOMPARE(rect.left(), buttonLefts[i]);
        QCOMPARE(rect.top(), buttonTop);
        QCOMPARE(rect.size(), button);
    }
    QCOMPARE(layout.textCell.topLeft(), QPoint(14 + 42, 14));
}

void TestMessageBox::realBoxMeasures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("style");
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("exit") << "Do you really want to exit" << uint(0x24) << QStringList{"Yes", "No"};
    QTest::newRow("another instance") << "Another Instance of Mendora for Outlook Express is running "
                                      << uint(0x30) << QStringList{"OK"};
    QTest::newRow("long unwrapped line")
        << QString(QStringLiteral("Mendora for Outlook Express.chm file not exist, please reinstall software ")).repeated(3)
        << uint(0x30) << QStringList{"OK"};
}

void TestMessageBox::realBoxMeasures()
{
    QFETCH(QString, text);
    QFETCH(uint, style);
    QFETCH(QStringList, buttons);

    CStyledMessageDialog box(Params(text, style));
    QCOMPARE(box.windowTitle(), ProductName());
    QStringList texts;
    for (QPushButton* button : box.Buttons())
        texts.append(button->text());
    QCOMPARE(texts, buttons);

    const QSize client = box.size();
    const QSize buttonSize = box.Buttons().first()->size();
    QVERIFY(buttonSize.width() >= 80);
    QVERIFY(buttonSize.height() >= 23);
    const int n = static_cast<int>(buttons.size());
    QVERIFY(client.width() >= 11 + n * (buttonSize.width() + 11));
    for (QPushButton* button : box.Buttons()) {
        QCOMPARE(button->size(), buttonSize);
        QCOMPARE(button->geometry().bottom() + 1, client.height() - 11);
    }
    // the row is centred
    const int rowLeft = box.Buttons().first()->x();
    const int rowRight = box.Buttons().last()->geometry().right() + 1;
    QVERIFY(qAbs(rowLeft - (client.width() - rowRight)) <= 1);
    // the text is not wrapped: the box is wider than the text in its font
    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    QVERIFY(client.width() >= metrics.horizontalAdvance(text) + 28);
    // the first button is the default one and has the focus once shown
    box.show();
    QVERIFY(box.DefaultButton()->isDefault());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box.DefaultButton()));
    QCOMPARE(box.windowFlags().testFlag(Qt::WindowCloseButtonHint), box.CancelAllowed());

    // the background is computed once, on the first paint
    QVERIFY(!box.BackgroundCached() || box.BackgroundRenderCount() == 1);
    box.grab();
    box.grab();
    QCOMPARE(box.BackgroundRenderCount(), 1);
    const QImage painted = box.grab().toImage();
    QCOMPARE(painted.pixelColor(0, client.height() - 3), QColor(216, 231, 252));
    QCOMPARE(painted.pixelColor(client.width() / 2, client.height() - 3), QColor(254, 254, 254));
}

// What each user action does to each button set; -1: the box stays open.
void TestMessageBox::answersAndCancelRules_data()
{
    QTest::addColumn<uint>("style");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    const uint ok = MbOk | MbIconInformation;
    const uint yesNo = MbYesNo | MbIconQuestion;
    QTest::newRow("OK: button") << ok << "click:OK" << int(IdOk);
    QTest::newRow("OK: Enter") << ok << "enter" << int(IdOk);
    QTest::newRow("OK: Escape") << ok << "escape" << int(IdCancel);
    QTest::newRow("OK: close button") << ok << "close" << int(IdCancel);
    QTest::newRow("Yes/No: Yes") << yesNo << "click:Yes" << int(IdYes);
    QTest::newRow("Yes/No: No") << yesNo << "click:No" << int(IdNo);
    QTest::newRow("Yes/No: Enter presses Yes") << yesNo << "enter" << int(IdYes);
    QTest::newRow("Yes/No: Escape ignored") << yesNo << "escape" << -1;
    QTest::newRow("Yes/No: close ignored") << yesNo << "close" << -1;
}

void TestMessageBox::answersAndCancelRules()
{
    QFETCH(uint, style);
    QFETCH(QString, action);
    QFETCH(int, result);

    CStyledMessageDialog box(Params(QStringLiteral("Question?"), style));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.activateWindow();
    box.DefaultButton()->setFocus();

    if (action.startsWith(QLatin1String("click:"))) {
        const QString text = action.mid(6);
        for (QPushButton* button : box.Buttons()) {
            if (button->text() == text)
                QTest::mouseClick(button, Qt::LeftButton);
        }
    } else if (action == QLatin1String("enter")) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, Qt::Key_Return);
    } else if (action == QLatin1String("escape")) {
        QTest::keyClick(&box, Qt::Key_Escape);
    } else if (action == QLatin1String("close")) {
        QCloseEvent close;
        QApplication::sendEvent(&box, &close);
    }

    if (result < 0) {
        QVERIFY(!box.Finished());
        QVERIFY(box.isVisible());
    } else {
        QVERIFY(box.Finished());
        QCOMPARE(box.result(), result);
        QVERIFY(!box.isVisible());
    }
}

void TestMessageBox::modalRunEndsOnButton()
{
    // The real modal loop: a queued press ends it with that button's identifier.
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<CStyledMessageDialog*>(QApplication::activeModalWidget());
        QVERIFY(box);
        // Escape first: a question ignores it and stays up
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());
        box->Buttons().last()->click();
    });
    QCOMPARE(ProgramMessageBox(QStringLiteral("Do you really want to exit"), MbYesNo | MbIconQuestion), int(IdNo));
}

void TestMessageBox::answererDrivesTheCall()
{
    QStringList seen;
    int asked = 0;
    CScopedMessageBoxAnswerer answerer([&](CStyledMessageDialog& box) {
        seen << box.Params().text << box.windowTitle();
        ++asked;
        // cancel first; a question ignores it and is asked again
        return asked == 1 ? int(IdCancel) : int(IdYes);
    });
    QCOMPARE(ProgramMessageBox(QStringLiteral("Do you really want to stop saving process"), MbYesNo | MbIconQuestion),
             int(IdYes));
    QCOMPARE(asked, 2);
    QCOMPARE(seen.first(), QStringLiteral("Do you really want to stop saving process"));
    QCOMPARE(seen.at(1), ProductName());

    asked = 0;
    QCOMPARE(ProgramMessageBox(QStringLiteral("Please select Outlook Express file"), MbOk | MbIconInformation),
             int(IdCancel)); // an OK-only box accepts the cancel
    QCOMPARE(asked, 1);
}

void TestMessageBox::explicitArgumentsWinOverRecord()
{
    MessageBoxParams record = ProgramMessageBoxParams();
    record.text = QStringLiteral("from the record");
    record.caption = QStringLiteral("record caption");
    record.style = MbYesNo;
    QString text, caption;
    std::vector<int> ids;
    int effect = 0;
    CScopedMessageBoxAnswerer answerer([&](CStyledMessageDialog& box) {
        text = box.Params().text;
        caption = box.windowTitle();
        ids = box.ButtonIds();
        effect = box.Params().background.effect;
        return int(IdOk);
    });
    QCOMPARE(StyledMessageBox(nullptr, QStringLiteral("explicit"), QStringLiteral("explicit caption"),
                              MbOk | MbIconInformation, &record),
             int(IdOk));
    QCOMPARE(text, QStringLiteral("explicit"));
    QCOMPARE(caption, QStringLiteral("explicit caption"));
    QCOMPARE(ids, (std::vector<int>{IdOk}));
    QCOMPARE(effect, int(AreaStyle::kVerticalBump)); // the look still comes from the record

    // without a record the defaults hold: no effect
    StyledMessageBox(nullptr, QStringLiteral("plain"), QStringLiteral("c"), MbOk, nullptr);
    QCOMPARE(effect, int(AreaStyle::kNoEffect));
}

void TestMessageBox::callFromWorkerThreadHasNoOwner()
{
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    bool onUiThread = false;
    bool hadOwner = true;
    CScopedMessageBoxAnswerer answerer([&](CStyledMessageDialog& box) {
        onUiThread = QThread::currentThread() == qApp->thread();
        hadOwner = box.Params().parent != nullptr;
        return int(IdOk);
    });
    int result = 0;
    std::thread worker([&] { result = ProgramMessageBox(QStringLiteral("Unable to open file..."), MbOk | MbIconInformation); });
    QTRY_COMPARE(result, int(IdOk));
    worker.join();
    QVERIFY(onUiThread);
    QVERIFY(!hadOwner);

    // from the user-interface thread the active window becomes the owner
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ProgramMessageBox(QStringLiteral("Please select Outlook Express file"), MbOk | MbIconInformation);
    QVERIFY(hadOwner);
}

void TestMessageBox::centredOnOwnerOrScreen()
{
    QCOMPARE(CenteredTopLeft(QRect(100, 50, 801, 600), QSize(200, 101)), QPoint(100 + 300, 50 + 249));

    CStyledMessageDialog lone(Params(QStringLiteral("Unable to open file..."), MbOk | MbIconInformation));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint centre = lone.frameGeometry().center();
    // before the window system has framed the box its frame is estimated from the style
    QVERIFY(qAbs(centre.x() - screen.center().x()) <= 10);
    QVERIFY(qAbs(centre.y() - screen.center().y()) <= 40);

    QWidget owner;
    owner.setGeometry(40, 30, 500, 400);
    MessageBoxParams params = Params(QStringLiteral("Do you really want to exit"), MbYesNo | MbIconQuestion);
    params.parent = &owner;
    CStyledMessageDialog owned(params);
    QVERIFY(qAbs(owned.frameGeometry().center().x() - owner.frameGeometry().center().x()) <= 10);
    QVERIFY(qAbs(owned.frameGeometry().center().y() - owner.frameGeometry().center().y()) <= 40);
    SaveScreenshot(owned, QStringLiteral("msgbox-question.png"));
}

QTEST_MAIN(TestMessageBox)
#include "tst_msgbox.moc"
