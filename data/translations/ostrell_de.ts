<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>frmMain</name>
    <message>
        <source>TimeOut</source>
        <translation>Zeitlimit</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>Schleife</translation>
    </message>
    <message>
        <source>Local</source>
        <translation>Lokal</translation>
    </message>
    <message>
        <source>Socket</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Gegenstelle</translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation>Datenverzeichnis</translation>
    </message>
    <message>
        <source>Application Directory</source>
        <translation>Programmverzeichnis</translation>
    </message>
    <message>
        <source>BK number</source>
        <translation>BK-Nummer</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Exchange with the server, newest line first</source>
        <translation>Austausch mit dem Server, neueste Zeile zuerst</translation>
    </message>
    <message>
        <source>Cycle length in seconds</source>
        <translation>Zykluslänge in Sekunden</translation>
    </message>
    <message>
        <source>Seconds counted towards the next cycle</source>
        <translation>Bis zum nächsten Durchlauf gezählte Sekunden</translation>
    </message>
    <message>
        <source>Seconds left to wait for the server</source>
        <translation>Restliche Wartezeit auf den Server in Sekunden</translation>
    </message>
    <message>
        <source>Local end of the connection</source>
        <translation>Lokales Ende der Verbindung</translation>
    </message>
    <message>
        <source>Local port</source>
        <translation>Lokaler Port</translation>
    </message>
    <message>
        <source>Local address</source>
        <translation>Lokale Adresse</translation>
    </message>
    <message>
        <source>Server end of the connection</source>
        <translation>Serverseite der Verbindung</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Server-Port</translation>
    </message>
    <message>
        <source>Choose the data directory</source>
        <translation>Datenverzeichnis wählen</translation>
    </message>
    <message>
        <source>Application Directory (Enter shows the server address)</source>
        <translation>Programmverzeichnis (Eingabetaste zeigt die Server-Adresse)</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Server-Adresse</translation>
    </message>
</context>
<context>
    <name>ostrell</name>
    <message>
        <source>This ostrell can only run with Brannick version 2.3.119 or higher<byte value="xd"/>
<byte value="xd"/>
Will now terminate.</source>
        <translation>Dieses Ostrell läuft nur mit Brannick ab Version 2.3.119<byte value="xd"/>
<byte value="xd"/>
Es wird jetzt beendet.<byte value="xd"/>
<byte value="xd"/>
Es wird jetzt beendet.<byte value="xd"/>
<byte value="xd"/>
Es wird jetzt beendet.</translation>
    </message>
    <message>
        <source>Invalid timeout</source>
        <translation>Ungültiges Zeitlimit</translation>
    </message>
    <message>
        <source>Find Remote Database</source>
        <translation>Datenbank suchen</translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation>Datenverzeichnis</translation>
    </message>
    <message>
        <source>Password ? </source>
        <translation>Passwort? </translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>Monitor Off</source>
        <translation>Monitor aus</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Brannick is not set up for this account (there is no %1), so Ostrell does not run.</source>
        <translation>Brannick ist für dieses Konto nicht eingerichtet (es gibt keine %1), daher läuft Ostrell nicht.</translation>
    </message>
    <message>
        <source>Ostrell status</source>
        <translation>Ostrell-Status</translation>
    </message>
    <message>
        <source>No contact since %1</source>
        <translation>Kein Kontakt seit %1</translation>
    </message>
    <message>
        <source>No contact yet</source>
        <translation>Noch kein Kontakt</translation>
    </message>
    <message>
        <source>Last contact %1</source>
        <translation>Letzter Kontakt %1</translation>
    </message>
    <message>
        <source>Bookings are not coming in</source>
        <translation>Es kommen keine Buchungen an</translation>
    </message>
    <message>
        <source>Bookings are coming in again</source>
        <translation>Buchungen kommen wieder an</translation>
    </message>
    <message>
        <source>No contact with the booking server: bookings have not been received since %1</source>
        <translation>Kein Kontakt zum Buchungsserver: seit %1 sind keine Buchungen eingegangen</translation>
    </message>
    <message>
        <source>The booking server is reachable again: bookings are received</source>
        <translation>Der Buchungsserver ist wieder erreichbar: Buchungen gehen ein</translation>
    </message>
    <message>
        <source>none yet</source>
        <translation>noch keiner</translation>
    </message>
    <message>
        <source>at the first tick</source>
        <translation>beim ersten Takt</translation>
    </message>
    <message>
        <source>Last contact: %1
Next cycle: %2
Today: %3 cycles, %4 bookings, %5 payments, %6 lines sent</source>
        <translation>Letzter Kontakt: %1
Nächster Durchlauf: %2
Heute: %3 Durchläufe, %4 Buchungen, %5 Zahlungen, %6 Zeilen gesendet</translation>
    </message>
    <message>
        <source>Veltrana Interface</source>
        <translation>Veltrana-Schnittstelle</translation>
    </message>
    <message>
        <source>Ostrell is already running (pid %1).</source>
        <translation>Ostrell läuft bereits (PID %1).</translation>
    </message>
    <message>
        <source>Ostrell is already running (pid %1) on the data directory %2.</source>
        <translation>Ostrell läuft bereits (PID %1) im Datenverzeichnis %2.</translation>
    </message>
</context>
</TS>
