// Qt's own file dialog as the program configures it, driven offscreen from
// inside its event loop.
#include "platform/qt/QtFileDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace tolmar {
namespace {

// Runs `act` on the modal widget of type T once it shows, from inside the
// event loop that shows it. One that never shows fails the test and closes
// whatever modal widget is up, so the test cannot hang.
template <class T>
void whenShown(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
        T *widget = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!widget || !widget->isVisible()) {
            if (clock->elapsed() < 5000)
                return;
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " showed";
            if (auto *stuck = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                stuck->reject();
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (widget && widget->isVisible())
            act(widget);
    });
    timer->start();
}

// Until the dialog's folder is listed: the list's selection follows the
// typed name only then.
void waitForTheFolder(QFileDialog *dialog)
{
    auto *model = dialog->findChild<QFileSystemModel *>();
    ASSERT_NE(model, nullptr);
    QElapsedTimer clock;
    clock.start();
    const QModelIndex folder = model->index(dialog->directory().absolutePath());
    while (model->rowCount(folder) == 0 && clock.elapsed() < 2000)
        QTest::qWait(5);
}

QLineEdit *nameEdit(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>("fileNameEdit");
}

// The name typed into the dialog's name box, which has the focus: the list's
// selection follows it then.
void type(QFileDialog *dialog, const QString &name)
{
    QLineEdit *edit = nameEdit(dialog);
    ASSERT_NE(edit, nullptr);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    edit->setText(name);
}

// Then a click on Save or Open.
void typeAndAccept(QFileDialog *dialog, const QString &name)
{
    type(dialog, name);
    auto *buttons = dialog->findChild<QDialogButtonBox *>("buttonBox");
    ASSERT_NE(buttons, nullptr);
    QPushButton *ok = buttons->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                     : QDialogButtonBox::Open);
    ASSERT_NE(ok, nullptr);
    if (!ok->isEnabled()) {
        ADD_FAILURE() << "cannot take " << name.toStdString();
        dialog->reject();
        return;
    }
    ok->click();
}

FileDialog saveDialog()
{
    FileDialog d;
    d.kind = FileDialog::Kind::Save;
    d.Filter = "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt";
    d.DefaultExt = "xls";
    d.overwritePrompt = true;
    d.hideReadOnly = true;
    return d;
}

FileDialog openDialog()
{
    FileDialog d;
    d.kind = FileDialog::Kind::Open;
    d.Filter = "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt";
    return d;
}

std::string pathIn(const QTemporaryDir &dir, const char *name)
{
    return QFile::encodeName(dir.filePath(QString::fromUtf8(name))).toStdString();
}

void touch(const std::string &path)
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

TEST(QtFileDialogs, FiltersBecomeQtNameFilters)
{
    const struct { const char *filter; QStringList expected; } cases[] = {
        {"Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt", {"Excel File (*.xls)", "Txt File (*.txt)"}},
        {"Data|*.dat", {"Data (*.dat)"}},
        {"Tables (*.xls;*.txt)|*.xls;*.txt", {"Tables (*.xls *.txt)"}},
        // Brackets that are not the patterns stay in the name.
        {"Old (1998)|*.dat", {"Old (1998) (*.dat)"}},
        {"All|", {"All (*)"}},
        {"Everything", {"Everything (*)"}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qtNameFilters(c.filter), c.expected) << c.filter;
}

TEST(QtFileDialogs, TheDefaultExtensionFollowsTheChosenFileType)
{
    const struct { const char *filter; const char *defaultExt; const char *expected; } cases[] = {
        {"Excel File (*.xls)", "xls", "xls"},
        {"Txt File (*.txt)", "xls", "txt"},
        {"Tables (*.txt *.xls)", "xls", "txt"},
        {"All (*)", "xls", "xls"},
        {"Any (*.*)", "xls", "xls"},
        {"Backups (*.tar.gz)", "xls", "xls"},
        {"Txt File (*.txt)", "", ""}, // no default extension: none is added
    };
    for (const auto &c : cases)
        EXPECT_EQ(defaultSuffixFor(c.filter, c.defaultExt), c.expected) << c.filter;
}

TEST(QtFileDialogs, SaveAddsTheDefaultExtensionToATypedName)
{
    QTemporaryDir dir;
    QWidget window;
    QtFileDialogs dialogs(&window);
    FileDialog d = saveDialog();

    QFileDialog *seen = nullptr;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        seen = dialog;
        EXPECT_EQ(dialog->parentWidget(), &window);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Excel File (*.xls)", "Txt File (*.txt)"}));
        EXPECT_EQ(nameEdit(dialog)->text(), "") << "nothing preselected";
        typeAndAccept(dialog, dir.filePath("readings"));
    });
    ASSERT_TRUE(dialogs.execute(d));
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(d.FileName, pathIn(dir, "readings.xls"));

    // A name with its own extension keeps it.
    d.FileName.clear();
    whenShown<QFileDialog>([&](QFileDialog *dialog) { typeAndAccept(dialog, dir.filePath("readings.xml")); });
    ASSERT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "readings.xml"));

    // With "Txt File" chosen a bare name becomes a text file.
    d.FileName.clear();
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        dialog->selectNameFilter("Txt File (*.txt)");
        emit dialog->filterSelected("Txt File (*.txt)"); // what the file type box does
        typeAndAccept(dialog, dir.filePath("readings"));
    });
    ASSERT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "readings.txt"));
}

