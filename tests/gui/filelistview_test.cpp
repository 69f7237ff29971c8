#include "filelist/filelistview.h"

#include "common/audio/audioinformation.h"
#include "common/nativepath.h"
#include "filelist/rowtexts.h"
#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace tunevale {

// Fills the list with prepared rows, so order tests need no real files of every size.
class FileListViewTestAccess {
public:
    static void addRow(FileListView& list, const QString& path, const QString& type = {},
                       const QString& size = {})
    {
        FileRow row;
        row.path = path;
        row.type = type;
        row.size = size;
        list.insertRow(row);
    }
};

namespace {

using test::TempDir;

// A mono 8 kHz WAV whose whole file, header included, is exactly bytes long.
bool writeWavOfSize(const QString& path, qint64 bytes)
{
    constexpr qint64 kHeaderBytes = 44;
    const std::vector<qint16> samples(static_cast<size_t>((bytes - kHeaderBytes) / 2), 100);
    return test::writePcmWav(path, samples, 8000, 1) && QFileInfo(path).size() == bytes;
}

bool writeShortWav(const QString& path)
{
    const std::vector<qint16> tone = test::sine(440.0, 8000, 1, 0.1);
    return test::writePcmWav(path, tone, 8000, 1);
}

std::vector<int> selectedRowNumbers(const FileListView& list)
{
    std::vector<int> rows;
    for (int row = 0; row < list.rowCount(); ++row) {
        if (list.topLevelItem(row)->isSelected())
            rows.push_back(row);
    }
    return rows;
}

QStringList columnTexts(const FileListView& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.rowCount(); ++row)
        texts.append(list.topLevelItem(row)->text(column));
    return texts;
}

void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint position)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(position), QPointF(target->mapToGlobal(position)), button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

void click(QWidget* target, Qt::MouseButton button, QPoint position)
{
    sendMouse(target, QEvent::MouseButtonPress, button, position);
    sendMouse(target, QEvent::MouseButtonRelease, button, position);
}

// The sequence a window system delivers for a double-click.
void doubleClick(QWidget* target, QPoint position)
{
    click(target, Qt::LeftButton, position);
    sendMouse(target, QEvent::MouseButtonDblClick, Qt::LeftButton, position);
    sendMouse(target, QEvent::MouseButtonRelease, Qt::LeftButton, position);
}

void showList(FileListView& list)
{
    list.resize(900, 300);
    list.show();
    QCoreApplication::processEvents();
}

class FileListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(m_savedLocale); }

    // Rows named path1 .. pathN, no files behind them.
    void addRows(int count, int first = 1)
    {
        for (int row = first; row < first + count; ++row)
            FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/path%1.wav").arg(row));
    }

    TempDir m_dir;
    AudioInformation m_information;
    FileListView m_list{m_information};
    QLocale m_savedLocale;
};

