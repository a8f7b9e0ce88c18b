#pragma once
// Pieces of the window tests: numbered instrument messages with the rows they make, the modal
// windows a command brings up, and a program host on directories of its own.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>  // the box's default button
#include <QTest>
#include <QTreeView>
#include <cstdio>

#include "link/LinkTestSupport.h"
#include "monitor/Form1.h"
#include "platform/posix/PosixDesktopShell.h"
#include "platform/qt/QtFileDialog.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtSerialLink.h"
#include "platform/qt/QtSingleInstance.h"

class GuiTest : public QObject {
    Q_OBJECT

  private slots:
    void ReadingListThroughWrappingAndUnits();
    void ValuesShowWholeInTheirColumns();
    void CommandsAndSessionsThroughTheToolbarAndTheMenu();
    void MessageBoxLooksAndAnswers();
    void PortMarksAndReceptionUnderTheRealDialogs();
    void QuitAndCloseEndTheProcessWithTheFileComplete();
#if RHEO_WITH_TREND
    void TrendWindowFollowsTheEngine();
#endif
};

namespace rheo::test {

// Reading n today as a row of the session file: neighbours differ in every field.
inline std::string NumberedRow(int n) {
    char row[128];
    std::snprintf(row, sizeof row, "%s,10:%02d:%02d,LCP,100,%d.%d,,%08d,,%d.%d\r\n",
                  SystemClock().DateText().c_str(), n / 60 % 60, n % 60, 20 + n % 10, n % 10,
                  1000 + 37 * n, 10 + n % 80, n % 10);
    return row;
}

inline QStringList NumberedCells(int n) {
    return QString::fromLatin1(NumberedRow(n)).trimmed().split(',');
}

inline std::string NumberedMessage(int n, const std::string& temperatureUnit = "C",
                                   const std::string& viscosityUnit = "cP") {
    const QStringList f = NumberedCells(n);
    return Message(f[1].toStdString(), "100", f[4].toStdString() + temperatureUnit,
                   viscosityUnit + ": " + f[6].toStdString(), f[8].toStdString());
}

inline QStringList RowCells(const QTreeView* list, int row) {
    QStringList cells;
    for (int column = 0; column < list->model()->columnCount(); ++column) {
        cells.append(list->model()->index(row, column).data().toString());
    }
    return cells;
}

// Runs `run` and hands each modal window that comes up meanwhile to the next of `handlers`,
// which must close it; windows beyond them are closed unhandled. The number that came up.
inline std::size_t WithModals(const std::function<void()>& run,
                              const std::vector<std::function<void(QWidget*)>>& handlers) {
    std::size_t seen = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (++seen <= handlers.size()) {
                handlers[seen - 1](modal);
            } else {
                modal->close();
            }
        }
    });
    timer.start(100);
    run();
    return seen;
}

// What a file dialog or a message box shows, on one line.
inline QString Looks(QWidget* modal) {
    if (auto* d = qobject_cast<QFileDialog*>(modal)) {
        return QStringList({d->windowTitle(), d->nameFilters().join('|'), d->selectedNameFilter(),
                            d->acceptMode() == QFileDialog::AcceptSave ? "save" : "open",
                            d->testOption(QFileDialog::DontConfirmOverwrite) ? "" : "asks"})
            .join('/');
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    return QStringList({box->text(), box->windowTitle(), QString::number(box->icon()),
                        QString::number(box->standardButtons().toInt()),
                        QString::number(box->standardButton(box->defaultButton()))})
        .join('/');
}

// A handler for WithModals: notes what the window shows, presses `key` (0: none) and closes it.
inline std::function<void(QWidget*)> Noting(QStringList& looks, int key = 0) {
    return [&looks, key](QWidget* modal) {
        looks.append(Looks(modal));
        if (key != 0) {
            QTest::keyClick(modal, Qt::Key(key));
        }
        modal->close();
    };
}

// The program's host as the program builds it, on a settings store, a port map, a serial link and
// an instance lock of its own, and the desktop of the tests (main). The file dialog and the
// message boxes answer from a script unless `realDialogs`; the end is counted unless `realEnd`.
struct TestHost {
    explicit TestHost(bool realDialogs = false, bool realEnd = false)
        : registry(dir.File("settings")),
          link(portMap.Devices()),
          instance(QString::fromStdString(dir.Path().string())) {
        form = std::make_unique<Form1>(
            Form1Services{registry,
                          link,
                          shell,
                          instance,
                          realDialogs ? static_cast<MessageBoxes&>(realBoxes) : boxes,
                          realDialogs ? static_cast<FileDialog&>(realDialog) : dialog,
                          {},
                          realEnd ? std::function<void()>(EndProcessNow) : [this] { ++ended; }});
        realBoxes.SetParent(&form->Monitor());
        realDialog.SetParent(&form->Monitor());
    }
    FormMonitor& Monitor() { return form->Monitor(); }
    QTreeView* List() { return form->Monitor().ListView2(); }
    bool Feed(int n) { return form->Engine().Feed(NumberedMessage(n)); }

    TempDir dir;
    FileRegistry registry;
    FileRegistry portMapFile{dir.File("ports")};  // the administrator's port map
    PortMap portMap{{{portMapFile, portMapFile.File()}}};
    QtSerialLink link;
    QtSingleInstance instance;
    PosixDesktopShell shell;
    ScriptedBoxes boxes;
    ScriptedDialog dialog;
    QtMessageBoxes realBoxes;
    QtFileDialog realDialog{nullptr};
    int ended = 0;
    std::unique_ptr<Form1> form;
};

}  // namespace rheo::test
