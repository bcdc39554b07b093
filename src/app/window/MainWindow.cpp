#include "app/window/MainWindow.h"

#include "app/tray/DesktopNotifier.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHideEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>
#include <array>

#include "app/PanelActions.h"
#include "app/window/Translations.h"
#include "app/window/Twips.h"

// The icons live in a resource of this static library; it must be registered by name, outside namespaces.
static void initDesktopResources() { Q_INIT_RESOURCE(ostrell); }

namespace ostrell::app {

namespace {

enum class ControlKind { Label, Box, EditBox, TwoLineBox, EditTwoLineBox, Frame, Button };

struct ControlRow {
    const char* name;  // the control's objectName
    ControlKind kind;
    const char* parent;  // a frame's objectName, or nullptr for the window itself
    TwipsRect at;        // left, top, width, height; inside a frame, relative to it
    const char* caption;
};

// Every control of the panel, parents before their children. Creation and placement both read it.
constexpr TwipsRect ClientArea{0, 0, 8970, 7065};
constexpr auto Controls = std::to_array<ControlRow>({
    {"txtMon", ControlKind::TwoLineBox, nullptr, {120, 0, 5535, 6855}, ""},
    {"Label1", ControlKind::Label, nullptr, {6000, 270, 855, 255}, QT_TRANSLATE_NOOP("frmMain", "TimeOut")},
    {"txtTimeout", ControlKind::EditBox, nullptr, {6720, 240, 735, 285}, ""},
    {"txtTO", ControlKind::Box, nullptr, {7680, 240, 735, 285}, ""},
    {"Label2", ControlKind::Label, nullptr, {6000, 630, 855, 255}, QT_TRANSLATE_NOOP("frmMain", "Loop")},
    {"txtLoop", ControlKind::Box, nullptr, {6720, 600, 735, 285}, ""},
    {"txtLP", ControlKind::Box, nullptr, {7680, 600, 735, 285}, ""},
    {"Frame1", ControlKind::Frame, nullptr, {6120, 1200, 2175, 975}, QT_TRANSLATE_NOOP("frmMain", "Local")},
    {"Label6", ControlKind::Label, "Frame1", {360, 270, 615, 285}, QT_TRANSLATE_NOOP("frmMain", "Socket")},
    {"txtLocal", ControlKind::Box, "Frame1", {1320, 240, 735, 285}, ""},
    {"txtLocalIP", ControlKind::Box, "Frame1", {360, 600, 1695, 285}, ""},
    {"Frame2", ControlKind::Frame, nullptr, {6120, 2280, 2175, 975}, QT_TRANSLATE_NOOP("frmMain", "Remote")},
    {"Label7", ControlKind::Label, "Frame2", {360, 270, 615, 285}, QT_TRANSLATE_NOOP("frmMain", "Socket")},
    {"txtRemote", ControlKind::Box, "Frame2", {1320, 240, 735, 285}, ""},
    {"txtRemIP", ControlKind::Box, "Frame2", {360, 600, 1695, 285}, ""},
    {"Label3", ControlKind::Label, nullptr, {6240, 3270, 1695, 255}, QT_TRANSLATE_NOOP("frmMain", "Data Directory")},
    {"txtDataDir", ControlKind::EditTwoLineBox, nullptr, {6000, 3480, 2775, 645}, ""},
    {"cmdDir", ControlKind::Button, nullptr, {8400, 2760, 375, 375}, ""},
    {"Label4",
     ControlKind::Label,
     nullptr,
     {6240, 4440, 1695, 255},
     QT_TRANSLATE_NOOP("frmMain", "Application Directory")},
    {"txtAppDir", ControlKind::TwoLineBox, nullptr, {6000, 4650, 2775, 645}, ""},
    {"Label5", ControlKind::Label, nullptr, {6720, 5520, 975, 255}, QT_TRANSLATE_NOOP("frmMain", "BK number")},
    {"txtBKnum", ControlKind::Box, nullptr, {6840, 5760, 735, 285}, ""},
    {"cmdSave", ControlKind::Button, nullptr, {6600, 6240, 1215, 495}, QT_TRANSLATE_NOOP("frmMain", "Save")},
});

// What a screen reader says for each control, and the label that names a field (its buddy).
constexpr auto AccessibleNames = std::to_array<std::pair<const char*, const char*>>({
    {"txtMon", QT_TRANSLATE_NOOP("frmMain", "Exchange with the server, newest line first")},
    {"txtTimeout", QT_TRANSLATE_NOOP("frmMain", "Cycle length in seconds")},
    {"txtTO", QT_TRANSLATE_NOOP("frmMain", "Seconds counted towards the next cycle")},
    {"txtLoop", QT_TRANSLATE_NOOP("frmMain", "Loop")},
    {"txtLP", QT_TRANSLATE_NOOP("frmMain", "Seconds left to wait for the server")},
    {"Frame1", QT_TRANSLATE_NOOP("frmMain", "Local end of the connection")},
    {"txtLocal", QT_TRANSLATE_NOOP("frmMain", "Local port")},
    {"txtLocalIP", QT_TRANSLATE_NOOP("frmMain", "Local address")},
    {"Frame2", QT_TRANSLATE_NOOP("frmMain", "Server end of the connection")},
    {"txtRemote", QT_TRANSLATE_NOOP("frmMain", "Server port")},
    {"txtRemIP", QT_TRANSLATE_NOOP("frmMain", "Server address")},
    {"txtDataDir", QT_TRANSLATE_NOOP("frmMain", "Data Directory")},
    {"cmdDir", QT_TRANSLATE_NOOP("frmMain", "Choose the data directory")},
    {"txtAppDir", QT_TRANSLATE_NOOP("frmMain", "Application Directory (Enter shows the server address)")},
    {"txtBKnum", QT_TRANSLATE_NOOP("frmMain", "BK number")},
    {"cmdSave", QT_TRANSLATE_NOOP("frmMain", "Save")},
});
constexpr auto Buddies = std::to_array<std::pair<const char*, const char*>>({
    {"Label1", "txtTimeout"},
    {"Label2", "txtLoop"},
    {"Label6", "txtLocal"},
    {"Label7", "txtRemote"},
    {"Label3", "txtDataDir"},
    {"Label4", "txtAppDir"},
    {"Label5", "txtBKnum"},
});
// The order Tab walks: what the operator changes first, then what is only read.
constexpr auto TabOrder =
    std::to_array<const char*>({"txtTimeout", "txtDataDir", "cmdDir", "cmdSave", "txtMon", "txtTO", "txtLoop", "txtLP",
                                "txtLocal", "txtLocalIP", "txtRemote", "txtRemIP", "txtAppDir", "txtBKnum"});

// The core's texts the owner reads, for lupdate: they are looked up by their English text when shown.
[[maybe_unused]] constexpr auto CoreTexts = std::to_array<const char*>({
    QT_TRANSLATE_NOOP("ostrell",
                      "This ostrell can only run with Brannick version 2.3.119 or higher\r\n\r\nWill now "
                      "terminate."),
    QT_TRANSLATE_NOOP("ostrell", "Invalid timeout"),
    QT_TRANSLATE_NOOP("ostrell", "Find Remote Database"),
    QT_TRANSLATE_NOOP("ostrell", "Data Directory"),
    QT_TRANSLATE_NOOP("ostrell", "Password ? "),
    QT_TRANSLATE_NOOP("ostrell", "Monitor"),
    QT_TRANSLATE_NOOP("ostrell", "Monitor Off"),
    QT_TRANSLATE_NOOP("ostrell", "Cancel"),
    QT_TRANSLATE_NOOP("ostrell", "Exit"),
    QT_TRANSLATE_NOOP("ostrell", "File"),
    QT_TRANSLATE_NOOP("ostrell", "Veltrana Interface"),
});

QString ownerText(const std::string& english) { return QCoreApplication::translate("ostrell", english.c_str()); }
QString ownerText(const char* english) { return QCoreApplication::translate("ostrell", english); }

// The monitor's font stands in for the desktop's "Terminal" at 9 points: fixed pitch.
QFont terminalFont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setPointSize(9);
    return f;
}

// The panel was laid out for the desktop's small 8-point dialog font; larger text would not fit its boxes.
constexpr int PanelPointSize = 8;

// A frame's caption sits on its border, as the layout expects, rather than above it.
constexpr const char* FrameStyle =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px; }";

