#include "filelist/filelistview.h"

#include "common/audio/audioinformation.h"

namespace tunevale {

FileListView::FileListView(AudioInformation& information, QWidget* parent)
    : QTreeWidget(parent)
    , m_information(information)
{
}
bool FileListView::IsInList(const QString& path) const { return m_index.contains(path); }
void FileListView::AddFileRow(const QString&) {}
QStringList FileListView::paths() const { return {}; }
QString FileListView::selectedPath() const { return {}; }
void FileListView::SelectAll() {}
void FileListView::InvertSelection() {}
void FileListView::RemoveSelected() {}
void FileListView::ClearAll() {}
void FileListView::ColumnClick(int) {}
void FileListView::keyReleaseEvent(QKeyEvent* event) { QTreeWidget::keyReleaseEvent(event); }
void FileListView::mouseReleaseEvent(QMouseEvent* event) { QTreeWidget::mouseReleaseEvent(event); }
void FileListView::mouseDoubleClickEvent(QMouseEvent* event) { QTreeWidget::mouseDoubleClickEvent(event); }
void FileListView::dragEnterEvent(QDragEnterEvent* event) { QTreeWidget::dragEnterEvent(event); }
void FileListView::dragMoveEvent(QDragMoveEvent* event) { QTreeWidget::dragMoveEvent(event); }
void FileListView::dropEvent(QDropEvent* event) { QTreeWidget::dropEvent(event); }
Qt::DropActions FileListView::supportedDropActions() const { return Qt::CopyAction; }

} // namespace tunevale
