// The splash and about window as a real (offscreen) window, shown modally the way start-up and
// the about command show it, with real timers and synthesized pointer events; its web link and
// the desktop shell it goes through, on a desktop of the test's own with stand-in applications
// chosen through their desktop entries.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "app/WebLink.h"
#include "auxiliary/Splash.h"
#include "platform/posix/PosixDesktopShell.h"
#include "support/Fakes.h"
#include "support/TestDesktop.h"

namespace rheo::test {
namespace {

namespace fs = std::filesystem;

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

TEST(Splash, StartupClosesByItselfAfterThreeSecondsAboutOnlyByCloseAndNeitherByEsc) {
    for (const auto& [mode, actAfterMs, atLeastMs] :
         {std::tuple(SplashMode::Startup, 200, 2950), std::tuple(SplashMode::About, 3500, 3300)}) {
        const bool about = mode == SplashMode::About;
        SCOPED_TRACE(about ? "about" : "start-up");
        TempDir program;
        PosixDesktopShell shell;  // no browser on the tests' desktop
        ScriptedBoxes boxes;
        Splash::SetWebLink(&shell, &boxes, program.Path().string());
        QObject context;
        QTimer::singleShot(actAfterMs, &context, [&] {
            auto* splash = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(splash, nullptr);
            EXPECT_EQ(splash->objectName(), "Splash");
            auto* close = splash->findChild<QLabel*>("Label5");
            auto* link = splash->findChild<QLabel*>("Picture1");
            auto* picture = splash->findChild<QLabel*>("Picture2");
            auto* version = splash->findChild<QLabel*>("Label3");
            ASSERT_TRUE(close && link && picture && version);
            EXPECT_EQ(
                std::tuple(close->isVisible(), picture->pixmap().size(), link->pixmap().size(),
                           link->cursor().pixmap().size(), version->text()),
                std::tuple(about, QSize(425, 306), QSize(69, 14), QSize(32, 32),
                           QStringLiteral("RHEOTRACKPANEL v1.05")));
            QTest::keyClick(splash, Qt::Key_Escape);
            EXPECT_TRUE(splash->isVisible());
            QTest::mouseClick(link, Qt::LeftButton);
            if (about) {
                const auto shade = [&] { return close->palette().color(QPalette::Window); };
                QTest::mouseMove(close, QPoint(20, 7));
                EXPECT_EQ(shade(), Qt::black);
                QTest::mouseMove(picture, QPoint(200, 150));
                EXPECT_EQ(shade(), Qt::black);               // other controls leave it inverted...
                QTest::mouseMove(splash, QPoint(200, 395));  // ...until the window's own surface
                EXPECT_EQ(shade(), Qt::white);
                EXPECT_EQ(close->palette().color(QPalette::WindowText), Qt::black);
                QTest::mouseClick(close, Qt::LeftButton);
            }
        });
        QTimer::singleShot(actAfterMs + 10000, &context, [] {  // a failed check must not hang
            qobject_cast<QDialog*>(QApplication::activeModalWidget())->done(QDialog::Rejected);
        });
        QElapsedTimer clock;
        clock.start();
        Splash::ShowModal(mode);
        EXPECT_GE(clock.elapsed(), atLeastMs);
        EXPECT_LT(clock.elapsed(), actAfterMs + 10000) << "the window was still open";
        EXPECT_EQ(Shown(boxes), kNoBrowser);  // the link was followed
        Splash::SetWebLink(nullptr, nullptr);
    }
}

TEST(OpenWebPage, StartsTheDesktopsBrowserForHtmlPagesWithTheAddressOrSaysWhyNot) {
    TempDir program, elsewhere, tools;
    PosixDesktopShell shell;
    const std::string page = tools.File("page.htm");
    WriteFile(page, "");
    const auto noticed = [&](bool chosen) {  // the desktop's answer after a change of choice
        return QTest::qWaitFor([&] { return (shell.FindExecutable(page) > 32) == chosen; });
    };
    // A link planted under the temporary page's name is removed, never written through.
    const std::string temp = program.File("TempHTM.htm");
    const std::string precious = elsewhere.File("precious");
    WriteFile(precious, "what the link points to\n");
    fs::create_symlink(precious, temp);
    ScriptedBoxes boxes;
    std::string whileShown;
    boxes.whileShown = [&] { whileShown = fs::is_symlink(temp) ? "link" : ReadFile(temp); };
    const auto follow = [&](const std::string& programFolder) {  // what the link says
        boxes.shown.clear();
        OpenWebPage(shell, boxes, programFolder);
        return Shown(boxes);
    };

    // No browser at all: the lookup finds nothing and nothing is launched.
    ASSERT_TRUE(noticed(false));
    EXPECT_EQ(follow(program.Path().string()), kNoBrowser);
    EXPECT_EQ(whileShown, "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_EQ(ReadFile(precious), "what the link points to\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));

    // A browser chosen for HTML pages (a vendor's entry, in a subfolder) records its arguments.
    const std::string arguments = tools.File("arguments");
    const std::string browser =
        WriteScript(tools.File("browser"), "printf '%s\\n' \"$@\" > " + arguments + ".tmp; mv " +
                                               arguments + ".tmp " + arguments);
    ChooseApplication("text/html", "vendor/browser.desktop", browser + " \"--title=Stand in\" %u");
    ASSERT_TRUE(noticed(true));
    EXPECT_EQ(follow(program.Path().string()), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(arguments); }));
    EXPECT_EQ(ReadFile(arguments), "--title=Stand in\nhttp://www.kavrel.example\n");
    EXPECT_FALSE(fs::exists(temp));
    // No file can be made in the program folder: the address is opened all the same.
    fs::remove(arguments);
    EXPECT_EQ(follow(program.File("removed")), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(arguments); }));

    // A browser that is there but cannot be started (the folder it is to start in is gone).
    ChooseApplication("text/html", "vendor/browser.desktop", "");
    ASSERT_TRUE(noticed(false));
    ChooseApplication("text/html", "broken.desktop", browser + " %U",
                      "Path=" + tools.File("gone") + "\n");
    ASSERT_TRUE(noticed(true));
    EXPECT_EQ(follow(program.Path().string()), kNotStarted);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(follow(program.File("removed")), kNotStarted);
}

TEST(PosixDesktopShell, OpensWithTheTypesApplicationWithoutWaitingForIt) {
    TempDir tools;
    // The viewer records its pid and parent, then lingers until it is ended here.
    const std::string stat = tools.File("stat");
    const std::string viewer = WriteScript(
        tools.File("viewer"), "exec >/dev/null 2>&1; cut -d' ' -f1,4 /proc/$$/stat > " + stat +
                                  ".tmp; mv " + stat + ".tmp " + stat + "; exec sleep 60");
    ChooseApplication("text/plain", "viewer.desktop", viewer + " %f");
    const std::string log = tools.File("vlog.txt");
    WriteFile(log, "");
    PosixDesktopShell shell;
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.FindExecutable(log) > 32; }));
    EXPECT_TRUE(shell.Open(log, true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(stat); }));
    pid_t self = 0, parent = 0;
    std::istringstream(ReadFile(stat)) >> self >> parent;
    EXPECT_EQ(::kill(self, SIGTERM), 0);  // still running, so Open did not wait for it
    EXPECT_NE(parent, ::getpid());        // no child of this process, so no zombie here
    EXPECT_FALSE(shell.Open(tools.File("missing.txt"), false));
}

}  // namespace
}  // namespace rheo::test
