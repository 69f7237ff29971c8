#include "filelist/filelistview.h"

#include "common/audio/audioinformation.h"
#include "common/folderpath.h"
#include "common/nativepath.h"
#include "filelist/rowtexts.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace tunevale {

namespace {

struct ColumnLook {
    const char* caption; // untranslated
    Qt::Alignment alignment;
    int width;
    // The widest text a column of fixed form shows: wider fonts widen the column to fit it.
    const char16_t* widestText;
};

constexpr std::array<ColumnLook, FileListView::ColumnCount> kColumns{{
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "File Name"), Qt::AlignLeft, 213, nullptr},
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "Type"), Qt::AlignHCenter, 51, u"WEBM"},
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "File Size"), Qt::AlignRight, 67, u"999,999 KB"},
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "Audio Format"), Qt::AlignLeft, 247, nullptr},
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "Length"), Qt::AlignHCenter, 67, u"00:00:00"},
    {QT_TRANSLATE_NOOP("tunevale::FileListView", "Modified"), Qt::AlignLeft, 133,
     u"2000/00/00 00:00:00"},
}};
constexpr int kCellPadding = 16;
// A short description the Audio Format column keeps room for when the window is narrow: with
// its codec's long name dropped (AudioFormatDelegate), most rows then show whole.
constexpr const char16_t* kShortFormatText = u"FLAC; 44100 Hz; 1411 Kbps; Stereo";

// Rows added while the list is shown are laid out and painted together at most this often.
constexpr int kNewRowsDelayMs = 200;

// Where a row keeps the folder it was added from.
constexpr int kBaseFolderRole = Qt::UserRole;

// Sizes order as if right-aligned in this many characters, so "12 KB" < "999 KB" < "1,024 KB".
constexpr qsizetype kSizeWidth = 15;

int compareRightAligned(QStringView a, QStringView b)
{
    a = a.left(kSizeWidth);
    b = b.left(kSizeWidth);
    const qsizetype padA = kSizeWidth - a.size();
    const qsizetype padB = kSizeWidth - b.size();
    for (qsizetype i = 0; i < kSizeWidth; ++i) {
        const char16_t charA = i < padA ? u' ' : a[i - padA].toCaseFolded().unicode();
        const char16_t charB = i < padB ? u' ' : b[i - padB].toCaseFolded().unicode();
        if (charA != charB)
            return charA < charB ? -1 : 1;
    }
    return 0;
}

// The one comparison behind both the sort and the placing of new rows in a sorted list.
int compareTexts(const QString& a, const QString& b, int column)
{
    if (column == FileListView::FileSize)
        return compareRightAligned(a, b);
    return QString::compare(a, b, Qt::CaseInsensitive);
}

class FileRowItem final : public QTreeWidgetItem {
public:
    explicit FileRowItem(const QStringList& texts)
        : QTreeWidgetItem(texts, UserType)
    {
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    }

    // The alignment belongs to the column; answering it here spares three values per row.
    // A path or a format shortened to fit its column shows in full as the tool tip.
    QVariant data(int column, int role) const override
    {
        if (role == Qt::TextAlignmentRole && column >= 0 && column < FileListView::ColumnCount)
            return static_cast<int>(kColumns[column].alignment | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole &&
            (column == FileListView::FileName || column == FileListView::AudioFormat))
            return text(column);
        return QTreeWidgetItem::data(column, role);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        // These rows only ever live in a FileListView.
        const auto* list = static_cast<const FileListView*>(treeWidget());
        const int column = list ? list->sortColumnIndex() : FileListView::FileName;
        return compareTexts(text(column), other.text(column), column) < 0;
    }
};

// A cell whose text does not fit is shortened by the column's own rule; nothing changes for a
// text that fits or a rule that gives no text.
class ShorteningDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int width = option->rect.width() - kTextMargins;
        if (option->fontMetrics.horizontalAdvance(option->text) <= width)
            return;
        if (QString text = shortened(option->text, option->fontMetrics, width); !text.isNull())
            option->text = std::move(text);
    }
    // text shortened to width; a null text leaves it to the view's own elision.
    virtual QString shortened(const QString& text, const QFontMetrics& metrics,
                              int width) const = 0;

