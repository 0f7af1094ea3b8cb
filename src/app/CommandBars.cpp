#include "app/CommandBars.h"

#include "app/Artwork.h"
#include "app/CommandIds.h"
#include "app/Themes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QToolButton>
#include <QWidgetAction>

#ifdef _WIN32
#include <windows.h>
#endif

namespace mendora {

QString CommandBarKey()
{
    return QStringLiteral("commandId");
}

int CommandIdOf(const QAction* action)
{
    return action ? action->property("commandId").toInt() : 0;
}

void SetCommandId(QAction* action, int id)
{
    action->setProperty("commandId", id);
}

void SetPrompt(QAction* action, const QString& prompt)
{
    const qsizetype split = prompt.indexOf(QLatin1Char('\n'));
    if (split < 0) {
        action->setStatusTip(prompt);
        return;
    }
    action->setStatusTip(prompt.left(split));
    action->setToolTip(prompt.mid(split + 1));
}

// --- CPersonalizedMenu ---------------------------------------------------------------------

namespace {

// The double chevron at the foot of a collapsed menu; clicking it shows the whole menu.
class CExpanderButton : public QToolButton {
public:
    explicit CExpanderButton(QWidget* parent) : QToolButton(parent)
    {
        setAutoRaise(true);
        setIcon(QIcon(artwork::ChevronGlyph(true, QColor(0, 0, 0))));
        setIconSize(QSize(11, 11));
        setFixedHeight(16);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setToolTip(QStringLiteral("Expand"));
        setObjectName(QStringLiteral("MenuExpander"));
    }
};

} // namespace

CPersonalizedMenu::CPersonalizedMenu(const QString& title, QWidget* parent) : QMenu(title, parent)
{
    m_expanderAction = new QWidgetAction(this);
    auto* button = new CExpanderButton(this);
    m_expanderAction->setDefaultWidget(button);
    m_expanderAction->setVisible(false);
    connect(button, &QToolButton::clicked, this, &CPersonalizedMenu::Expand);

    m_delay.setSingleShot(true);
    m_delay.setInterval(kExpandDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &CPersonalizedMenu::Expand);

    connect(this, &QMenu::aboutToShow, this, &CPersonalizedMenu::Collapse);
    connect(this, &QMenu::aboutToHide, this, &CPersonalizedMenu::Restore);
}

QAction* CPersonalizedMenu::ExpanderAction() const
{
    return m_expanderAction;
}

void CPersonalizedMenu::SetRarelyUsed(const QSet<int>& ids)
{
    m_rare = ids;
}

void CPersonalizedMenu::SetPersonalized(bool personalized)
{
    m_personalized = personalized;
}

QList<QAction*> CPersonalizedMenu::RarelyUsedActions() const
{
    QList<QAction*> rare;
    for (QAction* action : actions()) {
        if (action != m_expanderAction && m_rare.contains(CommandIdOf(action)))
            rare.append(action);
    }
    return rare;
}

void CPersonalizedMenu::Collapse()
{
    // The expander goes last, whatever was added after it.
    removeAction(m_expanderAction);
    addAction(m_expanderAction);

    const QList<QAction*> rare = RarelyUsedActions();
    m_expanded = !m_personalized || rare.isEmpty();
    if (m_expanded) {
        m_expanderAction->setVisible(false);
        return;
    }
    for (QAction* action : rare)
        action->setVisible(false);
    m_expanderAction->setVisible(true);
    if (m_expandAfterDelay)
        m_delay.start();
}

void CPersonalizedMenu::Expand()
{
    m_delay.stop();
    if (m_expanded)
        return;
    m_expanded = true;
    m_expanderAction->setVisible(false);
    for (QAction* action : RarelyUsedActions())
        action->setVisible(true);
}

void CPersonalizedMenu::Restore()
{
    // Hidden actions take no shortcuts: between showings every command is visible again.
    m_delay.stop();
    m_expanderAction->setVisible(false);
    for (QAction* action : RarelyUsedActions())
        action->setVisible(true);
    m_expanded = true;
}

// --- CMainStatusBar ------------------------------------------------------------------------

CMainStatusBar::CMainStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    m_message = new QLabel(ReadyText(), this);
    m_message->setObjectName(QStringLiteral("StatusMessage"));
    m_message->setProperty("paneId", cmd::kMessagePane);
    m_message->setMinimumWidth(1);
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(m_message, 1);
    m_panes.append(m_message);

