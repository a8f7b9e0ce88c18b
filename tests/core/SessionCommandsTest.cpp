// The session commands on real files, with scripted answers for the dialog and the question.
#include "recording/SessionCommands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/Engine.h"
#include "platform/LiveSessionFile.h"

namespace rheo {
namespace {

using test::Message;
using test::ReadFile;
using test::WriteFile;

constexpr const char* kHeader =
    "Date,Hour,Spindle,RPM,Temp [\xBA"
    "C],Error T,Viscosity [cP],Error V,%\r\n";

class SessionCommandsTest : public test::EngineOnDisk {
  protected:
    test::ScriptedDialog dialog;
    SessionCommands commands{configuration, engine.Session(), file, engine.Output(), dialog, boxes,
                             view};

    std::string Row(const std::string& hour) {
        return "05/12/2026," + hour + ",LCP,100,27.5,,00001250,,10.2\r\n";
    }
};

TEST_F(SessionCommandsTest, NewSessionCreatesTheFileAndTheFirstReadingWritesTheHeader) {
    dialog.answer = dir.File("run1");
    commands.NuevoArchivo();
    EXPECT_EQ(dialog.lastTitle, "Select destination file");
    ASSERT_EQ(dialog.lastFilters.size(), 1u);
    EXPECT_EQ(dialog.lastFilters[0].description, "Comma Separated text *.csv");
    EXPECT_EQ(dialog.lastFilters[0].pattern, "*.csv");
    EXPECT_EQ(dialog.lastDefaultExtension, "*.csv");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(view.caption, "Incoming data - " + dir.File("run1.csv"));
    EXPECT_EQ(view.closeEnabled, true);
    EXPECT_EQ(ReadFile(dir.File("run1.csv")), "");
    engine.Feed(Message("10:00:00"));
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("run1.csv")), kHeader + Row("10:00:00") + Row("10:00:01"));
}

TEST_F(SessionCommandsTest, OverwriteQuestionIsAskedAboutTheFinalName) {
    WriteFile(dir.File("run1.csv"), "precious\r\n");
    dialog.answer = dir.File("run1");  // typed without extension
    boxes.answer = MessageAnswer::Cancel;
    commands.NuevoArchivo();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "The selected file already exists.\r\nPress OK to overwrite.");
    EXPECT_EQ(boxes.shown[0].title, "RHEOTRACKPANEL");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(ReadFile(dir.File("run1.csv")), "precious\r\n");
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    EXPECT_FALSE(view.closeEnabled.has_value());

    boxes.answer = MessageAnswer::Ok;
    commands.NuevoArchivo();
    EXPECT_EQ(ReadFile(dir.File("run1.csv")), "");
    EXPECT_EQ(engine.Session().SessionFilePath, dir.File("run1.csv"));
}

TEST_F(SessionCommandsTest, CancelledQuestionKeepsTheRunningSessionWithoutSecondHeader) {
    dialog.answer = dir.File("a.csv");
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:00"));
    WriteFile(dir.File("b.csv"), "other");
    dialog.answer = dir.File("b.csv");
    boxes.answer = MessageAnswer::Cancel;
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("a.csv")), kHeader + Row("10:00:00") + Row("10:00:01"));
    dialog.answer.reset();  // cancelling the dialog changes nothing either
    commands.NuevoArchivo();
    commands.AbrirArchivo();
    EXPECT_EQ(engine.Session().SessionFilePath, dir.File("a.csv"));
}

TEST_F(SessionCommandsTest, OpenAppendsWithoutHeaderAndCreatesMissingFilesWithOne) {
    WriteFile(dir.File("old.csv"), "kept\r\n");
    dialog.answer = dir.File("old.csv");
    commands.AbrirArchivo();
    ASSERT_EQ(dialog.lastFilters.size(), 2u);
    EXPECT_EQ(dialog.lastFilters[0].description, "Comma separated text *.csv");
    EXPECT_EQ(dialog.lastFilters[1].description, "All files *.*");
    EXPECT_EQ(dialog.lastFilters[1].pattern, "*.*");
    engine.Feed(Message("10:00:00"));
    EXPECT_EQ(ReadFile(dir.File("old.csv")), "kept\r\n" + Row("10:00:00"));

    dialog.answer = dir.File("new");
    commands.AbrirArchivo();
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("new.csv")), kHeader + Row("10:00:01"));
}

