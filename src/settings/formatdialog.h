#pragma once

#include "settings/encodersettings.h"

#include <QDialog>

#include <optional>

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

    EncoderSettings m_settings;

private:
    bool m_labelsPaired = false;
};

} // namespace tunevale