private:
    // The cell's own padding and focus margins, with room to spare.
    static constexpr int kTextMargins = 14;
};

// Shortens a path in the folders first, so the file's own name stays readable; a name too
// long on its own loses its middle, keeping its start and ending.
class PathDelegate final : public ShorteningDelegate {
public:
    using ShorteningDelegate::ShorteningDelegate;

protected:
    QString shortened(const QString& path, const QFontMetrics& metrics, int width) const override
    {
        const qsizetype cut =
            std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1; // after the separator
        const QString name = path.mid(cut);
        const int folderWidth = width - metrics.horizontalAdvance(name);
        const QString ellipsis(QChar(0x2026));
        if (cut > 0 && folderWidth > metrics.horizontalAdvance(ellipsis) * 2)
            return metrics.elidedText(path.left(cut), Qt::ElideMiddle, folderWidth) + name;
        const QString shortFolder = cut > 0 ? ellipsis + path.mid(cut - 1, 1) : QString();
        return shortFolder + metrics.elidedText(name, Qt::ElideMiddle,
                                                width - metrics.horizontalAdvance(shortFolder));
    }
};

// Shortens a format description in its codec's name, first by dropping the long name in
// brackets ("MP3 (MPEG audio layer 3)" becomes "MP3"): the rate, bitrate and channels that
// rows are compared by stay readable.
class AudioFormatDelegate final : public ShorteningDelegate {
public:
    using ShorteningDelegate::ShorteningDelegate;

protected:
    QString shortened(const QString& text, const QFontMetrics& metrics, int width) const override
    {
        const qsizetype fieldsStart = text.indexOf(u';');
        if (fieldsStart <= 0)
            return {}; // one field: the view's own elision
        QString codec = text.left(fieldsStart);
        const QString fields = text.mid(fieldsStart);
        if (const qsizetype bracket = codec.indexOf(QStringLiteral(" (")); bracket > 0)
            codec.truncate(bracket);
        const int codecWidth = width - metrics.horizontalAdvance(fields);
        if (codecWidth < metrics.horizontalAdvance(codec.left(1) + QChar(0x2026)))
            return {}; // too narrow for the fields as well
        return metrics.elidedText(codec, Qt::ElideRight, codecWidth) + fields;
    }
};

// The local paths of dropped data, or nothing unless every url is a local file.
QStringList localPaths(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        paths.append(QDir::toNativeSeparators(pathFromLocalUrl(url)));
    }
    return paths;
}

} // namespace

FileListView::FileListView(AudioInformation& information, QWidget* parent)
    : QTreeWidget(parent)
    , m_information(information)
{
    setColumnCount(ColumnCount);
    QTreeWidgetItem* captions = headerItem();
    for (int column = 0; column < ColumnCount; ++column) {
        captions->setText(column, columnCaption(column));
        captions->setTextAlignment(column, kColumns[column].alignment | Qt::AlignVCenter);
    }
    QHeaderView* columns = header();
    columns->setStretchLastSection(false);
    columns->setSectionsClickable(true);
    columns->setAccessibleName(tr("Columns"));
    // The arrow comes with the first sort: before it the rows are in the order they came.
    columns->setSortIndicatorShown(false);
    for (int column = 0; column < ColumnCount; ++column) {
        const ColumnLook& look = kColumns[column];
        const int fitting =
            look.widestText ? fontMetrics().horizontalAdvance(QString::fromUtf16(look.widestText)) +
                                  kCellPadding
                            : 0;
        columns->resizeSection(column, std::max(look.width, fitting));
    }

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    setEditTriggers(NoEditTriggers);
    setItemDelegateForColumn(FileName, new PathDelegate(this));
    setItemDelegateForColumn(AudioFormat, new AudioFormatDelegate(this));

    setAlternatingRowColors(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::white);
    colors.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF5));
    // Dark desktop themes would otherwise draw light text on the white rows.
    colors.setColor(QPalette::Text, Qt::black);
    setPalette(colors);

    // Files come in from outside only; rows are never dragged or moved.
    setDragEnabled(false);
    setDragDropMode(DropOnly);
    setDropIndicatorShown(false);
    setAcceptDrops(true);
    // The right button belongs to contextMenuRequested alone.
    setContextMenuPolicy(Qt::PreventContextMenu);

    m_newRowsTimer.setSingleShot(true);
    m_newRowsTimer.setInterval(kNewRowsDelayMs);
    connect(&m_newRowsTimer, &QTimer::timeout, this, &FileListView::layoutNewRows);

    connect(columns, &QHeaderView::sectionClicked, this, [this](int logicalIndex) {
        ColumnClick(logicalIndex + 1);
        // The header flips its own order when clicked; it keeps the list's real one.
        showSortOrder();
    });
    setAccessibleName(tr("File list"));
    setAccessibleDescription(tr("The files to convert, one row per file"));
}

