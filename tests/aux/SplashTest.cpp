// The splash and about window as a real (offscreen) window, shown modally the way start-up and
// the about command show it, with real timers and synthesized pointer events; its web link and
// the desktop shell it goes through, with the real xdg-mime on a desktop of the test's own and
// a stand-in browser installed as a desktop entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <tuple>

#include "app/WebLink.h"
#include "auxiliary/Splash.h"
#include "core/TestSupport.h"
#include "platform/posix/PosixDesktopShell.h"

namespace rheo::test {
namespace {

namespace fs = std::filesystem;

// A desktop shell that answers as told and records what it was asked.
struct ScriptedShell : DesktopShell {
    int FindExecutable(const std::string& file) override {
        lookedUp.push_back(file);
        return lookupResult;
    }
    bool Open(const std::string& target, bool) override {
        opened.push_back(target);
        return openSucceeds;
    }
    int lookupResult = 33;
    bool openSucceeds = true;
    std::vector<std::string> lookedUp;
    std::vector<std::string> opened;
};

// Shows the window modally in the mode and runs `during` on it from inside its modal loop
// after `afterMs`; how long the modal show lasted.
qint64 ShowModal(SplashMode mode, int afterMs, const std::function<void(QDialog&)>& during) {
    QObject context;
    QTimer::singleShot(afterMs, &context, [&] {
        auto* splash = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(splash != nullptr && splash->objectName() == "Splash");
        during(*splash);
    });
    QTimer::singleShot(afterMs + 10000, &context, [] {  // a failed check must not hang the test
        if (auto* left = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the window was still open";
            left->done(QDialog::Rejected);
        }
    });
    QElapsedTimer clock;
    clock.start();
    Splash::ShowModal(mode);
    return clock.elapsed();
}

TEST(Splash, StartupClosesByItselfAfterThreeSecondsWithCloseHiddenWhileTimersRun) {
    int ticks = 0;
    QTimer reception;  // readings keep being listed under the window
    QObject::connect(&reception, &QTimer::timeout, [&] { ++ticks; });
    reception.start(100);
    ScriptedShell shell;
    ScriptedBoxes boxes;
    TempDir program;
    Splash::SetWebLink(&shell, &boxes, program.Path().string());
    const qint64 elapsed = ShowModal(SplashMode::Startup, 200, [&](QDialog& splash) {
        auto* close = splash.findChild<QLabel*>("Label5");
        auto* link = splash.findChild<QLabel*>("Picture1");
        auto* picture = splash.findChild<QLabel*>("Picture2");
        ASSERT_TRUE(close && link && picture);
        EXPECT_FALSE(close->isVisible());
        // The project's own pictures were found.
        EXPECT_EQ(picture->pixmap().size(), QSize(425, 306));
        EXPECT_EQ(link->pixmap().size(), QSize(69, 14));
        EXPECT_EQ(link->cursor().pixmap().size(), QSize(32, 32));
        QTest::mouseClick(link, Qt::LeftButton);
    });
    Splash::SetWebLink(nullptr, nullptr);
    EXPECT_GE(elapsed, 2950);
    EXPECT_LT(elapsed, 4500);
    EXPECT_GE(ticks, 20);
    EXPECT_EQ(shell.opened, std::vector<std::string>{"www.kavrel.example"});
}

TEST(Splash, AboutStaysUntilCloseIsClickedAndCloseInvertsUnderThePointer) {
    const QPalette system = QApplication::palette();
    const qint64 elapsed = ShowModal(SplashMode::About, 3500, [&](QDialog& splash) {
        auto* close = splash.findChild<QLabel*>("Label5");
        ASSERT_TRUE(close && close->isVisible());
        EXPECT_EQ(close->text(), "   Close  ");
        const auto colours = [&] {
            return std::pair(close->palette().color(QPalette::Window),
                             close->palette().color(QPalette::WindowText));
        };
        const std::pair<QColor, QColor> inverted(Qt::black, Qt::white), plain(Qt::white, Qt::black);
        EXPECT_EQ(colours(), std::pair(system.color(QPalette::Window),
                                       system.color(QPalette::WindowText)));  // before any move
        QTest::mouseMove(close, QPoint(20, 7));
        EXPECT_EQ(colours(), inverted);
        QTest::mouseMove(splash.findChild<QWidget*>("Picture2"), QPoint(200, 150));
        EXPECT_EQ(colours(), inverted);               // other controls leave it as it is...
        QTest::mouseMove(&splash, QPoint(200, 395));  // ...until the window's own surface
        EXPECT_EQ(colours(), plain);
        QTest::keyClick(&splash, Qt::Key_Escape);
        EXPECT_TRUE(splash.isVisible());  // 3.5 s on, and Esc does not close it either
        QTest::mouseClick(close, Qt::LeftButton);
    });
    EXPECT_GE(elapsed, 3300);
}

std::string WriteScript(const TempDir& dir, const std::string& name, const std::string& body) {
    WriteFile(dir.File(name), "#!/bin/sh\n" + body);
    fs::permissions(dir.File(name), fs::perms::owner_all);
    return dir.File(name);
}

std::string Shown(const ScriptedBoxes& boxes) {
    std::string shown;
    for (const ShownMessage& message : boxes.shown) {
        shown += message.title + ": " + message.text + "\n";
    }
    return shown;
}

const std::string kNoBrowser = "Atenci\xF3n: No se ha encontrado ning\xFAn navegador asosciado.\n";
const std::string kNotStarted =
    "Error: No se ha podido arrancar el navegador navegador asosciado.\n";

// A desktop of its own for the real xdg-mime and the shell's entry lookup: home, data and
// configuration folders in a temporary folder, no desktop environment's tools; the process's
// environment comes back as it was.
class ScopedDesktop {
  public:
    ScopedDesktop() {
        const std::string d = dir.Path().string();
        Set("HOME", d);
        Set("XDG_DATA_HOME", d + "/data");
        Set("XDG_DATA_DIRS", d + "/system");
        Set("XDG_CONFIG_HOME", d + "/config");
        Set("XDG_CONFIG_DIRS", d + "/system-config");
        Set("XDG_CURRENT_DESKTOP", "X-Generic");
        fs::create_directories(d + "/data/applications");
        fs::create_directories(d + "/config");
    }
    ~ScopedDesktop() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    // An application's desktop entry under the id, made the desktop's choice for HTML pages.
    void InstallBrowser(const std::string& id, const std::string& relativePath,
                        const std::string& exec) {
        const fs::path entry = dir.Path() / "data/applications" / relativePath;
        fs::create_directories(entry.parent_path());
        WriteFile(entry.string(), "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + exec +
                                      "\nMimeType=text/html;\n\n[Desktop Action new]\n"
                                      "Exec=false\n");
        WriteFile(dir.File("config/mimeapps.list"),
                  "[Default Applications]\ntext/html=" + id + "\n");
    }
    TempDir dir;

