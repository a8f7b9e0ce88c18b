#pragma once
// Pieces of the window tests: a program host on directories of its own (settings store,
// instance lock, the desktop's opener), instrument messages with the readings they make,
// pseudo-terminal pairs made by socat, and a look at the process's open files.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "core/TestSupport.h"
#include "monitor/Form1.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/PosixDesktopShell.h"
#include "platform/qt/QtSingleInstance.h"
#include "platform/qt/Windows1252.h"

namespace rheo::guitest {

using rheo::test::ReadFile;
using rheo::test::ScriptedBoxes;
using rheo::test::ScriptedDialog;
using rheo::test::TempDir;
using rheo::test::WriteFile;

// The fields of reading number n (1, 2, ...): every reading differs from its neighbours.
struct NumberedFields {
    explicit NumberedFields(int n)
        : hour("10:" + Padded(n / 60, 2) + ":" + Padded(n % 60, 2)),
          temperature(std::to_string(20 + n % 10) + "." + std::to_string(n % 10)),
          viscosity(Padded(1000 + 37 * n, 8)),
          torque(std::to_string(10 + n % 80) + "." + std::to_string(n % 10)) {}

    static std::string Padded(int value, std::size_t width) {
        std::string text = std::to_string(value);
        return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
    }

    std::string hour;
    std::string temperature;
    std::string viscosity;
    std::string torque;
};

// Reading number n as the instrument prints it, and as the list must show it.
inline std::string NumberedMessage(int n, const std::string& temperatureUnit = "C",
                                   const std::string& viscosityUnit = "cP") {
    const NumberedFields f(n);
    return rheo::test::Message(f.hour, "100", f.temperature + temperatureUnit,
                               viscosityUnit + ": " + f.viscosity, f.torque);
}

inline Reading NumberedReading(int n, const std::string& date) {
    const NumberedFields f(n);
    return Reading{date, f.hour, "LCP", "100", f.temperature, "", f.viscosity, "", f.torque};
}

// The nine cells of a row of the list, as shown.
inline QStringList RowCells(const QTreeView* list, int row) {
    QStringList cells;
    const QAbstractItemModel* model = list->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        cells.append(model->index(row, column).data().toString());
    }
    return cells;
}

inline QStringList CellsOf(const Reading& r) {
    QStringList cells;
    for (const Text* field : {&r.Date, &r.Hour, &r.Spindle, &r.Rpm, &r.Temperature,
                              &r.TemperatureError, &r.Viscosity, &r.ViscosityError, &r.Torque}) {
        cells.append(FromWindows1252(*field));
    }
    return cells;
}

inline QString ColumnTitle(const QTreeView* list, int column) {
    return list->model()->headerData(column - 1, Qt::Horizontal).toString();
}

// Whether this process holds the file open.
inline bool HoldsOpen(const std::string& path) {
    std::error_code error;
    const auto wanted = std::filesystem::weakly_canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == wanted) {
            return true;
        }
    }
    return false;
}

// Hands the modal window that `open` shows to `handle`, which must close it. False when no
// modal window came up.
inline bool WhileModal(const std::function<void()>& open,
                       const std::function<void(QWidget*)>& handle) {
    bool seen = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            seen = true;
            handle(modal);
        }
    });
    timer.start(200);
    open();
    timer.stop();
    return seen;
}

// User plus system CPU time of this process, in seconds.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The program's host as the program builds it, on a settings store, an instance lock and a
// desktop opener of its own. The opener is a real program that notes what it was asked to
// open. The file dialog and the message boxes are the real ones unless the test scripts the
// user's answers.
class TestHost {
  public:
    struct Options {
        bool scriptedDialog = true;
        bool scriptedBoxes = true;
        bool realEnd = false;  // end the process as the program does
    };

    TestHost() : TestHost(Options{}) {}
    explicit TestHost(Options options)
        : registry(dir.File("settings")),
          instance(QString::fromStdString(dir.Path().string())),
          shell("xdg-mime", dir.File("opener")) {
        WriteFile(dir.File("opener"),
                  "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + dir.File("opened") + "'\n");
        std::filesystem::permissions(dir.File("opener"), std::filesystem::perms::owner_all);
        Form1Services services;
        services.boxes = options.scriptedBoxes ? &boxes : nullptr;
        services.dialog = options.scriptedDialog ? &dialog : nullptr;
        services.registry = &registry;
        services.shell = &shell;
        services.instance = &instance;
        services.splash = false;
        if (!options.realEnd) {
            services.endProgram = [this] { ++ended; };
        }
        form = std::make_unique<Form1>(std::move(services));
    }

    // Runs the program's start-up: afterwards the monitor window is shown.
    bool Start() { return form->Start(); }

    FormMonitor& Monitor() { return form->Monitor(); }
    QTreeView* List() { return form->Monitor().ListView2(); }

    // Port n stands for the given device.
    void MapPort(int port, const std::string& device) {
        RegKey key = 0;
        if (registry.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key) == 0) {
            registry.CloseKey(key);
        }
        WriteSetting(registry, kHkeyLocalMachine, kSettingsKeyPath, "Port" + std::to_string(port),
                     std::string(device), kRegSz);
    }

    // What the desktop's opener was asked to open, one line each.
    std::string Opened() const { return ReadFile(dir.File("opened")); }

    std::string EventLogText() const {
        return ReadFile(form->ProgramDirectory() + "/" + kEventLogFileName);
    }

    TempDir dir;
    FileRegistry registry;
    QtSingleInstance instance;
    PosixDesktopShell shell;
    ScriptedBoxes boxes;
    ScriptedDialog dialog;
    int ended = 0;
    std::unique_ptr<Form1> form;
};

// A serial line made of two pseudo-terminals joined by socat: Device() is the program's end,
// what is written at the instrument's end arrives there.
class PtyPair {
  public:
    explicit PtyPair(const std::filesystem::path& directory, const std::string& name = "pty")
        : device_((directory / (name + "-device")).string()),
          instrument_((directory / (name + "-instrument")).string()) {
        socat_.setStandardOutputFile(QProcess::nullDevice());
        socat_.setStandardErrorFile(QProcess::nullDevice());
        socat_.start(QStringLiteral("socat"),
                     {QString::fromStdString("pty,raw,echo=0,link=" + instrument_),
                      QString::fromStdString("pty,raw,echo=0,link=" + device_)});
        socat_.waitForStarted(5000);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 &&
               !(std::filesystem::exists(device_) && std::filesystem::exists(instrument_))) {
            QTest::qWait(10);
        }
        instrumentFd_ = ::open(instrument_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPair() {
        Kill();
        if (instrumentFd_ >= 0) {
            ::close(instrumentFd_);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ready() const { return socat_.state() == QProcess::Running && instrumentFd_ >= 0; }
    const std::string& Device() const { return device_; }

    bool Send(const std::string& bytes) {
        return ::write(instrumentFd_, bytes.data(), bytes.size()) ==
               static_cast<ssize_t>(bytes.size());
    }

    // The line goes away, as when the instrument's adapter is pulled.
    void Kill() {
        if (socat_.state() != QProcess::NotRunning) {
            socat_.kill();
            socat_.waitForFinished(5000);
        }
    }

  private:
    std::string device_;
    std::string instrument_;
    QProcess socat_;
    int instrumentFd_ = -1;
};

}  // namespace rheo::guitest
