<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AboutDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;System Info...</source>
        <translation>&amp;Systeminformationen...</translation>
    </message>
</context>
<context>
    <name>MainWindowView</name>
    <message>
        <source>Move the selected file up</source>
        <translation>Gewählte Datei nach oben</translation>
    </message>
    <message>
        <source>Move the selected file down</source>
        <translation>Gewählte Datei nach unten</translation>
    </message>
    <message>
        <source>Remove the selected file</source>
        <translation>Gewählte Datei entfernen</translation>
    </message>
    <message>
        <source>Input files</source>
        <translation>Eingabedateien</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Choose the output file</source>
        <translation>Ausgabedatei wählen</translation>
    </message>
    <message>
        <source>Build the PDF</source>
        <translation>PDF erstellen</translation>
    </message>
    <message>
        <source>Open  </source>
        <translation>Öffnen  </translation>
    </message>
    <message>
        <source>Open a saved settings file</source>
        <translation>Gespeicherte Einstellungsdatei öffnen</translation>
    </message>
    <message>
        <source>Save  </source>
        <translation>Speichern  </translation>
    </message>
    <message>
        <source>Save the current settings</source>
        <translation>Aktuelle Einstellungen speichern</translation>
    </message>
    <message>
        <source>Add    </source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add a PDF or image to the file list</source>
        <translation>PDF oder Bild zur Dateiliste hinzufügen</translation>
    </message>
    <message>
        <source>Merge  </source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Merge the input PDFs/images</source>
        <translation>Eingabe-PDFs/-Bilder aneinanderfügen</translation>
    </message>
    <message>
        <source>Overlay</source>
        <translation>Überlagern</translation>
    </message>
    <message>
        <source>Overlay the input PDFs/images</source>
        <translation>Eingabe-PDFs/-Bilder überlagern</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Overlay and repeat the input PDFs/images</source>
        <translation>Eingabe-PDFs/-Bilder überlagern und wiederholen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Settings dialog</source>
        <translation>Einstellungsdialog</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Open the folder of the last output</source>
        <translation>Den Ordner der letzten Ausgabe öffnen</translation>
    </message>
</context>
<context>
    <name>TabAttachments</name>
    <message>
        <source>Choose file 1</source>
        <translation>Datei 1 wählen</translation>
    </message>
    <message>
        <source>Description of file 1</source>
        <translation>Beschreibung von Datei 1</translation>
    </message>
    <message>
        <source>Open file 1</source>
        <translation>Datei 1 öffnen</translation>
    </message>
    <message>
        <source>Choose file 2</source>
        <translation>Datei 2 wählen</translation>
    </message>
    <message>
        <source>Description of file 2</source>
        <translation>Beschreibung von Datei 2</translation>
    </message>
    <message>
        <source>Open file 2</source>
        <translation>Datei 2 öffnen</translation>
    </message>
    <message>
        <source>Choose file 3</source>
        <translation>Datei 3 wählen</translation>
    </message>
    <message>
        <source>Description of file 3</source>
        <translation>Beschreibung von Datei 3</translation>
    </message>
    <message>
        <source>Open file 3</source>
        <translation>Datei 3 öffnen</translation>
    </message>
    <message>
        <source>Choose file 4</source>
        <translation>Datei 4 wählen</translation>
    </message>
    <message>
        <source>Description of file 4</source>
        <translation>Beschreibung von Datei 4</translation>
    </message>
    <message>
        <source>Open file 4</source>
        <translation>Datei 4 öffnen</translation>
    </message>
    <message>
        <source>Choose file 5</source>
        <translation>Datei 5 wählen</translation>
    </message>
    <message>
        <source>Description of file 5</source>
        <translation>Beschreibung von Datei 5</translation>
    </message>
    <message>
        <source>Open file 5</source>
        <translation>Datei 5 öffnen</translation>
    </message>
</context>
<context>
    <name>TabBookmarks</name>
    <message>
        <source>Move the selected bookmark up</source>
        <translation>Gewähltes Lesezeichen nach oben</translation>
    </message>
    <message>
        <source>Move the selected bookmark one level out</source>
        <translation>Gewähltes Lesezeichen eine Ebene höher</translation>
    </message>
    <message>
        <source>Move the selected bookmark one level in, under the one above</source>
        <translation>Gewähltes Lesezeichen eine Ebene tiefer, unter das obere</translation>
    </message>
    <message>
        <source>Move the selected bookmark down</source>
        <translation>Gewähltes Lesezeichen nach unten</translation>
    </message>
    <message>
        <source>Delete the selected bookmark</source>
        <translation>Gewähltes Lesezeichen löschen</translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation>Lesezeichen</translation>
    </message>
