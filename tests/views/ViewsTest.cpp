// Widget tests of the browsing views: the message list, the preview header pane, the
// attachments strip and the plain-text body view.
#include "app/MainFrame.h"
#include "app/StaticSplitter.h"
#include "app/WizardStep.h"
#include "msgbox/StyledMessageBox.h"
#include "views/AttachView.h"
#include "views/MessageListCtrl.h"
#include "views/MessageListModel.h"
#include "views/PreviewUpperView.h"
#include "views/RtfView.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest/QtTest>

#include <memory>

using namespace mendora;

namespace {

RecoveredMessage Message(const std::string& subject, MessageStatus status, std::uint32_t offset,
                         bool attachment = false)
{
    RecoveredMessage r;
    r.from = "Ann Example <ann@example.net>";
    r.to = "bob@example.org";
    r.subject = subject;
    r.date = "12/03/2009 14:22:05";
    r.status = status;
    r.hasAttachment = attachment;
    r.firstBlock = offset;
    return r;
}

// Adds rows to the view's catalogue and waits until the list shows them.
bool AddRows(CDispImfoView& view, const std::vector<RecoveredMessage>& rows)
{
    for (const RecoveredMessage& row : rows)
        view.Catalogue().InsertRow(row);
    return QTest::qWaitFor([&] { return view.RowCount() == static_cast<int>(view.Catalogue().RowCount()); });
}

bool IsRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

int RedPixels(const QImage& image, const QRect& rect)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += IsRed(image.pixel(x, y)) ? 1 : 0;
    return n;
}

bool AllWhite(const QImage& image, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if ((image.pixel(x, y) & 0xffffffu) != 0xffffffu)
                return false;
    return true;
}

QPoint CellCentre(CMessageListCtrl& list, int row)
{
    return list.visualRect(list.model()->index(row, RecoveredMessage::kColSubject)).center();
}

} // namespace

class ViewsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowColours_data();
    void rowColours();
    void previewRequest_data();
    void previewRequest();
    void headerKeepsTheRowOrder();
    void attachmentsInReverseOrder();
    void headerPaneLayout_data();
    void headerPaneLayout();
    void headerPaneValues();
    void textView();
    void listInTheMainWindow();

private:
    QTemporaryDir m_settingsDir;
};

void ViewsTest::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    // The list's colours are checked on a white base.
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(pal);
}

void ViewsTest::rowColours_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("red");
    QTest::newRow("deleted row") << int(MessageStatus::Deleted) << true;
    QTest::newRow("existing row") << int(MessageStatus::Existing) << false;
}