QWidget* createControl(const ControlRow& row, QWidget* parent) {
    const QString caption = QCoreApplication::translate("frmMain", row.caption);
    QWidget* w = nullptr;
    switch (row.kind) {
        case ControlKind::Label: w = new QLabel(caption, parent); break;
        case ControlKind::Box:
        case ControlKind::EditBox: {
            auto* b = new QLineEdit(parent);
            b->setReadOnly(row.kind == ControlKind::Box);
            w = b;
            break;
        }
        case ControlKind::TwoLineBox:
        case ControlKind::EditTwoLineBox: {
            auto* b = new QPlainTextEdit(parent);
            b->setReadOnly(row.kind == ControlKind::TwoLineBox);
            b->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            b->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            b->setTabChangesFocus(true);
            b->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            w = b;
            break;
        }
        case ControlKind::Frame: {
            auto* f = new QGroupBox(caption, parent);
            f->setStyleSheet(QString::fromUtf8(FrameStyle));
            w = f;
            break;
        }
        case ControlKind::Button: w = new QPushButton(caption, parent); break;
    }
    w->setObjectName(QString::fromUtf8(row.name));
    return w;
}

// The open-file dialog's filter in the host's "description|pattern" form, as a Qt filter. "*.*" means
// every file there, which on this desktop is "*".
QString qtFilter(const std::string& hostFilter) {
    const QString f = QString::fromStdString(hostFilter);
    const QString description = f.section(QLatin1Char('|'), 0, 0).trimmed();
    QString pattern = f.section(QLatin1Char('|'), 1, 1).trimmed();
    if (pattern.isEmpty() || pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    return ownerText(description.section(QLatin1Char('('), 0, 0).trimmed().toStdString()) + QLatin1String(" (") +
           pattern + QLatin1Char(')');
}

}  // namespace

