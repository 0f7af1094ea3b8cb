// The one top-level window: the menu bar and the "Standard" toolbar, the status bar, and the
// client area of five splitters that hold the browsing views and the three wizard pages. It
// holds the wizard step and lays the client area out by it, applies the paint theme, routes
// the menu commands, and ends the process on exit.
#pragma once

#include "app/CommandBars.h"
#include "app/WizardStep.h"

#include <QMainWindow>
#include <QMap>

#include <functional>

class QActionGroup;
class QToolBar;
class QToolButton;

namespace mendora {

class CStaticSplitter;
class CViewBottom;
class CViewSelSaveOpp;
class CViewSave;
class CItemTreeView;
class CDispImfoView;
class CPreviewUpperView;
class CAttachView1;
class CHtm;
class CRtfView;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The outer splitter's rows.
    enum OuterRow { RowBrowsing = 0, RowWizardPane = 1, RowSaveOptions = 2, RowSaveProgress = 3 };
    static constexpr int kBarStateVersion = 1;

    // Reads the theme and starts in step 1; the frame is findable from here on.
    CMainFrame();
    ~CMainFrame() override;
    static CMainFrame* Instance();

    // Builds the client area, the status bar and the command bars, in their order. False when
    // a part could not be made.
    bool Create();

    // --- the wizard step and the layout ------------------------------------------------------
    int Step() const { return m_step; }
    void SetStep(int step) { m_step = step; }
    // Gives the outer splitter's rows the current step's heights (H = the client height) and
    // lays it out again.
    void ApplyStepRowHeights();

    CStaticSplitter* OuterSplitter() const { return m_outer; }
    CStaticSplitter* BrowsingSplitter() const { return m_browsing; }
    CStaticSplitter* TreeListSplitter() const { return m_treeList; }
    CStaticSplitter* ListPreviewSplitter() const { return m_listPreview; }
    CStaticSplitter* PreviewSplitter() const { return m_preview; }
    CCaptionBand* CaptionBand() const { return m_caption; }
    CItemTreeView* TreeView() const { return m_tree; }
    CViewBottom* ViewBottom() const { return m_viewBottom; }
    CViewSelSaveOpp* ViewSelSaveOpp() const { return m_viewOptions; }
    CViewSave* ViewSave() const { return m_viewSave; }

    // --- command bars ------------------------------------------------------------------------
    QAction* Action(int id) const { return m_actions.value(id); }
    QList<int> CommandIds() const { return m_actions.keys(); }
    QToolBar* StandardToolbar() const { return m_toolbar; }
    QToolButton* ToolbarOptionsButton() const { return m_optionsButton; }
    QList<CPersonalizedMenu*> Menus() const { return m_menus; }
    CMainStatusBar* StatusPanes() const { return m_status; }

    CommandBarOptions Options() const { return m_options; }
    void SetOptions(const CommandBarOptions& options);
    // The bar state (layout, options, shortcuts) under a profile name. Load returns false,
    // changing nothing, when nothing was saved there.
    void SaveCommandBars(const QString& profile) const;
    bool LoadCommandBars(const QString& profile);

    // --- theme, help -------------------------------------------------------------------------
    int Theme() const { return m_theme; }
    // The dialog controls' theme that goes with the paint theme (0, 1 or 2).
    int DialogTheme() const { return m_dialogTheme; }
    void ApplyTheme(int theme);
    const QString& StartDirectory() const { return m_startDirectory; }
    QString HelpPath() const;

    // --- hooks ---------------------------------------------------------------------------------
    // How the exit sequence ends the process (by default at once, with no clean-up).
    using ProcessTerminator = std::function<void(int exitCode)>;
    static void SetProcessTerminator(ProcessTerminator terminator);
    // How the help file is opened (by default with the desktop's handler for it).
    using DocumentOpener = std::function<bool(const QString& path)>;
    static void SetDocumentOpener(DocumentOpener opener);

public slots:
    void OnRepair();
    void OnSave();
    void OnHelp();
    void OnAbout();
    void OnCustomize();
    void OnThemeCommand();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateClientArea();
    void CreateStatusBar();
    void CreateCommandBars();
    void LoadToolbarImages();
    QAction* MakeAction(int id, const QString& text, const QString& prompt = QString());
    void RouteNext(bool fromMenuRepair);
    void UnwindWizard();
    void UpdateToolTips();

    int m_step = StepSelectFile;
    int m_theme = 2;
    int m_dialogTheme = 2;
    bool m_clientCreated = false;
    bool m_applyingTheme = false;
    QString m_startDirectory;

    CStaticSplitter* m_outer = nullptr;
    CStaticSplitter* m_browsing = nullptr;
    CStaticSplitter* m_treeList = nullptr;
    CStaticSplitter* m_listPreview = nullptr;
    CStaticSplitter* m_preview = nullptr;
    CCaptionBand* m_caption = nullptr;
    CItemTreeView* m_tree = nullptr;
    CDispImfoView* m_list = nullptr;
    CViewBottom* m_viewBottom = nullptr;
    CViewSelSaveOpp* m_viewOptions = nullptr;
    CViewSave* m_viewSave = nullptr;
    CPreviewUpperView* m_header = nullptr;
    CAttachView1* m_attachments = nullptr;
    CHtm* m_html = nullptr;
    CRtfView* m_text = nullptr;

    QMap<int, QAction*> m_actions;
    QList<CPersonalizedMenu*> m_menus;
    QActionGroup* m_themeGroup = nullptr;
    QToolBar* m_toolbar = nullptr;
    QToolButton* m_optionsButton = nullptr;
    CMainStatusBar* m_status = nullptr;
    CommandBarOptions m_options;
};

} // namespace mendora