// An unselected row is red in every column with text when it is deleted, drawn in the default
// colours otherwise; the locator column stays white, also when widened.
void ViewsTest::rowColours()
{
    QFETCH(int, status);
    QFETCH(bool, red);
    CDispImfoView view;
    view.resize(1100, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(AddRows(view, {Message("Quarterly figures", static_cast<MessageStatus>(status), 123456789u)}));
    CMessageListCtrl* list = view.ListCtrl();
    list->Header()->resizeSection(RecoveredMessage::kColOffset, 120); // the user widens it
    list->selectionModel()->clear();
    QCOMPARE(view.CellText(0, RecoveredMessage::kColOffset), QStringLiteral("123456789"));

    const QImage image = list->viewport()->grab().toImage();
    for (int column = RecoveredMessage::kColFrom; column <= RecoveredMessage::kColStatus; ++column) {
        const QRect cell = list->visualRect(list->model()->index(0, column)).adjusted(1, 1, -2, -2);
        QVERIFY2(cell.width() > 0, qPrintable(QString::number(column)));
        QCOMPARE(RedPixels(image, cell) > 0, red);
    }
    const QRect locator =
        list->visualRect(list->model()->index(0, RecoveredMessage::kColOffset)).adjusted(1, 1, -2, -2);
    QVERIFY(locator.width() > 100);
    QVERIFY(AllWhite(image, locator));
}

void ViewsTest::previewRequest_data()
{
    // Steps: "click N", "shift-click N", "ctrl-click N", "right-click N", "click below",
    // "key Down", "key End", "shift-key Down"; the request of the last step is checked (-2: none).
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("click") << QStringList{"click 2"} << 2 << false;
    QTest::newRow("shift-click keeps the anchor") << QStringList{"click 1", "shift-click 3"} << 1 << false;
    QTest::newRow("ctrl-click moves the mark") << QStringList{"click 1", "ctrl-click 3"} << 3 << false;
    QTest::newRow("click below the rows") << QStringList{"click 1", "click below"} << 1 << false;
    QTest::newRow("click below, nothing marked") << QStringList{"click below"} << -1 << false;
    QTest::newRow("key release") << QStringList{"click 0", "key Down"} << 1 << true;
    QTest::newRow("Down on the last row") << QStringList{"click 4", "key Down"} << 4 << true;
    QTest::newRow("shift-Down keeps the anchor") << QStringList{"click 1", "shift-key Down"} << 1 << true;
    QTest::newRow("End goes to the last row") << QStringList{"click 1", "key End"} << 4 << true;
    QTest::newRow("right click") << QStringList{"click 1", "right-click 3"} << -2 << false;
}

void ViewsTest::previewRequest()
{
    QFETCH(QStringList, steps);
    QFETCH(int, row);
    QFETCH(bool, byKey);
    CDispImfoView view;
    view.resize(900, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    std::vector<RecoveredMessage> rows;
    for (std::uint32_t i = 0; i < 5; ++i)
        rows.push_back(Message("m" + std::to_string(i), MessageStatus::Existing, 1000u + i));
    QVERIFY(AddRows(view, rows));
    CMessageListCtrl* list = view.ListCtrl();
    list->setCurrentIndex(QModelIndex());
    QWidget* port = list->viewport();

    QSignalSpy spy(list, &CMessageListCtrl::PreviewRequested);
    for (const QString& step : steps) {
        spy.clear();
        const QStringList words = step.split(QLatin1Char(' '));
        const QString& what = words[0];
        const QString& arg = words[1];
        if (what == "key" || what == "shift-key") {
            QTest::keyClick(list, arg == "End" ? Qt::Key_End : Qt::Key_Down,
                            what == "key" ? Qt::NoModifier : Qt::ShiftModifier);
            continue;
        }
        const QPoint pos = arg == "below" ? QPoint(50, port->height() - 5) : CellCentre(*list, arg.toInt());
        const Qt::KeyboardModifiers mods = what == "shift-click" ? Qt::ShiftModifier
                                         : what == "ctrl-click"  ? Qt::ControlModifier
                                                                 : Qt::NoModifier;
        QTest::mouseClick(port, what == "right-click" ? Qt::RightButton : Qt::LeftButton, mods, pos);
    }
    if (row == -2) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    // Shift and the arrow are two key releases; each asks for the same row.
    QVERIFY(spy.count() >= 1);
    for (const QList<QVariant>& request : spy) {
        QCOMPARE(request.at(0).toInt(), row);
        QCOMPARE(request.at(1).toBool(), byKey);
    }
}

// A header click sorts nothing and shows no sort mark; the section under the mouse is hot;
// the header's menu offers only ".";
// the locator column starts at width 0 without being hidden, and clearing the list keeps the
// widths the user gave the columns.
void ViewsTest::headerKeepsTheRowOrder()
{
    CDispImfoView view;
    view.resize(1100, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(AddRows(view, {Message("b", MessageStatus::Existing, 1), Message("c", MessageStatus::Deleted, 2),
                           Message("a", MessageStatus::Existing, 3)}));
    CMessageListCtrl* list = view.ListCtrl();
    CMessageListHeader* header = list->Header();
    QCOMPARE(header->sectionSize(RecoveredMessage::kColOffset), 0);
    QVERIFY(!header->isSectionHidden(RecoveredMessage::kColOffset));

    const auto subjects = [&] {
        QStringList s;
        for (int r = 0; r < view.RowCount(); ++r)
            s << view.CellText(r, RecoveredMessage::kColSubject);
        return s;
    };
    const QStringList before = subjects();
    QCOMPARE(before, (QStringList{"a", "c", "b"}));
    const int x = header->sectionViewportPosition(RecoveredMessage::kColSubject) +
                  header->sectionSize(RecoveredMessage::kColSubject) / 2;
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    QCOMPARE(subjects(), before);
    QVERIFY(!header->isSortIndicatorShown());
    // The section under the mouse is the hot one.
    QTest::mouseMove(header->viewport(), QPoint(x, header->height() / 2));
    QTRY_COMPARE(header->HotSection(), int(RecoveredMessage::kColSubject));
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());

    std::unique_ptr<QMenu> menu(header->MakeContextMenu(nullptr));
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("."));
    menu->actions().at(0)->trigger();
    QCOMPARE(subjects(), before);

    header->resizeSection(RecoveredMessage::kColSubject, 222);
    view.ClearList();
    QCOMPARE(view.RowCount(), 0);
    QVERIFY(AddRows(view, {Message("next scan", MessageStatus::Existing, 4)}));
    QCOMPARE(header->sectionSize(RecoveredMessage::kColSubject), 222);
    QCOMPARE(header->sectionSize(RecoveredMessage::kColOffset), 0);
}

void ViewsTest::attachmentsInReverseOrder()
{
    CAttachView1 strip;
    strip.resize(600, 35);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    strip.AddAttachment(QStringLiteral("stale.doc"));
    strip.ClearAttachments();
    for (const char* name : {"A.txt", "B.pdf", "C", "B.pdf", "notes.txt"})
        strip.AddAttachment(QString::fromLatin1(name));
    QListWidget* list = strip.List();
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, (QStringList{"notes.txt", "B.pdf", "C", "B.pdf", "A.txt"}));
    for (int i = 0; i < list->count(); ++i)
        QVERIFY(!list->item(i)->icon().isNull());
    // The icon follows the name's extension alone; no such file exists.
    QCOMPARE(list->item(0)->icon().cacheKey(), list->item(4)->icon().cacheKey());
    QCOMPARE(strip.List()->geometry(), QRect(20, 0, 580, 35));
}