TEST_F(FileListViewTest, ShowsSixAlignedColumnsOnStripedRows)
{
    const QStringList captions{QStringLiteral("File Name"), QStringLiteral("Type"),
                               QStringLiteral("File Size"), QStringLiteral("Audio Format"),
                               QStringLiteral("Length"),    QStringLiteral("Modified")};
    const std::vector<int> widths{213, 51, 67, 247, 67, 133};
    EXPECT_GE(m_list.header()->sectionSize(FileListView::FileSize),
              m_list.fontMetrics().horizontalAdvance(QStringLiteral("999,999 KB")));
    EXPECT_EQ(m_list.header()->sectionSize(FileListView::FileName), 213);
    const std::vector<Qt::Alignment> alignments{Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft};
    ASSERT_EQ(m_list.columnCount(), 6);
    addRows(1);
    for (int column = 0; column < 6; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(m_list.headerItem()->text(column), captions[column]);
        // The design widths, widened where the font needs more room for a column's texts.
        EXPECT_GE(m_list.header()->sectionSize(column), widths[column]);
        EXPECT_LE(m_list.header()->sectionSize(column), widths[column] * 2);
        const auto headerAlignment =
            Qt::Alignment(m_list.headerItem()->textAlignment(column)) & Qt::AlignHorizontal_Mask;
        EXPECT_EQ(headerAlignment, alignments[column]);
        const auto rowAlignment =
            Qt::Alignment(m_list.topLevelItem(0)->textAlignment(column)) & Qt::AlignHorizontal_Mask;
        EXPECT_EQ(rowAlignment, alignments[column]);
    }
    EXPECT_FALSE(m_list.rootIsDecorated());
    EXPECT_EQ(m_list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(m_list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(m_list.uniformRowHeights());
    EXPECT_TRUE(m_list.alternatingRowColors());
    EXPECT_EQ(m_list.palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(m_list.palette().color(QPalette::AlternateBase), QColor(0xF5, 0xF5, 0xF5));
    EXPECT_TRUE(m_list.viewport()->acceptDrops());
    EXPECT_EQ(m_list.dragDropMode(), QAbstractItemView::DropOnly);
}

TEST_F(FileListViewTest, BuildsRowTextsFromTheFile)
{
    const QString small = m_dir.file(QStringLiteral("small.wav"));
    const QString large = m_dir.file(QStringLiteral("large.wav"));
    ASSERT_TRUE(writeWavOfSize(small, 1536));
    ASSERT_TRUE(writeWavOfSize(large, 1048576));

    m_list.AddFileRow(small);
    ASSERT_EQ(m_list.rowCount(), 1);
    EXPECT_EQ(m_list.CurrentRow(), m_list.topLevelItem(0));
    m_list.AddFileRow(large);
    ASSERT_EQ(m_list.rowCount(), 2);
    EXPECT_EQ(m_list.CurrentRow(), m_list.topLevelItem(1));

    const QTreeWidgetItem* row = m_list.topLevelItem(0);
    EXPECT_EQ(row->text(FileListView::FileName), small);
    EXPECT_EQ(row->text(FileListView::Type), QStringLiteral("WAV"));
    EXPECT_EQ(row->text(FileListView::FileSize), QStringLiteral("2 KB"));
    const QString format = row->text(FileListView::AudioFormat);
    EXPECT_TRUE(format.contains(QStringLiteral("8000"))) << format.toStdString();
    EXPECT_FALSE(format.contains(u',')) << format.toStdString();
    EXPECT_FALSE(format.endsWith(u';')) << format.toStdString();
    EXPECT_EQ(row->text(FileListView::Modified),
              QFileInfo(small).lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));

    const QTreeWidgetItem* big = m_list.topLevelItem(1);
    EXPECT_EQ(big->text(FileListView::FileSize), QStringLiteral("1,024 KB"));
    // 524,266 frames at 8 kHz: 65.5 s.
    EXPECT_EQ(big->text(FileListView::Length), QStringLiteral("00:01:06"));
    EXPECT_EQ(m_list.paths(), (QStringList{small, large}));
}

struct FormatCase {
    const char* extension;
    const char* type;
    const char* codecWord;
    QStringList arguments;
};

class FileListViewFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FileListViewFormats, AddsARowForEachAudioFormat)
{
    const FormatCase& format = GetParam();
    TempDir dir;
    const QString path = dir.file(QStringLiteral("tone.") + QString::fromLatin1(format.extension));
    const std::vector<qint16> tone = test::sine(440.0, 44100, 2, 1.2);
    ASSERT_TRUE(test::makeWithFfmpeg(path, tone, 44100, 2, format.arguments));

    AudioInformation information;
    FileListView list(information);
    list.AddFileRow(path);
    ASSERT_EQ(list.rowCount(), 1);
    const QTreeWidgetItem* row = list.topLevelItem(0);
    EXPECT_EQ(row->text(FileListView::Type), QString::fromLatin1(format.type));
    EXPECT_TRUE(row->text(FileListView::AudioFormat)
                    .contains(QString::fromLatin1(format.codecWord), Qt::CaseInsensitive))
        << row->text(FileListView::AudioFormat).toStdString();
    EXPECT_EQ(row->text(FileListView::Length), QStringLiteral("00:00:01"));
}

INSTANTIATE_TEST_SUITE_P(
    , FileListViewFormats,
    ::testing::Values(
        FormatCase{"mp3", "MP3", "mp3", {}},
        FormatCase{"ogg", "OGG", "vorbis", {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        FormatCase{"wma", "WMA", "windows media", {}}),
    [](const auto& info) { return std::string(info.param.extension); });

TEST_F(FileListViewTest, ListsEachPathOnceComparingCase)
{
    const QString lower = m_dir.file(QStringLiteral("a.wav"));
    const QString upper = m_dir.file(QStringLiteral("A.WAV"));
    ASSERT_TRUE(writeShortWav(lower));
    ASSERT_TRUE(writeShortWav(upper));

    m_list.AddFileRow(lower);
    QTreeWidgetItem* first = m_list.CurrentRow();
    m_list.AddFileRow(lower);
    EXPECT_EQ(m_list.rowCount(), 1);
    EXPECT_EQ(m_list.CurrentRow(), first);

    m_list.AddFileRow(upper);
    EXPECT_EQ(m_list.rowCount(), 2);
    EXPECT_TRUE(m_list.IsInList(lower));
    EXPECT_TRUE(m_list.IsInList(upper));
    EXPECT_FALSE(m_list.IsInList(m_dir.file(QStringLiteral("A.wav"))));
}

TEST_F(FileListViewTest, SkipsFilesThatAreNoAudio)
{
    const QString fake = m_dir.file(QStringLiteral("notes.wav"));
    QFile file(fake);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(4096, 'x')), 4096);
    file.close();

    m_list.AddFileRow(fake);
    m_list.AddFileRow(m_dir.file(QStringLiteral("missing.mp3")));
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_FALSE(m_list.IsInList(fake));
    EXPECT_EQ(m_list.CurrentRow(), nullptr);
}

TEST_F(FileListViewTest, IndexFollowsRemovalAndClearing)
{
    const QString path = m_dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeShortWav(path));
    addRows(2);
    m_list.AddFileRow(path);
    ASSERT_EQ(m_list.rowCount(), 3);

    m_list.topLevelItem(2)->setSelected(true);
    m_list.RemoveSelected();
    EXPECT_FALSE(m_list.IsInList(path));
    EXPECT_EQ(m_list.CurrentRow(), nullptr);
    m_list.AddFileRow(path);
    EXPECT_EQ(m_list.rowCount(), 3);

    m_list.ClearAll();
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_FALSE(m_list.IsInList(path));
    EXPECT_FALSE(m_list.IsInList(QStringLiteral("/x/path1.wav")));
    EXPECT_EQ(m_list.CurrentRow(), nullptr);
    m_list.AddFileRow(path);
    EXPECT_EQ(m_list.rowCount(), 1);
}

