<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>tunevale::AddFiles</name>
    <message>
        <source>All supported files</source>
        <translation>Alle unterstützten Dateien</translation>
    </message>
    <message>
        <source>Windows Media Audio files</source>
        <translation>Windows-Media-Audio-Dateien</translation>
    </message>
    <message>
        <source>MPEG Audio files</source>
        <translation>MPEG-Audio-Dateien</translation>
    </message>
    <message>
        <source>OGG Vorbis files</source>
        <translation>OGG-Vorbis-Dateien</translation>
    </message>
    <message>
        <source>Wave files</source>
        <translation>Wave-Dateien</translation>
    </message>
    <message>
        <source>Other audio</source>
        <translation>Andere Audiodateien</translation>
    </message>
    <message>
        <source>1 file was not added.</source>
        <translation>1 Datei wurde nicht hinzugefügt.</translation>
    </message>
    <message>
        <source>%1 files were not added.</source>
        <translation>%1 Dateien wurden nicht hinzugefügt.</translation>
    </message>
    <message>
        <source>Show Details names each file and why.</source>
        <translation>„Details einblenden“ nennt jede Datei und den Grund.</translation>
    </message>
    <message>
        <source>not audio</source>
        <translation>keine Audiodatei</translation>
    </message>
    <message>
        <source>%1 already in list</source>
        <translation>%1 ist bereits in der Liste</translation>
    </message>
    <message>
        <source>a folder (Add Folder lists its files)</source>
        <translation>ein Ordner („Ordner hinzufügen“ listet seine Dateien)</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <source>unsupported encoding</source>
        <translation>nicht unterstützte Kodierung</translation>
    </message>
</context>
<context>
    <name>tunevale::Artwork</name>
    <message>
        <source>Audio converter</source>
        <translation>Audio-Konverter</translation>
    </message>
</context>
<context>
    <name>tunevale::CommandBars</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation>&amp;Liste</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Invert Selection</source>
        <translation>Auswahl umkehren</translation>
    </message>
    <message>
        <source>Invert Selection   </source>
        <translation>Auswahl umkehren</translation>
    </message>
    <message>
        <source>Remove Selected Files</source>
        <translation>Ausgewählte Dateien entfernen</translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Sort By</source>
        <translation>Sortieren nach</translation>
    </message>
    <message>
        <source>Sort by %1</source>
        <translation>Nach %1 sortieren</translation>
    </message>
    <message>
        <source>&amp;Convert</source>
        <translation>&amp;Konvertieren</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
</context>
<context>
    <name>tunevale::FileListView</name>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Audio Format</source>
        <translation>Audioformat</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Columns</source>
        <translation>Spalten</translation>
    </message>
    <message>
        <source>File list</source>
        <translation>Dateiliste</translation>
    </message>
    <message>
        <source>The files to convert, one row per file</source>
        <translation>Die zu konvertierenden Dateien, eine Zeile je Datei</translation>
    </message>
    <message>
        <source>sorted by %1, ascending</source>
        <translation>sortiert nach %1, aufsteigend</translation>
    </message>
    <message>
        <source>sorted by %1, descending</source>
        <translation>sortiert nach %1, absteigend</translation>
    </message>
</context>
<context>
    <name>tunevale::FolderBrowser</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Can not read %1</source>
        <translation>%1 kann nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>tunevale::FormConvert</name>
    <message>
        <source>[Same as input path]</source>
        <translation>[Wie Quellpfad]</translation>
    </message>
    <message>
        <source>Output path</source>
        <translation>Zielpfad</translation>
    </message>
    <message>
        <source>Same as input path</source>
        <translation>Wie Quellpfad</translation>
    </message>
    <message>
        <source>Specify a path</source>
        <translation>Pfad angeben</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Convert to WMA</source>
        <translation>In WMA konvertieren</translation>
    </message>
    <message>
        <source>Config</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Try to get audio information (title, artist, album, year, etc.) from the source file and write them into the destination file.</source>
        <translation>Audio-Informationen (Titel, Interpret, Album, Jahr usw.) aus der Quelldatei lesen und in die Zieldatei schreiben.</translation>
    </message>
    <message>
        <source>Sound quality:</source>
        <translation>Klangqualität:</translation>
    </message>
    <message>
        <source>Conversion log</source>
        <translation>Konvertierungsprotokoll</translation>
    </message>
    <message>
        <source>One line for each file converted, skipped or failed</source>
        <translation>Eine Zeile für jede konvertierte, übersprungene oder fehlgeschlagene Datei</translation>
    </message>
    <message>
        <source>Click the &quot;Convert&quot; button to start converting.</source>
        <translation>Klicken Sie auf „Konvertieren“, um die Konvertierung zu starten.</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <translation>Konvertierungsfortschritt</translation>
    </message>
    <message>
        <source>Open Output Folder</source>
        <translation>Zielordner öffnen</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konvertieren</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source> (exists, skipped)</source>
        <translation> (vorhanden, übersprungen)</translation>
    </message>
    <message>
        <source>Please select the output folder.</source>
        <translation>Bitte wählen Sie den Zielordner.</translation>
    </message>
    <message>
        <source>Config %1</source>
        <translation>Einstellungen %1</translation>
    </message>
    <message>
        <source>Convert to %1</source>
        <translation>In %1 konvertieren</translation>
    </message>
    <message>
        <source> Converting, please wait...</source>
        <translation> Konvertierung läuft, bitte warten...</translation>
    </message>
