#!/usr/bin/python3
"""Sources rich in fields beyond the common ones, made by other programs, and a reader of every
field of an output.

make FOLDER  writes the sources into FOLDER.
dump FILE    prints every field of an MP3, WMA, OGG Vorbis, WAV, FLAC, Opus or M4A file as JSON,
             read by mutagen: {"fields": {NAME: [values]}, "pictures": [{type, desc, data}]}.
             NAME is the file's own: an ID3v2 frame ID or TXXX description, a Vorbis comment
             name in capitals, an ASF attribute, an MP4 atom or free-form name.
"""
import base64
import json
import os
import struct
import subprocess
import sys

from mutagen import apev2, asf, dsf, flac, id3, mp4, oggopus, oggvorbis, wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tagtool import cover_png, write_dsf  # noqa: E402

BACK = cover_png()[:-12] + b"\0\0\0\0IEND\xaeB`\x82"  # another image's bytes


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def flac_picture(kind, desc, data):
    picture = flac.Picture()
    picture.type, picture.mime, picture.desc, picture.data = kind, "image/png", desc, data
    return picture


def vorbis_rich(tag):
    tag["TITLE"] = [" Pädded Title "]
    tag["ARTIST"] = ["piman", "jzig"]
    tag["GENRE"] = ["Rock", "Synthwave"]
    tag["TRACKNUMBER"] = ["02"]
    tag["DATE"] = ["2001-05-06T12:34"]
    tag["ISRC"] = ["USRC17607839"]
    tag["BPM"] = ["120"]
    tag["LABEL"] = ["Some Label"]
    tag["COPYRIGHT"] = ["2001 Someone"]
    tag["MUSICBRAINZ_ALBUMID"] = ["9e8f2e3c-0000-4000-8000-000000000001"]
    tag["REPLAYGAIN_TRACK_GAIN"] = ["-6.50 dB"]
    tag["SOURCE_NOTE"] = ["first", "second"]


def make_more(path, sine, front, back):
    # WavPack by FFmpeg, an APE tag with several artists and two pictures by mutagen.
    run(*sine, "-c:a", "wavpack", path("tagged.wv"))
    tag = apev2.APEv2()
    tag["Title"] = "Wv Title"
    tag["Artist"] = ["piman", "jzig"]
    tag["ISRC"] = "USRC17607839"
    tag["Cover Art (Front)"] = apev2.APEValue(b"front\0" + front, apev2.BINARY)
    tag["Cover Art (Back)"] = apev2.APEValue(b"back side\0" + back, apev2.BINARY)
    tag.save(path("tagged.wv"))

    # CAF by FFmpeg, which writes the metadata into the info chunk under CAF's own keys.
    run(*sine, "-metadata", "title= Caf Title ", "-metadata", "track number=02",
        "-metadata", "comments=Caf note", "-metadata", "tempo=120",
        "-metadata", "recorded date=2001-05-06", path("info.caf"))

    # DSF with an ID3v2.4 tag by mutagen: a ripper's "encoded by" and two pictures.
    write_dsf(path("tagged.dsf"))
    audio = dsf.DSF(path("tagged.dsf"))
    audio.add_tags()
    audio.tags.add(id3.TIT2(encoding=3, text=["Dsf Title"]))
    audio.tags.add(id3.TPE1(encoding=3, text=["piman", "jzig"]))
    audio.tags.add(id3.TENC(encoding=3, text=["Some Ripper"]))
    audio.tags.add(id3.APIC(encoding=3, mime="image/png", type=3, desc="front", data=front))
    audio.tags.add(id3.APIC(encoding=3, mime="image/png", type=4, desc="back side", data=back))
    audio.save()

    # ID3v2.3 as taggers write it: a name with "/", several composers joined with "/", a date
    # in TYER, TDAT and TIME, and the encoder's own "encoded by".
    run("lame", "--silent", "-b", "128", path("plain.wav"), path("v23.mp3"))
    tag = id3.ID3()
    tag.add(id3.TPE1(encoding=1, text=["AC/DC"]))
    tag.add(id3.TCOM(encoding=1, text=["piman", "jzig"]))
    tag.add(id3.TDRC(encoding=1, text=["2001-05-06T12:34"]))
    tag.add(id3.TENC(encoding=1, text=["LAME 3.100"]))
    tag.update_to_v23()
    tag.save(path("v23.mp3"), v2_version=3, v23_sep="/")

    # M4A by FFmpeg; its encoding tool, which the tag library reads as "encoded by", by mutagen.
    run(*sine, "-c:a", "aac", path("tool.m4a"))
    audio = mp4.MP4(path("tool.m4a"))
    audio["\u00a9nam"] = ["M4a Title"]
    audio["\u00a9too"] = ["Some Tool 1.0"]
    audio.save()

    # FLAC with dates that ID3v2.3 holds only in part.
    run("flac", "-s", "-f", "-o", path("dates.flac"), path("plain.wav"))
    native = flac.FLAC(path("dates.flac"))
    native["DATE"] = ["2001-05-06T12:34:56"]
    native["ORIGINALDATE"] = ["1999-03-04"]
    native.save()

    # An ID3v2 tag in front of a Monkey's Audio header and an APE tag at the end; no program
    # here writes the audio, so the frames hold nothing to decode.
    with open(path("leading-id3.ape"), "wb") as out:
        out.write(b"MAC \x96\x0f" + bytes(200))
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=3, text=["Id3 Title"]))
    tag.add(id3.TPE1(encoding=3, text=["Id3 Artist"]))
    tag.add(id3.TSRC(encoding=3, text=["USRC17607839"]))
    tag.add(id3.APIC(encoding=3, mime="image/png", type=4, desc="back side", data=back))
    tag.save(path("leading-id3.ape"), v2_version=3)
    tag = apev2.APEv2()
    tag["Artist"] = "Ape Artist"
    tag.save(path("leading-id3.ape"))


