#include <csignal>
#include <fstream>

#include "platform/process/child_process.h"
#include "program_fixture.h"
#include "support/scoped_environment.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";

// Runs busctl, a D-Bus client of its own, on the session bus; its exit code.
int RunBusctl(std::vector<std::string> arguments, const std::function<bool(const std::function<bool()>&)>& serve)
{
    arguments.insert(arguments.begin(), {"busctl", "--user"});
    const auto child = ChildProcess::Start(arguments);
    if (!child || !serve([&] { return child->Exited(); })) return -1;
    return child->Wait(std::chrono::milliseconds(0)).value_or(-1);
}

class TrayTest : public ProgramTest {
protected:
    void SetUp() override
    {
        WriteLocalConfig(R"("60")");
        program = Start();
        ASSERT_TRUE(WaitForTrayItem(*program));
    }

    // The item is gone from the bus and the program ended with 0.
    void ExpectQuitWithItemRemoved()
    {
        EXPECT_EQ(WaitForExit(*program), 0);
        EXPECT_FALSE(client().NameHasOwner(ItemName(*program)));
        EXPECT_EQ(program->Stderr(), "");
    }

    std::unique_ptr<ChildProcess> program;
};

TEST_F(TrayTest, ItemCarriesTheProgramsNameTipIconAndMenu)
{
    const std::string item = ItemName(*program);
    SessionBusClient& bus = client();
    EXPECT_EQ(bus.ItemProperty(item, "Id"), "MerroUpdate");
    EXPECT_EQ(bus.ItemProperty(item, "Title"), "MerroUpdate");
    EXPECT_EQ(bus.ItemProperty(item, "Status"), "Active");
    EXPECT_EQ(bus.ItemProperty(item, "Category"), "ApplicationStatus");
    EXPECT_EQ(bus.ItemProperty(item, "Menu", "o"), "/MenuBar");
    EXPECT_EQ(bus.ItemToolTipTitle(item), "Pelvane更新程序");
    EXPECT_EQ(bus.MenuItemLabel(item, 4001), "程序退出");

    std::vector<int> sizes;
    for (const auto& pixmap : bus.ItemIconPixmaps(item)) {
        EXPECT_EQ(pixmap.width, pixmap.height);
        EXPECT_EQ(pixmap.bytes.size(), static_cast<std::size_t>(pixmap.width * pixmap.height * 4));
        sizes.push_back(pixmap.width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{128, 256}));
}

TEST_F(TrayTest, MenuQuitRemovesTheItemAndEndsWithZero)
{
    const int called = RunBusctl({"call", ItemName(*program), "/MenuBar", "com.canonical.dbusmenu", "Event", "isvu",
                                  "4001", "clicked", "s", "", "0"},
                                 [this](const std::function<bool()>& ended) { return Serve(ended); });
    EXPECT_EQ(called, 0);
    ExpectQuitWithItemRemoved();
}

TEST_F(TrayTest, OtherMenuEventsAndClicksOnTheIconDoNothing)
{
    const auto serve = [this](const std::function<bool()>& ended) { return Serve(ended); };
    EXPECT_EQ(RunBusctl({"call", ItemName(*program), "/MenuBar", "com.canonical.dbusmenu", "Event", "isvu", "4001",
                         "hovered", "s", "", "0"},
                        serve),
              0);
    EXPECT_EQ(RunBusctl({"call", ItemName(*program), ItemPath, ItemInterface, "Activate", "ii", "5", "5"}, serve), 0);
    EXPECT_EQ(RunBusctl({"call", ItemName(*program), ItemPath, ItemInterface, "ContextMenu", "ii", "5", "5"}, serve),
              0);
    // A quit posted by one of them would have run before this call is answered.
    EXPECT_EQ(client().ItemToolTipTitle(ItemName(*program)), "Pelvane更新程序");
    EXPECT_FALSE(program->Exited());
    EXPECT_TRUE(client().NameHasOwner(ItemName(*program)));
}

TEST_F(TrayTest, SigtermQuitsLikeTheMenu)
{
    program->Signal(SIGTERM);
    ExpectQuitWithItemRemoved();
}

