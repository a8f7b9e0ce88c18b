// The web link of the about window and the desktop shell it goes through: real files in a real
// program directory, the real xdg-mime against desktop configurations made for each test, and
// opener programs that record what they were asked to open.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "AuxTestSupport.h"
#include "app/WebLink.h"
#include "platform/posix/PosixDesktopShell.h"

namespace rheo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kQuotedLine = "\"<HTML> <\\HTML>\"\r\n";

// A desktop with no applications and no associations: xdg-mime finds nothing in it.
class EmptyDesktop {
  public:
    EmptyDesktop()
        : environment_({{"XDG_DATA_HOME", root_.File("data-home")},
                        {"XDG_DATA_DIRS", root_.File("data")},
                        {"XDG_CONFIG_HOME", root_.File("config-home")},
                        {"XDG_CONFIG_DIRS", root_.File("config")},
                        {"HOME", root_.File("home")},
                        {"XDG_CURRENT_DESKTOP", std::nullopt},
                        {"DESKTOP_SESSION", std::nullopt},
                        {"KDE_FULL_SESSION", std::nullopt},
                        {"GNOME_DESKTOP_SESSION_ID", std::nullopt},
                        {"DISPLAY", std::nullopt},
                        {"WAYLAND_DISPLAY", std::nullopt}}) {
        for (const char* sub : {"data-home", "data", "config-home", "config", "home"}) {
            fs::create_directories(root_.File(sub));
        }
    }
    // Makes an application the default for HTML documents, as a desktop's settings do.
    void AssociateHtml(const std::string& application) {
        fs::create_directories(root_.File("data-home/applications"));
        WriteFile(root_.File("data-home/applications/" + application),
                  "[Desktop Entry]\nType=Application\nName=Test browser\nExec=true %u\n"
                  "MimeType=text/html;\n");
        WriteFile(root_.File("config-home/mimeapps.list"),
                  "[Default Applications]\ntext/html=" + application + "\n");
    }

  private:
    TempDir root_;
    ScopedEnvironment environment_;
};

bool HaveXdgMime() {
    return std::system("command -v xdg-mime >/dev/null 2>&1") == 0;
}

// An opener that writes its argument to "opened" in the directory (in one step, by renaming).
std::string RecordingOpener(const TempDir& directory) {
    return WriteScript(directory, "opener",
                       "printf '%s\\n' \"$1\" > '" + directory.File("opened.tmp") + "'\n" + "mv '" +
                           directory.File("opened.tmp") + "' '" + directory.File("opened") + "'\n");
}

// A desktop shell that answers as told and records what it was asked.
struct ScriptedShell : DesktopShell {
    int FindExecutable(const std::string& file) override {
        lookedUp.push_back(file);
        return lookupResult;
    }
    bool Open(const std::string& target, bool maximised) override {
        opened.push_back({target, maximised});
        return openSucceeds;
    }
    int lookupResult = 42;
    bool openSucceeds = true;
    std::vector<std::string> lookedUp;
    std::vector<std::pair<std::string, bool>> opened;
};

TEST(OpenWebPage, WithoutAnHtmlHandlerWarnsLaunchesNothingAndRemovesTheFile) {
    EmptyDesktop desktop;
    TempDir program;
    TempDir tools;
    const std::string temp = program.File("TempHTM.htm");
    WriteFile(temp, "an older page that is longer than the line written by the link\n");
    PosixDesktopShell shell("xdg-mime", RecordingOpener(tools));
    ScriptedBoxes boxes;
    std::string whileShown;
    boxes.whileShown = [&] { whileShown = ReadFile(temp); };

    OpenWebPage(shell, boxes, program.Path().string());

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "No se ha encontrado ning\xFAn navegador asosciado.");
    EXPECT_EQ(boxes.shown[0].title, "Atenci\xF3n");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(whileShown, kQuotedLine);  // the old file was replaced, not appended to
    EXPECT_FALSE(fs::exists(temp));
    Wait(300);
    EXPECT_FALSE(fs::exists(tools.File("opened")));
}

TEST(OpenWebPage, WithAnHtmlHandlerOpensTheMakersAddress) {
    if (!HaveXdgMime()) {
        GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
    }
    EmptyDesktop desktop;
    desktop.AssociateHtml("rheo-test-browser.desktop");
    TempDir program;
    TempDir tools;
    PosixDesktopShell shell("xdg-mime", RecordingOpener(tools));
    ScriptedBoxes boxes;

    OpenWebPage(shell, boxes, program.Path().string());

    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(tools.File("opened")); }));
    EXPECT_EQ(ReadFile(tools.File("opened")), "www.kavrel.example\n");
    EXPECT_FALSE(fs::exists(program.File("TempHTM.htm")));
}

TEST(OpenWebPage, ABrowserThatCannotBeStartedIsReported) {
    TempDir program;
    TempDir tools;
    PosixDesktopShell shell(WriteScript(tools, "lookup", "echo browser.desktop\n"),
                            tools.File("no-such-opener"));
    ScriptedBoxes boxes;

    OpenWebPage(shell, boxes, program.Path().string());

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "No se ha podido arrancar el navegador navegador asosciado.");
    EXPECT_EQ(boxes.shown[0].title, "Error");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_FALSE(fs::exists(program.File("TempHTM.htm")));
}

