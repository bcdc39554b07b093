#include "app/window/MainWindow.h"

#include "app/tray/DesktopNotifier.h"
#include "app/tray/WarningMark.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>
#include <algorithm>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSessionManager>

#include "app/Twips.h"
#include "app/window/DisplayText.h"
#include "errors/Trap.h"

// The icons live in a resource of this static library; it must be registered by name, outside namespaces.
static void initDesktopResources() { Q_INIT_RESOURCE(ostrell); }

namespace ostrell::app {

namespace {

// Positions and sizes of the controls, in twips: left, top, width, height. Inside a frame, relative to it.
constexpr TwipsRect ClientArea{0, 0, 8970, 7065};
constexpr TwipsRect txtMonAt{120, 0, 5535, 6855};
constexpr TwipsRect Label1At{6000, 270, 855, 255};
constexpr TwipsRect txtTimeoutAt{6720, 240, 735, 285};
constexpr TwipsRect txtTOAt{7680, 240, 735, 285};
constexpr TwipsRect Label2At{6000, 630, 855, 255};
constexpr TwipsRect txtLoopAt{6720, 600, 735, 285};
constexpr TwipsRect txtLPAt{7680, 600, 735, 285};
constexpr TwipsRect Frame1At{6120, 1200, 2175, 975};
constexpr TwipsRect Label6At{360, 270, 615, 285};
constexpr TwipsRect txtLocalAt{1320, 240, 735, 285};
constexpr TwipsRect txtLocalIPAt{360, 600, 1695, 285};
constexpr TwipsRect Frame2At{6120, 2280, 2175, 975};
constexpr TwipsRect Label7At{360, 270, 615, 285};
constexpr TwipsRect txtRemoteAt{1320, 240, 735, 285};
constexpr TwipsRect txtRemIPAt{360, 600, 1695, 285};
constexpr TwipsRect Label3At{6240, 3270, 1695, 255};
constexpr TwipsRect txtDataDirAt{6000, 3480, 2775, 645};
constexpr TwipsRect cmdDirAt{8400, 2760, 375, 375};
constexpr TwipsRect Label4At{6240, 4440, 1695, 255};
constexpr TwipsRect txtAppDirAt{6000, 4650, 2775, 645};
constexpr TwipsRect Label5At{6720, 5520, 975, 255};
constexpr TwipsRect txtBKnumAt{6840, 5760, 735, 285};
constexpr TwipsRect cmdSaveAt{6600, 6240, 1215, 495};

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

QLineEdit* box(QWidget* parent, const char* name, bool editable) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(name);
    b->setReadOnly(!editable);
    return b;
}

QPlainTextEdit* twoLineBox(QWidget* parent, const char* name, bool editable) {
    auto* b = new QPlainTextEdit(parent);
    b->setObjectName(name);
    b->setReadOnly(!editable);
    b->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    b->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    b->setTabChangesFocus(true);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const char* caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

// The open-file dialog's filter in the host's "description|pattern" form, as a Qt filter. "*.*" means
// every file there, which on this desktop is "*".
QString qtFilter(const std::string& hostFilter) {
    const QString f = QString::fromStdString(hostFilter);
    const QString description = f.section('|', 0, 0).trimmed();
    QString pattern = f.section('|', 1, 1).trimmed();
    if (pattern.isEmpty() || pattern == "*.*") pattern = "*";
    return description.section('(', 0, 0).trimmed() + " (" + pattern + ")";
}

}  // namespace

MainWindow::MainWindow(WindowActions& actions, int trayHostPollMs) : MainWindow(trayHostPollMs) {
    actions_ = &actions;
}

MainWindow::MainWindow(int trayHostPollMs) : QWidget(nullptr), tray_(trayHostPollMs) {
    initDesktopResources();
    setObjectName("frmMain");
    QFont panelFont = font();
    panelFont.setPointSize(PanelPointSize);
    setFont(panelFont);
    setWindowTitle(Caption);
    setWindowIcon(pictureIcon(TrayPicture::Neutral));
    buildControls();
    buildTrayMenu();
    placeControls();
    connect(&tray_, &IconTray::activated, this, &MainWindow::Form_MouseMove);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { onSessionEnding(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    txtMon_ = twoLineBox(this, "txtMon", false);
    txtMon_->setFont(terminalFont());
    txtMon_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Label1_ = label(this, "Label1", "TimeOut");
    txtTimeout_ = box(this, "txtTimeout", true);
    txtTO_ = box(this, "txtTO", false);
    Label2_ = label(this, "Label2", "Loop");
    txtLoop_ = box(this, "txtLoop", false);
    txtLP_ = box(this, "txtLP", false);
    Frame1_ = new QGroupBox("Local", this);
    Frame1_->setObjectName("Frame1");
    Frame1_->setStyleSheet(FrameStyle);
    Label6_ = label(Frame1_, "Label6", "Socket");
    txtLocal_ = box(Frame1_, "txtLocal", false);
    txtLocalIP_ = box(Frame1_, "txtLocalIP", false);
    Frame2_ = new QGroupBox("Remote", this);
    Frame2_->setObjectName("Frame2");
    Frame2_->setStyleSheet(FrameStyle);
    Label7_ = label(Frame2_, "Label7", "Socket");
    txtRemote_ = box(Frame2_, "txtRemote", false);
    txtRemIP_ = box(Frame2_, "txtRemIP", false);
    Label3_ = label(this, "Label3", "Data Directory");
    txtDataDir_ = twoLineBox(this, "txtDataDir", true);
    txtDataDir_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    cmdDir_ = new QPushButton(this);
    cmdDir_->setObjectName("cmdDir");
    cmdDir_->setIcon(QIcon(":/ostrell/cmdDir.svg"));
    cmdDir_->setIconSize(QSize(16, 15));
    cmdDir_->setToolTip("Find Remote Database");
    Label4_ = label(this, "Label4", "Application Directory");
    txtAppDir_ = twoLineBox(this, "txtAppDir", false);
    txtAppDir_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtAppDir_->viewport()->installEventFilter(this);
    Label5_ = label(this, "Label5", "BK number");
    txtBKnum_ = box(this, "txtBKnum", false);
    cmdSave_ = new QPushButton("Save", this);
    cmdSave_->setObjectName("cmdSave");

    for (QLineEdit* b : {txtTO_, txtLoop_, txtLP_, txtLocal_, txtRemote_}) b->setAlignment(Qt::AlignRight);
    connect(cmdSave_, &QPushButton::clicked, this, &MainWindow::cmdSave_Click);
    connect(cmdDir_, &QPushButton::clicked, this, &MainWindow::cmdDir_Click);
}

void MainWindow::buildTrayMenu() {
    mnuTray_ = new QMenu("File", this);
    mnuTray_->setObjectName("mnuTray");
    mnuCancel_ = mnuTray_->addAction("Cancel");
    mnuCancel_->setObjectName("mnuCancel");
    mnuMonitor_ = mnuTray_->addAction(MonitorOffCaption);
    mnuMonitor_->setObjectName("mnuMonitor");
    mnuExit_ = mnuTray_->addAction("Exit");
    mnuExit_->setObjectName("mnuExit");
    // Cancel only closes the menu, which choosing any item does.
    connect(mnuMonitor_, &QAction::triggered, this, &MainWindow::mnuMonitor_Click);
    connect(mnuExit_, &QAction::triggered, this, &MainWindow::mnuExit_Click);
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
    place(txtMon_, txtMonAt);
    place(Label1_, Label1At);
    place(txtTimeout_, txtTimeoutAt);
    place(txtTO_, txtTOAt);
    place(Label2_, Label2At);
    place(txtLoop_, txtLoopAt);
    place(txtLP_, txtLPAt);
    place(Frame1_, Frame1At);
    place(Label6_, Label6At);
    place(txtLocal_, txtLocalAt);
    place(txtLocalIP_, txtLocalIPAt);
    place(Frame2_, Frame2At);
    place(Label7_, Label7At);
    place(txtRemote_, txtRemoteAt);
    place(txtRemIP_, txtRemIPAt);
    place(Label3_, Label3At);
    place(txtDataDir_, txtDataDirAt);
    place(cmdDir_, cmdDirAt);
    place(Label4_, Label4At);
    place(txtAppDir_, txtAppDirAt);
    place(Label5_, Label5At);
    place(txtBKnum_, txtBKnumAt);
    place(cmdSave_, cmdSaveAt);
}

QIcon MainWindow::pictureIcon(TrayPicture picture) {
    initDesktopResources();
    return QIcon(QString(":/ostrell/ostrell-%1.svg").arg(static_cast<int>(picture)));
}

// --- Shell ---

void MainWindow::showCountdown(int value) {
    txtLP_->setText(QString::number(value));
    if (isVisible()) txtLP_->repaint();
}

void MainWindow::showSocketEnds(int32_t localPort, const std::string& localIP, int32_t remotePort,
                                const std::string& remoteIP) {
    txtLocal_->setText(QString::number(localPort));
    txtLocalIP_->setText(displayText(localIP));
    txtRemote_->setText(QString::number(remotePort));
    txtRemIP_->setText(displayText(remoteIP));
}

bool MainWindow::isWindowVisible() const { return isVisible(); }

std::string MainWindow::monitorText() const { return monitor_; }

void MainWindow::setMonitorText(const std::string& text) {
    monitor_ = text;
    txtMon_->setPlainText(displayText(text));
    txtMon_->verticalScrollBar()->setValue(0);  // the newest line is the first
}

void MainWindow::showMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, displayText(title), displayText(text), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setObjectName("messageBox");
    box.exec();
}

void MainWindow::showTickCount(int count) { txtTO_->setText(QString::number(count)); }

void MainWindow::showParameters(const settings::Parameters& p) {
    txtTimeout_->setText(QString::number(p.TimeOutSecs));
    txtLoop_->setText(QString::number(p.LoopCount));
    txtAppDir_->setPlainText(displayText(p.AppDirPath));
    txtDataDir_->setPlainText(displayText(p.DataDirPath));
    txtBKnum_->setText(displayText(p.LoNumbers[1]));
}

void MainWindow::addTrayIcon() { tray_.AddTrayIcon(*this, "", actions_ && actions_->monitorMode()); }

void MainWindow::setTrayPicture(TrayPicture picture) {
    picture_ = picture;
    setWindowIcon(linkAlert_ ? withWarningMark(pictureIcon(picture)) : pictureIcon(picture));
    tray_.ModifyTrayIcon(*this);
}

void MainWindow::showLinkState(bool alerting, const std::string& tipLine) {
    tray_.setTipDetail(tipLine);
    if (alerting == linkAlert_) return;
    linkAlert_ = alerting;
    setTrayPicture(picture_);
}

void MainWindow::notify(const std::string& text, bool warning) {
    const QString title = warning ? tr("Bookings are not coming in") : tr("Bookings are coming in again");
    if (!DesktopNotifier::send(title, QString::fromStdString(text), warning))
        tray_.showBalloon(title, QString::fromStdString(text), warning);
}

void MainWindow::deleteTrayIcon() { tray_.DeleteTrayIcon(*this); }

// --- the panel ---

std::string MainWindow::timeoutText() const { return txtTimeout_->text().toStdString(); }

std::string MainWindow::dataDirText() const { return txtDataDir_->toPlainText().toStdString(); }

void MainWindow::focusTimeout() { txtTimeout_->setFocus(Qt::OtherFocusReason); }

std::optional<std::string> MainWindow::chooseFile(const std::string& title, const std::string& filter) {
    const QString start = QFileInfo(txtDataDir_->toPlainText()).path();
    const QString chosen = QFileDialog::getOpenFileName(this, QString::fromStdString(title), start, qtFilter(filter));
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

void MainWindow::setDataDirText(const std::string& text) { txtDataDir_->setPlainText(QString::fromStdString(text)); }

// --- the Monitor item ---

std::optional<std::string> MainWindow::askPassword(const std::string& prompt) {
    QInputDialog dialog(isVisible() ? this : nullptr);
    dialog.setObjectName("passwordBox");
    dialog.setWindowTitle(ProgramTitle);
    dialog.setLabelText(QString::fromStdString(prompt));
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

void MainWindow::setMonitorMode(bool on) {
    if (actions_) actions_->setMonitorMode(on);
}

void MainWindow::setMonitorCaption(const std::string& caption) { mnuMonitor_->setText(QString::fromStdString(caption)); }

// --- events ---

void MainWindow::Form_MouseMove(TrayEvent event) {
    if (!actions_) return;
    errors::Trap trap(actions_->reporter(), "Form_MouseMove");
    switch (trayActionFor(event)) {
        case TrayAction::OpenMenu:
            trap(80, [&] { mnuTray_->popup(QCursor::pos()); });
            break;
        case TrayAction::RestoreNormal:
            // Restores a minimised window; a hidden one stays hidden (only Monitor shows it).
            trap(85, [&] { setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)); });
            break;
        case TrayAction::Nothing:
            break;
    }
}

void MainWindow::cmdSave_Click() {
    if (actions_) app::cmdSave_Click(*this, actions_->settings(), actions_->reporter());
}

void MainWindow::cmdDir_Click() {
    if (actions_) app::cmdDir_Click(*this, actions_->files());
}

void MainWindow::txtAppDir_DblClick() {
    if (actions_) showMessage(ProgramTitle, actions_->serverAddressText());
}

void MainWindow::mnuMonitor_Click() {
    if (actions_) app::mnuMonitor_Click(*this, actions_->reporter());
}

void MainWindow::mnuExit_Click() {
    if (actions_) actions_->mnuExit_Click();
}

void MainWindow::onSessionEnding() {
    sessionEnding_ = true;
    close();
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (actions_) actions_->setCountdownShown(true);
}

void MainWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (actions_) actions_->setCountdownShown(false);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    const CloseReason reason = sessionEnding_ ? CloseReason::SessionEnding : CloseReason::ControlMenu;
    if (actions_ && actions_->Form_QueryUnload(reason)) {
        e->accept();
    } else {
        sessionEnding_ = false;
        e->ignore();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == txtAppDir_->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        txtAppDir_DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

}  // namespace ostrell::app
