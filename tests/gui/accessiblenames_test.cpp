#include "app/formatcommands.h"
#include "app/formflash.h"
#include "app/formmain.h"
#include "convert/formconvert.h"
#include "filelist/filelistview.h"
#include "filelist/formfolder.h"
#include "player/formplay.h"
#include "player/visualisation.h"
#include "settings/formatdialog.h"

#include "support/qtprinters.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tunevale;

namespace {

bool isInteractive(const QWidget* widget)
{
    // Scroll bars and the inner parts of compound controls speak for their owner; the text
    // field of an editable combo box is met on its own.
    if (qobject_cast<const QScrollBar*>(widget) || widget->parentWidget() == nullptr ||
        (qobject_cast<const QComboBox*>(widget->parentWidget()) &&
         !qobject_cast<const QLineEdit*>(widget)) ||
        qobject_cast<const QAbstractSpinBox*>(widget->parentWidget()))
        return false;
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QTabBar*>(widget) || qobject_cast<const QProgressBar*>(widget);
}

// The value a control shows, which a screen reader would otherwise read out as its name.
QString shownValue(const QWidget* widget)
{
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return spin->text();
    return QString();
}

// A control has a name when assistive technology gets one that is more than its value: its
// own, or one from a label or group box that names it. Combo boxes on Linux are always
// announced by their value, so only such a label names them there.
bool hasName(QWidget* widget)
{
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    if (!control)
        return false;
    const QString name = control->text(QAccessible::Name).trimmed();
    if (name.isEmpty())
        return !control->relations(QAccessible::Label).isEmpty();
    if (name != shownValue(widget).trimmed())
        return true;
    return !control->relations(QAccessible::Label).isEmpty();
}

// objectName or class of every control in window that a screen reader could not name.
QStringList unnamedControls(QWidget& window)
{
    QStringList unnamed;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || !isInteractive(widget) || hasName(widget))
            continue;
        unnamed.append(widget->objectName().isEmpty()
                           ? QString::fromLatin1(widget->metaObject()->className())
                           : widget->objectName());
    }
    return unnamed;
}

EncoderSettings settingsFor(OutputKind target)
{
    EncoderSettings settings;
    settings.TargetFormat = target;
    return settings;
}

// Every window of the program, opened as the program opens it.
std::unique_ptr<QWidget> openWindow(const std::string& name)
{
    static int visualStyle = 3;
    static QString lastScanFolder;
    static auto* owner = new FormMain; // lives as long as the program, as its main window does
    if (name == "FormMain")
        return std::make_unique<FormMain>();
    if (name == "FormFolder")
        return std::make_unique<FormFolder>(*owner->ListView1(), nullptr, lastScanFolder);
    if (name == "FormConvert")
        return std::make_unique<FormConvert>(nullptr, QStringList(), settingsFor(OutputKind::Mp3),
                                             editFormatSettings);
    if (name == "FormPlay")
        return std::make_unique<FormPlay>(nullptr, QString(), QString(), visualStyle);
    if (name == "FormFlash")
        return std::make_unique<FormFlash>(FormFlash::Mode::About);
    for (const FormatCommand& command : formatCommands()) {
        if (name == formatCaption(command.kind).toStdString())
            return command.openDialog(nullptr, settingsFor(command.kind));
    }
    return nullptr;
}

std::vector<std::string> windowNames()
{
    std::vector<std::string> names{"FormMain", "FormFolder", "FormConvert", "FormPlay",
                                   "FormFlash"};
    for (const FormatCommand& command : formatCommands())
        names.push_back(formatCaption(command.kind).toStdString());
    return names;
}

class AccessibleNames : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(AccessibleNames, EveryControlHasAName)
{
    const std::unique_ptr<QWidget> window = openWindow(GetParam());
    ASSERT_NE(window, nullptr);
    window->show();
    EXPECT_EQ(unnamedControls(*window), QStringList());
    window->hide();
}

// A screen reader hears what the picture shows, and it changes with the style.
TEST(AccessibleNames, VisualisationDescribesEachStyle)
{
    Visualisation visualisation;
    EXPECT_FALSE(visualisation.accessibleName().isEmpty());
    QSet<QString> descriptions;
    for (int style = 0; style < Visualisation::kStyleCount; ++style) {
        visualisation.setStyle(style);
        descriptions.insert(visualisation.accessibleDescription());
    }
    EXPECT_FALSE(descriptions.contains(QString()));
    EXPECT_EQ(descriptions.size(), Visualisation::kStyleCount);
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, AccessibleNames, ::testing::ValuesIn(windowNames()),
                         [](const auto& info) { return info.param; });

namespace {

// The controls of window that Tab should reach: shown, enabled and taking focus from the
// keyboard themselves.
QSet<QWidget*> tabStops(QWidget& window)
{
    QSet<QWidget*> stops;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&window) && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy())
            stops.insert(widget);
    }
    return stops;
}

// Radio buttons of one group are one stop: Tab reaches the checked one, the arrows the others.
const QObject* stopOf(QWidget* widget)
{
    const auto* radio = qobject_cast<QRadioButton*>(widget);
    if (!radio || !radio->autoExclusive())
        return widget;
    return radio->group() ? static_cast<const QObject*>(radio->group()) : radio->parentWidget();
}

class KeyboardOnly : public ::testing::TestWithParam<std::string> {};

} // namespace

// Tab goes round every control of a window and leaves each one: none keeps the keyboard.
TEST_P(KeyboardOnly, TabReachesAndLeavesEveryControl)
{
    const std::unique_ptr<QWidget> window = openWindow(GetParam());
    ASSERT_NE(window, nullptr);
    window->show();
    QApplication::setActiveWindow(window.get());
    const QSet<QWidget*> stops = tabStops(*window);
    if (stops.isEmpty())
        return;
    (*stops.begin())->setFocus(Qt::TabFocusReason);
    QSet<const QObject*> reached;
    for (qsizetype press = 0; press < 2 * stops.size(); ++press) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        reached.insert(stopOf(focused));
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QStringList missed;
    for (QWidget* stop : stops) {
        if (!reached.contains(stopOf(stop)))
            missed.append(stop->objectName().isEmpty()
                              ? QString::fromLatin1(stop->metaObject()->className())
                              : stop->objectName());
    }
    EXPECT_EQ(missed, QStringList());
    window->hide();
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, KeyboardOnly, ::testing::ValuesIn(windowNames()),
                         [](const auto& info) { return info.param; });