</context>
<context>
    <name>TabDescription</name>
    <message>
        <source>Name 1</source>
        <translation>Name 1</translation>
    </message>
    <message>
        <source>Value 1</source>
        <translation>Wert 1</translation>
    </message>
    <message>
        <source>Name 2</source>
        <translation>Name 2</translation>
    </message>
    <message>
        <source>Value 2</source>
        <translation>Wert 2</translation>
    </message>
</context>
<context>
    <name>TabOverlay</name>
    <message>
        <source>Transparency slider</source>
        <translation>Transparenz-Schieberegler</translation>
    </message>
</context>
<context>
    <name>TabPageNumbers</name>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Mitte</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
</context>
<context>
    <name>TabPageSize</name>
    <message>
        <source>Page Size X</source>
        <translation>Seitengröße X</translation>
    </message>
    <message>
        <source>Page Size Y</source>
        <translation>Seitengröße Y</translation>
    </message>
    <message>
        <source>Page size units</source>
        <translation>Einheit der Seitengröße</translation>
    </message>
</context>
<context>
    <name>TabPageSizeAdvanced</name>
    <message>
        <source>Media Box X1</source>
        <translation>Medienrahmen X1</translation>
    </message>
    <message>
        <source>Media Box Y1</source>
        <translation>Medienrahmen Y1</translation>
    </message>
    <message>
        <source>Media Box X2</source>
        <translation>Medienrahmen X2</translation>
    </message>
    <message>
        <source>Media Box Y2</source>
        <translation>Medienrahmen Y2</translation>
    </message>
    <message>
        <source>Crop Box X1</source>
        <translation>Beschnittrahmen X1</translation>
    </message>
    <message>
        <source>Crop Box Y1</source>
        <translation>Beschnittrahmen Y1</translation>
    </message>
    <message>
        <source>Crop Box X2</source>
        <translation>Beschnittrahmen X2</translation>
    </message>
    <message>
        <source>Crop Box Y2</source>
        <translation>Beschnittrahmen Y2</translation>
    </message>
    <message>
        <source>Art Box X1</source>
        <translation>Objektrahmen X1</translation>
    </message>
    <message>
        <source>Art Box Y1</source>
        <translation>Objektrahmen Y1</translation>
    </message>
    <message>
        <source>Art Box X2</source>
        <translation>Objektrahmen X2</translation>
    </message>
    <message>
        <source>Art Box Y2</source>
        <translation>Objektrahmen Y2</translation>
    </message>
    <message>
        <source>Bleed Box X1</source>
        <translation>Anschnittrahmen X1</translation>
    </message>
    <message>
        <source>Bleed Box Y1</source>
        <translation>Anschnittrahmen Y1</translation>
    </message>
    <message>
        <source>Bleed Box X2</source>
        <translation>Anschnittrahmen X2</translation>
    </message>
    <message>
        <source>Bleed Box Y2</source>
        <translation>Anschnittrahmen Y2</translation>
    </message>
    <message>
        <source>Trim Box X1</source>
        <translation>Endformatrahmen X1</translation>
    </message>
    <message>
        <source>Trim Box Y1</source>
        <translation>Endformatrahmen Y1</translation>
    </message>
    <message>
        <source>Trim Box X2</source>
        <translation>Endformatrahmen X2</translation>
    </message>
    <message>
        <source>Trim Box Y2</source>
        <translation>Endformatrahmen Y2</translation>
    </message>
</context>
<context>
    <name>TabSecurity</name>
    <message>
        <source>Confirm open password</source>
        <translation>Öffnungskennwort bestätigen</translation>
    </message>
    <message>
        <source>Confirm permissions password</source>
        <translation>Berechtigungskennwort bestätigen</translation>
    </message>
</context>
<context>
    <name>TabStamps</name>
    <message>
        <source>Stamp units</source>
        <translation>Einheit des Stempels</translation>
    </message>
</context>
<context>
    <name>TabText</name>
    <message>
        <source>Align Text Left</source>
        <translation>Text links ausrichten</translation>
    </message>
    <message>
        <source>Align Text Center</source>
        <translation>Text zentrieren</translation>
    </message>
    <message>
        <source>Align Text Right</source>
        <translation>Text rechts ausrichten</translation>
    </message>
    <message>
        <source>X from the left</source>
        <translation>X von links</translation>
    </message>
    <message>
        <source>X from the right</source>
        <translation>X von rechts</translation>
    </message>
    <message>
        <source>Text area units</source>
        <translation>Einheit des Textbereichs</translation>
    </message>
