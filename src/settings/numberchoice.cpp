#include "settings/numberchoice.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>

namespace tunevale {

void fillNumberChoice(QComboBox* list, std::initializer_list<int> values, const QString& caption,
                      bool asSource)
{
    // A number typed and confirmed with Enter stays text, read by chosenNumber; as a new item
    // it would have no number.
    list->setInsertPolicy(QComboBox::NoInsert);
    if (asSource)
        list->addItem(QCoreApplication::translate("tunevale::NumberChoice", "As source"), 0);
    for (int value : values)
        list->addItem(caption.arg(value), value);
}

void showNumber(QComboBox* list, int value)
{
    const int position = list->findData(value);
    if (position >= 0)
        list->setCurrentIndex(position);
    else if (list->isEditable())
        list->setEditText(QString::number(value));
}

int chosenNumber(const QComboBox* list)
{
    const QString text = list->currentText().trimmed();
    const int position = list->findText(text);
    if (position >= 0)
        return list->itemData(position).toInt();
    bool number = false;
    const int value = text.toInt(&number);
    return number ? value : -1;
}

bool acceptedOrTold(QWidget* owner, const Status& check)
{
    if (check)
        return true;
    QMessageBox message(QMessageBox::Critical, QStringLiteral("Tunevale"), check.message(),
                        QMessageBox::Ok, owner);
    message.exec();
    return false;
}

} // namespace tunevale
