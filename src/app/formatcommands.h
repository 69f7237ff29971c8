#pragma once

#include "common/codecs/outputformat.h"
#include "settings/encodersettings.h"
#include "widgets/artwork.h"

#include <QKeyCombination>

#include <memory>
#include <optional>
#include <span>

class QWidget;

namespace tunevale {

class FormatDialog;

// How the main window offers one output format: its Convert command (id, key, badge) and the
// settings dialog that Config and the conversion dialog's summary open. The window side of a
// format's row in the core table (common/codecs/outputformat.h).
struct FormatCommand {
    OutputKind kind;
    int commandId;
    QKeyCombination key; // beside the menus, clear of every other command's key
    FormatBadge badge;
    // The format's settings dialog over owner, editing a copy of settings.
    std::unique_ptr<FormatDialog> (*openDialog)(QWidget* owner, const EncoderSettings& settings);
};

// The table: one row per output format the window offers, in the order of the Convert menu and
// the toolbar. A format without a row is converted from the command line only.
std::span<const FormatCommand> formatCommands();
// The window's row of a format; nothing for a format the window does not offer.
const FormatCommand* formatCommand(OutputKind kind);
// The row whose Convert command has this id; nothing for other commands.
const FormatCommand* formatCommandWithId(int commandId);

// "Convert to MP3": the command's caption and tooltip.
QString convertCaption(OutputKind kind);

// Shows the settings dialog of the target format modally over owner and answers its edited
// copy; nothing after Cancel or the close box, or when the format has no settings dialog.
std::optional<EncoderSettings> editFormatSettings(QWidget* owner, const EncoderSettings& settings);

} // namespace tunevale