MainWindow::MainWindow(int trayHostPollMs) : QWidget(nullptr), tray_(trayHostPollMs) {
    initDesktopResources();
    setObjectName(QStringLiteral("frmMain"));
    QFont panelFont = font();
    panelFont.setPointSize(PanelPointSize);
    setFont(panelFont);
    setWindowTitle(QString::fromUtf8(Caption));
    setWindowIcon(pictureIcon(TrayPicture::Neutral));
    buildControls();
    buildTrayMenu();
    placeControls();
    connect(&tray_, &IconTray::activated, this, &MainWindow::onTrayEvent);
    // A session checkpoint (commitDataRequest) asks to save data, which the agent never holds unsaved: it
    // goes on. The end of the session reaches the program as a request to quit that the agent did not make.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    // Closing a shown window hides it on the way out: nobody listening may hear of that any more.
    blockSignals(true);
}

void MainWindow::buildControls() {
    for (const ControlRow& row : Controls) {
        QWidget* parent = row.parent ? findChild<QWidget*>(QString::fromUtf8(row.parent)) : this;
        createControl(row, parent);
    }
    monitorView_ = control<QPlainTextEdit>("txtMon");
    cycleLengthBox_ = control<QLineEdit>("txtTimeout");
    tickCountBox_ = control<QLineEdit>("txtTO");
    loopBox_ = control<QLineEdit>("txtLoop");
    countdownBox_ = control<QLineEdit>("txtLP");
    localPortBox_ = control<QLineEdit>("txtLocal");
    localAddressBox_ = control<QLineEdit>("txtLocalIP");
    remotePortBox_ = control<QLineEdit>("txtRemote");
    remoteAddressBox_ = control<QLineEdit>("txtRemIP");
    dataDirBox_ = control<QPlainTextEdit>("txtDataDir");
    appDirBox_ = control<QPlainTextEdit>("txtAppDir");
    bkNumberBox_ = control<QLineEdit>("txtBKnum");

    for (const auto& [name, spoken] : AccessibleNames)
        control<QWidget>(name)->setAccessibleName(QCoreApplication::translate("frmMain", spoken));
    for (const auto& [label, field] : Buddies) control<QLabel>(label)->setBuddy(control<QWidget>(field));
    for (size_t i = 1; i < TabOrder.size(); ++i)
        setTabOrder(control<QWidget>(TabOrder.at(i - 1)), control<QWidget>(TabOrder.at(i)));
    appDirBox_->installEventFilter(this);
    monitorView_->setFont(terminalFont());
    monitorView_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    appDirBox_->viewport()->installEventFilter(this);
    auto* dirButton = control<QPushButton>("cmdDir");
    dirButton->setIcon(QIcon(QStringLiteral(":/ostrell/cmdDir.svg")));
    dirButton->setIconSize(QSize(16, 15));
    dirButton->setToolTip(ownerText(ChooserTitle));
    for (QLineEdit* b : {tickCountBox_, loopBox_, countdownBox_, localPortBox_, remotePortBox_})
        b->setAlignment(Qt::AlignRight);
    connect(control<QPushButton>("cmdSave"), &QPushButton::clicked, this, &MainWindow::saveClicked);
    connect(dirButton, &QPushButton::clicked, this, &MainWindow::dataDirectoryClicked);
}