</context>
<context>
    <name>tunevale::FormFLAC</name>
    <message>
        <source> FLAC Option</source>
        <translation> FLAC-Optionen</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>0 (fastest)</source>
        <translation>0 (am schnellsten)</translation>
    </message>
    <message>
        <source>8 (smallest)</source>
        <translation>8 (am kleinsten)</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>%1 Bit</source>
        <translation>%1 Bit</translation>
    </message>
    <message>
        <source>Verify</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Decode every frame again and compare</source>
        <translation>Jeden Frame erneut dekodieren und vergleichen</translation>
    </message>
    <message>
        <source>Compression Level:</source>
        <translation>Kompressionsstufe:</translation>
    </message>
    <message>
        <source>Frequency (Hz):</source>
        <translation>Frequenz (Hz):</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
    <message>
        <source>Bits Per Sample:</source>
        <translation>Bits pro Sample:</translation>
    </message>
</context>
<context>
    <name>tunevale::FormFlash</name>
    <message>
        <source>Version 4.0</source>
        <translation>Version 4.0</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 The Tunevale developers
Free software under the GNU GPL, version 3 or later</source>
        <translation>Copyright (C) 2026 Die Tunevale-Entwickler
Freie Software unter der GNU GPL, Version 3 oder neuer</translation>
    </message>
</context>
<context>
    <name>tunevale::FormFolder</name>
    <message>
        <source> Add Folder</source>
        <translation> Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <source>Search sub-folders</source>
        <translation>Unterordner durchsuchen</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>Filter:</source>
        <translation>Filter:</translation>
    </message>
    <message>
        <source>Skipped files:</source>
        <translation>Übersprungene Dateien:</translation>
    </message>
    <message>
        <source>Added 0 file</source>
        <translation>0 Dateien hinzugefügt</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Please select a folder.</source>
        <translation>Bitte wählen Sie einen Ordner.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Please select a folder</source>
        <translation>Bitte wählen Sie einen Ordner</translation>
    </message>
    <message>
        <source>Added %1 files</source>
        <translation>%1 Dateien hinzugefügt</translation>
    </message>
</context>
<context>
    <name>tunevale::FormM4A</name>
    <message>
        <source> M4A Option</source>
        <translation> M4A-Optionen</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Bitrate (Kbps):</source>
        <translation>Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Frequency (Hz):</source>
        <translation>Frequenz (Hz):</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
</context>
<context>
    <name>tunevale::FormMain</name>
    <message>
        <source>Please add file to the list.</source>
        <translation>Bitte fügen Sie der Liste Dateien hinzu.</translation>
    </message>
    <message>
        <source>Do you want to exit?</source>
        <translation>Möchten Sie das Programm beenden?</translation>
    </message>
    <message>
        <source>The help pages could not be opened.</source>
        <translation>Die Hilfeseiten konnten nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The help pages could not be opened: no program to show them was found.
They are in %1</source>
        <translation>Die Hilfeseiten konnten nicht geöffnet werden: Es wurde kein Programm gefunden, das sie anzeigen kann.
Sie liegen in %1</translation>
    </message>
