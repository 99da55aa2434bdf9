// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>

// Keeps a window alive while a long run goes on inside one handler: now and then it lets paint
// and timer events through, while every click, key and wheel turn meant for the program is
// swallowed. An Esc press is noted as a request to stop. Installed for its lifetime as the
// application's event filter.
class ResponsiveRun : public QObject {
public:
    // Paint events go through at least this often while the run calls breathe().
    static constexpr qint64 kIntervalMs = 50;

    ResponsiveRun();
    // Delivers what queued up meanwhile, input swallowed, then removes the filter.
    ~ResponsiveRun() override;
    ResponsiveRun(const ResponsiveRun&) = delete;
    ResponsiveRun& operator=(const ResponsiveRun&) = delete;

    // True when kIntervalMs have passed since the window last breathed (or never did).
    [[nodiscard]] bool due() const;
    // Delivers the events waiting now (repaints, timers); input is swallowed.
    void breathe();
    [[nodiscard]] bool stopRequested() const { return mStopRequested; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer mClock;
    bool mStopRequested = false;
    bool mFinishing = false;
};