TEST(QtFileDialogs, ReplacingAFileAsksFirst)
{
    QTemporaryDir dir;
    touch(pathIn(dir, "readings.xls"));
    QtFileDialogs dialogs;

    // No: the dialog stays open; then Cancel.
    FileDialog d = saveDialog();
    d.FileName = "kept";
    QString question;
    bool stillOpen = false;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        whenShown<QMessageBox>([&, dialog](QMessageBox *box) {
            question = box->text();
            box->button(QMessageBox::No)->click();
            QTimer::singleShot(0, dialog, [&, dialog] {
                stillOpen = dialog->isVisible();
                dialog->reject();
            });
        });
        typeAndAccept(dialog, dir.filePath("readings"));
    });
    EXPECT_FALSE(dialogs.execute(d));
    EXPECT_TRUE(question.contains("readings.xls")) << question.toStdString();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(d.FileName, "kept") << "Cancel leaves the name as it was";

    // Yes: the name is chosen.
    d = saveDialog();
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        whenShown<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        typeAndAccept(dialog, dir.filePath("readings"));
    });
    EXPECT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "readings.xls"));

    // Without overwritePrompt nothing is asked.
    d = saveDialog();
    d.overwritePrompt = false;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        typeAndAccept(dialog, dir.filePath("readings"));
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "asked: " << box->text().toStdString();
                box->button(QMessageBox::Yes)->click();
            }
        });
    });
    EXPECT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "readings.xls"));
}

TEST(QtFileDialogs, CancelReturnsFalseAndKeepsTheName)
{
    for (FileDialog d : {saveDialog(), openDialog()}) {
        QtFileDialogs dialogs;
        d.FileName = "/nowhere/before.xls";
        whenShown<QFileDialog>([](QFileDialog *dialog) {
            auto *buttons = dialog->findChild<QDialogButtonBox *>("buttonBox");
            buttons->button(QDialogButtonBox::Cancel)->click();
        });
        EXPECT_FALSE(dialogs.execute(d));
        EXPECT_EQ(d.FileName, "/nowhere/before.xls");
    }
}

TEST(QtFileDialogs, OpenPreselectsTheNameAndTakesAnyExistingFile)
{
    QTemporaryDir dir;
    for (const char *name : {"first.xml", "second.xml", "third.txt"})
        touch(pathIn(dir, name));
    QtFileDialogs dialogs;
    FileDialog d = openDialog();
    d.FileName = pathIn(dir, "first.xml");

    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_EQ(nameEdit(dialog)->text(), "first.xml");
        waitForTheFolder(dialog);
        QPushButton *open = dialog->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Open);
        // A name that does not exist cannot be opened.
        type(dialog, dir.filePath("missing.xml"));
        EXPECT_FALSE(open->isEnabled());
        // A packet can, though no file type lists it.
        typeAndAccept(dialog, dir.filePath("second.xml"));
    });
    ASSERT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "second.xml"));

    // Opened again, the last name is preselected; a listed file opens too.
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        EXPECT_EQ(nameEdit(dialog)->text(), "second.xml");
        waitForTheFolder(dialog);
        dialog->selectNameFilter("Txt File (*.txt)");
        typeAndAccept(dialog, "third.txt");
    });
    ASSERT_TRUE(dialogs.execute(d));
    EXPECT_EQ(d.FileName, pathIn(dir, "third.txt"));
}

} // namespace
} // namespace tolmar
