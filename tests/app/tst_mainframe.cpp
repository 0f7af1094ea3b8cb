// The main frame: first start, menus and toolbar, personalised menus, themes, help, About,
// the customisation sheet, the step layout, exit, and the bar state across a restart.

#include "TestSupport.h"

#include "app/AboutDialog.h"
#include "app/AppSettings.h"
#include "app/CommandIds.h"
#include "app/CustomizeDialog.h"
#include "app/MainFrame.h"
#include "app/Placeholders.h"
#include "app/StaticSplitter.h"
#include "app/Themes.h"
#include "dbx/DbxRecovery.h"
#include "msgbox/StyledMessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace mendora;

namespace {

struct ShownBox {
    QString text;
    QString caption;
    std::uint32_t style = 0;
};

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartDefaults();
    void menuAndToolbarCommands_data();
    void menuAndToolbarCommands();
    void personalisedMenuHidesRareCommands();
    void statusPaneFollowsPrompts();
    void themeChecksOneItemOnly_data();
    void themeChecksOneItemOnly();
    void systemColourChangeReappliesTheme();
    void helpWithFileMissing();
    void helpWithFilePresent();
    void aboutBox();
    void customizeSheet();
    void stepRowHeights_data();
    void stepRowHeights();
    void exitAnsweredNo();
    void exitAnsweredYesUnwinds_data();
    void exitAnsweredYesUnwinds();
    void barStateSurvivesRestart();

private:
    std::unique_ptr<CMainFrame> MakeFrame();
    int Answer(CStyledMessageDialog& box);

    QTemporaryDir m_settingsDir;
    QTemporaryDir m_startDir;
    QString m_oldCurrent;
    std::unique_ptr<CScopedMessageBoxAnswerer> m_answerer;
    QList<ShownBox> m_boxes;
    int m_nextAnswer = IdOk;
    QString m_boxShot;
    QList<int> m_exitCodes;
    QStringList m_opened;
};

void TestMainFrame::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    testing::UsePrivateSettings(m_settingsDir);
    m_oldCurrent = QDir::currentPath();
    CMainFrame::SetProcessTerminator([this](int code) { m_exitCodes.append(code); });
    CMainFrame::SetDocumentOpener([this](const QString& path) {
        m_opened.append(path);
        return true;
    });
}

int TestMainFrame::Answer(CStyledMessageDialog& box)
{
    m_boxes.append({box.Params().text, box.windowTitle(), box.Params().style});
    if (!m_boxShot.isEmpty()) {
        testing::SaveScreenshot(box, m_boxShot);
        m_boxShot.clear();
    }
    return m_nextAnswer;
}

void TestMainFrame::init()
{
    testing::ClearSettings();
    QVERIFY(m_startDir.isValid());
    QFile::remove(m_startDir.filePath(QStringLiteral("Mendora for Outlook Express.chm")));
    QDir::setCurrent(m_startDir.path());
    m_boxes.clear();
    m_exitCodes.clear();
    m_opened.clear();
    m_nextAnswer = IdOk;
    m_answerer = std::make_unique<CScopedMessageBoxAnswerer>(
        [this](CStyledMessageDialog& box) { return Answer(box); });
}

void TestMainFrame::cleanup()
{
    m_answerer.reset();
    QDir::setCurrent(m_oldCurrent);
}

std::unique_ptr<CMainFrame> TestMainFrame::MakeFrame()
{
    auto frame = std::make_unique<CMainFrame>();
    if (!frame->Create())
        return nullptr;
    frame->resize(1280, 800);
    frame->show();
    if (!QTest::qWaitForWindowExposed(frame.get()))
        return nullptr;
    return frame;
}

