// The session commands on real files, with scripted answers for the dialog and the question.
// (The dialogs' titles and filters, and the close commands, as the user sees them: the gui
// suite.)
#include "recording/SessionCommands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/Fakes.h"

namespace rheo::test {
namespace {

std::string Row(const std::string& hour) {
    return "05/12/2026," + hour + ",LCP,100,27.5,,00001250,,10.2\r\n";
}

class SessionCommandsTest : public EngineOnDisk {
  protected:
    ScriptedDialog dialog;
    SessionCommands commands{configuration, engine.Output(), dialog, boxes};
};

// A new session: the question is about the final name, a cancelled question or dialog keeps the
// running session (no second header).
TEST_F(SessionCommandsTest, NewSessionAsksAboutTheFinalName) {
    dialog.answer = dir.File("a.csv");
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:00"));
    WriteFile(dir.File("b.csv"), "precious\r\n");
    dialog.answer = dir.File("b");  // typed without extension
    boxes.answer = MessageAnswer::Cancel;
    commands.NuevoArchivo();
    ASSERT_EQ(boxes.shown.size(), 1u);
    dialog.answer.reset();
    commands.NuevoArchivo();
    commands.AbrirArchivo();
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("a.csv")), kHeader + Row("10:00:00") + Row("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("b.csv")), "precious\r\n");
    EXPECT_EQ(view.caption, "Incoming data - " + dir.File("a.csv"));

    dialog.answer = dir.File("b");
    boxes.answer = MessageAnswer::Ok;
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:02"));
    EXPECT_EQ(ReadFile(dir.File("b.csv")), kHeader + Row("10:00:02"));
}

// Closing ends the session and the run of readings: the next reading starts a new one.
TEST_F(SessionCommandsTest, CloseEndsTheSessionAndTheRun) {
    dialog.answer = dir.File("a.csv");
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:02"));
    commands.CerrarArchivo();
    EXPECT_EQ(view.caption, "Incoming data - No file selected");
    engine.Feed(Message("10:00:03"));
    EXPECT_EQ(ReadFile(dir.File("a.csv")), kHeader + Row("10:00:02"));
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:05:40 Start of process\r\n"
              "05/12/2026 14:05:40 Start of process\r\n");
}

// The header a session closed before its first reading still owed never lands in the next file.
TEST_F(SessionCommandsTest, OpenAppendsWithoutHeaderAndCreatesMissingFilesWithOne) {
    dialog.answer = dir.File("empty.csv");
    commands.NuevoArchivo();
    commands.CerrarArchivo();
    WriteFile(dir.File("old.csv"), "kept\r\n");
    dialog.answer = dir.File("old.csv");
    commands.AbrirArchivo();
    engine.Feed(Message("10:00:00"));
    EXPECT_EQ(ReadFile(dir.File("old.csv")), "kept\r\n" + Row("10:00:00"));

    dialog.answer = dir.File("new");
    commands.AbrirArchivo();
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("new.csv")), kHeader + Row("10:00:01"));
}

// Only a regular file in an existing folder is a session file: not a directory, a FIFO (no
// waiting for a reader) or a device.
TEST_F(SessionCommandsTest, FileThatCannotBeOpenedFailsTheCommandAtOnce) {
    dialog.answer = dir.File("missing-dir/run.csv");
    commands.AbrirArchivo();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(view.caption, "Incoming data - No file selected");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")), "05/12/2026 14:05:40 End of process::\r\n");

    std::filesystem::create_directory(dir.File("folder.csv"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.csv").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("zero.csv"));
    for (const char* name : {"folder.csv", "fifo.csv", "zero.csv"}) {
        dialog.answer = dir.File(name);
        commands.NuevoArchivo();  // asks (it exists), then cannot open it for writing
        commands.AbrirArchivo();
        EXPECT_EQ(boxes.shown.back().text, kAborted) << name;
        EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    }
    EXPECT_EQ(boxes.shown.size(), 10u);
}

TEST(SessionPathTest, ExtensionRulesOfBothCommands) {
    EXPECT_EQ(NewSessionPath("C:\\data\\run1", "csv"), "C:\\data\\run1.csv");
    EXPECT_EQ(NewSessionPath("C:\\data\\run1.csv", "csv"), "C:\\data\\run1.csv");
    EXPECT_EQ(NewSessionPath("C:\\data\\run1.CSV", "csv"), "C:\\data\\run1.CSV.csv");
    EXPECT_EQ(NewSessionPath("/d/csvfiles/run1", "csv"), "/d/csvfiles/run1.csv");
    EXPECT_EQ(OpenSessionPath("C:\\data\\RUN1.CSV", "csv"), "C:\\data\\RUN1.CSV");
    EXPECT_EQ(OpenSessionPath("C:\\data\\notes.txt", "csv"), "C:\\data\\notes.txt.csv");
    EXPECT_EQ(OpenSessionPath("C:\\csvfiles\\run1", "csv"), "C:\\csvfiles\\run1");
}

}  // namespace
}  // namespace rheo::test