</context>
<context>
    <name>tunevale::FormMp3</name>
    <message>
        <source> Mp3 Option</source>
        <translation> MP3-Optionen</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Presets</source>
        <translation>Voreinstellungen</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Joint Stereo</source>
        <translation>Joint Stereo</translation>
    </message>
    <message>
        <source>Forced Joint Stereo</source>
        <translation>Erzwungenes Joint Stereo</translation>
    </message>
    <message>
        <source>Dual Channels</source>
        <translation>Zweikanal</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Encoder Quality:</source>
        <translation>Encoder-Qualität:</translation>
    </message>
    <message>
        <source>Bitrate (Kbps):</source>
        <translation>Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Channels Mode</source>
        <translation>Kanalmodus</translation>
    </message>
    <message>
        <source>Sampling Frequency</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>No VBR</source>
        <translation>Kein VBR</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Old</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>VBR Option:</source>
        <translation>VBR-Verfahren:</translation>
    </message>
    <message>
        <source>VBR Quality:</source>
        <translation>VBR-Qualität:</translation>
    </message>
    <message>
        <source>Targed bitrate for ABR:</source>
        <translation>Ziel-Bitrate für ABR:</translation>
    </message>
    <message>
        <source>Minimum:</source>
        <translation>Minimum:</translation>
    </message>
    <message>
        <source>The bitrate on the General page is also the lowest a VBR file may use.</source>
        <translation>Die Bitrate auf der Seite „Allgemein“ ist zugleich die niedrigste, die eine VBR-Datei verwenden darf.</translation>
    </message>
    <message>
        <source>VBR Bitrate: (kbps)</source>
        <translation>VBR-Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Maximum VBR Bitrate</source>
        <translation>Maximale VBR-Bitrate</translation>
    </message>
    <message>
        <source>Strictly enforce minimum bitrate</source>
        <translation>Mindestbitrate strikt einhalten</translation>
    </message>
    <message>
        <source>Write VBR Header</source>
        <translation>VBR-Header schreiben</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Erweitert</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Telefon</translation>
    </message>
    <message>
        <source>Voice</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Radio</source>
        <translation>Radio</translation>
    </message>
    <message>
        <source>Tape</source>
        <translation>Kassette</translation>
    </message>
    <message>
        <source>Studio</source>
        <translation>Studio</translation>
    </message>
    <message>
        <source>%1 kbps, the bitrate on the General page</source>
        <translation>%1 kBit/s, die Bitrate auf der Seite „Allgemein“</translation>
    </message>
    <message>
        <source>%1 kbps (General page: %2 kbps)</source>
        <translation>%1 kBit/s (Seite „Allgemein“: %2 kBit/s)</translation>
    </message>
    <message>
        <source>
At the maximum: constant bitrate</source>
        <translation>
Am Maximum: konstante Bitrate</translation>
    </message>
    <message>
        <source>Incorrect format</source>
        <translation>Ungültiges Format</translation>
    </message>
</context>
<context>
    <name>tunevale::FormOGG</name>
    <message>
        <source> OGG Option</source>
        <translation> OGG-Optionen</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Quality Enabled</source>
        <translation>Qualität verwenden</translation>
    </message>
    <message>
        <source>VBR Enabled</source>
        <translation>VBR verwenden</translation>
    </message>
    <message>
        <source>Bitrate (Kbps):</source>
        <translation>Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Min Bitrate (Kbps):</source>
        <translation>Min. Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Max Bitrate (Kbps):</source>
        <translation>Max. Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Quality (Compression):</source>
        <translation>Qualität (Kompression):</translation>
    </message>
    <message>
        <source>Sampling Frequency</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Channels Mode</source>
        <translation>Kanalmodus</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Incorrect format</source>
        <translation>Ungültiges Format</translation>
    </message>
</context>
<context>
    <name>tunevale::FormOpus</name>
    <message>
        <source> Opus Option</source>
        <translation> Opus-Optionen</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Constrained VBR</source>
        <translation>Eingeschränktes VBR</translation>
    </message>
    <message>
        <source>0 (fastest)</source>
        <translation>0 (am schnellsten)</translation>
    </message>
    <message>
        <source>10 (best)</source>
        <translation>10 (am besten)</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Music</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>Speech</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Bitrate (Kbps):</source>
        <translation>Bitrate (kBit/s):</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>Modus:</translation>
    </message>
    <message>
        <source>Complexity:</source>
        <translation>Komplexität:</translation>
    </message>
    <message>
        <source>Tuning:</source>
        <translation>Abstimmung:</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