  private:
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(OpenWebPage, StartsTheDesktopsBrowserForHtmlPagesWithTheAddressOrSaysWhyNot) {
    ScopedDesktop desktop;
    TempDir program;
    PosixDesktopShell shell;  // the real xdg-mime
    const std::string temp = program.File("TempHTM.htm");
    WriteFile(temp, "an older page that is longer than the line written by the link\n");
    ScriptedBoxes boxes;
    std::string whileShown;
    boxes.whileShown = [&] { whileShown = ReadFile(temp); };

    // No browser at all: the lookup finds nothing and nothing is launched.
    OpenWebPage(shell, boxes, program.Path().string());
    EXPECT_EQ(Shown(boxes), kNoBrowser);
    EXPECT_EQ(whileShown, "\"<HTML> <\\HTML>\"\r\n");  // the old file was replaced
    EXPECT_FALSE(fs::exists(temp));

    // A browser installed as a desktop entry (a vendor's, in a subfolder) records its arguments.
    const std::string arguments = desktop.dir.File("arguments");
    const std::string browser = WriteScript(
        desktop.dir, "browser",
        "printf '%s\\n' \"$@\" > " + arguments + ".tmp; mv " + arguments + ".tmp " + arguments);
    desktop.InstallBrowser("vendor-browser.desktop", "vendor/browser.desktop",
                           browser + " \"--title=Stand in\" %u");
    boxes.shown.clear();
    OpenWebPage(shell, boxes, program.Path().string());
    EXPECT_EQ(Shown(boxes), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(arguments); }));
    EXPECT_EQ(ReadFile(arguments), "--title=Stand in\nhttp://www.kavrel.example\n");
    EXPECT_FALSE(fs::exists(temp));