def make(folder):
    path = lambda name: os.path.join(folder, name)
    wav = path("plain.wav")
    run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "0.5", "sine", "440")
    front, back = cover_png(), BACK
    for name, data in (("front.png", front), ("back.png", back)):
        with open(path(name), "wb") as out:
            out.write(data)

    # FLAC by flac, its comments and two pictures by mutagen.
    run("flac", "-s", "-f", "-o", path("rich.flac"), wav)
    native = flac.FLAC(path("rich.flac"))
    vorbis_rich(native)
    native.add_picture(flac_picture(3, "front", front))
    native.add_picture(flac_picture(4, "back side", back))
    native.save()

    # OGG Vorbis by oggenc, with its own -c fields.
    run("oggenc", "-Q", "-t", " Pädded Title ", "-c", "ARTIST=piman", "-c", "ARTIST=jzig",
        "-c", "GENRE=Rock", "-c", "GENRE=Synthwave", "-N", "02", "-d", "2001-05-06T12:34", "-c", "ISRC=USRC17607839", "-c", "BPM=120",
        "-c", "LABEL=Some Label", "-c", "COPYRIGHT=2001 Someone",
        "-c", "MUSICBRAINZ_ALBUMID=9e8f2e3c-0000-4000-8000-000000000001",
        "-c", "REPLAYGAIN_TRACK_GAIN=-6.50 dB", "-c", "SOURCE_NOTE=first",
        "-c", "SOURCE_NOTE=second", "-o", path("rich.ogg"), wav)

    # AIFF text chunks and a WAV's bext chunk by FFmpeg.
    sine = ["ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i", "sine=d=0.3"]
    run(*sine, "-metadata", "title=Aiff Name", "-metadata", "author=Aiff Author",
        "-metadata", "copyright=2001 Aiff", "-metadata", "comment=Aiff note", path("chunks.aiff"))
    run(*sine, "-write_bext", "1", "-metadata", "description=Bext note",
        "-metadata", "origination_date=2001-05-06", path("bext.wav"))

    # MP3 by lame, ID3v2.4 by mutagen as other taggers write it.
    run("lame", "--silent", "-b", "128", wav, path("rich.mp3"))
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=3, text=[" Pädded Title "]))
    tag.add(id3.TPE1(encoding=3, text=["piman", "jzig"]))
    tag.add(id3.TCON(encoding=3, text=["Rock", "Synthwave"]))
    tag.add(id3.TRCK(encoding=3, text=["02"]))
    tag.add(id3.TDRC(encoding=3, text=["2001-05-06T12:34"]))
    tag.add(id3.TSRC(encoding=3, text=["USRC17607839"]))
    tag.add(id3.TBPM(encoding=3, text=["120"]))
    tag.add(id3.TPUB(encoding=3, text=["Some Label"]))
    tag.add(id3.TCOP(encoding=3, text=["2001 Someone"]))
    tag.add(id3.TXXX(encoding=3, desc="MusicBrainz Album Id",
                     text=["9e8f2e3c-0000-4000-8000-000000000001"]))
    tag.add(id3.TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text=["-6.50 dB"]))
    tag.add(id3.TXXX(encoding=3, desc="SOURCE_NOTE", text=["first", "second"]))
    tag.add(id3.APIC(encoding=3, mime="image/png", type=3, desc="front", data=front))
    tag.add(id3.APIC(encoding=3, mime="image/png", type=4, desc="back side", data=back))
    tag.save(path("rich.mp3"), v2_version=4)

    make_more(path, sine, front, back)


