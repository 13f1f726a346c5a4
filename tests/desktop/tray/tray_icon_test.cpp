#include "desktop/tray/tray_icon.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/message_loop.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"

namespace desktop {
namespace {

using testing_support::BusMessagePtr;
using testing_support::PrivateSessionBus;
using testing_support::SessionBusClient;

constexpr Message CallbackMessage = WmUser + 0x100;
constexpr std::uint16_t QuitCommand = 4001;

struct Posted {
    Message message;
    WParam wparam;
    LParam lparam;
};
std::vector<Posted> posted;

LResult RecordAndQuit(WindowHandle, Message message, WParam wparam, LParam lparam)
{
    posted.push_back({message, wparam, lparam});
    PostQuitMessage(0);
    return 0;
}

void QuitAfterTimeOut(WindowHandle, Message, TimerId, std::uint32_t) { PostQuitMessage(1); }

std::vector<IconImage> TwoImages()
{
    IconImage small{2, 1, {0x11223344u, 0xFF000000u}};
    IconImage large{4, 4, std::vector<std::uint32_t>(16, 0x80FF8000u)};
    return {small, large};
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        posted.clear();
        client.ServeStatusNotifierWatcher();
        record.window = &window;
        record.id = 128;
        record.callback_message = CallbackMessage;
        record.icon = images;
        record.tip = L"Pelvane更新程序";
        record.title = L"MerroUpdate";
        record.menu = {{QuitCommand, L"程序退出"}};
    }
    void TearDown() override { DeleteTrayIcon(record); }

    // Runs the message loop until the window gets a message.
    bool RunUntilPosted()
    {
        SetTimer(10000, QuitAfterTimeOut);
        return loop.Run() == 0;
    }

    BusMessagePtr CallMenu(const char* member, const std::function<void(sd_bus_message*)>& append)
    {
        return client.Call(item_name, "/MenuBar", "com.canonical.dbusmenu", member, append);
    }

    PrivateSessionBus session_bus;
    SessionBusClient client;
    MessageLoop loop;
    HiddenWindow window{loop, RecordAndQuit};
    std::vector<IconImage> images = TwoImages();
    TrayIconRecord record;
    const std::string item_name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-128";
};

TEST_F(TrayIconTest, AddRegistersTheItemWithTheWatcher)
{
    ASSERT_TRUE(AddTrayIcon(record));
    ASSERT_TRUE(client.RunUntil([&] { return !client.registered_items().empty(); }));
    EXPECT_EQ(client.registered_items(), std::vector<std::string>{item_name});
    EXPECT_TRUE(client.NameHasOwner(item_name));
    EXPECT_FALSE(AddTrayIcon(record)) << "the same icon twice";
}

TEST_F(TrayIconTest, ItemCarriesNameStatusTipAndMenu)
{
    ASSERT_TRUE(AddTrayIcon(record));
    EXPECT_EQ(client.ItemProperty(item_name, "Id"), "MerroUpdate");
    EXPECT_EQ(client.ItemProperty(item_name, "Title"), "MerroUpdate");
    EXPECT_EQ(client.ItemProperty(item_name, "Status"), "Active");
    EXPECT_EQ(client.ItemProperty(item_name, "Category"), "ApplicationStatus");
    EXPECT_EQ(client.ItemProperty(item_name, "Menu", "o"), "/MenuBar");
    EXPECT_EQ(client.ItemToolTipTitle(item_name), "Pelvane更新程序");

    const auto is_menu =
        client.GetProperty(item_name, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "ItemIsMenu");
    int value = 1;
    ASSERT_TRUE(is_menu);
    ASSERT_GE(sd_bus_message_read(is_menu.get(), "v", "b", &value), 0);
    EXPECT_FALSE(value);
}

TEST_F(TrayIconTest, IconPixmapIsArgbInNetworkByteOrder)
{
    ASSERT_TRUE(AddTrayIcon(record));
    const auto pixmaps = client.ItemIconPixmaps(item_name);
    ASSERT_EQ(pixmaps.size(), 2u);
    EXPECT_EQ(pixmaps[0].width, 2);
    EXPECT_EQ(pixmaps[0].height, 1);
    EXPECT_EQ(pixmaps[0].bytes, (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0xFF, 0x00, 0x00, 0x00}));
    EXPECT_EQ(pixmaps[1].width, 4);
    EXPECT_EQ(pixmaps[1].bytes.size(), 64u);
}

