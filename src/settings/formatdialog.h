#pragma once

#include "settings/encodersettings.h"

#include <QDialog>

#include <functional>
#include <optional>

class QHBoxLayout;

namespace tunevale {

// A format's settings dialog: it edits a copy of the settings and hands it back on OK.
class FormatDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatDialog)

public:
    // The edited copy once OK has closed the dialog; nothing after Cancel or the close box.
    std::optional<EncoderSettings> edited() const;

protected:
    FormatDialog(QWidget* owner, const EncoderSettings& settings);
    void showEvent(QShowEvent* event) override;
    // An OK and a Cancel button, right-aligned in a row for the dialog's layout. OK calls
    // confirm, which accepts when the options hold; Cancel rejects.
    QHBoxLayout* okCancelRow(std::function<void()> confirm);
    // Lays the dialog out as one frame of options above that row, at its natural size.
    void layOutWithButtons(QWidget* options, std::function<void()> confirm);

    EncoderSettings m_settings;

private:
    bool m_labelsPaired = false;
};

} // namespace tunevale