TEST_F(FileListViewTest, RemoveKeepsTheOrderOfTheOthers)
{
    addRows(5);
    m_list.topLevelItem(1)->setSelected(true);
    m_list.topLevelItem(3)->setSelected(true);
    m_list.RemoveSelected();
    const QStringList expected{QStringLiteral("/x/path1.wav"), QStringLiteral("/x/path3.wav"),
                               QStringLiteral("/x/path5.wav")};
    EXPECT_EQ(m_list.paths(), expected);
    EXPECT_FALSE(m_list.IsInList(QStringLiteral("/x/path2.wav")));
    EXPECT_FALSE(m_list.IsInList(QStringLiteral("/x/path4.wav")));
    EXPECT_TRUE(m_list.IsInList(QStringLiteral("/x/path5.wav")));

    m_list.RemoveSelected(); // nothing selected any more
    EXPECT_EQ(m_list.paths(), expected);
}

TEST_F(FileListViewTest, SelectAndInvertCoverEveryRow)
{
    m_list.SelectAll();
    m_list.InvertSelection();
    m_list.RemoveSelected();
    EXPECT_EQ(m_list.rowCount(), 0);

    addRows(10);
    m_list.InvertSelection();
    EXPECT_EQ(selectedRowNumbers(m_list).size(), 10u);

    m_list.clearSelection();
    for (const int row : {0, 3, 4, 9})
        m_list.topLevelItem(row)->setSelected(true);
    m_list.InvertSelection();
    EXPECT_EQ(selectedRowNumbers(m_list), (std::vector<int>{1, 2, 5, 6, 7, 8}));
    m_list.InvertSelection();
    EXPECT_EQ(selectedRowNumbers(m_list), (std::vector<int>{0, 3, 4, 9}));

    m_list.SelectAll();
    EXPECT_EQ(selectedRowNumbers(m_list).size(), 10u);
    m_list.InvertSelection();
    EXPECT_TRUE(selectedRowNumbers(m_list).empty());
}