</context>
<context>
    <name>plait::core</name>
    <message>
        <source>PDF Plait</source>
        <translation>PDF Plait</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Add &amp;File...</source>
        <translation>Datei &amp;hinzufügen...</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>Ö&amp;ffnen...</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;View Selected File</source>
        <translation>Gewählte Datei &amp;anzeigen</translation>
    </message>
    <message>
        <source>&amp;Remove Selected File</source>
        <translation>Gewählte Datei &amp;entfernen</translation>
    </message>
    <message>
        <source>R&amp;emove All</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <source>Add O&amp;utput File</source>
        <translation>A&amp;usgabedatei hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Display Output</source>
        <translation>Ausgabe an&amp;zeigen</translation>
    </message>
    <message>
        <source>&amp;Build PDF</source>
        <translation>PDF &amp;erstellen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>&amp;Einstellungen...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;PDF Manual</source>
        <translation>&amp;PDF-Handbuch</translation>
    </message>
    <message>
        <source>&amp;About PDF Plait...</source>
        <translation>Ü&amp;ber PDF Plait...</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Auto Open in Default PDF Viewer</source>
        <translation>Automatisch im Standard-PDF-Betrachter öffnen</translation>
    </message>
    <message>
        <source>Build Settings</source>
        <translation>Erstellungseinstellungen</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Reset All</source>
        <translation>Alles &amp;zurücksetzen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Please enter at least one input file.</source>
        <translation>Bitte mindestens eine Eingabedatei angeben.</translation>
    </message>
    <message>
        <source>Cannot have an input file with same name as output file.</source>
        <translation>Eine Eingabedatei darf nicht denselben Namen wie die Ausgabedatei haben.</translation>
    </message>
    <message>
        <source>Cannot open input file.</source>
        <translation>Eingabedatei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Cannot create output file.</source>
        <translation>Ausgabedatei kann nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Cannot decrypt input file.</source>
        <translation>Eingabedatei kann nicht entschlüsselt werden.</translation>
    </message>
    <message>
        <source>Error parsing input file.</source>
        <translation>Fehler beim Lesen der Eingabedatei.</translation>
    </message>
    <message>
        <source>No pages for output PDF.</source>
        <translation>Keine Seiten für das Ausgabe-PDF.</translation>
    </message>
    <message>
        <source>Do you want to save your settings?</source>
        <translation>Möchten Sie Ihre Einstellungen speichern?</translation>
    </message>
    <message>
        <source>Clear all current settings?</source>
        <translation>Alle aktuellen Einstellungen löschen?</translation>
    </message>
    <message>
        <source>Use this password when building?</source>
        <translation>Dieses Kennwort beim Erstellen verwenden?</translation>
    </message>
    <message>
        <source>Creating Object</source>
        <translation>Objekt wird erstellt</translation>
    </message>
    <message>
        <source>Building PDF</source>
        <translation>PDF wird aufgebaut</translation>
    </message>
    <message>
        <source>Creating PDF File</source>
        <translation>PDF-Datei wird erstellt</translation>
    </message>
    <message>
        <source>Build cancelled</source>
        <translation>Erstellung abgebrochen</translation>
    </message>
    <message>
        <source>Opening Viewer</source>
        <translation>Betrachter wird geöffnet</translation>
    </message>
    <message>
        <source>Loading Bookmarks...</source>
        <translation>Lesezeichen werden geladen...</translation>
    </message>
</context>
<context>
    <name>plait::gui::MainWindowView</name>
    <message>
        <source>To start, add PDFs or images with Add, or drop them here.</source>
        <translation>Fügen Sie zum Beginnen PDFs oder Bilder mit „Hinzufügen“ hinzu, oder ziehen Sie sie hierher.</translation>
    </message>
    <message>
        <source>The inputs one after another, in the order of the list.</source>
        <translation>Die Eingaben nacheinander, in der Reihenfolge der Liste.</translation>
    </message>
    <message>
        <source>The first input is the base; page 1 of the second is laid on its page 1, page 2 on page 2, and so on.</source>
        <translation>Die erste Eingabe ist die Grundlage; Seite 1 der zweiten wird auf ihre Seite 1 gelegt, Seite 2 auf Seite 2 und so weiter.</translation>
    </message>
    <message>
        <source>The first input is the base; the pages of the second are laid on its pages and start over, so a one-page letterhead lands on every page.</source>
        <translation>Die erste Eingabe ist die Grundlage; die Seiten der zweiten werden auf ihre Seiten gelegt und beginnen von vorn, sodass ein einseitiger Briefkopf auf jeder Seite landet.</translation>
    </message>
    <message>
        <source>counting pages...</source>
        <translation>Seiten werden gezählt...</translation>
    </message>
    <message>
        <source>Showing the output %1: %2</source>
        <translation>Angezeigt wird die Ausgabe %1: %2</translation>
    </message>
    <message>
        <source>The desktop has no application that could open %1.</source>
        <translation>Der Desktop hat keine Anwendung, die %1 öffnen könnte.</translation>
    </message>
