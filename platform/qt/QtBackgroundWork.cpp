#include "platform/qt/QtBackgroundWork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <exception>
#include <system_error>
#include <thread>

namespace tolmar {

struct QtBackgroundWork::Job {
    std::uint64_t id = 0;
    QString title;
    std::shared_ptr<WorkProgress> progress;
    std::function<void()> finished;
    std::thread thread;
    QElapsedTimer clock;
    QTimer timer; // polls the progress while the work runs
    QPointer<QProgressDialog> dialog;
    QProgressBar *bar = nullptr; // the dialog's
    bool progressShown = false;  // once: a dialog the user closed stays closed
};

namespace {

// A message box or dialog of the program's own is open (the close question,
// say): the progress bar waits until it is answered rather than cover it.
bool questionOpen()
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal && !qobject_cast<QProgressDialog *>(modal);
}

} // namespace

QtBackgroundWork::QtBackgroundWork(QWidget *window) : m_window(window) {}

QtBackgroundWork::~QtBackgroundWork()
{
    shutDown();
}

void QtBackgroundWork::start(const std::string &title, std::shared_ptr<WorkProgress> progress,
                             std::function<void()> work, std::function<void()> finished)
{
    if (m_shutDown)
        return;
    auto job = std::make_unique<Job>();
    job->id = m_nextId++;
    job->title = QString::fromStdString(title);
    job->progress = progress ? std::move(progress) : std::make_shared<WorkProgress>();
    job->finished = std::move(finished);
    const std::uint64_t id = job->id;
    try {
        job->thread = std::thread([this, id, progress = job->progress, work = std::move(work)]() mutable {
            try {
                work();
            } catch (const std::exception &e) {
                // It did not complete: ended as cancelled, its result is not
                // used, and the finishing step still runs so the program
                // leaves its busy state.
                std::fprintf(stderr, "tolmar: file work failed: %s\n", e.what());
                progress->cancel();
            } catch (...) {
                std::fprintf(stderr, "tolmar: file work failed\n");
                progress->cancel();
            }
            work = nullptr; // what it captured goes here, not on the UI thread
            // Queued to this object's thread; dropped if it is gone by then.
            QMetaObject::invokeMethod(this, [this, id] { ended(id); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error &e) {
        std::fprintf(stderr, "tolmar: cannot start file work: %s\n", e.what());
        return;
    }
    job->clock.start();
    job->timer.setInterval(pollIntervalMs);
    Job &started = *job;
    connect(&job->timer, &QTimer::timeout, this, [this, &started] { poll(started); });
    job->timer.start();
    // Before any queued end can run: that needs this thread's event loop.
    m_jobs.push_back(std::move(job));
}

void QtBackgroundWork::poll(Job &job)
{
    if (!job.progressShown && job.clock.elapsed() >= progressDelayMs && !questionOpen())
        showProgress(job);
    if (!job.dialog)
        return;
    const std::uint64_t total = job.progress->total();
    const std::uint64_t done = std::min(job.progress->done(), total);
    if (total == 0) {
        job.bar->setRange(0, 0); // size unknown: a busy bar
        return;
    }
    // The bar counts in int: large totals are counted in larger steps.
    const std::uint64_t step = total / INT_MAX + 1;
    job.bar->setRange(0, static_cast<int>(total / step));
    // Straight to the bar: the dialog's setValue would run the event loop
    // from inside this call.
    job.bar->setValue(static_cast<int>(done / step));
}

void QtBackgroundWork::showProgress(Job &job)
{
    job.progressShown = true;
    auto *dialog = new QProgressDialog(m_window);
    dialog->setWindowTitle(QApplication::applicationName());
    dialog->setLabelText(job.title);
    job.bar = new QProgressBar(dialog);
    dialog->setBar(job.bar);
    // It goes when the work ends, not when the bar is full or Cancel is hit.
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setWindowModality(Qt::WindowModal);
    // Cancel (or Escape, or closing the box) hides it; the work stops at its
    // next check and its finishing step reports how it ended.
    const std::shared_ptr<WorkProgress> progress = job.progress;
    connect(dialog, &QProgressDialog::canceled, this, [progress] { progress->cancel(); });
    job.dialog = dialog;
    dialog->show();
}

void QtBackgroundWork::ended(std::uint64_t id)
{
    const auto found = std::find_if(m_jobs.begin(), m_jobs.end(), [id](const auto &job) { return job->id == id; });
    if (found == m_jobs.end())
        return; // shut down meanwhile
    std::unique_ptr<Job> job = std::move(*found);
    m_jobs.erase(found);
    job->timer.stop();
    job->thread.join(); // it has posted its end: nothing left to run
    delete job->dialog.data();
    std::function<void()> finished = std::move(job->finished);
    job.reset();
    // Last, with this object in order again: the step may open a message
    // box (running the event loop) or start more work.
    if (finished)
        finished();
}

void QtBackgroundWork::shutDown()
{
    m_shutDown = true;
    for (const auto &job : m_jobs) {
        job->timer.stop();
        job->progress->cancel();
    }
    for (const auto &job : m_jobs)
        if (job->thread.joinable())
            job->thread.join();
    for (const auto &job : m_jobs)
        delete job->dialog.data();
    m_jobs.clear();
}

} // namespace tolmar
