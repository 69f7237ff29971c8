#include "common/tags/id3v2tagfile.h"

#include "common/tags/bytecursor.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>

namespace tunevale {

Id3v2TagFile::Id3v2TagFile(TagLib::IOStream* stream, quint64 offset)
    : TagLib::File(stream)
{
    const bool inFile = offset < quint64(length());
    if (inFile)
        seek(long(offset));
    if (inFile && readBlock(3) == "ID3")
        m_tag = std::make_unique<TagLib::ID3v2::Tag>(this, long(offset),
                                                     TagLib::ID3v2::FrameFactory::instance());
    else
        m_tag = std::make_unique<TagLib::ID3v2::Tag>();
}

Id3v2TagFile::~Id3v2TagFile() = default;

std::unique_ptr<Id3v2TagFile> Id3v2TagFile::ofDsf(TagLib::IOStream* stream)
{
    // The "DSD " chunk: its size, the file's size, then where the metadata begins (0: none).
    stream->seek(0);
    const TagLib::ByteVector header = stream->readBlock(28);
    ByteCursor cursor(QByteArrayView(header.data(), qsizetype(header.size())));
    cursor.skip(20);
    const quint64 metadataOffset = cursor.u64();
    const bool isDsf = header.startsWith("DSD ") && cursor.ok();
    // Offset 0 is the header itself, never a tag.
    auto file = std::make_unique<Id3v2TagFile>(stream, isDsf ? metadataOffset : 0);
    if (!isDsf)
        file->setValid(false);
    return file;
}

TagLib::ID3v2::Tag* Id3v2TagFile::tag() const
{
    return m_tag.get();
}

bool Id3v2TagFile::hasTag() const
{
    return !m_tag->isEmpty() || !m_tag->frameList().isEmpty();
}

TagLib::PropertyMap propertiesOf(const TagLib::File& file)
{
    if (const auto* id3 = dynamic_cast<const Id3v2TagFile*>(&file))
        return id3->ID3v2Tag()->properties();
    return file.properties();
}

} // namespace tunevale
