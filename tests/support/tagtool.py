#!/usr/bin/python3
"""Tagged sources made by other programs, and an independent reader of the outputs.

make FOLDER  writes one short tagged file per source kind into FOLDER (and cover.png).
dump FILE    prints the tags of an MP3, WMA, OGG Vorbis, WAV, FLAC, Opus or M4A file as JSON,
             read by mutagen.
"""
import base64
import json
import os
import shutil
import struct
import subprocess
import sys
import zlib

import mutagen
from mutagen import apev2, asf, dsf, flac, id3, mp4, oggflac, oggopus, oggvorbis, wave, aiff

TAGS = {
    "title": "Ünder the Sky",
    "artist": "The Testers",
    "album": "Signals",
    "albumartist": "Various Ö",
    "composer": "Someone Else",
    "date": "2001-05-06",
    "genre": "Synthwave",
    "track": "3",
    "tracktotal": "12",
    "disc": "1",
    "disctotal": "2",
    "comment": "made by another program",
    "lyrics": "la la la\nla",
}

# Values with a NUL inside, which formats that store lengths keep whole.
NUL_TAGS = {
    "title": "Ünder\0the Sky",
    "artist": "The\0Testers",
    "album": "Sig\0nals",
    "albumartist": "Various\0Ö",
    "composer": "Someone\0Else",
    "comment": "made by\0another program",
    "lyrics": "la la\0la",
}