void MainWindow::buildTrayMenu() {
    trayMenu_ = new QMenu(ownerText("File"), this);
    trayMenu_->setObjectName(QStringLiteral("mnuTray"));
    trayMenu_->addAction(ownerText("Cancel"))->setObjectName(QStringLiteral("mnuCancel"));
    monitorItem_ = trayMenu_->addAction(ownerText(MonitorOffCaption));
    monitorItem_->setObjectName(QStringLiteral("mnuMonitor"));
    QAction* exitItem = trayMenu_->addAction(ownerText("Exit"));
    exitItem->setObjectName(QStringLiteral("mnuExit"));
    // Cancel only closes the menu, which choosing any item does.
    connect(monitorItem_, &QAction::triggered, this, &MainWindow::monitorChosen);
    connect(exitItem, &QAction::triggered, this, &MainWindow::exitChosen);
    // The icon's own menu: a StatusNotifierItem host gets it over DBusMenu, an XEmbed tray opens it itself.
    tray_.setMenu(trayMenu_);
    statusView_ = new QLabel(this, Qt::Popup);
    statusView_->setObjectName(QStringLiteral("statusView"));
    statusView_->setMargin(8);
    statusView_->setAccessibleName(QCoreApplication::translate("ostrell", "Ostrell status"));
    tray_.statusWindow().setAccessibleName(statusView_->accessibleName());
    showTrayStatus(TrayStatus{});
}

void MainWindow::placeControls() {
    const double dpi = logicalDpiX();
    auto place = [dpi](QWidget* w, const TwipsRect& at) {
        const PixelRect r = toPixels(at, dpi);
        // A caption never clips: with a font wider than the one the layout was made for, a label grows
        // to the right (labels lie beneath the boxes they name).
        int width = r.width;
        if (auto* l = qobject_cast<QLabel*>(w)) width = std::max(width, l->sizeHint().width());
        w->setGeometry(r.left, r.top, width, r.height);
    };
    const PixelRect client = toPixels(ClientArea, dpi);
    setFixedSize(client.width, client.height);
    for (const ControlRow& row : Controls) place(control<QWidget>(row.name), row.at);
}