</context>
<context>
    <name>tunevale::FormPlay</name>
    <message>
        <source>Analog</source>
        <translation>Analog</translation>
    </message>
    <message>
        <source>Linear</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Fire</source>
        <translation>Feuer</translation>
    </message>
    <message>
        <source>Glass</source>
        <translation>Glas</translation>
    </message>
    <message>
        <source>Kryptonite</source>
        <translation>Kryptonit</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Stil</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Verstrichene Zeit</translation>
    </message>
    <message>
        <source>Total time</source>
        <translation>Gesamtdauer</translation>
    </message>
    <message>
        <source>Backward 0.5 seconds</source>
        <translation>0,5 Sekunden zurück</translation>
    </message>
    <message>
        <source>Total: %1</source>
        <translation>Gesamt: %1</translation>
    </message>
    <message>
        <source> Play - %1</source>
        <translation> Wiedergabe - %1</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
</context>
<context>
    <name>tunevale::FormWAV</name>
    <message>
        <source> WAV Option</source>
        <translation> WAV-Optionen</translation>
    </message>
    <message>
        <source>Frequency (Hz)</source>
        <translation>Frequenz (Hz)</translation>
    </message>
    <message>
        <source>Channels Mode</source>
        <translation>Kanalmodus</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Bits Per Sample</source>
        <translation>Bits pro Sample</translation>
    </message>
    <message>
        <source>8 Bit</source>
        <translation>8 Bit</translation>
    </message>
    <message>
        <source>16 Bit</source>
        <translation>16 Bit</translation>
    </message>
</context>
<context>
    <name>tunevale::FormWMA</name>
    <message>
        <source> WMA Option</source>
        <translation> WMA-Optionen</translation>
    </message>
    <message>
        <source>Presets:</source>
        <translation>Voreinstellungen:</translation>
    </message>
    <message>
        <source>Normal quality. Normal size.</source>
        <translation>Normale Qualität. Normale Größe.</translation>
    </message>
    <message>
        <source>Good quality. Small size.</source>
        <translation>Gute Qualität. Kleine Datei.</translation>
    </message>
    <message>
        <source>Poor quality. Very small size.</source>
        <translation>Geringe Qualität. Sehr kleine Datei.</translation>
    </message>
</context>
<context>
    <name>tunevale::FormWait</name>
    <message>
        <source> Please wait...</source>
        <translation> Bitte warten...</translation>
    </message>
    <message>
        <source>Reading files, please wait...</source>
        <translation>Dateien werden gelesen, bitte warten...</translation>
    </message>
</context>
<context>
    <name>tunevale::FormatCommands</name>
    <message>
        <source>Convert to %1</source>
        <translation>In %1 konvertieren</translation>
    </message>
</context>
<context>
    <name>tunevale::FormatDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>tunevale::LoudnessBox</name>
    <message>
        <source>Loudness</source>
        <translation>Lautheit</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Track gain</source>
        <translation>Titelverstärkung</translation>
    </message>
    <message>
        <source>Track and album gains</source>
        <translation>Titel- und Albumverstärkung</translation>
    </message>
    <message>
        <source>&amp;ReplayGain tags:</source>
        <translation>&amp;ReplayGain-Tags:</translation>
    </message>
    <message>
        <source>&amp;Normalise to</source>
        <translation>&amp;Normalisieren auf</translation>
    </message>
    <message>
        <source>Brings each output to the target loudness; each source is decoded twice.</source>
        <translation>Bringt jede Ausgabe auf die Ziellautheit; jede Quelle wird zweimal dekodiert.</translation>
    </message>
    <message>
        <source>Target loudness in LUFS</source>
        <translation>Ziellautheit in LUFS</translation>
    </message>
    <message>
        <source>LUFS, true peak at most</source>
        <translation>LUFS, True Peak höchstens</translation>
    </message>
    <message>
        <source>True-peak ceiling in dBTP</source>
        <translation>True-Peak-Obergrenze in dBTP</translation>
    </message>
