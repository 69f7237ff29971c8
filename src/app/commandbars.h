#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace tunevale {

// The menu bar, toolbar, list context menu and the shortcut keys of a main window. Every
// action carries its command id; triggering one calls the single dispatch function.
class CommandBars final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandBars)

public:
    using Dispatch = std::function<void(int commandId)>;

    CommandBars(QMainWindow& window, Dispatch dispatch);

    QToolBar* toolBar() const { return m_toolBar; }
    QMenu* contextMenu() const { return m_contextMenu; }
    // Every action of the bars and the hidden shortcut actions.
    const QList<QAction*>& actions() const { return m_actions; }

    static int commandId(const QAction* action);

private:
    QAction* makeAction(const QString& caption, int commandId, const QString& toolTip);
    void buildMenuBar(QMainWindow& window);
    void buildToolBar(QMainWindow& window);
    void buildContextMenu(QMainWindow& window);
    void bindHiddenShortcuts(QMainWindow& window);

    Dispatch m_dispatch;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_contextMenu = nullptr;
    QList<QAction*> m_actions;
    QList<QAction*> m_listActions; // shared by the List menu and the context menu
};

} // namespace tunevale