void TestMainFrame::firstStartDefaults()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    QCOMPARE(CMainFrame::Instance(), frame.get());
    QCOMPARE(frame->windowTitle(), QStringLiteral("Mendora for Outlook Express"));
    QCOMPARE(frame->Step(), int(StepSelectFile));

    // theme 2, the check on its item only
    QCOMPARE(frame->Theme(), 2);
    for (int theme = 0; theme < kThemeCount; ++theme)
        QCOMPARE(frame->Action(ThemeCommand(theme))->isChecked(), theme == 2);

    // large icons with text under them
    QToolBar* toolbar = frame->StandardToolbar();
    QCOMPARE(toolbar->objectName(), QStringLiteral("Standard"));
    QCOMPARE(toolbar->iconSize(), QSize(42, 35));
    QCOMPARE(toolbar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(!frame->Options().alwaysShowFullMenus);

    // the folder tree's column at width 0, the browsing area hidden in step 1
    QCOMPARE(frame->TreeListSplitter()->CurrentSize(0), 0);
    QVERIFY(!frame->TreeView()->isVisible());
    QCOMPARE(frame->OuterSplitter()->CurrentSize(CMainFrame::RowBrowsing), 0);
    QCOMPARE(frame->OuterSplitter()->CurrentSize(CMainFrame::RowWizardPane), frame->OuterSplitter()->height());
    QVERIFY(frame->ViewBottom()->isVisible());
    QCOMPARE(frame->BrowsingSplitter()->IdealSize(0), 22);
    QVERIFY(frame->OuterSplitter()->IsFixed());
    QVERIFY(frame->BrowsingSplitter()->IsFixed());
    QVERIFY(frame->PreviewSplitter()->IsFixed());
    QVERIFY(!frame->TreeListSplitter()->IsFixed());
    QVERIFY(!frame->ListPreviewSplitter()->IsFixed());

    // the caption band starts with the icon and no text
    QVERIFY(frame->CaptionBand()->HasIcon());
    QVERIFY(frame->CaptionBand()->Text().isEmpty());

    // the status bar's panes, product name first and raised
    CMainStatusBar* status = frame->StatusPanes();
    QCOMPARE(status->PaneIds(), (QList<int>{cmd::kProductPane, cmd::kMessagePane, cmd::kIndicatorCaps,
                                            cmd::kIndicatorNum, cmd::kIndicatorScroll}));
    QLabel* product = status->Pane(cmd::kProductPane);
    QCOMPARE(product->text(), QStringLiteral("Mendora for Outlook Express"));
    QCOMPARE(product->objectName(), QStringLiteral("StatusPaneRaised"));
    QVERIFY(product->width() >= product->fontMetrics().horizontalAdvance(product->text()) + 2);
    QCOMPARE(status->Message(), QStringLiteral("Ready"));

    // every view and page is reachable as the one of its kind
    QCOMPARE(CViewBottom::Instance(), frame->ViewBottom());
    QCOMPARE(CViewSelSaveOpp::Instance(), frame->ViewSelSaveOpp());
    QCOMPARE(CViewSave::Instance(), frame->ViewSave());
    QCOMPARE(CItemTreeView::Instance(), frame->TreeView());
    QVERIFY(CDispImfoView::Instance() && CPreviewUpperView::Instance() && CAttachView1::Instance() &&
            CHtm::Instance() && CRtfView::Instance());
    QCOMPARE(frame->PreviewSplitter()->Pane(2), static_cast<QWidget*>(CHtm::Instance()));

    QCOMPARE(frame->StartDirectory(), QDir(m_startDir.path()).absolutePath() + QLatin1Char('/'));
    testing::SaveScreenshot(*frame, QStringLiteral("main-step1.png"));
}

void TestMainFrame::menuAndToolbarCommands_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("onToolbar");
    QTest::newRow("Repair") << "&File" << "&Repair" << cmd::kRepair << "" << true;
    QTest::newRow("Save") << "&File" << "&Save" << cmd::kSave << "" << true;
    QTest::newRow("Exit") << "&File" << "E&xit" << cmd::kExit << "" << false;
    QTest::newRow("Toolbar") << "&Tools" << "&Toolbar" << cmd::kToolbar << "" << false;
    QTest::newRow("Status Bar") << "&Tools" << "&Status Bar" << cmd::kStatusBar << "" << false;
    QTest::newRow("Office 2000") << "&Tools/Theme" << "Office &2000 Theme" << cmd::kThemeOffice2000 << "" << false;
    QTest::newRow("Office XP") << "&Tools/Theme" << "Office &XP Theme" << cmd::kThemeOfficeXP << "" << false;
    QTest::newRow("Office 2003") << "&Tools/Theme" << "Office 200&3 Theme" << cmd::kThemeOffice2003 << "" << false;
    QTest::newRow("Win XP") << "&Tools/Theme" << "Win XP Theme" << cmd::kThemeWinXP << "" << false;
    QTest::newRow("Help") << "&Help" << "Help" << cmd::kHelp << "F1" << true;
    QTest::newRow("About") << "&Help" << "&About Mendora for Outlook Express" << cmd::kAbout << "" << false;
}