void ViewsTest::headerPaneLayout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRect>>("rects"); // From label, value, To label, value, Subject label, value
    QTest::newRow("400 x 50") << QSize(400, 50)
                              << QList<QRect>{{0, 0, 80, 25},   {80, 0, 120, 25}, {200, 0, 80, 25},
                                              {250, 0, 150, 25}, {0, 25, 80, 25}, {80, 25, 320, 25}};
    QTest::newRow("odd 1001 x 51") << QSize(1001, 51)
                                   << QList<QRect>{{0, 0, 80, 25},   {80, 0, 420, 25}, {500, 0, 80, 25},
                                                   {550, 0, 451, 25}, {0, 25, 80, 26}, {80, 25, 921, 26}};
    // Narrower than 160: the From value has no room at all.
    QTest::newRow("151 x 50") << QSize(151, 50)
                              << QList<QRect>{{0, 0, 80, 25},  {80, 0, 0, 25}, {75, 0, 80, 25},
                                              {125, 0, 26, 25}, {0, 25, 80, 25}, {80, 25, 71, 25}};
}

void ViewsTest::headerPaneLayout()
{
    QFETCH(QSize, size);
    QFETCH(QList<QRect>, rects);
    CPreviewUpperView pane;
    pane.resize(size);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    const QList<QRect> actual{pane.FromLabel()->geometry(),    pane.FromValue()->geometry(),
                              pane.ToLabel()->geometry(),      pane.ToValue()->geometry(),
                              pane.SubjectLabel()->geometry(), pane.SubjectValue()->geometry()};
    QCOMPARE(actual, rects);
}

void ViewsTest::headerPaneValues()
{
    CPreviewUpperView pane;
    pane.resize(500, 50);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    for (QLabel* value : {pane.FromValue(), pane.ToValue(), pane.SubjectValue()}) {
        QCOMPARE(value->font().family(), QStringLiteral("Arial"));
        QCOMPARE(value->font().pixelSize(), 16);
        QVERIFY(!value->font().bold() && !value->font().italic() && !value->font().underline());
        QVERIFY(!value->wordWrap());
    }
    QVERIFY(pane.FromLabel()->font() != pane.FromValue()->font());
    QCOMPARE(pane.FromLabel()->text(), QStringLiteral("From"));
    QCOMPARE(pane.ToLabel()->text(), QStringLiteral("To"));
    QCOMPARE(pane.SubjectLabel()->text(), QStringLiteral("Subject"));

    pane.SetHeaderFields(QStringLiteral("ann@example.net"), QStringLiteral("bob@example.org"),
                         QStringLiteral("A subject far longer than the pane is wide, so that it is cut off "
                                        "at the right edge instead of wrapping onto a second line"));
    QCOMPARE(pane.SubjectValue()->height(), 25);
    // A second message overwrites all three, empty texts included, and the old text is gone.
    pane.SetHeaderFields(QString(), QStringLiteral("carol@example.com"), QString());
    QCOMPARE(pane.FromValue()->text(), QString());
    QCOMPARE(pane.ToValue()->text(), QStringLiteral("carol@example.com"));
    QCOMPARE(pane.SubjectValue()->text(), QString());
    const QImage image = pane.grab().toImage();
    QVERIFY(AllWhite(image, pane.FromValue()->geometry()));
    QVERIFY(AllWhite(image, pane.SubjectValue()->geometry()));
}