QIcon MainWindow::pictureIcon(TrayPicture picture, bool alert) {
    initDesktopResources();
    // From the icon theme where the pictures are installed, so that a StatusNotifierItem host gets their
    // names; from the program's resources otherwise (a build tree).
    const QString name =
        QStringLiteral("ostrell-%1%2").arg(static_cast<int>(picture)).arg(alert ? QStringLiteral("-alert") : QString());
    if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return QIcon(QStringLiteral(":/ostrell/%1.svg").arg(name));
}

// --- Shell ---

void MainWindow::showCountdown(int value) {
    countdownBox_->setText(QString::number(value));
    if (isVisible()) countdownBox_->repaint();
}

void MainWindow::showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                                const std::string& remoteIP) {
    localPortBox_->setText(QString::number(localPort));
    localAddressBox_->setText(displayText(localIP));
    remotePortBox_->setText(QString::number(remotePort));
    remoteAddressBox_->setText(displayText(remoteIP));
}

bool MainWindow::isWindowVisible() const { return isVisible(); }

std::string MainWindow::monitorText() const { return monitor_; }

void MainWindow::setMonitorText(const std::string& text) {
    monitor_ = text;
    monitorView_->setPlainText(displayText(text));
    monitorView_->verticalScrollBar()->setValue(0);  // the newest line is the first
}

void MainWindow::showMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, displayText(title), displayText(ownerText(text).toStdString()),
                    QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

void MainWindow::showTickCount(int count) { tickCountBox_->setText(QString::number(count)); }

void MainWindow::showParameters(const settings::Parameters& p) {
    cycleLengthBox_->setText(QString::number(p.timeoutSecs));
    loopBox_->setText(QString::number(p.loopCount));
    appDirBox_->setPlainText(displayText(p.appDirPath));
    dataDirBox_->setPlainText(displayText(p.dataDirSetting));
    bkNumberBox_->setText(displayText(p.bkNumbers.front()));
}

// The tip is the window's caption, in the owner's language.
void MainWindow::addTrayIcon() {
    tray_.addIcon(*this, QCoreApplication::translate("ostrell", Caption).toStdString(), monitoring_);
}

void MainWindow::setTrayPicture(TrayPicture picture) {
    picture_ = picture;
    setWindowIcon(pictureIcon(picture, linkAlert_));
    tray_.updateIcon(*this);
}

void MainWindow::showLinkState(bool alerting, const std::string& lastContact) {
    const QString since = QString::fromStdString(lastContact);
    tray_.setTipDetail(alerting          ? QCoreApplication::translate("ostrell", "No contact since %1").arg(since)
                       : since.isEmpty() ? QCoreApplication::translate("ostrell", "No contact yet")
                                         : QCoreApplication::translate("ostrell", "Last contact %1").arg(since));
    if (alerting == linkAlert_) return;
    linkAlert_ = alerting;
    tray_.setNeedsAttention(alerting);
    setTrayPicture(picture_);
}

void MainWindow::notify(bool warning, const std::string& since) {
    const QString title = warning ? QCoreApplication::translate("ostrell", "Bookings are not coming in")
                                  : QCoreApplication::translate("ostrell", "Bookings are coming in again");
    const QString body =
        warning
            ? QCoreApplication::translate(
                  "ostrell", "No contact with the booking server: bookings have not been received since %1")
                  .arg(QString::fromStdString(since))
            : QCoreApplication::translate("ostrell", "The booking server is reachable again: bookings are received");
    if (!notifier_.send(title, body, warning)) tray_.showBalloon(title, body, warning);
}