    AddIndicator(cmd::kIndicatorCaps, QStringLiteral("CAP"));
    AddIndicator(cmd::kIndicatorNum, QStringLiteral("NUM"));
    AddIndicator(cmd::kIndicatorScroll, QStringLiteral("SCRL"));
    qApp->installEventFilter(this);
    RefreshIndicators();
}

QLabel* CMainStatusBar::AddIndicator(int id, const QString& text)
{
    auto* pane = new QLabel(this);
    pane->setObjectName(QStringLiteral("StatusPane"));
    pane->setProperty("paneId", id);
    pane->setProperty("indicatorText", text);
    pane->setAlignment(Qt::AlignCenter);
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + 10);
    addPermanentWidget(pane);
    m_panes.append(pane);
    return pane;
}

void CMainStatusBar::AddProductPane(const QString& text)
{
    auto* pane = new QLabel(text, this);
    pane->setObjectName(QStringLiteral("StatusPaneRaised"));
    pane->setProperty("paneId", cmd::kProductPane);
    pane->setAlignment(Qt::AlignCenter);
    // the text plus 2 pixels, plus the pane's own 1-pixel frame on each side
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + 2 + 2 + 2);
    insertWidget(0, pane);
    m_panes.prepend(pane);
}

void CMainStatusBar::SetMessage(const QString& text)
{
    m_message->setText(text.isEmpty() ? ReadyText() : text);
}

QString CMainStatusBar::Message() const
{
    return m_message->text();
}

QLabel* CMainStatusBar::Pane(int id) const
{
    for (QLabel* pane : m_panes) {
        if (pane->property("paneId").toInt() == id)
            return pane;
    }
    return nullptr;
}

QList<int> CMainStatusBar::PaneIds() const
{
    QList<int> ids;
    for (QLabel* pane : m_panes)
        ids.append(pane->property("paneId").toInt());
    return ids;
}

void CMainStatusBar::RefreshIndicators()
{
#ifdef _WIN32
    m_caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    m_num = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    m_scroll = (GetKeyState(VK_SCROLL) & 1) != 0;
#endif
    // An indicator shows its text while its lock is on and stays empty otherwise.
    const std::pair<int, bool> states[] = {{cmd::kIndicatorCaps, m_caps},
                                           {cmd::kIndicatorNum, m_num},
                                           {cmd::kIndicatorScroll, m_scroll}};
    for (const auto& [id, on] : states) {
        if (QLabel* pane = Pane(id))
            pane->setText(on ? pane->property("indicatorText").toString() : QString());
    }
}

bool CMainStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // Where the system cannot be asked, the locks are followed from the keys pressed.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
#ifndef _WIN32
            switch (key->key()) {
            case Qt::Key_CapsLock:
                m_caps = !m_caps;
                break;
            case Qt::Key_NumLock:
                m_num = !m_num;
                break;
            case Qt::Key_ScrollLock:
                m_scroll = !m_scroll;
                break;
            default:
                break;
            }
#endif
            RefreshIndicators();
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

// --- CCaptionBand --------------------------------------------------------------------------

CCaptionBand::CCaptionBand(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CaptionBand"));
    QFont band = font();
    band.setPixelSize(15); // a cell height of about 18 pixels
    band.setBold(true);
    setFont(band);
    ApplyTheme(kDefaultTheme);
}

void CCaptionBand::SetCaption(const QString& text, const QIcon& icon)
{
    m_text = text;
    m_icon = icon;
    update();
}

void CCaptionBand::ApplyTheme(int theme)
{
    const ThemeLook look = LookOf(theme);
    m_border = look.captionBorder;
    m_face = look.captionFace;
    m_face2 = look.captionFace2;
    m_textColor = look.captionText;
    update();
}

void CCaptionBand::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, m_border);
    const QRect face = all.adjusted(1, 1, -1, -1);
    QLinearGradient shade(face.topLeft(), face.bottomLeft());
    shade.setColorAt(0, m_face);
    shade.setColorAt(1, m_face2);
    painter.fillRect(face, shade);

    if (!m_icon.isNull()) {
        const int side = std::min(16, face.height());
        const QRect iconRect(face.left() + 3, face.top() + (face.height() - side) / 2, side, side);
        m_icon.paint(&painter, iconRect);
    }
    if (!m_text.isEmpty()) {
        painter.setPen(m_textColor);
        painter.setFont(font());
        painter.drawText(face, Qt::AlignCenter, m_text);
    }
}

} // namespace mendora
