// The command bars' own parts: their options, personalised menus that hide rarely used commands
// until expanded, the status bar with its panes, and the caption band.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QStatusBar>
#include <QTimer>

class QWidgetAction;

namespace mendora {

QString CommandBarKey(); // property name of the command id on actions and panes
int CommandIdOf(const QAction* action);
void SetCommandId(QAction* action, int id);
// Sets an action's status prompt and tooltip from a "prompt\ntip" string.
void SetPrompt(QAction* action, const QString& prompt);

struct CommandBarOptions {
    bool alwaysShowFullMenus = false;     // off: menus are personalised
    bool showFullMenusAfterDelay = true;
    bool largeIcons = false;
    bool textUnderIcons = false;
    bool screenTips = true;
    bool shortcutsInTips = false;

    bool operator==(const CommandBarOptions&) const = default;
};

class CPersonalizedMenu : public QMenu {
    Q_OBJECT

public:
    static constexpr int kExpandDelayMs = 3000;

    CPersonalizedMenu(const QString& title, QWidget* parent);

    // Commands (by id) that the menu hides until it is expanded.
    void SetRarelyUsed(const QSet<int>& ids);
    void SetPersonalized(bool personalized);
    bool IsPersonalized() const { return m_personalized; }
    void SetExpandAfterDelay(bool expand) { m_expandAfterDelay = expand; }

    bool IsExpanded() const { return m_expanded; }
    // The actions the collapsed menu hides (those marked rarely used that it holds).
    QList<QAction*> RarelyUsedActions() const;
    QAction* ExpanderAction() const;

public slots:
    void Expand();

private:
    void Collapse();
    void Restore();

    QSet<int> m_rare;
    bool m_personalized = true;
    bool m_expandAfterDelay = true;
    bool m_expanded = true;
    QWidgetAction* m_expanderAction = nullptr;
    QTimer m_delay;
};

// The status bar: the product pane, the message pane and the CAP, NUM and SCRL indicators.
class CMainStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit CMainStatusBar(QWidget* parent);

    // Inserted before every other pane, raised, as wide as its text plus 2 pixels.
    void AddProductPane(const QString& text);
    void SetMessage(const QString& text);
    QString Message() const;
    QString ReadyText() const { return QStringLiteral("Ready"); }
    QLabel* Pane(int id) const;
    // Pane ids from left to right.
    QList<int> PaneIds() const;
    void RefreshIndicators();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* AddIndicator(int id, const QString& text);

    QLabel* m_message = nullptr;
    QList<QLabel*> m_panes;
    bool m_caps = false;
    bool m_num = false;
    bool m_scroll = false;
};

// The band over the folder tree and the message list: a centred text and an icon.
class CCaptionBand : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 22;

    explicit CCaptionBand(QWidget* parent = nullptr);

    void SetCaption(const QString& text, const QIcon& icon);
    void Clear() { SetCaption(QString(), QIcon()); }
    QString Text() const { return m_text; }
    bool HasIcon() const { return !m_icon.isNull(); }
    void ApplyTheme(int theme);
    QColor FaceColor() const { return m_face; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QIcon m_icon;
    QColor m_border;
    QColor m_face;
    QColor m_face2;
    QColor m_textColor;
};

} // namespace mendora