void TestMainFrame::menuAndToolbarCommands()
{
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(int, id);
    QFETCH(QString, shortcut);
    QFETCH(bool, onToolbar);

    auto frame = MakeFrame();
    QVERIFY(frame);
    QMenu* current = nullptr;
    const QStringList path = menu.split(QLatin1Char('/'));
    QList<QAction*> level = frame->menuBar()->actions();
    for (const QString& title : path) {
        current = nullptr;
        for (QAction* action : level) {
            if (action->text() == title && action->menu())
                current = action->menu();
        }
        QVERIFY2(current, qPrintable(title));
        level = current->actions();
    }
    QAction* found = nullptr;
    for (QAction* action : level) {
        if (action->text() == item)
            found = action;
    }
    QVERIFY2(found, qPrintable(item));
    QCOMPARE(CommandIdOf(found), id);
    QCOMPARE(frame->Action(id), found);
    QCOMPARE(found->shortcut().toString(), shortcut);
    QCOMPARE(frame->StandardToolbar()->actions().contains(found), onToolbar);
    if (onToolbar) {
        QCOMPARE(found->icon().actualSize(QSize(42, 35)), QSize(42, 35));
        QCOMPARE(found->icon().actualSize(QSize(16, 16)), QSize(16, 16));
    }
}

void TestMainFrame::personalisedMenuHidesRareCommands()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    CPersonalizedMenu* tools = frame->Menus().at(1);
    QAction* statusBar = frame->Action(cmd::kStatusBar);
    QCOMPARE(tools->RarelyUsedActions(), QList<QAction*>{statusBar});

    tools->popup(QPoint(10, 10));
    QVERIFY(!statusBar->isVisible());
    QVERIFY(tools->ExpanderAction()->isVisible());
    QVERIFY(frame->Action(cmd::kToolbar)->isVisible());
    testing::SaveScreenshot(*tools, QStringLiteral("menu-tools-collapsed.png"));
    tools->Expand();
    QVERIFY(statusBar->isVisible());
    QVERIFY(!tools->ExpanderAction()->isVisible());
    testing::SaveScreenshot(*tools, QStringLiteral("menu-tools-expanded.png"));
    tools->hide();
    QVERIFY(statusBar->isVisible()); // between showings every command is there for its shortcut

    // the other menus hold no rare command: shown whole
    CPersonalizedMenu* file = frame->Menus().at(0);
    file->popup(QPoint(10, 10));
    QVERIFY(file->IsExpanded());
    QVERIFY(!file->ExpanderAction()->isVisible());
    file->hide();

    // switched off, the Tools menu shows everything at once
    CommandBarOptions options = frame->Options();
    options.alwaysShowFullMenus = true;
    frame->SetOptions(options);
    tools->popup(QPoint(10, 10));
    QVERIFY(statusBar->isVisible());
    QVERIFY(tools->IsExpanded());
    tools->hide();
}

void TestMainFrame::statusPaneFollowsPrompts()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    CMainStatusBar* status = frame->StatusPanes();

    // the prompt of the item under the mouse, "Ready" again when it leaves
    CPersonalizedMenu* file = frame->Menus().at(0);
    file->popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(file));
    file->setActiveAction(frame->Action(cmd::kRepair));
    QTRY_COMPARE(status->Message(), QStringLiteral("Repair"));
    file->hide();
    QStatusTipEvent clear{QString()};
    QApplication::sendEvent(frame.get(), &clear);
    QCOMPARE(status->Message(), QStringLiteral("Ready"));

    QCOMPARE(frame->Action(cmd::kCustomize)->statusTip(),
             QStringLiteral("Customize application appearance, toolbars, and menus"));
    QCOMPARE(frame->Action(cmd::kCustomize)->text(), QStringLiteral("&Customize..."));
}

void TestMainFrame::themeChecksOneItemOnly_data()
{
    QTest::addColumn<int>("theme");
    for (int theme = 0; theme < kThemeCount; ++theme)
        QTest::addRow("theme %d", theme) << theme;
}

