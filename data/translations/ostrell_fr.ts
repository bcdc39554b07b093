<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>frmMain</name>
    <message>
        <source>TimeOut</source>
        <translation>Délai</translation>
    </message>
    <message>
        <source>Loop</source>
        <translation>Boucle</translation>
    </message>
    <message>
        <source>Local</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>Socket</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Distant</translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation>Dossier des données</translation>
    </message>
    <message>
        <source>Application Directory</source>
        <translation>Dossier de l’application</translation>
    </message>
    <message>
        <source>BK number</source>
        <translation>Numéro BK</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Exchange with the server, newest line first</source>
        <translation>Échanges avec le serveur, la ligne la plus récente en premier</translation>
    </message>
    <message>
        <source>Cycle length in seconds</source>
        <translation>Durée du cycle en secondes</translation>
    </message>
    <message>
        <source>Seconds counted towards the next cycle</source>
        <translation>Secondes comptées vers le prochain cycle</translation>
    </message>
    <message>
        <source>Seconds left to wait for the server</source>
        <translation>Secondes d’attente restantes pour le serveur</translation>
    </message>
    <message>
        <source>Local end of the connection</source>
        <translation>Extrémité locale de la connexion</translation>
    </message>
    <message>
        <source>Local port</source>
        <translation>Port local</translation>
    </message>
    <message>
        <source>Local address</source>
        <translation>Adresse locale</translation>
    </message>
    <message>
        <source>Server end of the connection</source>
        <translation>Extrémité serveur de la connexion</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Port du serveur</translation>
    </message>
    <message>
        <source>Choose the data directory</source>
        <translation>Choisir le dossier des données</translation>
    </message>
    <message>
        <source>Application Directory (Enter shows the server address)</source>
        <translation>Dossier de l’application (Entrée affiche l’adresse du serveur)</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Adresse du serveur</translation>
    </message>
</context>
<context>
    <name>ostrell</name>
    <message>
        <source>This ostrell can only run with Brannick version 2.3.119 or higher<byte value="xd"/>
<byte value="xd"/>
Will now terminate.</source>
        <translation>Cet Ostrell ne fonctionne qu’avec Brannick 2.3.119 ou plus récent<byte value="xd"/>
<byte value="xd"/>
Il va maintenant se fermer.<byte value="xd"/>
<byte value="xd"/>
Il va maintenant se fermer.<byte value="xd"/>
<byte value="xd"/>
Il va maintenant se fermer.</translation>
    </message>
    <message>
        <source>Invalid timeout</source>
        <translation>Délai non valable</translation>
    </message>
    <message>
        <source>Find Remote Database</source>
        <translation>Trouver la base de données</translation>
    </message>
    <message>
        <source>Data Directory</source>
        <translation>Dossier des données</translation>
    </message>
    <message>
        <source>Password ? </source>
        <translation>Mot de passe ? </translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Moniteur</translation>
    </message>
    <message>
        <source>Monitor Off</source>
        <translation>Arrêter le moniteur</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Brannick is not set up for this account (there is no %1), so Ostrell does not run.</source>
        <translation>Brannick n’est pas configuré pour ce compte (il n’y a pas de %1) ; Ostrell ne démarre donc pas.</translation>
    </message>
    <message>
        <source>Ostrell status</source>
        <translation>État d’Ostrell</translation>
    </message>
    <message>
        <source>No contact since %1</source>
        <translation>Aucun contact depuis %1</translation>
    </message>
    <message>
        <source>No contact yet</source>
        <translation>Pas encore de contact</translation>
    </message>
    <message>
        <source>Last contact %1</source>
        <translation>Dernier contact %1</translation>
    </message>
    <message>
        <source>Bookings are not coming in</source>
        <translation>Les réservations n’arrivent pas</translation>
    </message>
    <message>
        <source>Bookings are coming in again</source>
        <translation>Les réservations arrivent de nouveau</translation>
    </message>
    <message>
        <source>No contact with the booking server: bookings have not been received since %1</source>
        <translation>Aucun contact avec le serveur de réservations : aucune réservation reçue depuis %1</translation>
    </message>
    <message>
        <source>The booking server is reachable again: bookings are received</source>
        <translation>Le serveur de réservations est de nouveau joignable : les réservations sont reçues</translation>
    </message>
    <message>
        <source>none yet</source>
        <translation>aucun pour l’instant</translation>
    </message>
    <message>
        <source>at the first tick</source>
        <translation>au premier top</translation>
    </message>
    <message>
        <source>Last contact: %1
Next cycle: %2
Today: %3 cycles, %4 bookings, %5 payments, %6 lines sent</source>
        <translation>Dernier contact : %1
Prochain cycle : %2
Aujourd’hui : %3 cycles, %4 réservations, %5 paiements, %6 lignes envoyées</translation>
    </message>
    <message>
        <source>Veltrana Interface</source>
        <translation>Interface Veltrana</translation>
    </message>
    <message>
        <source>Ostrell is already running (pid %1).</source>
        <translation>Ostrell est déjà lancé (PID %1).</translation>
    </message>
    <message>
        <source>Ostrell is already running (pid %1) on the data directory %2.</source>
        <translation>Ostrell est déjà lancé (PID %1) sur le dossier de données %2.</translation>
    </message>
</context>
</TS>
