<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Artwork</name>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>ABOUT</source>
        <translation>INFO</translation>
    </message>
    <message>
        <source>Solo</source>
        <translation>Solo</translation>
    </message>
    <message>
        <source>Conference</source>
        <translation>Konferenz</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>About Corvana</source>
        <translation>Über Corvana</translation>
    </message>
    <message>
        <source>Corvana icon</source>
        <translation>Corvana-Symbol</translation>
    </message>
    <message>
        <source>The program&apos;s icon.</source>
        <translation>Das Symbol des Programms.</translation>
    </message>
    <message>
        <source>Corvana Version</source>
        <translation>Corvana Version</translation>
    </message>
    <message>
        <source>The program&apos;s name.</source>
        <translation>Der Name des Programms.</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>The version of this Corvana.</source>
        <translation>Die Version dieses Corvana.</translation>
    </message>
    <message>
        <source>Copyright (C) Tessaly. All rights reserved.</source>
        <translation>Copyright (C) Tessaly. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Copyright</source>
        <translation>Copyright</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Closes this box.</source>
        <translation>Schließt dieses Fenster.</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>CCorvanaDlg</name>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Closes the window; Corvana keeps waiting for the special keys.</source>
        <translation>Schließt das Fenster; Corvana wartet weiter auf die Sondertasten.</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Plays the selected file, or shows the selected photo.</source>
        <translation>Spielt die gewählte Datei ab oder zeigt das gewählte Foto.</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Starts or stops recording in the current mode, or takes a photo.</source>
        <translation>Startet oder beendet die Aufnahme in der aktuellen Betriebsart oder nimmt ein Foto auf.</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Goes to the previous file.</source>
        <translation>Geht zur vorigen Datei.</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Goes to the next file.</source>
        <translation>Geht zur nächsten Datei.</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Stops playing or recording.</source>
        <translation>Beendet Wiedergabe oder Aufnahme.</translation>
    </message>
    <message>
        <source>Solo</source>
        <translation>Solo</translation>
    </message>
    <message>
        <source>Records one speaker with the microphone.</source>
        <translation>Nimmt einen Sprecher mit dem Mikrofon auf.</translation>
    </message>
    <message>
        <source>Conference</source>
        <translation>Konferenz</translation>
    </message>
    <message>
        <source>Records a meeting of several speakers.</source>
        <translation>Nimmt eine Besprechung mit mehreren Sprechern auf.</translation>
    </message>
    <message>
        <source>Video Record</source>
        <translation>Videoaufnahme</translation>
    </message>
    <message>
        <source>Records video from the camera.</source>
        <translation>Nimmt Video von der Kamera auf.</translation>
    </message>
    <message>
        <source>Photo Grab</source>
        <translation>Fotoaufnahme</translation>
    </message>
    <message>
        <source>Takes photos with the camera.</source>
        <translation>Nimmt Fotos mit der Kamera auf.</translation>
    </message>
    <message>
        <source>ABOUT</source>
        <translation>INFO</translation>
    </message>
    <message>
        <source>Shows the version and the copyright.</source>
        <translation>Zeigt die Version und das Copyright.</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>Lauter</translation>
    </message>
    <message>
        <source>Raises the speaker volume.</source>
        <translation>Erhöht die Lautstärke der Lautsprecher.</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Leiser</translation>
    </message>
    <message>
        <source>Lowers the speaker volume.</source>
        <translation>Verringert die Lautstärke der Lautsprecher.</translation>
    </message>
    <message>
        <source>Corvana</source>
        <translation>Corvana</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>The speaker volume, shown in eight steps.</source>
        <translation>Die Lautstärke der Lautsprecher, in acht Stufen angezeigt.</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>The camera&apos;s picture, or the photo being shown.</source>
        <translation>Das Bild der Kamera oder das angezeigte Foto.</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>The files of the current mode. A double click plays one, Delete removes it.</source>
        <translation>Die Dateien der aktuellen Betriebsart. Ein Doppelklick spielt eine ab, Entf löscht sie.</translation>
    </message>
    <message>
        <source>Error loading bitmap</source>
        <translation>Fehler beim Laden der Bitmap</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Corvana</source>
        <translation>Corvana</translation>
    </message>
