#pragma once
// The main screen: a view of the host model. It shows the detector at the current bus
// address and starts everything else (BIT, master mode, address stepping, setup, new
// address, maintenance, the status log and its viewer).
#include "screens/main/hostcontext.h"
#include "screens/main/screenopeners.h"

#include <functional>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class QLabel;
class QPushButton;

namespace fh {

class ClockTimer;
class FormKeys;
class HostModel;
class LampShape;
class Prompts;

// Texts of the main screen.
inline const QString MainWindowTitle = QStringLiteral("Ostrix Q519300F June 2005 ");
inline const QString ProgramTitle = QStringLiteral("flamehost");
inline const QString BitPerformedText = QStringLiteral("BIT is performed!");
inline const QString ExitQuestion = QStringLiteral("Are you sure to exit program?");
inline const QString ExitTitle = QStringLiteral("EXIT PROGRAM");
inline const QString MissingLogText =
    QStringLiteral("File does not exsist - First record to a file and then open it!");
inline const QString MissingLogTitle = QStringLiteral("MISSING FILE");
inline const QString LogPeriodPrompt = QStringLiteral("Enter LogFile Period in minutes(1..255)");

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int BlinkMs = 1000;
    static constexpr int PageStep = 10; // PageUp / PageDown step the address this far

    // The model and the prompts must outlive this screen.
    frmMain(HostModel& model, Prompts& prompts, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: the model opens the port and reads the tuning file, then the screen shows.
    // False when the port cannot be opened (errorText says why); the screen stays hidden.
    bool Form_Load(QString* errorText = nullptr);
    // Activation: the model starts (or, coming back, restarts) the poll cycle.
    void Form_Activate();

    void cmdSearch_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdBIT_Click();
    void cmdChangeAddr_Click();
    void cmdSetio_Click();
    void cmdMaintenance_Click();
    void cmdShowLog_Click();
    void cmdLog_Click();
    void cmdE_Click();
    void Timer2_Timer();

    HostModel& model() { return model_; }
    bool BlinkPhase = false; // lblLogOn's blink; never reset during a run

    QPushButton* cmdShowLog = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdMaintenance = nullptr;
    QPushButton* cmdChangeAddr = nullptr;
    QPushButton* cmdBIT = nullptr;
    QPushButton* cmdSetio = nullptr;
    QPushButton* cmdLog = nullptr;
    QPushButton* cmdE = nullptr;
    QLabel* lblChooseAddr = nullptr;
    QLabel* lblDetType = nullptr;
    QLabel* lblserNum = nullptr;
    QLabel* lblDetStatus = nullptr;
    QLabel* lblCom = nullptr;
    LampShape* Shape1 = nullptr;
    QLabel* lblBit = nullptr;
    QLabel* lblLogOn = nullptr;
    QLabel* lblF12 = nullptr;
    QLabel* lblType = nullptr;
    QLabel* lblSta = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblSerial = nullptr;
    ClockTimer* Timer2 = nullptr;
    QLabel* lblNotice = nullptr; // the message line: newest message, older ones as tooltip

    // Where the opened screens come from; tests may replace them before using the buttons.
    ScreenOpeners openers;
    // What Exit and closing the window do: end the program. Tests replace it.
    std::function<void()> exitProgram;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override; // asks as Exit does, then the program ends

private:
    void build();
    void bindKeys();
    void refresh();
    void showCommandState();
    // The exit question, then the kept log entries: true when the program may end.
    bool mayExit();
    void openSetup(const SetupOpening& opening);
    void openNewAddress();
    void openPassword();
    void openInstead(const std::function<QWidget*(ScreenContext&)>& opener);
    void cameBack();
    QWidget* track(QWidget* screen);

    HostModel& model_;
    Prompts& prompts_;
    HostContext context_; // what the screens opened from here get
    FormKeys* keys_ = nullptr;
    bool destroying_ = false;
    QList<QPointer<QWidget>> screens_; // opened from here; closed with the main screen
};

} // namespace fh