void MainWindow::showTrayStatus(const TrayStatus& s) {
    const QString last = s.lastContact.empty() ? QCoreApplication::translate("ostrell", "none yet")
                                               : QString::fromStdString(s.lastContact);
    const QString next = s.nextCycle.empty() ? QCoreApplication::translate("ostrell", "at the first tick")
                                             : QString::fromStdString(s.nextCycle);
    statusView_->setText(
        QCoreApplication::translate("ostrell",
                                    "Last contact: %1\nNext cycle: %2\nToday: %3 cycles, %4 bookings, %5 payments, "
                                    "%6 lines sent")
            .arg(last, next)
            .arg(s.cyclesToday)
            .arg(s.bookingsToday)
            .arg(s.paymentsToday)
            .arg(s.linesSentToday));
    statusView_->adjustSize();
}

// --- the panel ---

std::string MainWindow::timeoutText() const { return cycleLengthBox_->text().toStdString(); }

std::string MainWindow::dataDirText() const { return dataDirBox_->toPlainText().toStdString(); }

void MainWindow::focusTimeout() { cycleLengthBox_->setFocus(Qt::OtherFocusReason); }

std::optional<std::string> MainWindow::chooseFile(const std::string& title, const std::string& filter) {
    const QString start = QFileInfo(dataDirBox_->toPlainText()).path();
    const QString chosen = QFileDialog::getOpenFileName(this, ownerText(title), start, qtFilter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

void MainWindow::setDataDirText(const std::string& text) { dataDirBox_->setPlainText(QString::fromStdString(text)); }

// --- the Monitor item ---

std::optional<std::string> MainWindow::askPassword(const std::string& prompt) {
    QInputDialog dialog(isVisible() ? this : nullptr);
    dialog.setObjectName(QStringLiteral("passwordBox"));
    dialog.setWindowTitle(QString::fromUtf8(ProgramTitle));
    dialog.setLabelText(ownerText(prompt));
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

void MainWindow::setWindowVisible(bool visible) {
    if (visible) {
        if (!placed_) {
            // The first time it is shown, the panel comes up in the middle of the screen.
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                QRect r = rect();
                r.moveCenter(screen->availableGeometry().center());
                move(r.topLeft());
            }
            placed_ = true;
        }
        showNormal();
        raise();
        activateWindow();
    } else {
        hide();
    }
}

void MainWindow::showMonitorMode(bool on) {
    monitoring_ = on;
    monitorItem_->setText(ownerText(on ? MonitorOnCaption : MonitorOffCaption));
}

// --- events ---

void MainWindow::onTrayEvent(TrayEvent event) {
    switch (trayActionFor(event)) {
        case TrayAction::OpenMenu:
            // An XEmbed tray has opened the icon's menu already; the status window and a StatusNotifierItem
            // host that asks for it have not.
            if (!trayMenu_->isVisible()) trayMenu_->popup(QCursor::pos());
            break;
        case TrayAction::ShowStatus: statusView_->move(QCursor::pos()), statusView_->show(); break;
        case TrayAction::RestoreNormal:
            // Restores a minimised window; a hidden one stays hidden (only Monitor shows it).
            setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
            break;
        case TrayAction::Nothing: break;
    }
}

void MainWindow::onSessionEnding() {
    sessionEnding_ = true;
    close();
}

void MainWindow::deleteTrayIcon() {
    ending_ = true;  // the agent ends: the quit that follows is its own
    tray_.removeIcon(*this);
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    emit countdownShown(true);
}

void MainWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    emit countdownShown(false);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // The window itself never closes: an allowed close ends the program, which takes the window with it.
    e->ignore();
    const CloseReason reason = sessionEnding_ ? CloseReason::SessionEnding : CloseReason::ControlMenu;
    sessionEnding_ = false;
    emit closeRequested(reason);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == qApp && e->type() == QEvent::Quit && !ending_) {
        onSessionEnding();
        return true;  // the agent decides, and ends the loop itself when it allows the close
    }
    if (watched == appDirBox_->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        emit serverAddressRequested();
        return true;
    }
    // The keyboard's way to the double click: Enter on the box.
    if (watched == appDirBox_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit serverAddressRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

}  // namespace ostrell::app
