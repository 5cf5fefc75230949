#pragma once
#include <QDialog>
#include <QString>
#include <QtGlobal>

class QLabel;
class QPushButton;

// The about window: the program's name, version and description, and a button
// that starts the system's information tool. There is one about window at a time;
// it is not modal, has no owner, stays out of the task bar and is deleted when
// it closes.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Shows the about window: creates and loads it when none is open, otherwise
    // brings the open one forward without loading it again. Returns the window.
    static frmAbout* showInstance();
    // The open about window, or nullptr.
    static frmAbout* instance();

    ~frmAbout() override;

    // Reads one registry value as text (see about/Registry.h for the registry in
    // force). True when the value was read; on false KeyVal is empty. A value
    // stored with no data at all raises zorvane::RuntimeError.
    static bool GetKeyValue(qint32& KeyRoot, QString& KeyName, QString& SubKeyRef,
                            QString& KeyVal);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    frmAbout();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    QLabel* Image1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QWidget* Line1 = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblStarted = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
};