void TestMainFrame::themeChecksOneItemOnly()
{
    QFETCH(int, theme);
    auto frame = MakeFrame();
    QVERIFY(frame);
    // the browsing area and the strip show, so every themed part is on the picture
    frame->SetStep(StepScan);
    frame->ApplyStepRowHeights();

    frame->Action(ThemeCommand(theme))->trigger();
    QCOMPARE(frame->Theme(), theme);
    int checked = 0;
    for (int other = 0; other < kThemeCount; ++other) {
        QAction* item = frame->Action(ThemeCommand(other));
        checked += item->isChecked() ? 1 : 0;
        QCOMPARE(item->isChecked(), other == theme);
    }
    QCOMPARE(checked, 1);
    QCOMPARE(frame->styleSheet(), ThemeStyleSheet(theme));
    QCOMPARE(frame->OuterSplitter()->FaceColor(), LookOf(theme).face);
    QCOMPARE(frame->PreviewSplitter()->FaceColor(), LookOf(theme).face);
    QCOMPARE(frame->CaptionBand()->FaceColor(), LookOf(theme).captionFace);
    QCOMPARE(frame->DialogTheme(), theme == 1 ? 1 : theme == 2 ? 2 : 0);
    // the layout survives the re-application
    QCOMPARE(frame->OuterSplitter()->CurrentSize(CMainFrame::RowBrowsing), frame->height() - 200);

    // the toolbar's background really changes with the theme
    const QImage bar = frame->StandardToolbar()->grab().toImage();
    QVERIFY(!bar.isNull());
    testing::SaveScreenshot(*frame, QStringLiteral("theme-%1.png").arg(theme));
}

void TestMainFrame::systemColourChangeReappliesTheme()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    frame->Action(cmd::kThemeOffice2000)->trigger();
    const QPalette saved = QApplication::palette();
    QPalette changed = saved;
    changed.setColor(QPalette::Dark, QColor(10, 120, 30));
    QApplication::setPalette(changed);
    // the caption band's face is the system's 3-D shadow colour in this theme
    QTRY_COMPARE(frame->CaptionBand()->FaceColor(), QColor(10, 120, 30));
    QCOMPARE(frame->Theme(), 0);
    QApplication::setPalette(saved);
}

void TestMainFrame::helpWithFileMissing()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));

    frame->Action(cmd::kHelp)->trigger();
    QTest::keyClick(frame.get(), Qt::Key_F1);
    QCOMPARE(m_boxes.size(), 2); // the menu command and F1 alike
    for (const ShownBox& box : std::as_const(m_boxes)) {
        QCOMPARE(box.text, QStringLiteral("Mendora for Outlook Express.chm file not exist, please reinstall software "));
        QCOMPARE(box.caption, QStringLiteral("Mendora for Outlook Express"));
        QCOMPARE(box.style, std::uint32_t(MbOk | MbIconExclamation));
    }
    QVERIFY(m_opened.isEmpty());
}

void TestMainFrame::helpWithFilePresent()
{
    QFile help(m_startDir.filePath(QStringLiteral("Mendora for Outlook Express.chm")));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("ITSF");
    help.close();

    auto frame = MakeFrame();
    QVERIFY(frame);
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_F1);
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(m_opened, QStringList{frame->StartDirectory() + QStringLiteral("Mendora for Outlook Express.chm")});
}

void TestMainFrame::aboutBox()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    CAboutDlg about(frame.get());
    QCOMPARE(about.windowTitle(), QStringLiteral("About Mendora for Outlook Express"));
    QCOMPARE(about.size(), QSize(359, 335));
    QCOMPARE(about.TextLabel()->property("controlId").toInt(), 1024);
    QVERIFY(about.TextLabel()->text().contains(QStringLiteral("Mendora for Outlook Express")));
    QVERIFY(about.TextLabel()->text().contains(QStringLiteral("7.02.01")));
    QCOMPARE(about.OkButton()->text(), QStringLiteral("OK"));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    testing::SaveScreenshot(about, QStringLiteral("about.png"));
    QTest::mouseClick(about.OkButton(), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));

    // the menu command runs it modally
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget()))
            box->OkButton()->click();
    });
    frame->Action(cmd::kAbout)->trigger();
}