TEST(OpenWebPage, AProgramDirectoryWithoutTheFileOpensTheAddressDirectly) {
    TempDir parent;
    const std::string gone = parent.File("removed");  // never created: no file can go there
    ScriptedShell shell;
    ScriptedBoxes boxes;

    OpenWebPage(shell, boxes, gone);
    EXPECT_TRUE(shell.lookedUp.empty());
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], (std::pair<std::string, bool>{"www.kavrel.example", false}));
    EXPECT_TRUE(boxes.shown.empty());

    shell.openSucceeds = false;
    OpenWebPage(shell, boxes, gone);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Error");
}

TEST(OpenWebPage, LookupResultsOfThirtyTwoAndBelowMeanNoBrowser) {
    TempDir program;
    for (int result : {0, 2, 31, 32}) {
        ScriptedShell shell;
        shell.lookupResult = result;
        ScriptedBoxes boxes;
        OpenWebPage(shell, boxes, program.Path().string());
        EXPECT_TRUE(shell.opened.empty()) << result;
        ASSERT_EQ(boxes.shown.size(), 1u) << result;
        EXPECT_EQ(boxes.shown[0].title, "Atenci\xF3n");
        // The lookup was asked about the file while it existed, beside the program.
        ASSERT_EQ(shell.lookedUp.size(), 1u);
        EXPECT_EQ(shell.lookedUp[0], program.File("TempHTM.htm"));
    }
    ScriptedShell shell;
    shell.lookupResult = 33;
    ScriptedBoxes boxes;
    OpenWebPage(shell, boxes, program.Path().string());
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(PosixDesktopShell, FindExecutableAnswersInTheMannerOfTheWindowsCall) {
    TempDir tools;
    const std::string page = tools.File("page.htm");
    WriteFile(page, kQuotedLine);
    const std::string drawing = tools.File("drawing.xyz");
    WriteFile(drawing, "x");
    // Knows one handler for text/html and reports the made-up type of .xyz files.
    const std::string lookup = WriteScript(tools, "lookup",
                                           "case \"$2:$3\" in\n"
                                           "  filetype:*.xyz) echo application/x-xyz ;;\n"
                                           "  default:text/html) echo browser.desktop ;;\n"
                                           "  default:application/x-xyz) echo drawer.desktop ;;\n"
                                           "esac\n");
    const std::string silent = WriteScript(tools, "silent", "exit 0\n");
    const std::string failing = WriteScript(tools, "failing", "echo garbage; exit 1\n");

    EXPECT_EQ(PosixDesktopShell(lookup).FindExecutable(page), 33);
    EXPECT_EQ(PosixDesktopShell(lookup).FindExecutable(drawing), 33);
    EXPECT_EQ(PosixDesktopShell(lookup).FindExecutable(tools.File("missing.htm")), 2);
    EXPECT_EQ(PosixDesktopShell(silent).FindExecutable(page), 31);
    EXPECT_EQ(PosixDesktopShell(failing).FindExecutable(page), 31);
    EXPECT_EQ(PosixDesktopShell(tools.File("no-such-tool")).FindExecutable(page), 2);
    EXPECT_EQ(PosixDesktopShell("rheo-no-such-tool-in-path").FindExecutable(page), 2);
}

// Fields of /proc/<pid>/stat after the command name: state, ppid, pgrp, session, ...
std::vector<long> StatFields(const std::string& stat) {
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string state;
    in >> state;
    std::vector<long> fields;
    long value = 0;
    while (fields.size() < 3 && in >> value) {
        fields.push_back(value);
    }
    return fields;
}

TEST(PosixDesktopShell, OpenStartsTheOpenerOnItsOwnWithoutWaitingOrLeavingAZombie) {
    TempDir tools;
    const std::string opener =
        WriteScript(tools, "opener",
                    "cat /proc/$$/stat > '" + tools.File("stat.tmp") + "'\n" + "mv '" +
                        tools.File("stat.tmp") + "' '" + tools.File("stat") + "'\n" + "sleep 2\n");
    PosixDesktopShell shell("xdg-mime", opener);

    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(shell.Open("www.kavrel.example", true));
    EXPECT_LT(clock.elapsed(), 1500);  // the opener sleeps for 2 s: Open did not wait for it

    ASSERT_TRUE(WaitUntil([&] { return fs::exists(tools.File("stat")); }));
    const std::vector<long> fields = StatFields(ReadFile(tools.File("stat")));
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_NE(fields[0], ::getpid());   // not a child of this process
    EXPECT_NE(fields[2], ::getsid(0));  // in a session of its own
    int status = 0;
    EXPECT_LE(::waitpid(-1, &status, WNOHANG), 0);  // nothing left here to reap

    EXPECT_FALSE(PosixDesktopShell("xdg-mime", tools.File("no-such-opener")).Open("x", false));
}

}  // namespace
}  // namespace rheo::test
