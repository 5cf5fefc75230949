#include "lookup/WalkDisplay.h"
#include "lookup/ResultCombo.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegion>

namespace zorvane::lookup {

namespace {

// A frame of the screen: the walk draws its changes no more often than this.
constexpr qint64 FrameMilliseconds = 16;

QString recordText(qint32 number) { return QStringLiteral("Searching Record # %1").arg(number); }
QString matchText(qint32 count) { return QStringLiteral("%1 Matching Records").arg(count); }

} // namespace

WalkDisplay::WalkDisplay(QWidget* window, Controls controls) : window_(window), c_(controls) {}

void WalkDisplay::beginWalk()
{
    walking_ = true;
    pending_ = 0;
    clock_.start();
}

void WalkDisplay::endWalk()
{
    walking_ = false;
    draw();
}

void WalkDisplay::frame()
{
    if (pending_ != 0 && clock_.elapsed() >= FrameMilliseconds)
        draw();
}

void WalkDisplay::showPrg1(int value)
{
    prg1Value_ = value;
    if (walking_)
        pending_ |= PendingPrg1;
    else
        c_.prg1->setValue(value);
}

void WalkDisplay::showPrg2(int value, int maximum)
{
    prg2Value_ = value;
    prg2Maximum_ = maximum;
    if (walking_) {
        pending_ |= PendingPrg2;
    } else {
        c_.prg2->setMaximum(maximum);
        c_.prg2->setValue(value);
    }
}

void WalkDisplay::showRecordNumber(qint32 number)
{
    recordNumber_ = number;
    if (walking_)
        pending_ |= PendingPanel1;
    else
        c_.panel1->setText(recordText(number));
}

void WalkDisplay::showMatchCount(qint32 count)
{
    matchCount_ = count;
    if (walking_)
        pending_ |= PendingPanel2;
    else
        c_.panel2->setText(matchText(count));
}

void WalkDisplay::showFieldText(ResultCombo* list, const QString& text)
{
    if (!walking_) {
        list->setFieldText(text);
    } else if (list == c_.codes) {
        codeText_ = text;
        pending_ |= PendingCodeText;
    } else {
        vendorText_ = text;
        pending_ |= PendingVendorText;
    }
}

void WalkDisplay::draw()
{
    if (pending_ == 0)
        return;
    const unsigned changed = pending_;
    pending_ = 0;
    // Every change only marks its widget; one repaint then draws them all and
    // puts them on the screen together.
    QRegion region;
    auto mark = [this, &region](QWidget* w) {
        region += QRect(w->mapTo(window_, QPoint()), w->size());
    };
    auto setBar = [&mark](QProgressBar* bar, int maximum, int value) {
        bar->setUpdatesEnabled(false);   // a progress bar would repaint at once
        bar->setMaximum(maximum);
        bar->setValue(value);
        bar->setUpdatesEnabled(true);
        mark(bar);
    };
    if (changed & PendingPrg1)
        setBar(c_.prg1, c_.prg1->maximum(), prg1Value_);
    if (changed & PendingPrg2)
        setBar(c_.prg2, prg2Maximum_, prg2Value_);
    if (changed & PendingPanel1) {
        c_.panel1->setText(recordText(recordNumber_));
        mark(c_.panel1);
    }
    if (changed & PendingPanel2) {
        c_.panel2->setText(matchText(matchCount_));
        mark(c_.panel2);
    }
    if (changed & PendingCodeText) {
        c_.codes->setFieldText(codeText_);
        mark(c_.codes);
    }
    if (changed & PendingVendorText) {
        c_.vendors->setFieldText(vendorText_);
        mark(c_.vendors);
    }
    window_->repaint(region);
    clock_.restart();
}

} // namespace zorvane::lookup
