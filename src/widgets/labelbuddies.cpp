#include "widgets/labelbuddies.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

namespace tunevale {

namespace {

// The widget that follows index in layout, or null.
QWidget* widgetAfter(QLayout& layout, int index)
{
    if (auto* grid = qobject_cast<QGridLayout*>(&layout)) {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        const QLayoutItem* next = grid->itemAtPosition(row, column + columnSpan);
        return next ? next->widget() : nullptr;
    }
    if (qobject_cast<QBoxLayout*>(&layout)) {
        const QLayoutItem* next = layout.itemAt(index + 1);
        return next ? next->widget() : nullptr;
    }
    return nullptr;
}

// The text that names control: its buddy label's without the accelerator mark and colon, or
// the title of the group box it sits in.
QString nameOf(const QWidget& root, const QWidget* control)
{
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        if (label->buddy() == control) {
            QString text = label->text().remove(u'&').trimmed();
            return text.endsWith(u':') ? text.chopped(1) : text;
        }
    }
    const auto* group = qobject_cast<const QGroupBox*>(control->parentWidget());
    return group ? group->title() : QString();
}

} // namespace

void nameComboBoxFields(QWidget& root)
{
    for (QComboBox* combo : root.findChildren<QComboBox*>()) {
        QLineEdit* field = combo->lineEdit();
        if (field && field->accessibleName().isEmpty())
            field->setAccessibleName(nameOf(root, combo));
    }
}

void pairLabelsWithControls(QWidget& root)
{
    const QList<QLayout*> layouts = root.findChildren<QLayout*>();
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (label->buddy() || label->text().isEmpty())
            continue;
        for (QLayout* layout : layouts) {
            const int index = layout->indexOf(label);
            if (index < 0)
                continue;
            QWidget* control = widgetAfter(*layout, index);
            if (control && (control->focusPolicy() & Qt::TabFocus))
                label->setBuddy(control);
            break;
        }
    }
}

} // namespace tunevale
