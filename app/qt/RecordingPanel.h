#pragma once

#include "record/Recording.h"

#include <QFrame>

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace tolmar {

// The recording bar Panel5 (337 x 33): "Repeat", "Sampling Interval" with
// its interval in seconds, and the buttons RecordNew ("Close Data"),
// OpenDataFiles, saveas and BtPrint. It paints Recording's state and
// forwards clicks, keys and edits to its handlers; the buttons only signal.
class RecordingPanel final : public QFrame {
    Q_OBJECT
public:
    static constexpr int panelWidth = 337;
    static constexpr int panelHeight = 33;
    static constexpr const char *intervalProblemHint =
        "Type the sampling interval in whole seconds: frames are not recorded while it is empty";

    explicit RecordingPanel(Recording &core, QWidget *parent = nullptr);

    // Paints the core's state.
    void refresh();
    // OpenDataFiles and saveas wait while a save or load runs.
    void setFileWorkRunning(bool running);

    QCheckBox *RepeatSet = nullptr;
    QCheckBox *RecordSI = nullptr;
    QLineEdit *RecordSITime = nullptr;
    QToolButton *RecordNew = nullptr;
    QToolButton *OpenDataFiles = nullptr;
    QToolButton *saveas = nullptr;
    QToolButton *BtPrint = nullptr;

signals:
    void recordNewClicked();
    void openDataFilesClicked();
    void saveasClicked();
    void btPrintClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void layOut();

    Recording &m_core;
    bool m_showsProblem = false;
};

} // namespace tolmar
