#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/AppSettings.h"
#include "app/Artwork.h"
#include "app/CommandIds.h"
#include "app/CustomizeDialog.h"
#include "app/Placeholders.h"
#include "app/StaticSplitter.h"
#include "app/Themes.h"
#include "dbx/DbxRecovery.h"
#include "msgbox/StyledMessageBox.h"
#include "views/AttachView.h"
#include "views/MessageListCtrl.h"
#include "views/PreviewUpperView.h"
#include "views/RtfView.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QSettings>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace mendora {

namespace {

CMainFrame* g_frame = nullptr;

CMainFrame::ProcessTerminator& Terminator()
{
    static CMainFrame::ProcessTerminator terminator = [](int exitCode) {
        std::fflush(nullptr);
        std::_Exit(exitCode);
    };
    return terminator;
}

CMainFrame::DocumentOpener& Opener()
{
    static CMainFrame::DocumentOpener opener = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return opener;
}

QString HelpFileName()
{
    return QStringLiteral("Mendora for Outlook Express.chm");
}

} // namespace

CMainFrame::CMainFrame()
{
    m_theme = settings::ReadTheme();
    m_step = StepSelectFile;
    g_frame = this;
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(ProductName());
    setWindowIcon(artwork::ProgramIcon());
    // A change of the system colours reaches the application, not its top-level windows.
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    if (g_frame == this)
        g_frame = nullptr;
}

CMainFrame* CMainFrame::Instance()
{
    return g_frame;
}

void CMainFrame::SetProcessTerminator(ProcessTerminator terminator)
{
    Terminator() = std::move(terminator);
}

void CMainFrame::SetDocumentOpener(DocumentOpener opener)
{
    Opener() = std::move(opener);
}

bool CMainFrame::Create()
{
    CreateClientArea();
    if (!m_outer)
        return false;
    CreateStatusBar();
    if (!m_status)
        return false;
    CreateCommandBars();
    if (!m_toolbar)
        return false;
    LoadCommandBars(settings::BarStateProfile());
    ApplyTheme(m_theme);

    LoadToolbarImages();
    CommandBarOptions options = m_options;
    options.largeIcons = true;
    options.textUnderIcons = true;
    SetOptions(options);
    LoadCommandBars(settings::SecondBarStateProfile());

    m_status->AddProductPane(ProductName());

    m_startDirectory = QDir::currentPath();
    if (!m_startDirectory.endsWith(QLatin1Char('/')))
        m_startDirectory += QLatin1Char('/');
    return true;
}

// --- client area ---------------------------------------------------------------------------

