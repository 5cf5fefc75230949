#pragma once
#include <QElapsedTimer>
#include <QString>

class QLabel;
class QProgressBar;
class QWidget;

namespace zorvane::lookup {

class ResultCombo;

// What the lookup window shows while a search walks the table: the two
// progress bars, the status panels and the count texts of the two lists.
// Outside a walk every change is drawn at once. During one, changes are kept
// and drawn together at most once a frame, and at once when the walk ends, so
// that the walk runs at the engine's pace and the screen still follows it.
class WalkDisplay {
public:
    struct Controls {
        QProgressBar* prg1;
        QProgressBar* prg2;
        QLabel* panel1;
        QLabel* panel2;
        ResultCombo* codes;
        ResultCombo* vendors;
    };
    WalkDisplay(QWidget* window, Controls controls);

    void beginWalk();
    // Draws what is still pending and stops keeping changes.
    void endWalk();
    // Draws the pending changes once a frame has passed since the last drawing.
    void frame();

    void showPrg1(int value);
    void showPrg2(int value, int maximum);
    // Panel 1: "Searching Record # " and the record's number.
    void showRecordNumber(qint32 number);
    // Panel 2: the count and " Matching Records".
    void showMatchCount(qint32 count);
    // The field of one of the two lists.
    void showFieldText(ResultCombo* list, const QString& text);

private:
    void draw();

    enum Pending : unsigned {
        PendingPrg1 = 1u << 0,
        PendingPrg2 = 1u << 1,
        PendingPanel1 = 1u << 2,
        PendingPanel2 = 1u << 3,
        PendingCodeText = 1u << 4,
        PendingVendorText = 1u << 5,
    };

    QWidget* window_;
    Controls c_;
    bool walking_ = false;
    unsigned pending_ = 0;
    int prg1Value_ = 0;
    int prg2Value_ = 0;
    int prg2Maximum_ = 0;
    qint32 recordNumber_ = 0;
    qint32 matchCount_ = 0;
    QString codeText_;
    QString vendorText_;
    QElapsedTimer clock_;
};

} // namespace zorvane::lookup