bool FileListView::IsInList(const QString& path) const
{
    return m_index.contains(path);
}

void FileListView::AddFileRow(const QString& path)
{
    if (IsInList(path))
        return;
    const std::optional<FileRow> row = buildFileRow(path, m_information);
    if (row)
        AddBuiltRow(*row);
}

void FileListView::AddBuiltRow(const FileRow& row, const QString& baseFolder)
{
    if (!IsInList(row.path))
        m_currentRow = insertRow(row, baseFolder);
}

void FileListView::takeFilesLater(const QStringList& paths, bool reportSkipped)
{
    beginReading();
    QMetaObject::invokeMethod(
        this,
        [this, paths, reportSkipped] {
            const QPointer<FileListView> alive(this);
            Q_EMIT filesDropped(paths, reportSkipped);
            if (alive)
                endReading();
        },
        Qt::QueuedConnection);
}

void FileListView::beginReading()
{
    ++m_readings;
}

void FileListView::endReading()
{
    if (m_readings > 0 && --m_readings == 0)
        Q_EMIT readingFinished();
}

QTreeWidgetItem* FileListView::insertRow(const FileRow& row, const QString& baseFolder)
{
    auto* item =
        new FileRowItem({row.path, row.type, row.size, row.format, row.length, row.modified});
    if (!baseFolder.isEmpty())
        item->setData(FileName, kBaseFolderRole, baseFolder);
    if (!row.typeToolTip.isEmpty())
        item->setToolTip(Type, row.typeToolTip);
    if (m_sorted)
        insertTopLevelItem(sortedPosition(item->text(m_sortColumn)), item);
    else
        addTopLevelItem(item);
    m_index.insert(row.path, item);
    return item;
}

int FileListView::sortedPosition(const QString& text) const
{
    // After any rows equal to it, as a stable sort of the grown list would place it.
    int low = 0;
    int high = rowCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        const int order =
            compareTexts(text, topLevelItem(middle)->text(m_sortColumn), m_sortColumn);
        const bool before = m_sortOrder == Qt::AscendingOrder ? order < 0 : order > 0;
        if (before)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

QStringList FileListView::paths() const
{
    QStringList texts;
    const int rows = rowCount();
    texts.reserve(rows);
    for (int row = 0; row < rows; ++row)
        texts.append(topLevelItem(row)->text(FileName));
    return texts;
}

QStringList FileListView::relativeFolders() const
{
    QStringList folders;
    const int rows = rowCount();
    folders.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QTreeWidgetItem* item = topLevelItem(row);
        const QString base = QDir::fromNativeSeparators(
            withTrailingSeparator(item->data(FileName, kBaseFolderRole).toString()));
        const QString path = QDir::fromNativeSeparators(item->text(FileName));
        const QString folder = path.left(path.lastIndexOf(u'/') + 1);
        QString below =
            !base.isEmpty() && folder.startsWith(base) ? folder.mid(base.size()) : QString();
        if (below.endsWith(u'/'))
            below.chop(1);
        folders.append(below);
    }
    return folders;
}

QString FileListView::selectedPath() const
{
    if (rowCount() == 0)
        return {};
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.isValid() && !range.parent().isValid() && (first < 0 || range.top() < first))
            first = range.top();
    }
    if (first >= 0)
        return topLevelItem(first)->text(FileName);
    if (const QTreeWidgetItem* current = currentItem())
        return current->text(FileName);
    return {};
}