void TestMainFrame::customizeSheet()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    // reached from the toolbar's options drop-down
    QMenu* dropDown = frame->ToolbarOptionsButton()->menu();
    QVERIFY(dropDown);
    bool reachable = false;
    for (QAction* entry : dropDown->actions()) {
        if (entry->menu() && entry->menu()->actions().contains(frame->Action(cmd::kCustomize)))
            reachable = true;
    }
    QVERIFY(reachable);

    CCustomizeDialog sheet(frame.get());
    QCOMPARE(sheet.CategoryNames(),
             (QStringList{"File", "Tools", "Help", "All Commands", "New Menu"}));
    QCOMPARE(sheet.CommandsOf(QStringLiteral("File")), (QStringList{"Repair", "Save", "Exit"}));
    QVERIFY(sheet.CommandsOf(QStringLiteral("Tools")).contains(QStringLiteral("Office 2003 Theme")));
    QCOMPARE(sheet.CommandsOf(QStringLiteral("All Commands")).size(), 11);

    sheet.show();
    sheet.Pages()->setCurrentIndex(1);
    testing::SaveScreenshot(sheet, QStringLiteral("customize-commands.png"));
    sheet.Pages()->setCurrentIndex(2);
    QVERIFY(sheet.LargeIcons()->isChecked());
    QVERIFY(sheet.TextUnderIcons()->isChecked());
    QVERIFY(!sheet.AlwaysShowFullMenus()->isChecked());
    testing::SaveScreenshot(sheet, QStringLiteral("customize-options.png"));

    sheet.LargeIcons()->setChecked(false);
    QCOMPARE(frame->StandardToolbar()->iconSize(), QSize(16, 16));
    sheet.TextUnderIcons()->setChecked(false);
    QCOMPARE(frame->StandardToolbar()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    sheet.AlwaysShowFullMenus()->setChecked(true);
    QVERIFY(!frame->Menus().at(1)->IsPersonalized());
    QVERIFY(!sheet.ShowFullMenusAfterDelay()->isEnabled());
}

void TestMainFrame::stepRowHeights_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QSize>("size");
    QTest::newRow("step 2") << int(StepScan) << QSize(1280, 800);
    QTest::newRow("step 2 after a resize") << int(StepScan) << QSize(900, 640);
    QTest::newRow("step 3") << int(StepSaveOptions) << QSize(1024, 700);
    QTest::newRow("step 4") << int(StepSaveProgress) << QSize(1024, 700);
    QTest::newRow("step 1") << int(StepSelectFile) << QSize(1000, 600);
}

void TestMainFrame::stepRowHeights()
{
    QFETCH(int, step);
    QFETCH(QSize, size);
    auto frame = MakeFrame();
    QVERIFY(frame);
    frame->SetStep(step);
    frame->ApplyStepRowHeights();
    frame->resize(size); // a resize applies the current step's rows again
    QTRY_COMPARE(frame->size(), size);
    QTRY_COMPARE(frame->OuterSplitter()->height(), frame->centralWidget()->height());

    CStaticSplitter* outer = frame->OuterSplitter();
    const int h = frame->height();
    const int room = outer->height();
    QVERIFY(room < h); // the bars and the status bar take their share
    const int shown = step == StepScan ? CMainFrame::RowWizardPane
                    : step == StepSaveOptions ? CMainFrame::RowSaveOptions
                    : step == StepSaveProgress ? CMainFrame::RowSaveProgress
                                               : CMainFrame::RowWizardPane;
    if (step == StepScan) {
        QCOMPARE(outer->CurrentSize(CMainFrame::RowBrowsing), h - 200);
        // the strip keeps the bottom: what is left under the browsing area and the bar
        QCOMPARE(outer->CurrentSize(CMainFrame::RowWizardPane), room - (h - 200) - 4);
        QVERIFY(frame->TreeListSplitter()->isVisible());
    } else {
        QCOMPARE(outer->CurrentSize(CMainFrame::RowBrowsing), 0);
        QCOMPARE(outer->CurrentSize(shown), room);
    }
    for (int row = 1; row < 4; ++row) {
        QCOMPARE(outer->Pane(row)->isVisible(), row == shown);
    }
    // the file-selection page in its own colour, the pane in the strip colour otherwise
    QCOMPARE(frame->ViewBottom()->Fill(), step == StepSelectFile ? QColor(126, 185, 240) : QColor(216, 231, 252));
}

