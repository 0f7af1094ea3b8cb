#include "app/CustomizeDialog.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace mendora {

namespace {

QString Plain(QString text)
{
    text.remove(QLatin1Char('&'));
    return text;
}

// The commands of a menu, its submenus' commands included.
void CollectCommands(const QMenu* menu, QList<QAction*>& into)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || CommandIdOf(action) == 0) {
            if (action->menu())
                CollectCommands(action->menu(), into);
            continue;
        }
        into.append(action);
    }
}

} // namespace

CCustomizeDialog::CCustomizeDialog(CMainFrame* frame) : QDialog(frame), m_frame(frame)
{
    setObjectName(QStringLiteral("CustomizeDialog"));
    setWindowTitle(QStringLiteral("Customize"));
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->addTab(MakeToolbarsPage(), QStringLiteral("Toolbars"));
    m_pages->addTab(MakeCommandsPage(), QStringLiteral("Commands"));
    m_pages->addTab(MakeOptionsPage(), QStringLiteral("Options"));
    layout->addWidget(m_pages);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(440, 360);
}

QWidget* CCustomizeDialog::MakeToolbarsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* barsLabel = new QLabel(QStringLiteral("Toolb&ars:"), page);
    layout->addWidget(barsLabel);
    auto* bars = new QListWidget(page);
    barsLabel->setBuddy(bars);
    bars->setObjectName(QStringLiteral("ToolbarList"));
    auto* menuItem = new QListWidgetItem(QStringLiteral("Menu Bar"), bars);
    menuItem->setFlags(Qt::ItemIsUserCheckable);
    menuItem->setCheckState(Qt::Checked);
    auto* standard = new QListWidgetItem(QStringLiteral("Standard"), bars);
    standard->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    standard->setCheckState(m_frame->StandardToolbar()->isHidden() ? Qt::Unchecked : Qt::Checked);
    connect(bars, &QListWidget::itemChanged, this, [this, standard](QListWidgetItem* item) {
        if (item == standard)
            m_frame->Action(cmd::kToolbar)->setChecked(item->checkState() == Qt::Checked);
    });
    layout->addWidget(bars);
    return page;
}

QWidget* CCustomizeDialog::MakeCommandsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* intro = new QLabel(QStringLiteral("Select a category to see its commands; select a command "
                                            "to see what it does."), page);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* categoriesLabel = new QLabel(QStringLiteral("Cate&gories:"), page);
    left->addWidget(categoriesLabel);
    m_categories = new QListWidget(page);
    categoriesLabel->setBuddy(m_categories);
    m_categories->setObjectName(QStringLiteral("Categories"));
    left->addWidget(m_categories);
    auto* right = new QVBoxLayout;
    auto* commandsLabel = new QLabel(QStringLiteral("Comman&ds:"), page);
    right->addWidget(commandsLabel);
    m_commands = new QListWidget(page);
    m_commands->setObjectName(QStringLiteral("CommandList"));
    commandsLabel->setBuddy(m_commands);
    right->addWidget(m_commands);
    lists->addLayout(left, 2);
    lists->addLayout(right, 3);
    layout->addLayout(lists);
    m_description = new QLabel(page);
    m_description->setObjectName(QStringLiteral("CommandDescription"));
    m_description->setFrameShape(QFrame::StyledPanel);
    m_description->setMinimumHeight(24);
    layout->addWidget(m_description);

    // the categories of menu 128, then all commands, then the new menu
    for (QAction* top : m_frame->menuBar()->actions()) {
        if (top->menu())
            m_categories->addItem(Plain(top->text()));
    }
    m_categories->addItem(QStringLiteral("All Commands"));
    m_categories->addItem(QStringLiteral("New Menu"));

    connect(m_categories, &QListWidget::currentRowChanged, this, &CCustomizeDialog::ShowCategory);
    connect(m_commands, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        m_description->setText(item ? item->data(Qt::UserRole).toString() : QString());
    });
    m_categories->setCurrentRow(0);
    return page;
}

QStringList CCustomizeDialog::CategoryNames() const
{
    QStringList names;
    for (int row = 0; row < m_categories->count(); ++row)
        names.append(m_categories->item(row)->text());
    return names;
}