</context>
<context>
    <name>CMediaListBox</name>
    <message>
        <source>Cancel the file?</source>
        <translation>Die Datei löschen?</translation>
    </message>
    <message>
        <source>This file is used by other application</source>
        <translation>Diese Datei wird von einem anderen Programm verwendet</translation>
    </message>
    <message>
        <source>Cannot delete %1.
%2.</source>
        <translation>%1 kann nicht gelöscht werden.
%2.</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>löschen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>CPicture</name>
    <message>
        <source>CPicture Error</source>
        <translation>CPicture-Fehler</translation>
    </message>
    <message>
        <source>Can not allocate enough memory	</source>
        <translation>Es kann nicht genug Speicher belegt werden	</translation>
    </message>
    <message>
        <source>IPicture interface is not supported	</source>
        <translation>Die Schnittstelle IPicture wird nicht unterstützt	</translation>
    </message>
    <message>
        <source>Cannot open %1.
%2.</source>
        <translation>%1 kann nicht geöffnet werden.
%2.</translation>
    </message>
    <message>
        <source>Cannot read %1.
%2.</source>
        <translation>%1 kann nicht gelesen werden.
%2.</translation>
    </message>
</context>
<context>
    <name>CPortalShortcutSource</name>
    <message>
        <source>Open Corvana and switch its mode; hold to close it</source>
        <translation>Corvana öffnen und den Modus wechseln; halten zum Schließen</translation>
    </message>
    <message>
        <source>Play or pause the selected recording; hold to close the player</source>
        <translation>Ausgewählte Aufnahme abspielen oder anhalten; halten schließt das Wiedergabeprogramm</translation>
    </message>
    <message>
        <source>Select the previous recording; hold to lower the volume</source>
        <translation>Vorherige Aufnahme wählen; halten macht leiser</translation>
    </message>
    <message>
        <source>Select the next recording; hold to raise the volume</source>
        <translation>Nächste Aufnahme wählen; halten macht lauter</translation>
    </message>
    <message>
        <source>Start or stop recording</source>
        <translation>Aufnahme starten oder beenden</translation>
    </message>
</context>
<context>
    <name>CPreviewArea</name>
    <message>
        <source>Recording, %1 recorded.</source>
        <translation>Aufnahme läuft, %1 aufgenommen.</translation>
    </message>