void CMainFrame::CreateClientArea()
{
    // top-down: the outer splitter and its wizard pages first
    m_outer = new CStaticSplitter(Qt::Vertical, 4, this);
    m_outer->setObjectName(QStringLiteral("OuterSplitter"));
    m_viewBottom = new CViewBottom;
    m_viewOptions = new CViewSelSaveOpp;
    m_viewSave = new CViewSave;
    m_outer->SetPane(RowWizardPane, m_viewBottom);
    m_outer->SetPane(RowSaveOptions, m_viewOptions);
    m_outer->SetPane(RowSaveProgress, m_viewSave);
    m_outer->SetPaneSize(RowBrowsing, 0);
    m_outer->SetPaneSize(RowWizardPane, 200);
    m_outer->SetPaneSize(RowSaveOptions, 0);
    m_outer->SetPaneSize(RowSaveProgress, 0);

    // the browsing area and its caption band
    m_browsing = new CStaticSplitter(Qt::Vertical, 2);
    m_browsing->setObjectName(QStringLiteral("BrowsingSplitter"));
    m_outer->SetPane(RowBrowsing, m_browsing);
    m_caption = new CCaptionBand;
    m_caption->SetCaption(QString(), artwork::ProgramIcon());
    m_browsing->SetPane(0, m_caption);

    // the folder tree beside the list and preview
    m_treeList = new CStaticSplitter(Qt::Horizontal, 2);
    m_treeList->setObjectName(QStringLiteral("TreeListSplitter"));
    m_browsing->SetPane(1, m_treeList);
    m_tree = new CItemTreeView;
    m_treeList->SetPane(0, m_tree);
    m_treeList->SetPaneSize(0, 0);

    m_listPreview = new CStaticSplitter(Qt::Vertical, 2);
    m_listPreview->setObjectName(QStringLiteral("ListPreviewSplitter"));
    m_treeList->SetPane(1, m_listPreview);
    m_list = new CDispImfoView;
    m_listPreview->SetPane(0, m_list);
    m_listPreview->SetPaneSize(0, 200);

    m_preview = new CStaticSplitter(Qt::Vertical, 4);
    m_preview->setObjectName(QStringLiteral("PreviewSplitter"));
    m_listPreview->SetPane(1, m_preview);
    m_header = new CPreviewUpperView;
    m_attachments = new CAttachView1;
    m_html = new CHtm;
    m_text = new CRtfView;
    m_preview->SetPane(0, m_header);
    m_preview->SetPane(1, m_attachments);
    m_preview->SetPane(2, m_html);
    m_preview->SetPane(3, m_text);
    m_preview->SetPaneSize(0, 50);
    m_preview->SetPaneSize(1, 50);
    m_preview->SetPaneSize(2, 0);
    m_preview->SetPaneSize(3, 0);

    m_browsing->SetPaneSize(0, CCaptionBand::kHeight);

    setCentralWidget(m_outer);
    m_clientCreated = true;
    for (CStaticSplitter* splitter : {m_outer, m_browsing, m_treeList, m_listPreview, m_preview})
        splitter->RecalcLayout();
    m_outer->SetFixed(true);
    m_browsing->SetFixed(true);
    m_preview->SetFixed(true);
    m_tree->TreeControl()->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::ApplyStepRowHeights()
{
    if (!m_clientCreated)
        return;
    const std::array<int, 4> rows = StepRowHeights(m_step, height());
    for (int row = 0; row < 4; ++row)
        m_outer->SetPaneSize(row, rows[static_cast<std::size_t>(row)], 0);
    m_outer->RecalcLayout();
    m_viewBottom->StepChanged(m_step);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_clientCreated) {
        if (QLayout* frameLayout = layout())
            frameLayout->activate();
        ApplyStepRowHeights();
    }
}

// --- status bar ----------------------------------------------------------------------------

