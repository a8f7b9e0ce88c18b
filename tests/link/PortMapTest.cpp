// Who may point a port at a device: the rules of PathTrust on real folders, files and links
// (other accounts made by ownership, as root may give it), the port map that honours only the
// administrator's files, and a port's name turned to another device while it is open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "LinkTestSupport.h"
#include "platform/PathTrust.h"

namespace rheo::test {
namespace {

using PortMapping = LinkTest;
constexpr uid_t kOther = 4242;  // an account that is neither root nor the user

TEST_F(PortMapping, OnlyWhatNobodyElseCanChangeIsTrusted) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving files to another account needs root";
    }
    namespace fs = std::filesystem;
    const fs::path root = dir_.Path();
    const auto make = [&](const std::string& name, mode_t mode, uid_t owner, bool folder) {
        const std::string path = (root / name).string();
        if (folder) {
            fs::create_directory(path);
        } else {
            WriteFile(path, "x");
        }
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        EXPECT_EQ(::lchown(path.c_str(), owner, static_cast<gid_t>(-1)), 0);
        return path;
    };
    const std::string kept = make("kept", 0644, 0, false);
    const std::string groupWritable = make("group-writable", 0664, 0, false);
    const std::string others = make("others", 0644, kOther, false);
    const std::string shared = make("shared", 02775, 0, true);  // as the store's folder
    const std::string inShared = make("shared/map", 0644, 0, false);
    const std::string sticky = make("sticky", 01777, 0, true);
    const std::string ownLink = (root / "sticky/own").string();
    const std::string othersLink = (root / "sticky/theirs").string();
    fs::create_symlink(kept, ownLink);
    fs::create_symlink(kept, othersLink);
    ::lchown(othersLink.c_str(), kOther, static_cast<gid_t>(-1));
    const std::string toShared = (root / "to-shared").string();
    fs::create_symlink("shared/./map", toShared);
    const std::string relative = (root / "relative").string();
    fs::create_symlink("sticky/../kept", relative);

    const struct {
        std::string path;
        bool fileToo;
        std::string place;  // what is reported
    } cases[] = {
        {kept, true, ""},
        {groupWritable, true, groupWritable},
        {groupWritable, false, ""},  // a device's own mode is the group's business
        {others, true, others},
        {inShared, true, inShared},  // the folder lets others replace it
        {ownLink, true, ""},         // the sticky bit keeps the user's link
        {othersLink, true, othersLink},
        {toShared, true, inShared},  // the link's target is checked too
        {relative, true, ""},
        {(root / "missing").string(), true, (root / "missing").string()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceOthersCanChange(c.path, c.fileToo), c.place) << c.path;
    }
    ::chmod(root.c_str(), 0777);  // a folder on the way that anyone may write
    EXPECT_EQ(PlaceOthersCanChange(kept, true), kept);
}

// Another operator who may write the shared store rewrites its device line: the line is not
// honoured (one event-log line says so), while the administrator's port map file is.
TEST_F(PortMapping, TheStoresDeviceLinesAreIgnoredAndTheAdministratorsFileHonoured) {
    PtyPair theirs(dir_.Path(), "theirs");
    Put(store_, "Port1", kRegSz, theirs.device + '\0');  // the store's files have mode 0664
    Station station(store_, portMap_, dir_.File("vlog.txt"));
    EXPECT_EQ(portMap_.Device(1), "");
    EXPECT_EQ(station.link.DeviceName(1).toStdString(), "/dev/ttyS0");
    portMap_.StartReporting(station.log);
    EXPECT_EQ(portMap_.Device(1), "");
    const std::string ignored = "06/12/2026 17:00:00 Port map ignored::" + store_.File() + "\r\n";
    EXPECT_EQ(ReadFile(dir_.File("vlog.txt")), ignored) << "one line, at the first look";

    PtyPair& ours = Pair(1);  // in the port map file
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.link.DeviceName(1).toStdString(), ours.device);
    ::chmod(portMapFile_.File().c_str(), 0664);
    EXPECT_EQ(portMap_.Device(1), "") << "a port map file that the group may write";
    EXPECT_EQ(ReadFile(dir_.File("vlog.txt")),
              ignored + "06/12/2026 17:00:00 Port map ignored::" + portMapFile_.File() + "\r\n");
}

// The name of the open port turned into a link to another terminal: the port counts as lost at
// the next check and opens again on what the name leads to; turned back, the same again, and the
// instrument's readings go on. A name in a folder that anyone may write is not opened.
TEST_F(PortMapping, ANameTurnedToAnotherDeviceLosesThePort) {
    PtyPair& ours = Pair(1);
    PtyPair other(dir_.Path(), "other");
    const auto target = [](const PtyPair& pair) {
        return std::filesystem::read_symlink(pair.device).string();
    };
    const auto relink = [&](const std::string& to) {
        const std::string temporary = ours.device + ".new";
        std::filesystem::create_symlink(to, temporary);
        std::filesystem::rename(temporary, ours.device);
    };
    const std::string ourTerminal = target(ours);
    Station station(store_, portMap_, dir_.File("vlog.txt"));
    const std::string session = dir_.File("run.csv");
    OpenNewSession(station.engine, session);
    station.selection.Abrir_Puerto(1);
    station.timer.start(100);
    ASSERT_TRUE(station.link.IsOpen());
    const std::string lostAndBack =
        "06/12/2026 17:00:00 Port lost::1\r\n06/12/2026 17:00:00 Port back::1\r\n";

    relink(target(other));
    const auto logHas = [&](const std::string& text) {
        return QTest::qWaitFor(
            [&] { return ReadFile(dir_.File("vlog.txt")).find(text) != std::string::npos; }, 3000);
    };
    EXPECT_TRUE(logHas(lostAndBack));
    relink(ourTerminal);
    EXPECT_TRUE(logHas(lostAndBack + lostAndBack));
    ASSERT_TRUE(ours.Send(Message("10:00:05")));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ReadFile(session).find("10:00:05") != std::string::npos; }, 3000));

    const std::filesystem::path open = dir_.Path() / "open";
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0777);
    std::filesystem::create_symlink(ourTerminal, open / "tty");
    MapPort(2, (open / "tty").string());
    station.link.Close();
    station.link.SetPortNumber(2);
    EXPECT_FALSE(station.link.Open());
}

}  // namespace
}  // namespace rheo::test
