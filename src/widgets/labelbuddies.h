#pragma once

class QWidget;

namespace tunevale {

// Makes every label under root that names no control yet the buddy label of the control
// beside it in its layout (the next cell of a grid row, the next item of a box), so screen
// readers announce the control by the label's text and its accelerator reaches it.
void pairLabelsWithControls(QWidget& root);

// Gives the text field of every editable combo box under root the name of the label or group
// box that names the combo box: screen readers meet the field as a control of its own.
void nameComboBoxFields(QWidget& root);

} // namespace tunevale
