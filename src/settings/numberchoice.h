#pragma once

#include "common/audio/status.h"

#include <QString>

#include <initializer_list>

class QComboBox;
class QWidget;

namespace tunevale {

// The new formats' dialogs offer numbers (rates, bitrates, channel counts) in lists whose
// first item may be "As source" (the settings' 0). Each item's data is its number, and an
// editable list also takes a number typed by hand.

// Fills list with values shown by caption (such as "%1 Hz"), after an "As source" item when
// asSource is set.
void fillNumberChoice(QComboBox* list, std::initializer_list<int> values,
                      const QString& caption = QStringLiteral("%1"), bool asSource = false);

// Selects the item of value, or shows the value as typed text when no item has it.
void showNumber(QComboBox* list, int value);

// The chosen number: an item's own, else the typed text's; -1 for text that is no number,
// so that the format's check refuses it.
int chosenNumber(const QComboBox* list);

// False after telling the user, over owner, why the settings were refused.
bool acceptedOrTold(QWidget* owner, const Status& check);

} // namespace tunevale