// Times New Roman 10 pt, tab stops every 640 twips, editable, text replaced as a whole.
void ViewsTest::textView()
{
    CRtfView view;
    view.resize(600, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTextEdit* edit = view.Edit();
    QCOMPARE(edit->geometry(), QRect(0, 0, 600, 300));
    QVERIFY(!edit->isReadOnly());
    QVERIFY(edit->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
    QVERIFY(edit->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);

    view.SetBodyText(QStringLiteral("a\tX\nabcdefgh\tX\n\t\tX"));
    const QTextCharFormat format = QTextCursor(edit->document()).charFormat();
    const QFont font = format.font();
    QCOMPARE(font.family(), QStringLiteral("Times New Roman"));
    QCOMPARE(font.pointSize(), 10);

    // Where the X of each line starts, from the line's own left edge.
    const auto xOfX = [&](int line) {
        const QTextBlock block = edit->document()->findBlockByNumber(line);
        QTextCursor start(block);
        QTextCursor atX(block);
        atX.setPosition(block.position() + block.text().indexOf(QLatin1Char('X')));
        return edit->cursorRect(atX).left() - edit->cursorRect(start).left();
    };
    const qreal stop = 640.0 * edit->logicalDpiX() / 1440.0;
    QVERIFY(qAbs(xOfX(0) - stop) <= 1.0);
    QVERIFY(qAbs(xOfX(1) - stop) <= 1.0 || qAbs(xOfX(1) - 2 * stop) <= 1.0);
    QVERIFY(qAbs(xOfX(2) - 2 * stop) <= 1.0);

    // What the user typed goes with the next message's text.
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("typed"));
    QVERIFY(view.BodyText().endsWith(QStringLiteral("typed")));
    view.SetBodyText(QString());
    QCOMPARE(view.BodyText(), QString());
}

// The list with existing and deleted rows, one selected, in the main window of step 2.
void ViewsTest::listInTheMainWindow()
{
    CScopedMessageBoxAnswerer answerer([](CStyledMessageDialog&) { return IdOk; });
    auto frame = std::make_unique<CMainFrame>();
    QVERIFY(frame->Create());
    frame->resize(1280, 800);
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    frame->SetStep(StepScan);
    frame->ApplyStepRowHeights();

    CDispImfoView* view = CDispImfoView::Instance();
    QVERIFY(view);
    std::vector<RecoveredMessage> rows;
    const char* subjects[] = {"Minutes of the March meeting", "Re: invoice 2009-114", "Holiday photos",
                              "Your order has shipped",       "Fwd: train times",     "Draft budget",
                              "Lunch on Friday?",             "Password reminder"};
    for (std::uint32_t i = 0; i < 8; ++i)
        rows.push_back(Message(subjects[i], i % 3 == 2 ? MessageStatus::Deleted : MessageStatus::Existing,
                               0x7c00u + 0x400u * i, i % 4 == 1));
    QVERIFY(AddRows(*view, rows));
    CMessageListCtrl* list = view->ListCtrl();
    QVERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(*list, 2));
    QCOMPARE(list->MarkRow(), 2);

    CPreviewUpperView::Instance()->SetHeaderFields(view->CellText(2, RecoveredMessage::kColFrom),
                                                   view->CellText(2, RecoveredMessage::kColTo),
                                                   view->CellText(2, RecoveredMessage::kColSubject));
    CAttachView1::Instance()->AddAttachment(QStringLiteral("photo.jpg"));
    CAttachView1::Instance()->AddAttachment(QStringLiteral("report.pdf"));
    CRtfView::Instance()->SetBodyText(QStringLiteral("Hello Bob,\n\n\tthe photos are attached.\n\nAnn"));
    CStaticSplitter* preview = frame->PreviewSplitter();
    preview->SetPaneSize(1, 35);
    preview->SetPaneSize(2, 0);
    preview->SetPaneSize(3, 3000);
    preview->RecalcLayout();
    QCoreApplication::processEvents();

    const QString dir = qEnvironmentVariable("MENDORA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(frame->grab().save(dir + QStringLiteral("/step2-list.png")));
}

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