TEST_F(FileListViewTest, SelectedPathIsTheFirstSelectedRow)
{
    EXPECT_TRUE(m_list.selectedPath().isEmpty());
    addRows(4);
    m_list.setCurrentItem(m_list.topLevelItem(3), 0, QItemSelectionModel::NoUpdate);
    EXPECT_EQ(m_list.selectedPath(), QStringLiteral("/x/path4.wav"));
    m_list.topLevelItem(2)->setSelected(true);
    m_list.topLevelItem(1)->setSelected(true);
    EXPECT_EQ(m_list.selectedPath(), QStringLiteral("/x/path2.wav"));
}

TEST_F(FileListViewTest, SortNeedsTwoRowsAndAKnownColumn)
{
    addRows(1);
    m_list.ColumnClick(1);
    EXPECT_FALSE(m_list.isSorted());
    EXPECT_EQ(m_list.sortOrder(), Qt::AscendingOrder);

    addRows(2);
    m_list.ColumnClick(0);
    m_list.ColumnClick(7);
    EXPECT_FALSE(m_list.isSorted());
    EXPECT_EQ(m_list.sortOrder(), Qt::AscendingOrder);
}

TEST_F(FileListViewTest, SizesSortAsRightAlignedTexts)
{
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/b.wav"), {},
                                   QStringLiteral("999 KB"));
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/c.wav"), {},
                                   QStringLiteral("1,000 KB"));
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/a.wav"), {}, QStringLiteral("12 KB"));

    m_list.ColumnClick(3);
    EXPECT_TRUE(m_list.isSorted());
    EXPECT_EQ(m_list.sortColumnIndex(), FileListView::FileSize);
    EXPECT_EQ(m_list.sortOrder(), Qt::DescendingOrder);
    const QStringList descending{QStringLiteral("1,000 KB"), QStringLiteral("999 KB"),
                                 QStringLiteral("12 KB")};
    EXPECT_EQ(columnTexts(m_list, FileListView::FileSize), descending);

    m_list.ColumnClick(3);
    const QStringList ascending{QStringLiteral("12 KB"), QStringLiteral("999 KB"),
                                QStringLiteral("1,000 KB")};
    EXPECT_EQ(columnTexts(m_list, FileListView::FileSize), ascending);
}

