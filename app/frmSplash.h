#pragma once
#include <QWidget>
#include <QtGlobal>

#include <functional>

class QFrame;
class QLabel;
class QTimer;

// The start-up window: title, version and a few fixed lines on green, for about
// three seconds. At the third tick of Timer1 it closes itself and then shows the
// lookup window; a typed character or a click on Frame1 closes it before that,
// and the run ends without the lookup window.
class frmSplash : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int intTickCount READ tickCount)
public:
    // Creates the window that follows the splash window, or returns nullptr
    // when it could not be made (it has said why); the splash window shows it.
    using NextWindow = std::function<QWidget*()>;

    // `next` defaults to the lookup window over the database in the working
    // directory. The window deletes itself when it closes.
    explicit frmSplash(NextWindow next = lookupWindow);
    ~frmSplash() override;

    static QWidget* lookupWindow();

    int tickCount() const { return intTickCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void Timer1_Timer();

private:
    void Form_Load();
    void Form_KeyPress(int KeyAscii);
    void Frame1_Click();
    void watchKeysOf(QWidget* widget);

    NextWindow nextWindow;
    qint16 intTickCount = 0;
    bool frame1Pressed = false;

    QFrame* Frame1 = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblPlatform = nullptr;
    QLabel* lblWarning = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblCompany = nullptr;
    QTimer* Timer1 = nullptr;
};