def text(value):
    return value.decode("utf-8") if isinstance(value, bytes) else str(value)


def asf_picture(blob):
    kind, size = blob[0], struct.unpack("<I", blob[1:5])[0]
    rest, strings = blob[5:], []
    for _ in range(2):
        end = rest.find(b"\0\0")
        while end % 2:
            end = rest.find(b"\0\0", end + 1)
        strings.append(rest[:end].decode("utf-16-le"))
        rest = rest[end + 2:]
    return kind, strings[1], rest[:size]


def dump(file_name):
    fields, pictures = {}, []
    picture = lambda kind, desc, data: pictures.append(
        {"type": kind, "desc": desc, "data": base64.b64encode(data).decode()})
    if file_name.endswith(".wma"):
        audio = asf.ASF(file_name)
        for key, values in audio.tags.items():
            if key == "WM/Picture":
                for value in values:
                    picture(*asf_picture(value.value))
            else:
                fields[key] = [str(v) for v in values]
    elif file_name.endswith(".m4a"):
        audio = mp4.MP4(file_name)
        for key, values in audio.tags.items():
            if key == "covr":
                for cover in values:
                    picture(None, "", bytes(cover))
                continue
            if key.startswith("----:com.apple.iTunes:"):
                key = key[len("----:com.apple.iTunes:"):]
            fields[key] = [text(v) if not isinstance(v, tuple) else "/".join(map(str, v))
                           for v in values]
    elif file_name.endswith((".ogg", ".opus", ".flac")):
        audio = {".ogg": oggvorbis.OggVorbis, ".opus": oggopus.OggOpus,
                 ".flac": flac.FLAC}[os.path.splitext(file_name)[1]](file_name)
        for key, values in audio.tags.items():
            key = key.upper()
            if key == "METADATA_BLOCK_PICTURE":
                for value in values:
                    image = flac.Picture(base64.b64decode(value))
                    picture(image.type, image.desc, image.data)
            else:
                fields.setdefault(key, []).extend(values)
        for image in getattr(audio, "pictures", []):
            picture(image.type, image.desc, image.data)
    else:
        audio = wave.WAVE(file_name) if file_name.endswith(".wav") else id3.ID3(file_name)
        tags = audio.tags if file_name.endswith(".wav") else audio
        for frame in tags.values():
            if frame.FrameID == "APIC":
                picture(int(frame.type), frame.desc, frame.data)
            elif frame.FrameID == "COMM":
                fields["COMM"] = [str(v) for v in frame.text]
            elif frame.FrameID == "TXXX":
                fields[frame.desc] = [str(v) for v in frame.text]
            elif hasattr(frame, "text") and frame.FrameID.startswith("T"):
                fields[frame.FrameID] = [str(v) for v in frame.text]
    print(json.dumps({"fields": fields, "pictures": pictures}))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        dump(sys.argv[2])