</context>
<context>
    <name>plait::gui::PageCounts</name>
    <message>
        <source>image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>cannot be read: there is no such file</source>
        <translation>nicht lesbar: Datei existiert nicht</translation>
    </message>
    <message>
        <source>1 page</source>
        <translation>1 Seite</translation>
    </message>
    <message>
        <source>%1 pages</source>
        <translation>%1 Seiten</translation>
    </message>
    <message>
        <source>protected by a password</source>
        <translation>kennwortgeschützt</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>nicht lesbar: %1</translation>
    </message>
</context>
<context>
    <name>plait::gui::PreviewWidget</name>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>The file cannot be found.</source>
        <translation>Die Datei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>This PDF cannot be shown here. It is damaged or not a PDF.</source>
        <translation>Dieses PDF kann hier nicht angezeigt werden. Es ist beschädigt oder kein PDF.</translation>
    </message>
    <message>
        <source>%1&lt;br&gt;%2&lt;br&gt;&lt;br&gt;%3</source>
        <translation>%1&lt;br&gt;%2&lt;br&gt;&lt;br&gt;%3</translation>
    </message>
    <message>
        <source>Included in the build as a media file.</source>
        <translation>Wird als Mediendatei in das Ergebnis aufgenommen.</translation>
    </message>
    <message>
        <source>This PDF is protected by a password. Select it again to enter the password.</source>
        <translation>Dieses PDF ist kennwortgeschützt. Wählen Sie es erneut, um das Kennwort einzugeben.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>That password does not open the file.
</source>
        <translation>Dieses Kennwort öffnet die Datei nicht.
</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is protected by a password. Password:</source>
        <translation>„%1“ ist kennwortgeschützt. Kennwort:</translation>
    </message>
    <message>
        <source>This PDF cannot be previewed: %1.</source>
        <translation>Für dieses PDF ist keine Vorschau möglich: %1.</translation>
    </message>
    <message>
        <source>the page renderer is not installed</source>
        <translation>das Programm, das die Seiten zeichnet, ist nicht installiert</translation>
    </message>
</context>
<context>
    <name>plait::gui::PageRenderer</name>
    <message numerus="yes">
        <source>the page renderer did not answer within %n second(s)</source>
        <translation>
            <numerusform>das Programm, das die Seiten zeichnet, hat nicht innerhalb von %n Sekunde geantwortet</numerusform>
            <numerusform>das Programm, das die Seiten zeichnet, hat nicht innerhalb von %n Sekunden geantwortet</numerusform>
        </translation>
    </message>
    <message>
        <source>the page renderer could not be started</source>
        <translation>das Programm, das die Seiten zeichnet, konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>the page renderer answered nonsense</source>
        <translation>das Programm, das die Seiten zeichnet, hat unsinnig geantwortet</translation>
    </message>
    <message>
        <source>it needs more memory than a preview may take</source>
        <translation>es braucht mehr Speicher, als eine Vorschau belegen darf</translation>
    </message>
    <message>
        <source>it needs more processor time than a preview may take</source>
        <translation>es braucht mehr Rechenzeit, als eine Vorschau belegen darf</translation>
    </message>
    <message>
        <source>the page renderer stopped (signal %1)</source>
        <translation>das Programm, das die Seiten zeichnet, wurde abgebrochen (Signal %1)</translation>
    </message>
    <message>
        <source>the page renderer ended (exit status %1)</source>
        <translation>das Programm, das die Seiten zeichnet, hat sich beendet (Exit-Status %1)</translation>
    </message>
</context>
<context>
    <name>plait::gui::WarningsIndicator</name>
    <message>
        <source>What the last build could not do as asked</source>
        <translation>Was die letzte Erstellung nicht wie gewünscht ausführen konnte</translation>
    </message>
    <message>
        <source>1 note from the last build</source>
        <translation>1 Hinweis zur letzten Erstellung</translation>
    </message>
    <message numerus="yes">
        <source>%n notes from the last build</source>
        <translation>
            <numerusform>%n Hinweis zur letzten Erstellung</numerusform>
            <numerusform>%n Hinweise zur letzten Erstellung</numerusform>
        </translation>
    </message>
    <message>
        <source>PDF Plait</source>
        <translation>PDF Plait</translation>
    </message>
    <message>
        <source>The last build noted:</source>
        <translation>Hinweise der letzten Erstellung:</translation>
    </message>
    <message>
        <source>Build notes</source>
        <translation>Erstellungshinweise</translation>
    </message>
</context>
</TS>