namespace {

// One flag per row, read from the selection's ranges rather than asked row by row.
std::vector<bool> selectedRows(const QItemSelectionModel& selection, int rows)
{
    std::vector<bool> selected(static_cast<size_t>(rows), false);
    for (const QItemSelectionRange& range : selection.selection()) {
        if (!range.isValid() || range.parent().isValid())
            continue;
        const int last = std::min(range.bottom(), rows - 1);
        for (int row = std::max(range.top(), 0); row <= last; ++row)
            selected[static_cast<size_t>(row)] = true;
    }
    return selected;
}

} // namespace

void FileListView::SelectAll()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const QItemSelection everything(model()->index(0, 0),
                                    model()->index(rows - 1, ColumnCount - 1));
    selectionModel()->select(everything, QItemSelectionModel::ClearAndSelect);
    setFocus();
}

void FileListView::InvertSelection()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const std::vector<bool> selected = selectedRows(*selectionModel(), rows);
    QItemSelection flipped;
    for (int row = 0; row < rows;) {
        if (selected[static_cast<size_t>(row)]) {
            ++row;
            continue;
        }
        const int start = row;
        while (row < rows && !selected[static_cast<size_t>(row)])
            ++row;
        flipped.append(QItemSelectionRange(model()->index(start, 0),
                                           model()->index(row - 1, ColumnCount - 1)));
    }
    // Clearing first keeps the model from comparing old and new ranges pairwise.
    selectionModel()->clearSelection();
    selectionModel()->select(flipped, QItemSelectionModel::Select);
    setFocus();
}

void FileListView::RemoveSelected()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const std::vector<bool> selected = selectedRows(*selectionModel(), rows);
    const auto firstRemoved = std::find(selected.begin(), selected.end(), true);
    if (firstRemoved == selected.end()) {
        setFocus();
        return;
    }
    const int scrolled = verticalScrollBar()->value();
    // Taking every row out at once and putting the rest back stays linear however many
    // rows go; removing them one by one would shift the list once per row.
    const QList<QTreeWidgetItem*> taken = invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> kept;
    kept.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QTreeWidgetItem* item = taken[row];
        if (!selected[static_cast<size_t>(row)]) {
            kept.append(item);
            continue;
        }
        m_index.remove(item->text(FileName));
        if (item == m_currentRow)
            m_currentRow = nullptr;
        delete item;
    }
    addTopLevelItems(kept);
    if (!kept.isEmpty()) {
        const int next = std::min(static_cast<int>(firstRemoved - selected.begin()),
                                  static_cast<int>(kept.size()) - 1);
        selectionModel()->setCurrentIndex(model()->index(next, 0), QItemSelectionModel::NoUpdate);
    }
    verticalScrollBar()->setValue(scrolled);
    setFocus();
}

void FileListView::ClearAll()
{
    clear();
    m_index.clear();
    m_currentRow = nullptr;
}

void FileListView::ColumnClick(int position)
{
    if (position < 1 || position > ColumnCount || rowCount() < 2)
        return;
    m_sortColumn = position - 1;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sorted = true;
    // A stable sort through FileRowItem::operator<, keeping the selection on its rows.
    sortItems(m_sortColumn, m_sortOrder);
    showSortOrder();
}

QString FileListView::columnCaption(int column)
{
    return tr(kColumns[column].caption);
}

QString FileListView::sortDescription() const
{
    if (!m_sorted)
        return QString();
    return m_sortOrder == Qt::AscendingOrder
               ? tr("sorted by %1, ascending").arg(columnCaption(m_sortColumn))
               : tr("sorted by %1, descending").arg(columnCaption(m_sortColumn));
}

void FileListView::showSortOrder()
{
    if (!m_sorted)
        return;
    QHeaderView* columns = header();
    columns->setSortIndicatorShown(true);
    columns->setSortIndicator(m_sortColumn, m_sortOrder);
    // The arrow would cover the end of a caption its column has no room for.
    if (const int needed = captionWidth(m_sortColumn); columns->sectionSize(m_sortColumn) < needed)
        columns->resizeSection(m_sortColumn, needed);
    // Screen readers announce the order with the list and its header.
    const QString description = sortDescription();
    columns->setAccessibleDescription(description);
    setAccessibleDescription(tr("The files to convert, one row per file") + QStringLiteral("; ") +
                             description);
}

void FileListView::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    if (!std::exchange(m_columnsFitted, true)) {
        widenColumnsForCaptions();
        fitColumnsToView();
    }
}

