#include "app/formatcommands.h"

#include "app/commandids.h"
#include "settings/formflac.h"
#include "settings/formm4a.h"
#include "settings/formmp3.h"
#include "settings/formogg.h"
#include "settings/formopus.h"
#include "settings/formwav.h"
#include "settings/formwma.h"

#include <QCoreApplication>

#include <algorithm>

namespace tunevale {

namespace {

template <typename Dialog>
std::unique_ptr<FormatDialog> open(QWidget* owner, const EncoderSettings& settings)
{
    return std::make_unique<Dialog>(owner, settings);
}

// WMA and WAV share their first letter, so WAV's small badge shows a wave; Opus and M4A would
// share theirs with OGG and MP3, so their small badges show P and A (for AAC). The newer
// formats' keys keep clear of the F keys.
constexpr FormatCommand kCommands[] = {
    {OutputKind::Mp3, ID_CONVERTTOMP, Qt::Key_F6, {0xE8590C, u"M"}, open<FormMp3>},
    {OutputKind::Wma, ID_CONVERTTOWMA, Qt::Key_F5, {0x1C7ED6, u"W"}, open<FormWMA>},
    {OutputKind::Ogg, ID_CONVERTTOOGG, Qt::Key_F7, {0x2B8A3E, u"O"}, open<FormOGG>},
    {OutputKind::Wav, ID_CONVERTTOWAV, Qt::Key_F8, {0x7048E8, {}}, open<FormWAV>},
    {OutputKind::Flac,
     ID_CONVERTTOFLAC,
     Qt::CTRL | Qt::SHIFT | Qt::Key_F,
     {0xC2255C, u"F"},
     open<FormFLAC>},
    {OutputKind::Opus,
     ID_CONVERTTOOPUS,
     Qt::CTRL | Qt::SHIFT | Qt::Key_O,
     {0x0C8599, u"P"},
     open<FormOpus>},
    {OutputKind::M4a,
     ID_CONVERTTOM4A,
     Qt::CTRL | Qt::SHIFT | Qt::Key_M,
     {0x495057, u"A"},
     open<FormM4A>},
};

} // namespace

std::span<const FormatCommand> formatCommands()
{
    return kCommands;
}

const FormatCommand* formatCommand(OutputKind kind)
{
    const auto* command =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [kind](const FormatCommand& row) { return row.kind == kind; });
    return command != std::end(kCommands) ? command : nullptr;
}

const FormatCommand* formatCommandWithId(int commandId)
{
    for (const FormatCommand& command : kCommands) {
        if (command.commandId == commandId)
            return &command;
    }
    return nullptr;
}

QString convertCaption(OutputKind kind)
{
    return QCoreApplication::translate("tunevale::FormatCommands", "Convert to %1")
        .arg(formatCaption(kind));
}

std::optional<EncoderSettings> editFormatSettings(QWidget* owner, const EncoderSettings& settings)
{
    const FormatCommand* command = formatCommand(settings.TargetFormat);
    if (!command)
        return std::nullopt; // converted with their start-up settings; no dialog edits them
    const std::unique_ptr<FormatDialog> dialog = command->openDialog(owner, settings);
    dialog->exec();
    return dialog->edited();
}

} // namespace tunevale
