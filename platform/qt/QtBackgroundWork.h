#pragma once

#include "platform/BackgroundWork.h"

#include <QObject>
#include <QPointer>
#include <QWidget> // QPointer<QWidget> needs the whole class

#include <cstdint>
#include <memory>
#include <vector>


namespace tolmar {

// Runs file work on worker threads while the event loop goes on (HID reports
// are read and records appended meanwhile), and each finishing step on the
// thread this object lives in: create it on the UI thread. Work lasting
// longer than progressDelayMs gets a progress dialog, window-modal over the
// window, with Cancel.
//
// Destroying it (or shutDown()) cancels and joins every worker and drops
// their finishing steps: the program is closing. It must happen before
// whatever the work uses goes.
class QtBackgroundWork final : public QObject, public BackgroundWork {
    Q_OBJECT
public:
    static constexpr int progressDelayMs = 500;
    static constexpr int pollIntervalMs = 100;

    explicit QtBackgroundWork(QWidget *window = nullptr);
    ~QtBackgroundWork() override;

    // The window the progress dialogs are modal to.
    void setWindow(QWidget *window) { m_window = window; }

    void start(const std::string &title, std::shared_ptr<WorkProgress> progress, std::function<void()> work,
               std::function<void()> finished) override;

    // Cancels and joins every worker; their finishing steps never run and
    // work started afterwards is dropped.
    void shutDown();
    // Work started whose finishing step has not run yet.
    std::size_t running() const { return m_jobs.size(); }

private:
    struct Job;
    void poll(Job &job);
    void showProgress(Job &job);
    void ended(std::uint64_t id);

    QPointer<QWidget> m_window;
    std::vector<std::unique_ptr<Job>> m_jobs;
    std::uint64_t m_nextId = 1;
    bool m_shutDown = false;
};

} // namespace tolmar