def cover_png():
    """A tiny valid PNG, 2x2 pixels."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"\x00\xff\x00\x00\x00\x00\xff\x00" + b"\x00\x00\x00\xff\xff\xff\xff\x00"
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def ffmpeg(output, *codec, metadata=()):
    arguments = ["ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
                 "sine=frequency=440:sample_rate=44100:duration=0.5", "-ac", "2"]
    for key, value in metadata:
        arguments += ["-metadata", f"{key}={value}"]
    run(*arguments, *codec, output)


def id3_frames(tag, picture, lyrics=True):
    t = TAGS
    tag.add(id3.TIT2(encoding=3, text=t["title"]))
    tag.add(id3.TPE1(encoding=3, text=t["artist"]))
    tag.add(id3.TALB(encoding=3, text=t["album"]))
    tag.add(id3.TPE2(encoding=3, text=t["albumartist"]))
    tag.add(id3.TCOM(encoding=3, text=t["composer"]))
    tag.add(id3.TDRC(encoding=3, text=t["date"]))
    tag.add(id3.TCON(encoding=3, text=t["genre"]))
    tag.add(id3.TRCK(encoding=3, text=f"{t['track']}/{t['tracktotal']}"))
    tag.add(id3.TPOS(encoding=3, text=f"{t['disc']}/{t['disctotal']}"))
    tag.add(id3.COMM(encoding=3, lang="eng", desc="", text=t["comment"]))
    if lyrics:
        tag.add(id3.USLT(encoding=3, lang="eng", desc="", text=t["lyrics"]))
    tag.add(id3.APIC(encoding=3, mime="image/png", type=3, desc="front", data=picture))


def vorbis_fields(tag, picture):
    t = TAGS
    for key, value in (("TITLE", t["title"]), ("ARTIST", t["artist"]), ("ALBUM", t["album"]),
                       ("ALBUMARTIST", t["albumartist"]), ("COMPOSER", t["composer"]),
                       ("DATE", t["date"]), ("GENRE", t["genre"]), ("TRACKNUMBER", t["track"]),
                       ("TRACKTOTAL", t["tracktotal"]), ("DISCNUMBER", t["disc"]),
                       ("DISCTOTAL", t["disctotal"]), ("COMMENT", t["comment"]),
                       ("LYRICS", t["lyrics"])):
        tag[key] = [value]
    if picture is not None:
        image = flac.Picture()
        image.type = 3
        image.mime = "image/png"
        image.desc = "front"
        image.data = picture
        tag["METADATA_BLOCK_PICTURE"] = [base64.b64encode(image.write()).decode("ascii")]


def id3v22_tag():
    """ID3v2.2, which mutagen cannot write: built by hand."""
    def frame(kind, text):
        data = b"\x01" + text.encode("utf-16")
        return kind + len(data).to_bytes(3, "big") + data
    t = TAGS
    frames = (frame(b"TT2", t["title"]) + frame(b"TP1", t["artist"]) + frame(b"TAL", t["album"])
              + frame(b"TP2", t["albumartist"]) + frame(b"TCM", t["composer"])
              + frame(b"TYE", t["date"][:4]) + frame(b"TCO", t["genre"])
              + frame(b"TRK", f"{t['track']}/{t['tracktotal']}")
              + frame(b"TPA", f"{t['disc']}/{t['disctotal']}"))
    size = len(frames)
    synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x02\x00\x00" + synchsafe + frames


def write_dsf(file_name):
    """A DSD64 stereo DSF of silence with no tag; no program here writes one."""
    channels, block, blocks = 2, 4096, 9
    data = b"\x69" * (block * channels * blocks)  # the DSD idle pattern
    fmt = b"fmt " + struct.pack("<QIIIIIIQI4x", 52, 1, 0, 2, channels, 2822400, 1,
                                block * 8 * blocks, block)
    chunk = b"data" + struct.pack("<Q", 12 + len(data)) + data
    with open(file_name, "wb") as out:
        out.write(b"DSD " + struct.pack("<QQQ", 28, 28 + len(fmt) + len(chunk), 0))
        out.write(fmt + chunk)


def make(folder):
    picture = cover_png()
    with open(os.path.join(folder, "cover.png"), "wb") as out:
        out.write(picture)
    path = lambda name: os.path.join(folder, name)
    t = TAGS
    wav = path("plain.wav")
    run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "0.5", "sine", "440")

    # MP3: ID3v2.4 and 2.3 by mutagen, 2.2 by hand, ID3v1 alone and APE by lame and mutagen.
    run("lame", "--silent", "-b", "128", wav, path("id3v24.mp3"))
    tag = id3.ID3()
    id3_frames(tag, picture)
    tag.save(path("id3v24.mp3"), v2_version=4)
    ffmpeg(path("id3v23.mp3"), "-c:a", "libmp3lame", "-id3v2_version", "3", metadata=(
        ("title", t["title"]), ("artist", t["artist"]), ("album", t["album"]),
        ("album_artist", t["albumartist"]), ("composer", t["composer"]), ("date", t["date"]),
        ("genre", t["genre"]), ("track", f"{t['track']}/{t['tracktotal']}"),
        ("disc", f"{t['disc']}/{t['disctotal']}"), ("comment", t["comment"])))
    tag = id3.ID3(path("id3v23.mp3"))
    tag.add(id3.USLT(encoding=1, lang="eng", desc="", text=t["lyrics"]))
    tag.add(id3.APIC(encoding=1, mime="image/png", type=3, desc="front", data=picture))
    tag.save(v2_version=3)
    run("lame", "--silent", "-b", "128", wav, path("bare.mp3"))
    with open(path("bare.mp3"), "rb") as source, open(path("id3v22.mp3"), "wb") as out:
        out.write(id3v22_tag() + source.read())
    run("lame", "--silent", "-b", "128", "--id3v1-only", "--tt", "Plain Title", "--ta",
        t["artist"], "--tl", t["album"], "--ty", "2001", "--tc", t["comment"], "--tn", "3",
        "--tg", "Rock", wav, path("id3v1.mp3"))
    run("lame", "--silent", "-b", "128", wav, path("ape.mp3"))
    ffmpeg(path("tagged.wv"), "-c:a", "wavpack")
    for name in ("ape.mp3", "tagged.wv"):
        ape = apev2.APEv2()
        for key, value in (("Title", t["title"]), ("Artist", t["artist"]),
                           ("Album", t["album"]), ("Album Artist", t["albumartist"]),
                           ("Composer", t["composer"]), ("Year", t["date"]),
                           ("Genre", t["genre"]), ("Track", f"{t['track']}/{t['tracktotal']}"),
                           ("Disc", f"{t['disc']}/{t['disctotal']}"),
                           ("Comment", t["comment"]), ("Lyrics", t["lyrics"])):
            ape[key] = value
        ape["Cover Art (Front)"] = apev2.APEValue(b"cover.png\0" + picture, apev2.BINARY)
        ape.save(path(name))

    # WMA as FFmpeg writes it: the year as "date", the comment as "Description".
    ffmpeg(path("ffmpeg.wma"), "-c:a", "wmav2", "-b:a", "64k", metadata=(
        ("title", t["title"]), ("artist", t["artist"]), ("album", t["album"]),
        ("album_artist", t["albumartist"]), ("composer", t["composer"]), ("date", t["date"]),
        ("genre", t["genre"]), ("track", t["track"]), ("disc", f"{t['disc']}/{t['disctotal']}"),
        ("comment", t["comment"])))
    wma = asf.ASF(path("ffmpeg.wma"))
    wma["WM/Lyrics"] = [t["lyrics"]]
    wma["WM/Picture"] = [asf.ASFByteArrayAttribute(
        b"\x03" + struct.pack("<I", len(picture)) + "image/png\0".encode("utf-16-le")
        + "front\0".encode("utf-16-le") + picture)]
    wma.save()

    # Ogg Vorbis by oggenc, the picture by mutagen.
    run("oggenc", "-Q", "-t", t["title"], "-a", t["artist"], "-l", t["album"], "-d", t["date"],
        "-G", t["genre"], "-N", t["track"], "-c", f"ALBUMARTIST={t['albumartist']}",
        "-c", f"COMPOSER={t['composer']}", "-c", f"TRACKTOTAL={t['tracktotal']}",
        "-c", f"DISCNUMBER={t['disc']}", "-c", f"DISCTOTAL={t['disctotal']}",
        "-c", f"COMMENT={t['comment']}", "-c", f"LYRICS={t['lyrics']}", "-o", path("oggenc.ogg"),
        wav)
    vorbis = oggvorbis.OggVorbis(path("oggenc.ogg"))
    vorbis_fields(vorbis, picture)
    vorbis.save()

    # WAV: RIFF INFO by FFmpeg; an ID3 chunk by mutagen.
    ffmpeg(path("info.wav"), "-c:a", "pcm_s16le", metadata=(
        ("title", t["title"]), ("artist", t["artist"]), ("date", t["date"]),
        ("genre", t["genre"]), ("comment", t["comment"])))
    run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path("id3chunk.wav"), "synth", "0.5",
        "sine", "440")
    chunk = wave.WAVE(path("id3chunk.wav"))
    chunk.add_tags()
    id3_frames(chunk.tags, picture)
    chunk.save()

    # The other inputs, tagged by mutagen in each format's own way.
    ffmpeg(path("tagged.flac"), "-c:a", "flac")
    native = flac.FLAC(path("tagged.flac"))
    vorbis_fields(native, None)
    image = flac.Picture()
    image.type, image.mime, image.desc, image.data = 3, "image/png", "front", picture
    native.add_picture(image)
    native.save()
    for name, codec, kind in (("tagged.opus", ("-c:a", "libopus"), oggopus.OggOpus),
                              ("tagged.oga", ("-c:a", "flac"), oggflac.OggFLAC)):
        ffmpeg(path(name), *codec)
        ogg = kind(path(name))
        vorbis_fields(ogg, picture)
        ogg.save()
    for name, codec in (("aac.m4a", ("-c:a", "aac")), ("alac.m4a", ("-c:a", "alac"))):
        ffmpeg(path(name), *codec)
        box = mp4.MP4(path(name))
        box["\xa9nam"], box["\xa9ART"], box["\xa9alb"] = t["title"], t["artist"], t["album"]
        box["aART"], box["\xa9wrt"], box["\xa9day"] = t["albumartist"], t["composer"], t["date"]
        box["\xa9gen"], box["\xa9cmt"], box["\xa9lyr"] = t["genre"], t["comment"], t["lyrics"]
        box["trkn"] = [(int(t["track"]), int(t["tracktotal"]))]
        box["disk"] = [(int(t["disc"]), int(t["disctotal"]))]
        box["covr"] = [mp4.MP4Cover(picture, imageformat=mp4.MP4Cover.FORMAT_PNG)]
        box.save()
    ffmpeg(path("tagged.aiff"), "-c:a", "pcm_s16be")
    iff = aiff.AIFF(path("tagged.aiff"))
    iff.add_tags()
    id3_frames(iff.tags, picture)
    iff.save()
    write_dsf(path("tagged.dsf"))
    dsd = dsf.DSF(path("tagged.dsf"))
    dsd.add_tags()
    id3_frames(dsd.tags, picture)
    dsd.save()
    for name, codec in (("tagged.webm", ("-c:a", "libopus")), ("tagged.mka", ("-c:a", "flac"))):
        ffmpeg(path(name), *codec, metadata=(
            ("title", t["title"]), ("artist", t["artist"]), ("album", t["album"]),
            ("album_artist", t["albumartist"]), ("composer", t["composer"]),
            ("date", t["date"]), ("genre", t["genre"]), ("comment", t["comment"])))

    # NULs inside values, in every object each format keeps them in: Vorbis comments in Ogg
    # Vorbis, Opus, Ogg FLAC and FLAC; in WMA the content description (title, author,
    # description), the extended content description, the metadata and the metadata library.
    n = NUL_TAGS
    for name, codec, kind in (("nul.ogg", ("-c:a", "libvorbis"), oggvorbis.OggVorbis),
                              ("nul.opus", ("-c:a", "libopus"), oggopus.OggOpus),
                              ("nul.oga", ("-c:a", "flac"), oggflac.OggFLAC),
                              ("nul.flac", ("-c:a", "flac"), flac.FLAC)):
        ffmpeg(path(name), *codec)
        tag = kind(path(name))
        for field, value in n.items():
            tag[field.upper()] = [value]
        tag.save()
    ffmpeg(path("nul.wma"), "-c:a", "wmav2", "-b:a", "64k")
    wma = asf.ASF(path("nul.wma"))
    wma["Title"], wma["Author"], wma["Description"] = n["title"], n["artist"], n["comment"]
    wma["WM/AlbumTitle"], wma["WM/AlbumArtist"] = n["album"], n["albumartist"]
    wma["WM/Composer"] = [asf.ASFUnicodeAttribute(n["composer"], stream=0)]
    wma["WM/Lyrics"] = [asf.ASFUnicodeAttribute(n["lyrics"], language=0)]
    wma.save()

    # Fields beyond the carried ones, which no output keeps.
    shutil.copyfile(path("id3v24.mp3"), path("extras.mp3"))
    tag = id3.ID3(path("extras.mp3"))
    for frame in (id3.TSRC(encoding=3, text="USX9P0100001"), id3.TBPM(encoding=3, text="120"),
                  id3.TPUB(encoding=3, text="A Label"), id3.TXXX(encoding=3, desc="Mood",
                                                                 text="calm"),
                  id3.TSSE(encoding=3, text="LAME 3.100"),
                  id3.COMM(encoding=3, lang="eng", desc="iTunNORM", text=" 00000A2B"),
                  id3.COMM(encoding=3, lang="eng", desc="Other", text="a second comment"),
                  id3.APIC(encoding=3, mime="image/png", type=4, desc="back", data=picture)):
        tag.add(frame)
    tag.save(v2_version=4)
    ffmpeg(path("extras.flac"), "-c:a", "flac")
    native = flac.FLAC(path("extras.flac"))
    vorbis_fields(native, None)
    native.update({"ISRC": ["USX9P0100001"], "BPM": ["120"], "PUBLISHER": ["A Label"]})
    native.save()
    ffmpeg(path("extras.wma"), "-c:a", "wmav2", "-b:a", "64k", metadata=(
        ("title", t["title"]), ("track", t["track"]), ("ISRC", "USX9P0100001"),
        ("Mood", "calm")))

    # Disguised: an MP3 named .wav, an Ogg Opus named .ogg.
    with open(path("id3v23.mp3"), "rb") as source, open(path("mp3named.wav"), "wb") as out:
        out.write(source.read())
    with open(path("tagged.opus"), "rb") as source, open(path("opusnamed.ogg"), "wb") as out:
        out.write(source.read())


def first(values):
    return str(values[0]) if values else ""


def dump(file_name):
    audio = mutagen.File(file_name)
    result = {}
    if isinstance(audio, asf.ASF):
        get = lambda key: first([str(v) for v in audio.get(key, [])])
        for field, key in (("title", "Title"), ("artist", "Author"), ("album", "WM/AlbumTitle"),
                           ("albumartist", "WM/AlbumArtist"), ("composer", "WM/Composer"),
                           ("date", "WM/Year"), ("genre", "WM/Genre"), ("comment", "Description"),
                           ("lyrics", "WM/Lyrics")):
            result[field] = get(key)
        result["track"] = get("WM/TrackNumber")
        disc = get("WM/PartOfSet").split("/")
        result["disc"], result["disctotal"] = disc[0], disc[1] if len(disc) > 1 else ""
        for value in audio.get("WM/Picture", []):
            blob = value.value
            size = struct.unpack("<I", blob[1:5])[0]
            rest = blob[5:]
            mime_end = rest.find(b"\0\0", 0)
            while mime_end % 2:
                mime_end = rest.find(b"\0\0", mime_end + 1)
            mime = rest[:mime_end].decode("utf-16-le")
            rest = rest[mime_end + 2:]
            desc_end = rest.find(b"\0\0")
            while desc_end % 2:
                desc_end = rest.find(b"\0\0", desc_end + 1)
            result["picture"] = base64.b64encode(rest[desc_end + 2:desc_end + 2 + size]).decode()
            result["picturemime"] = mime
            break
    elif isinstance(audio, mp4.MP4):
        get = lambda key: first(audio.get(key, []))
        for field, key in (("title", "\xa9nam"), ("artist", "\xa9ART"), ("album", "\xa9alb"),
                           ("albumartist", "aART"), ("composer", "\xa9wrt"), ("date", "\xa9day"),
                           ("genre", "\xa9gen"), ("comment", "\xa9cmt"), ("lyrics", "\xa9lyr")):
            result[field] = get(key)
        for field, key in (("track", "trkn"), ("disc", "disk")):
            number, total = audio[key][0] if key in audio else (0, 0)
            result[field] = str(number) if number else ""
            result[field + "total"] = str(total) if total else ""
        for cover in audio.get("covr", []):
            result["picture"] = base64.b64encode(bytes(cover)).decode()
            result["picturemime"] = {mp4.MP4Cover.FORMAT_PNG: "image/png",
                                     mp4.MP4Cover.FORMAT_JPEG: "image/jpeg"}.get(
                                         cover.imageformat, "")
            break
        smpb = audio.get("----:com.apple.iTunes:iTunSMPB", [])
        result["itunsmpb"] = bytes(smpb[0]).decode() if smpb else ""
    elif isinstance(audio, (oggvorbis.OggVorbis, oggopus.OggOpus, flac.FLAC)):
        get = lambda key: first(audio.get(key, []))
        for field in ("title", "artist", "album", "albumartist", "composer", "date", "genre",
                      "comment", "lyrics", "tracktotal", "disctotal"):
            result[field] = get(field.upper())
        result["track"], result["disc"] = get("TRACKNUMBER"), get("DISCNUMBER")
        # FLAC keeps pictures in blocks of their own, the Ogg formats in a comment.
        pictures = audio.pictures if isinstance(audio, flac.FLAC) else [
            flac.Picture(base64.b64decode(value))
            for value in audio.get("METADATA_BLOCK_PICTURE", [])]
        for image in pictures:
            result["picture"] = base64.b64encode(image.data).decode()
            result["picturemime"] = image.mime
            result["picturetype"] = image.type
            break
    else:
        tags = audio.tags  # ID3, in an MP3 or in a WAV's chunk
        # ID3v2 separates values with NULs: join them back to compare whole values.
        get = lambda key: "\0".join(str(v) for v in tags.getall(key)[0].text) \
            if tags.getall(key) else ""
        for field, key in (("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"),
                           ("albumartist", "TPE2"), ("composer", "TCOM"), ("date", "TDRC")):
            result[field] = get(key)
        result["genre"] = first(tags.getall("TCON")[0].genres) if tags.getall("TCON") else ""
        for field, key in (("track", "TRCK"), ("disc", "TPOS")):
            parts = get(key).split("/")
            result[field] = parts[0]
            result[field + "total"] = parts[1] if len(parts) > 1 else ""
        result["comment"] = first(tags.getall("COMM")[0].text) if tags.getall("COMM") else ""
        result["lyrics"] = tags.getall("USLT")[0].text if tags.getall("USLT") else ""
        pictures = tags.getall("APIC")
        if pictures:
            result["picture"] = base64.b64encode(pictures[0].data).decode()
            result["picturemime"] = pictures[0].mime
    print(json.dumps(result))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        dump(sys.argv[2])
