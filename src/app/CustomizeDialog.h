// The command bars' customisation sheet: the bars, the commands by category, and the options.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QTabWidget;

namespace mendora {

class CMainFrame;

class CCustomizeDialog : public QDialog {
    Q_OBJECT

public:
    explicit CCustomizeDialog(CMainFrame* frame);

    QTabWidget* Pages() const { return m_pages; }
    QListWidget* Categories() const { return m_categories; }
    QListWidget* Commands() const { return m_commands; }
    QCheckBox* AlwaysShowFullMenus() const { return m_fullMenus; }
    QCheckBox* ShowFullMenusAfterDelay() const { return m_afterDelay; }
    QCheckBox* LargeIcons() const { return m_largeIcons; }
    QCheckBox* TextUnderIcons() const { return m_textUnder; }
    QCheckBox* ScreenTips() const { return m_screenTips; }
    QCheckBox* ShortcutsInTips() const { return m_shortcutsInTips; }

    // The categories of the commands page, in order.
    QStringList CategoryNames() const;
    // The commands listed for a category, by their texts without the mnemonic marks.
    QStringList CommandsOf(const QString& category) const;

private:
    QWidget* MakeToolbarsPage();
    QWidget* MakeCommandsPage();
    QWidget* MakeOptionsPage();
    void ShowCategory(int row);
    void ApplyOptions();

    CMainFrame* m_frame;
    QTabWidget* m_pages = nullptr;
    QListWidget* m_categories = nullptr;
    QListWidget* m_commands = nullptr;
    QLabel* m_description = nullptr;
    QCheckBox* m_fullMenus = nullptr;
    QCheckBox* m_afterDelay = nullptr;
    QCheckBox* m_largeIcons = nullptr;
    QCheckBox* m_textUnder = nullptr;
    QCheckBox* m_screenTips = nullptr;
    QCheckBox* m_shortcutsInTips = nullptr;
};

} // namespace mendora
