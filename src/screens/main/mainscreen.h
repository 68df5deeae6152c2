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

class MainScreen : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int BlinkMs = 1000;
    static constexpr int PageStep = 10; // PageUp / PageDown step the address this far

    // The model and the prompts must outlive this screen.
    MainScreen(HostModel& model, Prompts& prompts, QWidget* parent = nullptr);
    ~MainScreen() override;

    // Start-up: the model opens the port and reads the tuning file, then the screen shows.
    // False when the port cannot be opened (errorText says why); the screen stays hidden.
    bool load(QString* errorText = nullptr);

    // Where the opened screens come from; tests replace them before using the buttons.
    ScreenOpeners& openers() { return openers_; }
    // What Exit and closing the window do: end the program. Tests replace it.
    void setExitProgram(std::function<void()> exitProgram);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override; // asks as Exit does, then the program ends

private:
    void build();
    void bindKeys();
    // The model starts (or, coming back, restarts) the poll cycle while the screen shows.
    void activate();
    void refresh();
    void showCommandState();
    void blink();
    // The exit question, then the kept log entries: true when the program may end.
    bool mayExit();

    void onBitClicked();
    void onSetupClicked();
    void onNewAddressClicked();
    void onMasterModeClicked();
    void onStatusLogClicked();
    void onViewLogClicked();
    void onMaintenanceClicked();
    void onExitClicked();

    void openSetup(const SetupOpening& opening);
    void openNewAddress();
    void openPassword();
    void openInstead(const std::function<QWidget*(ScreenContext&)>& opener);
    void cameBack();
    QWidget* track(QWidget* screen);

    HostModel& model_;
    Prompts& prompts_;
    HostContext context_; // what the screens opened from here get
    ScreenOpeners openers_;
    std::function<void()> exitProgram_;

    QPushButton* viewLogButton_ = nullptr;
    QPushButton* masterModeButton_ = nullptr;
    QPushButton* addressDownButton_ = nullptr;
    QPushButton* addressUpButton_ = nullptr;
    QPushButton* maintenanceButton_ = nullptr;
    QPushButton* newAddressButton_ = nullptr;
    QPushButton* bitButton_ = nullptr;
    QPushButton* setupButton_ = nullptr;
    QPushButton* statusLogButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* modelName_ = nullptr;
    QLabel* serial_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* linkText_ = nullptr;
    LampShape* linkLamp_ = nullptr;
    QLabel* bitMessage_ = nullptr;
    QLabel* logNotice_ = nullptr;
    QLabel* tuningNotice_ = nullptr;
    QLabel* messageLine_ = nullptr;    // the newest message, older ones as tooltip
    QList<QString> commandTips_;       // BIT, Setup and New address, before any refusal
    ClockTimer* blinkTimer_ = nullptr; // the status log notice's blink
    bool blinkPhase_ = false;          // never reset during a run
    FormKeys* keys_ = nullptr;
    bool destroying_ = false;
    QList<QPointer<QWidget>> screens_; // opened from here; closed with the main screen
};

} // namespace fh