void CMainFrame::CreateStatusBar()
{
    m_status = new CMainStatusBar(this);
    setStatusBar(m_status);
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip && m_status) {
        m_status->SetMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// --- command bars --------------------------------------------------------------------------

QAction* CMainFrame::MakeAction(int id, const QString& text, const QString& prompt)
{
    auto* action = new QAction(text, this);
    SetCommandId(action, id);
    if (!prompt.isEmpty())
        SetPrompt(action, prompt);
    action->setProperty("baseTip", action->toolTip());
    m_actions.insert(id, action);
    addAction(action); // its shortcut works whatever bar shows it
    return action;
}

void CMainFrame::CreateCommandBars()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("Menu Bar"));
    bar->setWindowTitle(QStringLiteral("Menu Bar"));

    // menu 128
    auto* file = new CPersonalizedMenu(QStringLiteral("&File"), this);
    QAction* repair = MakeAction(cmd::kRepair, QStringLiteral("&Repair"), QStringLiteral("Repair\nRepair"));
    QAction* save = MakeAction(cmd::kSave, QStringLiteral("&Save"), QStringLiteral("Save\nSave"));
    QAction* exitAction = MakeAction(cmd::kExit, QStringLiteral("E&xit"),
                                     QStringLiteral("Quit the application; prompts to save documents\nExit"));
    file->addAction(repair);
    file->addAction(save);
    file->addSeparator();
    file->addAction(exitAction);
    connect(repair, &QAction::triggered, this, &CMainFrame::OnRepair);
    connect(save, &QAction::triggered, this, &CMainFrame::OnSave);
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    auto* tools = new CPersonalizedMenu(QStringLiteral("&Tools"), this);
    QAction* toolbarAction = MakeAction(cmd::kToolbar, QStringLiteral("&Toolbar"),
                                        QStringLiteral("Show or hide the toolbar\nToggle ToolBar"));
    QAction* statusAction = MakeAction(cmd::kStatusBar, QStringLiteral("&Status Bar"),
                                       QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
    toolbarAction->setCheckable(true);
    statusAction->setCheckable(true);
    tools->addAction(toolbarAction);
    tools->addAction(statusAction);
    tools->addSeparator();
    QMenu* themeMenu = tools->addMenu(QStringLiteral("Theme"));
    themeMenu->setObjectName(QStringLiteral("ThemeMenu"));
    m_themeGroup = new QActionGroup(this);
    m_themeGroup->setExclusive(true);
    const std::pair<int, const char*> themeItems[] = {
        {cmd::kThemeOffice2000, "Office &2000 Theme"},
        {cmd::kThemeOfficeXP, "Office &XP Theme"},
        {cmd::kThemeOffice2003, "Office 200&3 Theme"},
        {cmd::kThemeWinXP, "Win XP Theme"},
    };
    for (const auto& [id, text] : themeItems) {
        QAction* item = MakeAction(id, QString::fromLatin1(text));
        item->setCheckable(true);
        m_themeGroup->addAction(item);
        themeMenu->addAction(item);
        connect(item, &QAction::triggered, this, &CMainFrame::OnThemeCommand);
    }

    auto* help = new CPersonalizedMenu(QStringLiteral("&Help"), this);
    QAction* helpAction = MakeAction(cmd::kHelp, QStringLiteral("Help"), QStringLiteral("Help\nHelp"));
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    helpAction->setShortcutContext(Qt::ApplicationShortcut);
    QAction* about = MakeAction(cmd::kAbout, QStringLiteral("&About Mendora for Outlook Express"),
                                QStringLiteral("Display program information, version number and copyright\nAbout"));
    help->addAction(helpAction);
    help->addSeparator();
    help->addAction(about);
    connect(helpAction, &QAction::triggered, this, &CMainFrame::OnHelp);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAbout);

    QAction* customize = MakeAction(cmd::kCustomize, QStringLiteral("&Customize..."),
                                    QStringLiteral("Customize application appearance, toolbars, and menus\n&Customize..."));
    customize->setToolTip(QStringLiteral("Customize..."));
    connect(customize, &QAction::triggered, this, &CMainFrame::OnCustomize);

    const QSet<int> rare(std::begin(cmd::kRarelyUsed), std::end(cmd::kRarelyUsed));
    for (CPersonalizedMenu* menu : {file, tools, help}) {
        menu->SetRarelyUsed(rare);
        bar->addMenu(menu);
        m_menus.append(menu);
    }

    // toolbar 130, "Standard"
    m_toolbar = new QToolBar(QStringLiteral("Standard"), this);
    m_toolbar->setObjectName(QStringLiteral("Standard"));
    m_toolbar->addAction(repair);
    m_toolbar->addAction(save);
    m_toolbar->addAction(helpAction);
    m_optionsButton = new QToolButton(m_toolbar);
    m_optionsButton->setObjectName(QStringLiteral("ToolbarOptions"));
    m_optionsButton->setToolTip(QStringLiteral("Toolbar Options"));
    m_optionsButton->setIcon(QIcon(artwork::ChevronGlyph(true, QColor(0, 0, 0))));
    m_optionsButton->setIconSize(QSize(11, 11));
    m_optionsButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_optionsButton->setPopupMode(QToolButton::InstantPopup);
    m_optionsButton->setAutoRaise(true);
    m_optionsButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_optionsButton->setFixedWidth(14);
    auto* optionsMenu = new QMenu(m_optionsButton);
    optionsMenu->setObjectName(QStringLiteral("ToolbarOptionsMenu"));
    QMenu* addRemove = optionsMenu->addMenu(QStringLiteral("&Add or Remove Buttons"));
    addRemove->addAction(customize);
    m_optionsButton->setMenu(optionsMenu);
    m_toolbar->addWidget(m_optionsButton);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    for (QAction* action : {repair, save, helpAction}) {
        if (QWidget* button = m_toolbar->widgetForAction(action))
            button->installEventFilter(this);
    }

    connect(toolbarAction, &QAction::toggled, m_toolbar, &QWidget::setVisible);
    connect(statusAction, &QAction::toggled, m_status, &QWidget::setVisible);
    connect(tools, &QMenu::aboutToShow, this, [this, toolbarAction, statusAction] {
        toolbarAction->setChecked(!m_toolbar->isHidden());
        statusAction->setChecked(!m_status->isHidden());
    });
    toolbarAction->setChecked(true);
    statusAction->setChecked(true);

    SetOptions(m_options);
}

void CMainFrame::LoadToolbarImages()
{
    Action(cmd::kRepair)->setIcon(artwork::StripIcon(artwork::ImageRepair));
    Action(cmd::kSave)->setIcon(artwork::StripIcon(artwork::ImageSave));
    Action(cmd::kHelp)->setIcon(artwork::StripIcon(artwork::ImageHelp));
}