int FileListView::captionWidth(int column) const
{
    // Measured with the sort arrow shown, which any column may get, and in the skin and
    // language of the moment, which longer translations and the skin's padding widen.
    QHeaderView* columns = header();
    const bool arrowShown = columns->isSortIndicatorShown();
    columns->setSortIndicatorShown(true);
    const int width = columns->sectionSizeHint(column);
    columns->setSortIndicatorShown(arrowShown);
    return width;
}

void FileListView::widenColumnsForCaptions()
{
    for (int column = 0; column < ColumnCount; ++column) {
        if (const int needed = captionWidth(column); header()->sectionSize(column) < needed)
            header()->resizeSection(column, needed);
    }
}

void FileListView::fitColumnsToView()
{
    // Every header in view at the first showing: the two columns of free-form text give up
    // width in proportion to their own, down to what their captions need, and the format column
    // to what a short description needs; what one cannot give, the other does. Room is kept for
    // the scroll bar that the first screenful of rows brings.
    QHeaderView* columns = header();
    int available = viewport()->width();
    if (!verticalScrollBar()->isVisible())
        available -= verticalScrollBar()->sizeHint().width();
    const int excess = columns->length() - available;
    if (excess <= 0)
        return;
    const auto leastWidth = [&](int column) {
        const int content =
            column == AudioFormat
                ? fontMetrics().horizontalAdvance(QString::fromUtf16(kShortFormatText))
                : 0;
        return std::max(captionWidth(column), content + kCellPadding);
    };
    const int nameSize = columns->sectionSize(FileName);
    const int formatSize = columns->sectionSize(AudioFormat);
    const int nameSlack = std::max(0, nameSize - leastWidth(FileName));
    const int formatSlack = std::max(0, formatSize - leastWidth(AudioFormat));
    int formatShare = std::min(formatSlack, (excess * formatSize + nameSize + formatSize - 1) /
                                                (nameSize + formatSize));
    const int nameShare = std::min(nameSlack, excess - formatShare);
    formatShare = std::min(formatSlack, excess - nameShare);
    columns->resizeSection(FileName, nameSize - nameShare);
    columns->resizeSection(AudioFormat, formatSize - formatShare);
}

void FileListView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    // The tree view lays out and repaints every row after each insertion. Files are added one
    // at a time with the event loop running in between, which made each new row cost as
    // much as the whole list, so rows added while shown are laid out in batches instead.
    if (parent.isValid() || !isVisible()) {
        QTreeWidget::rowsInserted(parent, start, end);
        return;
    }
    QAbstractItemView::rowsInserted(parent, start, end);
    m_newRowsPending = true;
    if (!m_newRowsTimer.isActive())
        m_newRowsTimer.start();
}

void FileListView::layoutNewRows()
{
    m_newRowsTimer.stop();
    if (!m_newRowsPending)
        return;
    m_newRowsPending = false;
    doItemsLayout();
}

void FileListView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected)
{
    // Repainting a selection looks each range up among the laid-out rows, row by row through
    // the whole list for a row it does not find there.
    layoutNewRows();
    QTreeWidget::selectionChanged(selected, deselected);
}

bool FileListView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Hide:
        layoutNewRows();
        break;
    default:
        break;
    }
    return QTreeWidget::event(event);
}

bool FileListView::viewportEvent(QEvent* event)
{
    // Input must meet the rows as they are now.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::ToolTip:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        layoutNewRows();
        break;
    default:
        break;
    }
    return QTreeWidget::viewportEvent(event);
}

void FileListView::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && rowCount() > 0) {
        event->accept();
        Q_EMIT playRequested();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FileListView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_A && event->modifiers().testFlag(Qt::ControlModifier)) {
        SelectAll();
        event->accept();
        return;
    }
    QTreeWidget::keyReleaseEvent(event);
}

void FileListView::mousePressEvent(QMouseEvent* event)
{
    // A right click opens the menu for the rows already selected, so it selects nothing.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void FileListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        Q_EMIT contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && rowCount() > 0)
        Q_EMIT playRequested();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (localPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (localPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FileListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    takeFilesLater(paths);
}

Qt::DropActions FileListView::supportedDropActions() const
{
    return Qt::CopyAction;
}

} // namespace tunevale
