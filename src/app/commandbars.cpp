#include "app/commandbars.h"

#include "app/commandids.h"
#include "app/formatcommands.h"
#include "filelist/filelistview.h"
#include "widgets/artwork.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

#include <array>

namespace tunevale {

namespace {

constexpr const char* kCommandIdProperty = "commandId";

} // namespace

CommandBars::CommandBars(QMainWindow& window, Dispatch dispatch)
    : QObject(&window)
    , m_dispatch(std::move(dispatch))
{
    buildMenuBar(window);
    buildToolBar(window);
    buildContextMenu(window);
    bindHiddenShortcuts(window);
}

int CommandBars::commandId(const QAction* action)
{
    return action ? action->property(kCommandIdProperty).toInt() : 0;
}

QAction* CommandBars::makeAction(const QString& caption, int commandId, const QString& toolTip)
{
    auto* action = new QAction(caption, this);
    action->setProperty(kCommandIdProperty, commandId);
    action->setToolTip(toolTip);
    connect(action, &QAction::triggered, this, [this, commandId] { m_dispatch(commandId); });
    m_actions.append(action);
    return action;
}

void CommandBars::buildMenuBar(QMainWindow& window)
{
    QMenuBar* bar = window.menuBar();
    bar->setObjectName(QStringLiteral("Menu Bar"));
    const auto item = [this](QMenu* menu, const QString& caption, int id, const QString& toolTip,
                             const QKeySequence& shortcut = {}) {
        QAction* action = makeAction(caption, id, toolTip);
        action->setShortcut(shortcut);
        menu->addAction(action);
        return action;
    };

    QMenu* file = bar->addMenu(tr("&File"));
    file->menuAction()->setProperty(kCommandIdProperty, int(ID_FILE));
    item(file, tr("Add Files"), ID_ADDFILES, tr("Add Files"), QKeySequence(Qt::CTRL | Qt::Key_O))
        ->setIcon(commandIcon(CommandIcon::AddFiles));
    item(file, tr("Add Folder"), ID_ADDFOLDER, tr("Add Folder"))
        ->setIcon(commandIcon(CommandIcon::AddFolder));
    file->addSeparator();
    // Without the blanks the classic caption ended in, which a screen reader would read out.
    item(file, tr("Exit"), ID_EXIT, tr("Exit"), QKeySequence(Qt::CTRL | Qt::Key_E));

    QMenu* list = bar->addMenu(tr("&List"));
    list->menuAction()->setProperty(kCommandIdProperty, int(ID_LIST));
    // Ctrl+A is shown but left to the list itself, which selects all on its own.
    QAction* selectAll = item(list, tr("Select All"), ID_SELECTALL, tr("Select All"));
    selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    selectAll->setShortcutContext(Qt::WidgetShortcut); // shown in the menu, bound nowhere
    QAction* invert = item(list, tr("Invert Selection"), ID_INVERTSELECTION,
                           tr("Invert Selection   "), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I));
    list->addSeparator();
    QAction* remove = item(list, tr("Remove Selected Files"), ID_REMOVESELECTEDFILES,
                           tr("Remove Selected Files"), QKeySequence(Qt::Key_Delete));
    remove->setIcon(commandIcon(CommandIcon::Remove));
    QAction* clear = item(list, tr("Clear All"), ID_CLEARALL, tr("Clear All"),
                          QKeySequence(Qt::CTRL | Qt::Key_L));
    m_listActions = {selectAll, invert, remove, clear};
    list->addSeparator();
    QMenu* sortBy = list->addMenu(tr("Sort By"));
    for (int column = 0; column <= ID_SORTBYLAST - ID_SORTBYFILENAME; ++column) {
        const QString caption = FileListView::columnCaption(column);
        item(sortBy, caption, ID_SORTBYFILENAME + column, tr("Sort by %1").arg(caption),
             QKeySequence(Qt::CTRL | (Qt::Key_1 + column)));
    }

    QMenu* convert = bar->addMenu(tr("&Convert"));
    convert->menuAction()->setProperty(kCommandIdProperty, int(ID_CONVERT));
    for (const FormatCommand& command : formatCommands()) {
        const QString caption = convertCaption(command.kind);
        item(convert, caption, command.commandId, caption)
            ->setIcon(formatIcon(formatCaption(command.kind), command.badge));
    }

    QMenu* help = bar->addMenu(tr("&Help"));
    help->menuAction()->setProperty(kCommandIdProperty, int(ID_HELP));
    item(help, tr("Website"), ID_WEBSITE, tr("Website"));
    item(help, tr("About..."), ID_ABOUT, tr("About"));
}

void CommandBars::buildToolBar(QMainWindow& window)
{
    m_toolBar = window.addToolBar(QStringLiteral("Toobar"));
    m_toolBar->setObjectName(QStringLiteral("Toobar"));
    // The bar keeps its classic caption; assistive technology hears its real name.
    m_toolBar->setAccessibleName(tr("Toolbar"));
    m_toolBar->setProperty(kCommandIdProperty, int(IDR_TOOBAR));
    m_toolBar->setMovable(false);
    // Nothing would bring a hidden toolbar back, so the window's menu does not offer to hide it.
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const auto button = [this](const QString& caption, int id, const QString& toolTip,
                               const QIcon& icon) {
        QAction* action = makeAction(caption, id, toolTip);
        action->setIcon(icon);
        m_toolBar->addAction(action);
    };
    button(tr("Add"), ID_ADDFILES, tr("Add Files"), commandIcon(CommandIcon::AddFiles));
    button(tr("Add Folder"), ID_ADDFOLDER, tr("Add Folder"), commandIcon(CommandIcon::AddFolder));
    button(tr("Remove"), ID_REMOVESELECTEDFILES, tr("Remove Selected Files"),
           commandIcon(CommandIcon::Remove));
    button(tr("Play"), ID_PLAY, tr("Play"), commandIcon(CommandIcon::Play));
    m_toolBar->addSeparator();
    for (const FormatCommand& command : formatCommands()) {
        const QString caption = formatCaption(command.kind);
        button(caption, command.commandId, convertCaption(command.kind),
               formatIcon(caption, command.badge));
    }
}

void CommandBars::buildContextMenu(QMainWindow& window)
{
    m_contextMenu = new QMenu(tr("List"), &window);
    for (QAction* action : std::as_const(m_listActions))
        m_contextMenu->addAction(action);
}

void CommandBars::bindHiddenShortcuts(QMainWindow& window)
{
    // Keys of the classic menu that no visible item carries already.
    const struct {
        QKeySequence key;
        int id;
    } keys[] = {
        {QKeySequence(Qt::Key_F1), ID_HELPCONTENTS},
        {QKeySequence(Qt::Key_F2), ID_ADDFILES},
        {QKeySequence(Qt::CTRL | Qt::Key_F2), ID_ADDFOLDER},
        {QKeySequence(Qt::Key_F3), ID_SELECTALL},
        {QKeySequence(Qt::Key_F4), ID_INVERTSELECTION},
    };
    const auto bind = [this, &window](const QKeySequence& key, int id) {
        QAction* action = makeAction(QString(), id, QString());
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
    };
    for (const auto& [key, id] : keys)
        bind(key, id);
    for (const FormatCommand& command : formatCommands())
        bind(QKeySequence(command.key), command.commandId);
}

} // namespace tunevale