</context>
<context>
    <name>tunevale::NamingBox</name>
    <message>
        <source>Names</source>
        <translation>Namen</translation>
    </message>
    <message>
        <source>Keep the folder tree</source>
        <translation>Ordnerstruktur beibehalten</translation>
    </message>
    <message>
        <source>Each output goes below the output folder in the folders its source had below the folder it was added from.</source>
        <translation>Jede Ausgabe landet unter dem Zielordner in den Ordnern, in denen ihre Quelle unter dem hinzugefügten Ordner lag.</translation>
    </message>
    <message>
        <source>Names for FAT, exFAT and NTFS drives</source>
        <translation>Namen für FAT-, exFAT- und NTFS-Laufwerke</translation>
    </message>
    <message>
        <source>the source&apos;s name, or e.g. %1</source>
        <translation>der Name der Quelle, oder z. B. %1</translation>
    </message>
    <message>
        <source>Fields: %1. {field|text} gives a text for a missing value; / makes folders.</source>
        <translation>Felder: %1. {feld|text} gibt einen Text für einen fehlenden Wert; / legt Ordner an.</translation>
    </message>
    <message>
        <source>Name &amp;pattern:</source>
        <translation>Namens&amp;muster:</translation>
    </message>
    <message>
        <source>Put &quot;New_&quot; in front</source>
        <translation>„New_“ voranstellen</translation>
    </message>
    <message>
        <source>Skip the file</source>
        <translation>Datei überspringen</translation>
    </message>
    <message>
        <source>Add a number: &quot;lena (2).mp3&quot;</source>
        <translation>Nummer anfügen: „lena (2).mp3“</translation>
    </message>
    <message>
        <source>If a name is &amp;taken:</source>
        <translation>Wenn ein Name &amp;vergeben ist:</translation>
    </message>
    <message>
        <source>Preview of the output names</source>
        <translation>Vorschau der Zielnamen</translation>
    </message>
    <message>
        <source>Preview:</source>
        <translation>Vorschau:</translation>
    </message>
</context>
<context>
    <name>tunevale::NumberChoice</name>
    <message>
        <source>As source</source>
        <translation>Wie Quelle</translation>
    </message>
</context>
<context>
    <name>tunevale::RunProgress</name>
    <message>
        <source>file %1 of %2, elapsed %3, remaining %4</source>
        <translation>Datei %1 von %2, vergangen %3, verbleibend %4</translation>
    </message>
</context>
<context>
    <name>tunevale::StartupOptions</name>
    <message>
        <source>Usage: tunevale [OPTION] [FILE...]
Lists the audio files named in the converter&apos;s window; files of a type it cannot
read are skipped.
Options:
  -h, --help       show this help and exit
  -v, --version    show the version and exit
      --lang LOCALE  speak LOCALE&apos;s language (such as de) instead of the desktop&apos;s
Qt&apos;s own options (-platform, -style ...) are accepted too. See tunevale(1).
</source>
        <translation>Aufruf: tunevale [OPTION] [DATEI...]
Listet die genannten Audiodateien im Fenster des Konverters auf; Dateien eines Typs,
den er nicht lesen kann, werden übersprungen.
Optionen:
  -h, --help       diese Hilfe zeigen und beenden
  -v, --version    die Version zeigen und beenden
      --lang LOCALE  die Sprache von LOCALE (etwa de) statt der des Desktops sprechen
Qts eigene Optionen (-platform, -style ...) werden ebenfalls angenommen. Siehe tunevale(1).
</translation>
    </message>
</context>
<context>
    <name>tunevale::Visualisation</name>
    <message>
        <source>Visualisation</source>
        <translation>Visualisierung</translation>
    </message>
    <message>
        <source>Two needle meters show the loudness of the left and right channels</source>
        <translation>Zwei Zeigerinstrumente zeigen die Lautstärke des linken und des rechten Kanals</translation>
    </message>
    <message>
        <source>An oscilloscope traces the wave of each channel</source>
        <translation>Ein Oszilloskop zeichnet die Schwingung jedes Kanals</translation>
    </message>
    <message>
        <source>Flames rise with the loudness of the sound</source>
        <translation>Flammen steigen mit der Lautstärke des Klangs</translation>
    </message>
    <message>
        <source>Bars on a mirroring floor show the level of each frequency band</source>
        <translation>Balken auf einem spiegelnden Boden zeigen den Pegel jedes Frequenzbands</translation>
    </message>
    <message>
        <source>Bars spreading from the middle show the level of each frequency band</source>
        <translation>Von der Mitte ausgehende Balken zeigen den Pegel jedes Frequenzbands</translation>
    </message>
    <message>
        <source>Bars show the level of each frequency band</source>
        <translation>Balken zeigen den Pegel jedes Frequenzbands</translation>
    </message>
</context>
<context>
    <name>tunevale::WmaProfiles</name>
    <message>
        <source>WMA %1 Kbps; %2 Hz; %3 (measured %4 Kbps)</source>
        <translation>WMA %1 kBit/s; %2 Hz; %3 (gemessen %4 kBit/s)</translation>
    </message>
</context>
</TS>