    // A browser that is there but cannot be started (its interpreter is gone).
    const std::string broken = desktop.dir.File("broken");
    WriteFile(broken, "#!" + desktop.dir.File("uninstalled") + "\n");
    fs::permissions(broken, fs::perms::owner_all);
    desktop.InstallBrowser("broken.desktop", "broken.desktop", broken + " %U");
    OpenWebPage(shell, boxes, program.Path().string());
    EXPECT_EQ(Shown(boxes), kNotStarted);
    EXPECT_FALSE(fs::exists(temp));
}

TEST(OpenWebPage, NeverWritesThroughALinkPlantedAsTheTemporaryPage) {
    TempDir program;
    TempDir elsewhere;
    const std::string target = elsewhere.File("precious");
    WriteFile(target, "what the link points to\n");
    const std::string temp = program.File("TempHTM.htm");
    fs::create_symlink(target, temp);
    struct PageCheckingShell : ScriptedShell {
        int FindExecutable(const std::string& file) override {
            pageIsALink = fs::is_symlink(file);
            page = ReadFile(file);
            return ScriptedShell::FindExecutable(file);
        }
        bool pageIsALink = true;
        std::string page;
    } shell;
    ScriptedBoxes boxes;
    OpenWebPage(shell, boxes, program.Path().string());
    EXPECT_FALSE(shell.pageIsALink);
    EXPECT_EQ(shell.page, "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_EQ(ReadFile(target), "what the link points to\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
}

TEST(OpenWebPage, OpensTheAddressWhenTheLookupFindsAProgramOrTheFileCannotBeMade) {
    TempDir program;
    const std::string page = program.File("TempHTM.htm");
    const std::string removed = program.File("removed");  // no file can be made in it
    using Case = std::tuple<std::string, int, bool, std::vector<std::string>, std::size_t,
                            std::string>;  // lookup and launch, what is asked, opened and shown
    for (const auto& [directory, lookup, openSucceeds, lookedUp, opened, shown] :
         std::vector<Case>{{program.Path(), 0, true, {page}, 0, kNoBrowser},
                           {program.Path(), 32, true, {page}, 0, kNoBrowser},
                           {program.Path(), 33, true, {page}, 1, ""},
                           {program.Path(), 33, false, {page}, 1, kNotStarted},
                           {removed, 2, true, {}, 1, ""},
                           {removed, 2, false, {}, 1, kNotStarted}}) {
        ScriptedShell shell;
        shell.lookupResult = lookup;
        shell.openSucceeds = openSucceeds;
        ScriptedBoxes boxes;
        OpenWebPage(shell, boxes, directory);
        SCOPED_TRACE(directory + " " + std::to_string(lookup));
        EXPECT_EQ(shell.lookedUp, lookedUp);
        EXPECT_EQ(shell.opened.size(), opened);
        EXPECT_EQ(Shown(boxes), shown);
        EXPECT_FALSE(fs::exists(page));
    }
}

TEST(PosixDesktopShell, AnswersInTheMannerOfTheWindowsCallAndOpensWithoutWaiting) {
    TempDir tools;
    const std::string page = tools.File("page.htm");
    WriteFile(page, "x");
    EXPECT_EQ(PosixDesktopShell(WriteScript(tools, "silent", "")).FindExecutable(page), 31);
    EXPECT_EQ(PosixDesktopShell(WriteScript(tools, "bad", "echo x; exit 1")).FindExecutable(page),
              31);
    EXPECT_EQ(PosixDesktopShell(tools.File("none")).FindExecutable(page), 2);

    // The opener records its parent and its session (fields 4 and 6 of its stat), then lingers.
    const std::string stat = tools.File("stat");
    const std::string opener = WriteScript(tools, "opener",
                                           "cut -d' ' -f4,6 /proc/$$/stat > " + stat + ".tmp; mv " +
                                               stat + ".tmp " + stat + "; sleep 2");
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PosixDesktopShell("xdg-mime", opener).Open("www.kavrel.example", true));
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(stat); }));
    pid_t parent = 0;
    pid_t session = 0;
    std::istringstream(ReadFile(stat)) >> parent >> session;
    EXPECT_NE(parent, ::getpid());    // no child of this process, so no zombie here
    EXPECT_NE(session, ::getsid(0));  // nor in its session
    EXPECT_FALSE(PosixDesktopShell("xdg-mime", tools.File("none")).Open("x", false));
}

}  // namespace
}  // namespace rheo::test