TEST_F(TrayIconTest, MenuLayoutHoldsTheOneItem)
{
    ASSERT_TRUE(AddTrayIcon(record));
    const auto layout =
        CallMenu("GetLayout", [](sd_bus_message* call) { sd_bus_message_append(call, "iias", 0, -1, 0); });
    ASSERT_TRUE(layout);
    ASSERT_FALSE(sd_bus_message_is_method_error(layout.get(), nullptr));
    std::uint32_t revision = 0;
    std::int32_t root = -1;
    ASSERT_GE(sd_bus_message_read(layout.get(), "u", &revision), 0);
    ASSERT_GE(sd_bus_message_enter_container(layout.get(), 'r', "ia{sv}av"), 0);
    ASSERT_GE(sd_bus_message_read(layout.get(), "i", &root), 0);
    EXPECT_EQ(root, 0);
    ASSERT_GE(sd_bus_message_skip(layout.get(), "a{sv}"), 0);
    ASSERT_GE(sd_bus_message_enter_container(layout.get(), 'a', "v"), 0);

    std::vector<std::int32_t> ids;
    std::vector<std::string> labels;
    while (sd_bus_message_enter_container(layout.get(), 'v', "(ia{sv}av)") > 0) {
        std::int32_t id = 0;
        ASSERT_GE(sd_bus_message_enter_container(layout.get(), 'r', "ia{sv}av"), 0);
        ASSERT_GE(sd_bus_message_read(layout.get(), "i", &id), 0);
        ids.push_back(id);
        ASSERT_GE(sd_bus_message_enter_container(layout.get(), 'a', "{sv}"), 0);
        while (sd_bus_message_enter_container(layout.get(), 'e', "sv") > 0) {
            const char* key = nullptr;
            ASSERT_GE(sd_bus_message_read(layout.get(), "s", &key), 0);
            if (std::string_view(key) == "label") {
                const char* label = nullptr;
                ASSERT_GE(sd_bus_message_read(layout.get(), "v", "s", &label), 0);
                labels.emplace_back(label);
            } else {
                ASSERT_GE(sd_bus_message_skip(layout.get(), "v"), 0);
            }
            ASSERT_GE(sd_bus_message_exit_container(layout.get()), 0);
        }
        ASSERT_GE(sd_bus_message_exit_container(layout.get()), 0);
        ASSERT_GE(sd_bus_message_skip(layout.get(), "av"), 0);
        ASSERT_GE(sd_bus_message_exit_container(layout.get()), 0);
        ASSERT_GE(sd_bus_message_exit_container(layout.get()), 0);
    }
    EXPECT_EQ(ids, std::vector<std::int32_t>{QuitCommand});
    EXPECT_EQ(labels, std::vector<std::string>{"程序退出"});

    EXPECT_EQ(client.MenuItemLabel(item_name, QuitCommand), "程序退出");
}

TEST_F(TrayIconTest, ClickedItemPostsItsCommand)
{
    ASSERT_TRUE(AddTrayIcon(record));
    // Only a click chooses the item.
    for (const char* event : {"hovered", "clicked"}) {
        const auto reply = CallMenu("Event", [&](sd_bus_message* call) {
            sd_bus_message_append(call, "isvu", QuitCommand, event, "s", "", 0u);
        });
        ASSERT_TRUE(reply);
    }
    ASSERT_TRUE(RunUntilPosted());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WmCommand);
    EXPECT_EQ(LowWord(posted[0].wparam), QuitCommand);
}

TEST_F(TrayIconTest, UnknownMenuItemIsReportedByEventGroup)
{
    ASSERT_TRUE(AddTrayIcon(record));
    const auto reply = CallMenu("EventGroup", [](sd_bus_message* call) {
        sd_bus_message_open_container(call, 'a', "(isvu)");
        sd_bus_message_append(call, "(isvu)", 77, "clicked", "s", "", 0u);
        sd_bus_message_close_container(call);
    });
    ASSERT_TRUE(reply);
    const void* ids = nullptr;
    std::size_t size = 0;
    ASSERT_GE(sd_bus_message_read_array(reply.get(), 'i', &ids, &size), 0);
    ASSERT_EQ(size, sizeof(std::int32_t));
    EXPECT_EQ(*static_cast<const std::int32_t*>(ids), 77);
}

TEST_F(TrayIconTest, ContextMenuRequestArrivesAsRightButtonUp)
{
    ASSERT_TRUE(AddTrayIcon(record));
    const auto reply = client.Call(item_name, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "ContextMenu",
                                   [](sd_bus_message* call) { sd_bus_message_append(call, "ii", 10, 20); });
    ASSERT_TRUE(reply);
    ASSERT_TRUE(RunUntilPosted());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, CallbackMessage);
    EXPECT_EQ(posted[0].wparam, 128u);
    EXPECT_EQ(posted[0].lparam, static_cast<LParam>(WmRButtonUp));
}

TEST_F(TrayIconTest, DeleteReleasesTheName)
{
    ASSERT_TRUE(AddTrayIcon(record));
    ASSERT_TRUE(client.NameHasOwner(item_name));
    EXPECT_TRUE(DeleteTrayIcon(record));
    EXPECT_FALSE(client.NameHasOwner(item_name));
    EXPECT_FALSE(DeleteTrayIcon(record));
}

TEST(TrayIconWithoutBusTest, AddFailsWithoutASessionBus)
{
    const testing_support::ScopedEnvironment no_bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    MessageLoop loop;
    HiddenWindow window(loop, RecordAndQuit);
    TrayIconRecord record;
    record.window = &window;
    record.id = 128;
    EXPECT_FALSE(AddTrayIcon(record));
    EXPECT_FALSE(DeleteTrayIcon(record));
}

}  // namespace
}  // namespace desktop
