#include "common/tags/replaygaintags.h"

#include "common/tags/tagstream.h"

#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace tunevale {

namespace {

constexpr double kReplayGainReference = -18.0;
constexpr double kR128Reference = -23.0;
const QString kItunesPrefix = QStringLiteral("----:com.apple.iTunes:");

TagLib::String tagString(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

QString scopeWord(GainScope scope)
{
    return scope == GainScope::Track ? QStringLiteral("TRACK") : QStringLiteral("ALBUM");
}

// Whether a tag name belongs to the scope: the track scope owns every gain tag.
bool ownedBy(GainScope scope, const QString& name)
{
    const QString upper = name.toUpper();
    if (scope == GainScope::Track)
        return upper.startsWith(QStringLiteral("REPLAYGAIN_")) ||
               upper.startsWith(QStringLiteral("R128_"));
    return upper.startsWith(QStringLiteral("REPLAYGAIN_ALBUM_")) ||
           upper.startsWith(QStringLiteral("R128_ALBUM_"));
}

// The name and text of each tag a measurement writes, for every format but Opus.
struct GainTag {
    QString name;
    QString text;
};
std::vector<GainTag> replayGainTags(GainScope scope, const GainTagValues* values)
{
    if (!values)
        return {};
    const QString prefix = QStringLiteral("REPLAYGAIN_") + scopeWord(scope);
    return {{prefix + QStringLiteral("_GAIN"), gainText(replayGainDb(values->lufs))},
            {prefix + QStringLiteral("_PEAK"), peakText(values->peak)}};
}

void applyId3(TagLib::ID3v2::Tag* tag, GainScope scope, const GainTagValues* values)
{
    const TagLib::ID3v2::FrameList frames = tag->frameList("TXXX");
    for (TagLib::ID3v2::Frame* frame : frames) {
        auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (text && ownedBy(scope, QString::fromStdString(text->description().to8Bit(true))))
            tag->removeFrame(frame);
    }
    for (const GainTag& gain : replayGainTags(scope, values)) {
        auto frame =
            std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(TagLib::String::UTF8);
        frame->setDescription(tagString(gain.name));
        frame->setText(tagString(gain.text));
        tag->addFrame(frame.release());
    }
}

void applyXiph(TagLib::Ogg::XiphComment* comment, GainScope scope, const GainTagValues* values,
               bool opus)
{
    const auto fields = comment->fieldListMap();
    for (const auto& [name, texts] : fields) {
        (void)texts;
        if (ownedBy(scope, QString::fromStdString(name.to8Bit(true))))
            comment->removeFields(name);
    }
    if (!values)
        return;
    if (opus) {
        // Opus players apply R128 gains, relative to -23 LUFS, as Q7.8 integers.
        comment->addField(tagString(QStringLiteral("R128_%1_GAIN").arg(scopeWord(scope))),
                          tagString(QString::number(r128GainQ78(values->lufs))));
        return;
    }
    for (const GainTag& gain : replayGainTags(scope, values))
        comment->addField(tagString(gain.name), tagString(gain.text));
}

void applyAsf(TagLib::ASF::Tag* tag, GainScope scope, const GainTagValues* values)
{
    const auto attributes = tag->attributeListMap();
    for (const auto& [name, list] : attributes) {
        (void)list;
        if (ownedBy(scope, QString::fromStdString(name.to8Bit(true))))
            tag->removeItem(name);
    }
    for (const GainTag& gain : replayGainTags(scope, values))
        tag->setAttribute(tagString(gain.name), TagLib::ASF::Attribute(tagString(gain.text)));
}

void applyMp4(TagLib::MP4::Tag* tag, GainScope scope, const GainTagValues* values)
{
    const auto items = tag->itemMap();
    for (const auto& [name, item] : items) {
        (void)item;
        const QString key = QString::fromStdString(name.to8Bit(true));
        if (key.startsWith(kItunesPrefix) && ownedBy(scope, key.mid(kItunesPrefix.size())))
            tag->removeItem(name);
    }
    for (const GainTag& gain : replayGainTags(scope, values))
        tag->setItem(tagString(kItunesPrefix + gain.name.toLower()),
                     TagLib::StringList(tagString(gain.text)));
}

} // namespace

double replayGainDb(double lufs)
{
    return kReplayGainReference - lufs;
}

int r128GainQ78(double lufs)
{
    const long scaled = std::lround((kR128Reference - lufs) * 256.0);
    return int(std::clamp<long>(scaled, std::numeric_limits<qint16>::min(),
                                std::numeric_limits<qint16>::max()));
}

QString gainText(double decibels)
{
    return QString::number(decibels, 'f', 2) + QStringLiteral(" dB");
}

QString peakText(double peak)
{
    return QString::number(peak, 'f', 6);
}

Status writeGainTags(const QString& path, OutputKind kind, GainScope scope,
                     const GainTagValues* values)
{
    TagStream stream(path, OpenFor::Writing);
    if (!stream.isOpen())
        return Status::error(stream.openFailure());
    const auto id3Frames = TagLib::ID3v2::FrameFactory::instance();
    bool saved = false;
    switch (kind) {
    case OutputKind::Mp3: {
        TagLib::MPEG::File file(&stream, id3Frames, false);
        if (!file.isValid())
            break;
        applyId3(file.ID3v2Tag(true), scope, values);
        saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3,
                          TagLib::File::DoNotDuplicate);
        break;
    }
    case OutputKind::Wav: {
        TagLib::RIFF::WAV::File file(&stream, false);
        if (!file.isValid())
            break;
        applyId3(file.ID3v2Tag(), scope, values);
        saved =
            file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v3);
        break;
    }
    case OutputKind::Wma: {
        TagLib::ASF::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            break;
        applyAsf(file.tag(), scope, values);
        saved = file.save();
        break;
    }
    case OutputKind::Ogg: {
        TagLib::Ogg::Vorbis::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            break;
        applyXiph(file.tag(), scope, values, false);
        saved = file.save();
        break;
    }
    case OutputKind::Flac: {
        TagLib::FLAC::File file(&stream, id3Frames, false);
        if (!file.isValid())
            break;
        applyXiph(file.xiphComment(true), scope, values, false);
        saved = file.save();
        break;
    }
    case OutputKind::Opus: {
        TagLib::Ogg::Opus::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            break;
        applyXiph(file.tag(), scope, values, true);
        saved = file.save();
        break;
    }
    case OutputKind::M4a: {
        TagLib::MP4::File file(&stream, false);
        if (!file.isValid() || !file.tag())
            break;
        applyMp4(file.tag(), scope, values);
        saved = file.save();
        break;
    }
    }
    if (Status written = stream.writeResult(); !written)
        return written;
    if (!saved)
        return Status::error(QStringLiteral("the loudness tags could not be written"));
    return {};
}

} // namespace tunevale
