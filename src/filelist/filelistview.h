#pragma once

#include <QHash>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

namespace tunevale {

class AudioInformation;
struct FileRow;

// The main window's file list: one row per audio file, six columns of row texts, several
// rows selectable, striped. A row's text is the file's full path and its identity; an index
// of the paths keeps the duplicate test constant-time however long the list grows.
class FileListView final : public QTreeWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileListView)

public:
    enum Column { FileName, Type, FileSize, AudioFormat, Length, Modified, ColumnCount };

    explicit FileListView(AudioInformation& information, QWidget* parent = nullptr);

    // True when a row's text equals path exactly (case-sensitive).
    bool IsInList(const QString& path) const;
    // Probes path and appends its row, unless it is listed already or is no audio file.
    // In sorted mode the row takes its place in the current order. Never shows a message.
    void AddFileRow(const QString& path);
    // Appends a row probed elsewhere, as AddFileRow would, unless its path is listed already.
    // baseFolder: the folder the row was added from (Add Folder, a dropped folder); empty for
    // a file added on its own.
    void AddBuiltRow(const FileRow& row, const QString& baseFolder = {});
    // The row most recently added by AddFileRow, or null.
    QTreeWidgetItem* CurrentRow() const { return m_currentRow; }

    int rowCount() const { return topLevelItemCount(); }
    // Row texts in list order.
    QStringList paths() const;
    // In list order, the folder each row's file has below the folder it was added from, "/"
    // between names ("Artist/Album"); empty for its own files and for rows added on their own.
    QStringList relativeFolders() const;
    // The first selected row's path (the current row when none is selected), or empty.
    QString selectedPath() const;

    // The list commands.
    void SelectAll();
    void InvertSelection();
    void RemoveSelected();
    void ClearAll();
    // A click on the header at position 1 to 6: sort by it, flipping the one order.
    void ColumnClick(int position);

    // Hands paths to filesDropped once control is back in the event loop, counting as a
    // reading from now on: whatever brought them (a drop, the start-up) has returned by then.
    // reportSkipped travels with them: whether the files that get no row are named afterwards.
    void takeFilesLater(const QStringList& paths, bool reportSkipped = true);

    // Readings of many names (addFilesWithWaitWindow) mark their span; readingFinished()
    // follows the end of the outermost one.
    void beginReading();
    void endReading();
    bool isReading() const { return m_readings > 0; }

    bool isSorted() const { return m_sorted; }
    // The caption of a column's header, in the window's language.
    static QString columnCaption(int column);
    // The current order as a screen reader announces it ("sorted by Type, descending"), or
    // empty before the first sort.
    QString sortDescription() const;
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    int sortColumnIndex() const { return m_sortColumn; }

Q_SIGNALS:
    // The right mouse button was released over the list at globalPosition.
    void contextMenuRequested(const QPoint& globalPosition);
    // A double-click, or Enter, on a list that holds rows.
    void playRequested();
    // Local files were dropped, in the order of the dropped data (folders included). It comes
    // from the event loop after the drop, never from inside it: the drag's source and the
    // window system's drop handling must not wait for the files to be read. Files named on the
    // command line come the same way, with reportSkipped false: they are skipped silently.
    void filesDropped(const QStringList& paths, bool reportSkipped = true);
    void readingFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    Qt::DropActions supportedDropActions() const override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    // Tests and benchmarks fill the list with prepared rows, without probing files.
    friend class FileListViewTestAccess;

    // Places a built row (appended, or at its sorted place) and indexes it.
    QTreeWidgetItem* insertRow(const FileRow& row, const QString& baseFolder = {});
    // The list position where a row with text would go in the current order.
    int sortedPosition(const QString& text) const;
    // Lays out rows added since the last layout, before they are shown or clicked.
    void layoutNewRows();
    // Shows the sort column and order on the header and in the list's description.
    void showSortOrder();
    // The width a column needs for its caption and a sort arrow beside it.
    int captionWidth(int column) const;
    // Widens every column whose caption would not fit, at the first showing.
    void widenColumnsForCaptions();
    // Narrows the free-form columns so that every header fits the list's width.
    void fitColumnsToView();

    AudioInformation& m_information;
    QHash<QString, QTreeWidgetItem*> m_index;
    QTreeWidgetItem* m_currentRow = nullptr;
    bool m_sorted = false;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_sortColumn = FileName;
    QTimer m_newRowsTimer;
    bool m_newRowsPending = false;
    bool m_columnsFitted = false;
    int m_readings = 0;
};

} // namespace tunevale