TEST_F(FileListViewTest, EveryClickFlipsTheOneOrderAndSortsStably)
{
    const auto add = [this](const char* name, const char* type) {
        FileListViewTestAccess::addRow(m_list, QString::fromLatin1(name),
                                       QString::fromLatin1(type));
    };
    add("b", "WAV");
    add("C", "mp3");
    add("a", "MP3");
    add("d", "wav");

    m_list.ColumnClick(1);
    EXPECT_EQ(m_list.paths(), QString::fromLatin1("d C b a").split(u' '));
    // Equal types keep the name order they had.
    m_list.ColumnClick(2);
    EXPECT_EQ(m_list.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(m_list.paths(), QString::fromLatin1("C a d b").split(u' '));
    m_list.ColumnClick(1);
    EXPECT_EQ(m_list.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(m_list.paths(), QString::fromLatin1("d C b a").split(u' '));
}

TEST_F(FileListViewTest, NewRowsTakeTheirPlaceInTheOrder)
{
    for (const char* name : {"/x/m.wav", "/x/c.wav", "/x/t.wav"})
        FileListViewTestAccess::addRow(m_list, QString::fromLatin1(name));
    m_list.ColumnClick(1); // descending
    const QString real = m_dir.file(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeShortWav(real)); // under /tmp: after "/x/t.wav" going down
    m_list.AddFileRow(real);
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/P.wav"));
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/z.wav"));
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/a.wav"));
    EXPECT_EQ(m_list.paths(),
              (QStringList{QStringLiteral("/x/z.wav"), QStringLiteral("/x/t.wav"),
                           QStringLiteral("/x/P.wav"), QStringLiteral("/x/m.wav"),
                           QStringLiteral("/x/c.wav"), QStringLiteral("/x/a.wav"), real}));
    EXPECT_EQ(m_list.CurrentRow()->text(FileListView::FileName), real);

    // Ties go after the rows already there, as a stable sort would leave them.
    m_list.ColumnClick(2); // ascending by the (empty) type: order unchanged
    FileListViewTestAccess::addRow(m_list, QStringLiteral("/x/b.wav"));
    EXPECT_EQ(m_list.paths().first(), QStringLiteral("/x/z.wav"));
    EXPECT_EQ(m_list.paths().at(m_list.rowCount() - 2), QStringLiteral("/x/b.wav"));
}

// However long a caption (German ones are), it fits its column beside the sort arrow.
TEST_F(FileListViewTest, EveryCaptionFitsBesideTheSortArrowWhenShown)
{
    addRows(2);
    showList(m_list);
    QHeaderView* header = m_list.header();
    header->setSortIndicatorShown(true);
    for (int column = 0; column < FileListView::ColumnCount; ++column)
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << column;
}

TEST_F(FileListViewTest, SortKeepsTheSelectedRows)
{
    addRows(3);
    m_list.topLevelItem(0)->setSelected(true);
    m_list.ColumnClick(1);
    EXPECT_EQ(selectedRowNumbers(m_list), std::vector<int>{2});
    EXPECT_EQ(m_list.selectedPath(), QStringLiteral("/x/path1.wav"));
}

TEST_F(FileListViewTest, HeaderClickSortsAndShowsTheOrder)
{
    addRows(3);
    showList(m_list);
    QHeaderView* header = m_list.header();
    const QPoint onType(header->sectionViewportPosition(FileListView::Type) + 10,
                        header->height() / 2);
    click(header->viewport(), Qt::LeftButton, onType);
    EXPECT_TRUE(m_list.isSorted());
    EXPECT_EQ(m_list.sortColumnIndex(), FileListView::Type);
    EXPECT_EQ(m_list.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(header->sortIndicatorSection(), FileListView::Type);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(header->isSortIndicatorShown());

    const QPoint onName(header->sectionViewportPosition(FileListView::FileName) + 10,
                        header->height() / 2);
    click(header->viewport(), Qt::LeftButton, onName);
    EXPECT_EQ(m_list.sortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(header->sortIndicatorSection(), FileListView::FileName);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(m_list.paths().first(), QStringLiteral("/x/path1.wav"));
}

struct KeyCase {
    Qt::KeyboardModifiers modifiers;
    bool selectsAll;
};

class FileListViewKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FileListViewKeys, ReleasingAWithControlSelectsAll)
{
    AudioInformation information;
    FileListView list(information);
    for (int row = 0; row < 3; ++row)
        FileListViewTestAccess::addRow(list, QStringLiteral("/x/%1.wav").arg(row));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, GetParam().modifiers, QStringLiteral("a"));
    QCoreApplication::sendEvent(&list, &release);
    EXPECT_EQ(selectedRowNumbers(list).size(), GetParam().selectsAll ? 3u : 0u);
}

INSTANTIATE_TEST_SUITE_P(, FileListViewKeys,
                         ::testing::Values(KeyCase{Qt::ControlModifier, true},
                                           KeyCase{Qt::ControlModifier | Qt::ShiftModifier, true},
                                           KeyCase{Qt::ControlModifier | Qt::AltModifier, true},
                                           KeyCase{Qt::NoModifier, false},
                                           KeyCase{Qt::ShiftModifier, false}));

// Three rows, laid out and shown.
class FileListViewMouse : public FileListViewTest {
protected:
    void SetUp() override
    {
        FileListViewTest::SetUp();
        addRows(3);
        showList(m_list);
    }
    QPoint rowCentre(int row) const
    {
        const QRect rect = m_list.visualItemRect(m_list.topLevelItem(row));
        EXPECT_TRUE(rect.isValid()) << "row " << row << " is not laid out";
        return rect.center();
    }
};

TEST_F(FileListViewMouse, RightClickAsksForTheMenuAndKeepsTheSelection)
{
    click(m_list.viewport(), Qt::LeftButton, rowCentre(0));
    ASSERT_EQ(selectedRowNumbers(m_list), std::vector<int>{0});

    std::vector<QPoint> requests;
    QObject::connect(&m_list, &FileListView::contextMenuRequested, &m_list,
                     [&requests](const QPoint& position) { requests.push_back(position); });
    const QPoint where = rowCentre(2);
    click(m_list.viewport(), Qt::RightButton, where);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], m_list.viewport()->mapToGlobal(where));
    EXPECT_EQ(selectedRowNumbers(m_list), std::vector<int>{0});
}