void CMainFrame::SetOptions(const CommandBarOptions& options)
{
    m_options = options;
    for (CPersonalizedMenu* menu : m_menus) {
        menu->SetPersonalized(!options.alwaysShowFullMenus);
        menu->SetExpandAfterDelay(options.showFullMenusAfterDelay);
    }
    if (m_toolbar) {
        m_toolbar->setIconSize(options.largeIcons ? artwork::kLargeImage : artwork::kSmallImage);
        m_toolbar->setToolButtonStyle(options.textUnderIcons ? Qt::ToolButtonTextUnderIcon
                                                             : Qt::ToolButtonIconOnly);
    }
    UpdateToolTips();
}

void CMainFrame::UpdateToolTips()
{
    for (QAction* action : std::as_const(m_actions)) {
        QString tip = action->property("baseTip").toString();
        if (tip.isEmpty())
            continue;
        if (m_options.shortcutsInTips && !action->shortcut().isEmpty())
            tip += QStringLiteral(" (%1)").arg(action->shortcut().toString(QKeySequence::NativeText));
        action->setToolTip(tip);
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        if (!m_applyingTheme && m_toolbar)
            ApplyTheme(m_theme);
        return false;
    }
    if (event->type() == QEvent::ToolTip && !m_options.screenTips)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::SaveCommandBars(const QString& profile) const
{
    QSettings store(settings::CompanyKey(), settings::ApplicationKey());
    store.remove(profile);
    store.beginGroup(profile);
    store.setValue(QStringLiteral("Layout"), saveState(kBarStateVersion));
    store.setValue(QStringLiteral("ToolbarVisible"), !m_toolbar->isHidden());
    store.setValue(QStringLiteral("StatusBarVisible"), !m_status->isHidden());
    store.beginGroup(QStringLiteral("Options"));
    store.setValue(QStringLiteral("AlwaysShowFullMenus"), m_options.alwaysShowFullMenus);
    store.setValue(QStringLiteral("ShowFullMenusAfterDelay"), m_options.showFullMenusAfterDelay);
    store.setValue(QStringLiteral("LargeIcons"), m_options.largeIcons);
    store.setValue(QStringLiteral("TextUnderIcons"), m_options.textUnderIcons);
    store.setValue(QStringLiteral("ScreenTips"), m_options.screenTips);
    store.setValue(QStringLiteral("ShortcutsInTips"), m_options.shortcutsInTips);
    store.endGroup();
    store.beginGroup(QStringLiteral("Shortcuts"));
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        store.setValue(QString::number(it.key()), it.value()->shortcut().toString(QKeySequence::PortableText));
    store.endGroup();
    store.endGroup();
    store.sync();
}

bool CMainFrame::LoadCommandBars(const QString& profile)
{
    QSettings store(settings::CompanyKey(), settings::ApplicationKey());
    store.beginGroup(profile);
    if (store.childKeys().isEmpty() && store.childGroups().isEmpty())
        return false;

    restoreState(store.value(QStringLiteral("Layout")).toByteArray(), kBarStateVersion);
    const bool toolbarVisible = store.value(QStringLiteral("ToolbarVisible"), true).toBool();
    const bool statusVisible = store.value(QStringLiteral("StatusBarVisible"), true).toBool();
    m_toolbar->setVisible(toolbarVisible);
    m_status->setVisible(statusVisible);
    Action(cmd::kToolbar)->setChecked(toolbarVisible);
    Action(cmd::kStatusBar)->setChecked(statusVisible);

    CommandBarOptions options = m_options;
    store.beginGroup(QStringLiteral("Options"));
    options.alwaysShowFullMenus = store.value(QStringLiteral("AlwaysShowFullMenus"), options.alwaysShowFullMenus).toBool();
    options.showFullMenusAfterDelay = store.value(QStringLiteral("ShowFullMenusAfterDelay"), options.showFullMenusAfterDelay).toBool();
    options.largeIcons = store.value(QStringLiteral("LargeIcons"), options.largeIcons).toBool();
    options.textUnderIcons = store.value(QStringLiteral("TextUnderIcons"), options.textUnderIcons).toBool();
    options.screenTips = store.value(QStringLiteral("ScreenTips"), options.screenTips).toBool();
    options.shortcutsInTips = store.value(QStringLiteral("ShortcutsInTips"), options.shortcutsInTips).toBool();
    store.endGroup();

    store.beginGroup(QStringLiteral("Shortcuts"));
    for (const QString& key : store.childKeys()) {
        if (QAction* action = Action(key.toInt()))
            action->setShortcut(QKeySequence(store.value(key).toString(), QKeySequence::PortableText));
    }
    store.endGroup();
    SetOptions(options);
    return true;
}

// --- theme ---------------------------------------------------------------------------------

void CMainFrame::ApplyTheme(int theme)
{
    m_applyingTheme = true;
    m_theme = ClampTheme(theme);
    m_dialogTheme = DialogControlTheme(m_theme);
    setStyleSheet(ThemeStyleSheet(m_theme));

    const ThemeLook look = LookOf(m_theme);
    for (CStaticSplitter* splitter : {m_outer, m_browsing, m_treeList, m_listPreview, m_preview}) {
        if (splitter)
            splitter->SetFaceColor(look.face);
    }
    if (m_caption)
        m_caption->ApplyTheme(m_theme);
    if (m_tree)
        m_tree->SetHeaderColors(look.headerFace, look.headerText);
    if (QAction* item = Action(ThemeCommand(m_theme)))
        item->setChecked(true);

    // every bar and pane at once, then the layout again from the frame down
    for (QWidget* child : findChildren<QWidget*>())
        child->update();
    if (isVisible())
        repaint();
    if (QLayout* frameLayout = layout())
        frameLayout->activate();
    for (CStaticSplitter* splitter : {m_outer, m_browsing, m_treeList, m_listPreview, m_preview}) {
        if (splitter)
            splitter->RecalcLayout();
    }
    ApplyStepRowHeights();
    m_applyingTheme = false;
}

void CMainFrame::OnThemeCommand()
{
    const int theme = ThemeFromCommand(CommandIdOf(qobject_cast<QAction*>(sender())));
    if (theme >= 0)
        ApplyTheme(theme);
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange && !m_applyingTheme && m_toolbar)
        ApplyTheme(m_theme);
}