void TestMainFrame::exitAnsweredNo()
{
    auto frame = MakeFrame();
    QVERIFY(frame);
    m_nextAnswer = IdNo;
    m_boxShot = QStringLiteral("msgbox-exit.png");
    frame->Action(cmd::kExit)->trigger();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.first().text, QStringLiteral("Do you really want to exit"));
    QCOMPARE(m_boxes.first().caption, QStringLiteral("Mendora for Outlook Express"));
    QCOMPARE(m_boxes.first().style, std::uint32_t(MbYesNo | MbIconQuestion));
    QVERIFY(m_exitCodes.isEmpty());
    QVERIFY(frame->isVisible());
    QSettings store(settings::CompanyKey(), settings::ApplicationKey());
    QVERIFY(!store.childGroups().contains(QStringLiteral("CommandBars3")));

    // the close box asks the same way
    frame->close();
    QCOMPARE(m_boxes.size(), 2);
    QVERIFY(frame->isVisible());
    QVERIFY(m_exitCodes.isEmpty());
}

void TestMainFrame::exitAnsweredYesUnwinds_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("from step 1") << int(StepSelectFile);
    QTest::newRow("from step 2") << int(StepScan);
    QTest::newRow("from step 3") << int(StepSaveOptions);
    QTest::newRow("from step 4") << int(StepSaveProgress);
}

void TestMainFrame::exitAnsweredYesUnwinds()
{
    QFETCH(int, step);
    auto frame = MakeFrame();
    QVERIFY(frame);
    frame->Action(cmd::kThemeOfficeXP)->trigger();
    frame->ViewBottom()->SetEngine(std::make_unique<CDbxRecovery>());
    const QString temp = QString::fromStdString(frame->ViewBottom()->Engine()->TempFolder());
    QVERIFY(!temp.isEmpty());
    QVERIFY(QFileInfo(temp).isDir());
    frame->SetStep(step);
    frame->ApplyStepRowHeights();

    m_nextAnswer = IdYes;
    frame->close();
    QCOMPARE(m_exitCodes, QList<int>{0});
    QCOMPARE(frame->Step(), int(StepSelectFile)); // every page's Back ran, last to first
    QVERIFY(!frame->ViewBottom()->Engine());
    QVERIFY(!QFileInfo::exists(temp));
    QCOMPARE(settings::ReadTheme(), 1);
    QSettings store(settings::CompanyKey(), settings::ApplicationKey());
    QVERIFY(store.childGroups().contains(QStringLiteral("CommandBars3")));
    QVERIFY(!store.childGroups().contains(QStringLiteral("CommandBars2")));
}

void TestMainFrame::barStateSurvivesRestart()
{
    {
        auto first = MakeFrame();
        QVERIFY(first);
        first->Action(cmd::kStatusBar)->setChecked(false);
        CommandBarOptions options = first->Options();
        options.alwaysShowFullMenus = true;
        options.screenTips = false;
        first->SetOptions(options);
        first->Action(cmd::kRepair)->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
        first->Action(cmd::kThemeWinXP)->trigger();
        QVERIFY(first->StatusPanes()->isHidden());
        m_nextAnswer = IdYes;
        first->close();
        QCOMPARE(m_exitCodes, QList<int>{0});
    }
    auto second = MakeFrame();
    QVERIFY(second);
    QVERIFY(second->StatusPanes()->isHidden());
    QVERIFY(!second->Action(cmd::kStatusBar)->isChecked());
    QVERIFY(!second->StandardToolbar()->isHidden());
    QVERIFY(second->Options().alwaysShowFullMenus);
    QVERIFY(!second->Options().screenTips);
    QCOMPARE(second->Action(cmd::kRepair)->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    QCOMPARE(second->Theme(), 3);
    QVERIFY(second->Action(cmd::kThemeWinXP)->isChecked());
    // creation switches large icons and text on again after the saved state
    QCOMPARE(second->StandardToolbar()->iconSize(), QSize(42, 35));
    QCOMPARE(second->StandardToolbar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

    // and a hidden toolbar stays hidden
    second->Action(cmd::kToolbar)->setChecked(false);
    second->close();
    second.reset();
    auto third = MakeFrame();
    QVERIFY(third);
    QVERIFY(third->StandardToolbar()->isHidden());
    QVERIFY(!third->Action(cmd::kToolbar)->isChecked());
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