TEST_F(FileListViewMouse, DoubleClickPlaysOnlyWhenRowsAreListed)
{
    int plays = 0;
    QObject::connect(&m_list, &FileListView::playRequested, &m_list, [&plays] { ++plays; });
    doubleClick(m_list.viewport(), rowCentre(1));
    EXPECT_EQ(plays, 1);

    m_list.ClearAll();
    doubleClick(m_list.viewport(), QPoint(50, 50));
    EXPECT_EQ(plays, 1);
}

TEST_F(FileListViewMouse, RowsAddedWhileShownMeetTheNextClick)
{
    const QRect third = m_list.visualItemRect(m_list.topLevelItem(2));
    ASSERT_TRUE(third.isValid());
    const QPoint fifth = third.center() + QPoint(0, 2 * third.height());
    addRows(2, 4);
    click(m_list.viewport(), Qt::LeftButton, fifth);
    EXPECT_EQ(selectedRowNumbers(m_list), std::vector<int>{4});
}

TEST_F(FileListViewMouse, RowsAddedWhileShownAppearOnTheirOwn)
{
    addRows(2, 4);
    QTreeWidgetItem* fifth = m_list.topLevelItem(4);
    QElapsedTimer waited;
    waited.start();
    while (!m_list.visualItemRect(fifth).isValid() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(m_list.visualItemRect(fifth).isValid());
}

QMimeData* urlData(const QList<QUrl>& urls)
{
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

TEST_F(FileListViewTest, AcceptsDragsOfLocalFilesOnly)
{
    const auto enter = [this](const QMimeData* data) {
        QDragEnterEvent event(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(m_list.viewport(), &event);
        // End the drag so no drop target outlives the test.
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(m_list.viewport(), &leave);
        return std::pair(event.isAccepted(), event.dropAction());
    };
    const std::unique_ptr<QMimeData> files(urlData({QUrl::fromLocalFile(QStringLiteral("/x/a.mp3")),
                                                    QUrl::fromLocalFile(QStringLiteral("/x"))}));
    const auto [filesAccepted, filesAction] = enter(files.get());
    EXPECT_TRUE(filesAccepted);
    EXPECT_EQ(filesAction, Qt::CopyAction);

    QMimeData text;
    text.setText(QStringLiteral("/x/a.mp3"));
    EXPECT_FALSE(enter(&text).first);

    const std::unique_ptr<QMimeData> mixed(
        urlData({QUrl::fromLocalFile(QStringLiteral("/x/a.mp3")),
                 QUrl(QStringLiteral("https://example.com/b.mp3"))}));
    EXPECT_FALSE(enter(mixed.get()).first);
}

TEST_F(FileListViewTest, DropHandsOverThePathsInOrder)
{
    addRows(1);
    std::vector<QStringList> dropped;
    QObject::connect(&m_list, &FileListView::filesDropped, &m_list,
                     [&dropped](const QStringList& paths) { dropped.push_back(paths); });
    QStringList paths{QStringLiteral("/x/z.wav"), QStringLiteral("/x/folder"),
                      QStringLiteral("/x/a.ogg")};
    QList<QUrl> urls;
    for (const QString& path : std::as_const(paths))
        urls.append(QUrl::fromLocalFile(path));
    // A Latin-1 name arrives percent-encoded byte by byte and keeps its bytes.
    urls.append(QUrl::fromEncoded("file:///x/caf%E9.wav"));
    paths.append(pathFromNative("/x/caf\xe9.wav"));
    const std::unique_ptr<QMimeData> data(urlData(urls));
    // Qt hands a drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, data.get(),
                          Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_list.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(m_list.viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    // The drop returns before anything is read: the window system's drop handling must not
    // run the reading's event loop, nor outlive a window closed meanwhile. Until the files
    // are handed over, the list counts as reading.
    EXPECT_TRUE(dropped.empty());
    EXPECT_TRUE(m_list.isReading());
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_list.isReading());
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], paths);
    // Dropped over a row, yet no row was moved or added.
    EXPECT_EQ(m_list.paths(), QStringList{QStringLiteral("/x/path1.wav")});
}

} // namespace
} // namespace tunevale
