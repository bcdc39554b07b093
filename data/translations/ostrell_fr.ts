<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>MainWindow</name>
    <message>
        <source>Ostrell status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No contact since %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No contact yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last contact %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bookings are not coming in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bookings are coming in again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No contact with the booking server: bookings have not been received since %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The booking server is reachable again: bookings are received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at the first tick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last contact: %1
Next cycle: %2
Today: %3 cycles, %4 bookings, %5 payments, %6 lines sent</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>TimeOut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Socket</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remote</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Application Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BK number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exchange with the server, newest line first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cycle length in seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seconds counted towards the next cycle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Seconds left to wait for the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local end of the connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server end of the connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server address (Enter shows it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the data directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Application Directory (Enter shows the server address)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrell</name>
    <message>
        <source>This ostrell can only run with Brannick version 2.3.119 or higher<byte value="xd"/>
<byte value="xd"/>
Will now terminate.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid timeout</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Remote Database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password ? </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Monitor Off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Brannick is not set up for this account (there is no %1), so Ostrell does not run.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