QStringList CCustomizeDialog::CommandsOf(const QString& category) const
{
    QList<QAction*> actions;
    if (category == QLatin1String("New Menu"))
        return {QStringLiteral("New Menu")};
    for (QAction* top : m_frame->menuBar()->actions()) {
        if (!top->menu())
            continue;
        if (category == QLatin1String("All Commands") || Plain(top->text()) == category)
            CollectCommands(top->menu(), actions);
    }
    QStringList texts;
    for (QAction* action : actions)
        texts.append(Plain(action->text()));
    if (category == QLatin1String("All Commands"))
        texts.sort(Qt::CaseInsensitive);
    return texts;
}

void CCustomizeDialog::ShowCategory(int row)
{
    m_commands->clear();
    if (row < 0)
        return;
    const QString category = m_categories->item(row)->text();
    for (const QString& text : CommandsOf(category)) {
        auto* item = new QListWidgetItem(text, m_commands);
        for (int id : m_frame->CommandIds()) {
            QAction* action = m_frame->Action(id);
            if (Plain(action->text()) == text) {
                item->setIcon(action->icon());
                item->setData(Qt::UserRole, action->statusTip());
                break;
            }
        }
    }
}

QWidget* CCustomizeDialog::MakeOptionsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    const CommandBarOptions options = m_frame->Options();

    auto* personal = new QGroupBox(QStringLiteral("Personalized Menus and Toolbars"), page);
    auto* personalLayout = new QVBoxLayout(personal);
    m_fullMenus = new QCheckBox(QStringLiteral("Always show full menus"), personal);
    m_afterDelay = new QCheckBox(QStringLiteral("Show full menus after a short delay"), personal);
    personalLayout->addWidget(m_fullMenus);
    personalLayout->addWidget(m_afterDelay);
    layout->addWidget(personal);

    auto* other = new QGroupBox(QStringLiteral("Other"), page);
    auto* otherLayout = new QVBoxLayout(other);
    m_largeIcons = new QCheckBox(QStringLiteral("Large icons"), other);
    m_textUnder = new QCheckBox(QStringLiteral("Show text under icons"), other);
    m_screenTips = new QCheckBox(QStringLiteral("Show ScreenTips on toolbars"), other);
    m_shortcutsInTips = new QCheckBox(QStringLiteral("Show shortcut keys in ScreenTips"), other);
    for (QCheckBox* box : {m_largeIcons, m_textUnder, m_screenTips, m_shortcutsInTips})
        otherLayout->addWidget(box);
    layout->addWidget(other);
    layout->addStretch(1);

    m_fullMenus->setChecked(options.alwaysShowFullMenus);
    m_afterDelay->setChecked(options.showFullMenusAfterDelay);
    m_afterDelay->setEnabled(!options.alwaysShowFullMenus);
    m_largeIcons->setChecked(options.largeIcons);
    m_textUnder->setChecked(options.textUnderIcons);
    m_screenTips->setChecked(options.screenTips);
    m_shortcutsInTips->setChecked(options.shortcutsInTips);
    m_shortcutsInTips->setEnabled(options.screenTips);

    for (QCheckBox* box : {m_fullMenus, m_afterDelay, m_largeIcons, m_textUnder, m_screenTips, m_shortcutsInTips})
        connect(box, &QCheckBox::toggled, this, &CCustomizeDialog::ApplyOptions);
    return page;
}

void CCustomizeDialog::ApplyOptions()
{
    CommandBarOptions options = m_frame->Options();
    options.alwaysShowFullMenus = m_fullMenus->isChecked();
    options.showFullMenusAfterDelay = m_afterDelay->isChecked();
    options.largeIcons = m_largeIcons->isChecked();
    options.textUnderIcons = m_textUnder->isChecked();
    options.screenTips = m_screenTips->isChecked();
    options.shortcutsInTips = m_shortcutsInTips->isChecked();
    m_afterDelay->setEnabled(!options.alwaysShowFullMenus);
    m_shortcutsInTips->setEnabled(options.screenTips);
    m_frame->SetOptions(options);
}

} // namespace mendora