</context>
<context>
    <name>CRecordingControl</name>
    <message>
        <source> What was recorded until then is kept in %1.</source>
        <translation> Was bis dahin aufgenommen wurde, ist in %1 erhalten.</translation>
    </message>
    <message>
        <source>No microphone was found. Connect a microphone and press Record again.</source>
        <translation>Es wurde kein Mikrofon gefunden. Schließen Sie ein Mikrofon an und drücken Sie erneut Aufnahme.</translation>
    </message>
    <message>
        <source>No camera was found. Connect a webcam and choose the mode again.</source>
        <translation>Es wurde keine Kamera gefunden. Schließen Sie eine Webcam an und wählen Sie die Betriebsart erneut.</translation>
    </message>
    <message>
        <source>A codec needed for recording is missing.</source>
        <translation>Ein für die Aufnahme nötiger Codec fehlt.</translation>
    </message>
    <message>
        <source>A codec needed for recording is missing. Install the Debian package %1.</source>
        <translation>Ein für die Aufnahme nötiger Codec fehlt. Installieren Sie das Debian-Paket %1.</translation>
    </message>
    <message>
        <source>The folder %1 cannot be written to, so nothing could be recorded.</source>
        <translation>In den Ordner %1 kann nicht geschrieben werden, daher konnte nichts aufgenommen werden.</translation>
    </message>
    <message>
        <source>The recording stopped because the disk is full.</source>
        <translation>Die Aufnahme wurde beendet, weil der Datenträger voll ist.</translation>
    </message>
    <message>
        <source>The disk is full, so nothing could be recorded.</source>
        <translation>Der Datenträger ist voll, daher konnte nichts aufgenommen werden.</translation>
    </message>
    <message>
        <source>The recording stopped because its file could not be written.</source>
        <translation>Die Aufnahme wurde beendet, weil ihre Datei nicht geschrieben werden konnte.</translation>
    </message>
    <message>
        <source>The file could not be written, so nothing could be recorded.</source>
        <translation>Die Datei konnte nicht geschrieben werden, daher konnte nichts aufgenommen werden.</translation>
    </message>
    <message>
        <source>The microphone is in use by another program, or access to it was refused.</source>
        <translation>Das Mikrofon wird von einem anderen Programm verwendet, oder der Zugriff darauf wurde verweigert.</translation>
    </message>
    <message>
        <source>The camera is in use by another program, or access to it was refused. Close the other program and choose the mode again.</source>
        <translation>Die Kamera wird von einem anderen Programm verwendet, oder der Zugriff darauf wurde verweigert. Schließen Sie das andere Programm und wählen Sie die Betriebsart erneut.</translation>
    </message>
    <message>
        <source>The recording stopped because the microphone stopped working.</source>
        <translation>Die Aufnahme wurde beendet, weil das Mikrofon nicht mehr arbeitet.</translation>
    </message>
    <message>
        <source>The recording stopped because the camera stopped working.</source>
        <translation>Die Aufnahme wurde beendet, weil die Kamera nicht mehr arbeitet.</translation>
    </message>
    <message>
        <source>The camera stopped working. Connect it again and choose the mode again.</source>
        <translation>Die Kamera arbeitet nicht mehr. Schließen Sie sie erneut an und wählen Sie die Betriebsart erneut.</translation>
    </message>
    <message>
        <source>The photo could not be taken.</source>
        <translation>Das Foto konnte nicht aufgenommen werden.</translation>
    </message>
    <message>
        <source>The recording stopped because of an error.</source>
        <translation>Die Aufnahme wurde wegen eines Fehlers beendet.</translation>
    </message>
    <message>
        <source>The recording could not be started.</source>
        <translation>Die Aufnahme konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The photo could not be saved.</source>
        <translation>Das Foto konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>Der Datenträger ist voll.</translation>
    </message>
</context>
<context>
    <name>CVolumeIndicator</name>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>Capture</name>
    <message>
        <source>No video capture device was detected.</source>
        <translation>Es wurde kein Videoaufnahmegerät erkannt.</translation>
    </message>
    <message>
        <source>No Audio capture device was detected.</source>
        <translation>Es wurde kein Audioaufnahmegerät erkannt.</translation>
    </message>
    <message>
        <source>The GStreamer element %1 needed for capture is missing.</source>
        <translation>Das für die Aufnahme nötige GStreamer-Element %1 fehlt.</translation>
    </message>
    <message>
        <source>The GStreamer elements %1 needed for capture are missing.</source>
        <translation>Die für die Aufnahme nötigen GStreamer-Elemente %1 fehlen.</translation>
    </message>
    <message>
        <source> Install the Debian package %1.</source>
        <translation> Installieren Sie das Debian-Paket %1.</translation>
    </message>
    <message>
        <source> Install the Debian packages %1.</source>
        <translation> Installieren Sie die Debian-Pakete %1.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: corvana [Close]
       corvana --help | --version

Corvana records sound, webcam video and photos, driven by the notebook&apos;s special keys.

  (no argument)  start the resident program; if it already runs, open its window
  Close          end the running instance and wait until it has ended
  -h, --help     print this help and exit
  --version      print the version and exit

Folders, settings files and environment variables: see corvana(1).
</source>
        <translation>Aufruf: corvana [Close]
       corvana --help | --version

Corvana nimmt Ton, Webcam-Video und Fotos auf, gesteuert über die Sondertasten des Notebooks.

  (ohne Argument)  das residente Programm starten; läuft es schon, sein Fenster öffnen
  Close            die laufende Instanz beenden und warten, bis sie beendet ist
  -h, --help       diese Hilfe ausgeben und beenden
  --version        die Version ausgeben und beenden

Ordner, Einstellungsdateien und Umgebungsvariablen: siehe corvana(1).
</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>Corvana</source>
        <translation>Corvana</translation>
    </message>
</context>
</TS>