TEST_F(SessionCommandsTest, HeaderPendingFromAnEmptySessionNeverLandsInAnExistingFile) {
    dialog.answer = dir.File("empty.csv");
    commands.NuevoArchivo();
    commands.CerrarArchivo();  // closed before any reading
    WriteFile(dir.File("old.csv"), "kept\r\n");
    dialog.answer = dir.File("old.csv");
    commands.AbrirArchivo();
    engine.Feed(Message("10:00:00"));
    EXPECT_EQ(ReadFile(dir.File("old.csv")), "kept\r\n" + Row("10:00:00"));
}

TEST_F(SessionCommandsTest, CloseEndsTheRunAndTheNextReadingStartsANewOne) {
    dialog.answer = dir.File("run.csv");
    commands.NuevoArchivo();
    engine.Feed(Message("10:00:00"));
    commands.CerrarArchivo();
    EXPECT_EQ(view.caption, "Incoming data - No file selected");
    EXPECT_EQ(view.closeEnabled, false);
    engine.Feed(Message("10:00:01"));
    EXPECT_EQ(ReadFile(dir.File("run.csv")), kHeader + Row("10:00:00"));
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:05:40 Start of process\r\n"
              "05/12/2026 14:05:40 Start of process\r\n");
    EXPECT_EQ(engine.Output().History().HistoryIndex, 2);
}

TEST_F(SessionCommandsTest, FileThatCannotBeOpenedFailsTheCommandAtOnce) {
    dialog.answer = dir.File("missing-dir/run.csv");
    commands.AbrirArchivo();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot access file. Process aborted");
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    EXPECT_EQ(view.caption, "Incoming data - No file selected");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")), "05/12/2026 14:05:40 End of process::\r\n");

    std::filesystem::create_directory(dir.File("folder.csv"));
    dialog.answer = dir.File("folder.csv");
    boxes.answer = MessageAnswer::Ok;
    commands.NuevoArchivo();  // asks (it exists), then cannot open a directory for writing
    EXPECT_EQ(boxes.shown.back().text, "Cannot access file. Process aborted");

    // Only a regular file is a session file: a FIFO (no waiting for a reader) or a device.
    ASSERT_EQ(::mkfifo(dir.File("fifo.csv").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("zero.csv"));
    for (const char* name : {"fifo.csv", "zero.csv"}) {
        dialog.answer = dir.File(name);
        commands.AbrirArchivo();
        EXPECT_EQ(boxes.shown.back().text, "Cannot access file. Process aborted") << name;
        EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    }
    EXPECT_EQ(boxes.shown.size(), 5u);
}

TEST_F(SessionCommandsTest, NulInTheExtensionCutsItForCaptionAndFileAlike) {
    WriteFile(dir.File("vcfg.txt"), std::string("c\0sv\r\n,\r\n.\r\n", 12));
    configuration = LoadConfiguration(dir.Path().string());
    dialog.answer = dir.File("run1");
    commands.NuevoArchivo();
    EXPECT_EQ(view.caption, "Incoming data - " + dir.File("run1.c"));
    EXPECT_TRUE(std::filesystem::exists(dir.File("run1.c")));
}

TEST(SessionPathTest, ExtensionRulesOfBothCommands) {
    EXPECT_EQ(NewSessionPath("C:\\data\\run1", "csv"), "C:\\data\\run1.csv");
    EXPECT_EQ(NewSessionPath("C:\\data\\run1.csv", "csv"), "C:\\data\\run1.csv");
    EXPECT_EQ(NewSessionPath("C:\\data\\run1.CSV", "csv"), "C:\\data\\run1.CSV.csv");
    EXPECT_EQ(NewSessionPath("/d/csvfiles/run1", "csv"), "/d/csvfiles/run1.csv");
    EXPECT_EQ(OpenSessionPath("C:\\data\\run1", "csv"), "C:\\data\\run1.csv");
    EXPECT_EQ(OpenSessionPath("C:\\data\\RUN1.CSV", "csv"), "C:\\data\\RUN1.CSV");
    EXPECT_EQ(OpenSessionPath("C:\\data\\notes.txt", "csv"), "C:\\data\\notes.txt.csv");
    EXPECT_EQ(OpenSessionPath("C:\\csvfiles\\run1", "csv"), "C:\\csvfiles\\run1");
}

}  // namespace
}  // namespace rheo