// --- commands ------------------------------------------------------------------------------

void CMainFrame::RouteNext(bool fromMenuRepair)
{
    // Each test reads the step afresh, so one command acts on one page only.
    if (fromMenuRepair && m_step == StepSelectFile)
        m_viewBottom->Next();
    if (m_step == StepSaveProgress && m_viewSave->IsFinishVisible())
        m_viewSave->Finish();
    if (m_step == StepSaveOptions && m_viewOptions->IsSaveVisible())
        m_viewOptions->Next();
    if (m_step == StepScan && m_viewBottom->IsSaveVisible())
        m_viewBottom->Next();
}

void CMainFrame::OnRepair()
{
    RouteNext(true);
}

void CMainFrame::OnSave()
{
    RouteNext(false);
}

QString CMainFrame::HelpPath() const
{
    return m_startDirectory + HelpFileName();
}

void CMainFrame::OnHelp()
{
    const QString path = HelpPath();
    if (!QFileInfo::exists(path)) {
        ProgramMessageBox(QStringLiteral("Mendora for Outlook Express.chm file not exist, please reinstall software "),
                          MbOk | MbIconExclamation);
        return;
    }
    Opener()(path);
}

void CMainFrame::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::OnCustomize()
{
    CCustomizeDialog customize(this);
    customize.exec();
}

// --- exit ----------------------------------------------------------------------------------

void CMainFrame::UnwindWizard()
{
    switch (m_step) {
    case StepScan:
        m_viewBottom->Back();
        break;
    case StepSaveOptions:
        m_viewOptions->Back();
        m_viewBottom->Back();
        break;
    case StepSaveProgress:
        m_viewSave->Back();
        m_viewOptions->Back();
        m_viewBottom->Back();
        break;
    default:
        break;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (ProgramMessageBox(QStringLiteral("Do you really want to exit"), MbYesNo | MbIconQuestion) != IdYes)
        return;

    SaveCommandBars(settings::BarStateProfile());
    settings::WriteTheme(m_theme);
    if (CDbxRecovery* engine = m_viewBottom->Engine())
        engine->RequestSaveStop();
    UnwindWizard();
    // Whatever engine is left goes now, and its private temp folder with it.
    m_viewBottom->ReleaseEngine();
    Terminator()(0);
}

} // namespace mendora
