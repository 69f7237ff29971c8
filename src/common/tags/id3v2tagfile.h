#pragma once

#include <QtGlobal>

#include <taglib/id3v2tag.h>
#include <taglib/tfile.h>
#include <taglib/tpropertymap.h>

#include <memory>

namespace tunevale {

// An ID3v2 tag where the tag library reads none: at the end of a DSD stream file (DSF), whose
// header points to it, or in front of a Monkey's Audio file. Read-only.
class Id3v2TagFile final : public TagLib::File {
public:
    // The tag at offset; an empty tag when there is none there.
    Id3v2TagFile(TagLib::IOStream* stream, quint64 offset);
    ~Id3v2TagFile() override;

    // A DSF's tag; an empty tag, and an invalid file, when stream holds no DSF.
    static std::unique_ptr<Id3v2TagFile> ofDsf(TagLib::IOStream* stream);

    // Never null.
    TagLib::ID3v2::Tag* tag() const override;
    TagLib::ID3v2::Tag* ID3v2Tag() const { return tag(); }
    bool hasTag() const;
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }

private:
    std::unique_ptr<TagLib::ID3v2::Tag> m_tag;
};

// The file's properties. TagLib::File::properties() is not virtual and knows only the tag
// library's own file types: for any other it gives just the seven, with several values joined.
TagLib::PropertyMap propertiesOf(const TagLib::File& file);

} // namespace tunevale