TEST_F(TrayTest, SigintAndSighupQuitLikeTheMenu)
{
    program->Signal(SIGINT);
    ExpectQuitWithItemRemoved();

    program = Start("after-sigint");
    ASSERT_TRUE(WaitForTrayItem(*program));
    program->Signal(SIGHUP);
    ExpectQuitWithItemRemoved();
}

// The panel often owns the watcher's name only after the session started us,
// and a restarted panel has forgotten every item.
using LateWatcherTest = ProgramTest;

TEST_F(LateWatcherTest, ItemRegistersWithEachWatcherThatAppears)
{
    client().WithdrawStatusNotifierWatcher();
    WriteLocalConfig(R"("60")");
    const auto program = Start();
    ASSERT_TRUE(Serve([&] { return client().NameHasOwner(ItemName(*program)); }));
    EXPECT_TRUE(client().registered_items().empty());

    client().ServeStatusNotifierWatcher();
    ASSERT_TRUE(WaitForTrayItem(*program));

    client().WithdrawStatusNotifierWatcher();
    client().ServeStatusNotifierWatcher();
    ASSERT_TRUE(Serve([&] { return client().registered_items().size() == 2; }));
    EXPECT_EQ(client().registered_items(), (std::vector<std::string>{ItemName(*program), ItemName(*program)}));
    EXPECT_EQ(client().ItemToolTipTitle(ItemName(*program)), "Pelvane更新程序");
    EXPECT_FALSE(program->Exited());
}

// The process id of the zenity box the program runs, 0 while none is open.
pid_t BoxOf(pid_t program)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream status(entry.path() / "status");
        std::string name, line;
        pid_t parent = 0;
        while (std::getline(status, line)) {
            if (line.starts_with("Name:\t")) name = line.substr(6);
            if (line.starts_with("PPid:\t")) parent = std::stoi(line.substr(6));
        }
        if (name == "zenity" && parent == program) return std::stoi(entry.path().filename().string());
    }
    return 0;
}

// A message box on a real display: while zenity shows it, the thread goes on
// serving the tray host, posted messages (the installation's notification)
// and the tray's quit item, which closes the box.
TEST_F(ProgramTest, WhileTheBoxIsOpenTheTrayAnswersAndItsQuitItemEndsTheProgram)
{
    if (platform::RunProgram({"sh", "-c", "command -v zenity >/dev/null"}) != 0) GTEST_SKIP() << "no zenity";
    const auto display_server = ChildProcess::Start(
        {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"}, {.capture_output = true});
    const auto display = display_server ? display_server->ReadLine(std::chrono::seconds(10)) : std::nullopt;
    ASSERT_TRUE(display && !display->empty()) << "Xvfb did not start";
    const testing_support::ScopedEnvironment on_display("DISPLAY", ":" + *display);
    std::filesystem::create_directories(std::filesystem::path(std::getenv("WINEPREFIX")) /
                                        "drive_c/Program Files/Common Files/Adobe");
    testing_support::WriteFileBytes(work() / "com.qv.plug.zip", MakePackage(work() / "scratch", "<p>1</p>\n"));
    // Installs, then fails on the interval and opens the start-up failure box.
    WriteLocalConfig(R"("abc")", "no");
    const auto program = Start();
    ASSERT_TRUE(WaitForTrayItem(*program)) << program->Stderr();
    pid_t box = 0;
    ASSERT_TRUE(Serve([&] { return (box = BoxOf(program->pid())) != 0; }, 30s));

    const std::string failure = "启动失败：check interval \"abc\" is not a number";
    EXPECT_TRUE(Serve([&] { return client().ItemToolTip(ItemName(*program)).second == failure; }, 30s));
    EXPECT_TRUE(Serve([&] { return NotificationSummaries() == std::vector<std::string>{"Pelvane安装成功"}; }, 30s));
    EXPECT_EQ(BoxOf(program->pid()), box) << "the box closed before the tray was served";

    EXPECT_EQ(RunBusctl({"call", ItemName(*program), "/MenuBar", "com.canonical.dbusmenu", "Event", "isvu", "4001",
                         "clicked", "s", "", "0"},
                        [this](const std::function<bool()>& ended) { return Serve(ended); }),
              0);
    EXPECT_EQ(WaitForExit(*program), 0);
    EXPECT_NE(kill(box, 0), 0) << "the box outlived the program";
}

}  // namespace
