#include "platform/security/access_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

using platform::AllowedEntry;
using platform::kFilesInherit;
using platform::kFoldersInherit;
using platform::kInheritedEntry;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kAllowed = 0;
constexpr std::uint8_t kDenied = 1;
constexpr std::uint32_t kModify = 0x1301BF;

// S-1-5-21-1-2-3-1001: some domain user.
const Bytes kSomeUser = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xE9, 3, 0, 0};

struct Ace {
    std::uint8_t type;
    AllowedEntry entry;
};

// An ACL as Windows lays it out; `slack` unused bytes at its end.
Bytes Acl(const std::vector<Ace>& aces, std::size_t slack = 0)
{
    Bytes entries;
    for (const Ace& ace : aces) {
        const std::size_t size = 8 + ace.entry.sid.size();
        const std::uint32_t mask = ace.entry.rights;
        entries.insert(entries.end(), {ace.type, ace.entry.flags, static_cast<std::uint8_t>(size), 0,
                                       static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
                                       static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24)});
        entries.insert(entries.end(), ace.entry.sid.begin(), ace.entry.sid.end());
    }
    const std::size_t size = 8 + entries.size() + slack;
    Bytes acl = {2,
                 0,
                 static_cast<std::uint8_t>(size),
                 static_cast<std::uint8_t>(size >> 8),
                 static_cast<std::uint8_t>(aces.size()),
                 static_cast<std::uint8_t>(aces.size() >> 8),
                 0,
                 0};
    acl.resize(size, 0);
    std::copy(entries.begin(), entries.end(), acl.begin() + 8);
    return acl;
}

const AllowedEntry kOurs{platform::UsersGroupSid(), kModify, kFilesInherit | kFoldersInherit};
const AllowedEntry kInheritedOurs{platform::UsersGroupSid(), kModify,
                                  kFilesInherit | kFoldersInherit | kInheritedEntry};
const AllowedEntry kUserDenied{kSomeUser, 0x10000, 0};
const AllowedEntry kUserAllowed{kSomeUser, 0x1F01FF, kFoldersInherit};
// What an administrator gave the Users group: the same SID, other rights.
const AllowedEntry kAdministratorsGrant{platform::UsersGroupSid(), 0x1200A9, kFilesInherit | kFoldersInherit};

TEST(AccessListTest, GrantGoesAfterTheExplicitEntriesAndBeforeTheInheritedOnes)
{
    const Bytes before = Acl({{kDenied, kUserDenied}, {kAllowed, kUserAllowed}, {kAllowed, kInheritedOurs}}, 12);
    EXPECT_EQ(platform::WithAllowedEntry(before, kOurs),
              Acl({{kDenied, kUserDenied}, {kAllowed, kUserAllowed}, {kAllowed, kOurs}, {kAllowed, kInheritedOurs}}));
    EXPECT_EQ(platform::WithAllowedEntry(Acl({}), kOurs), Acl({{kAllowed, kOurs}}));
}

TEST(AccessListTest, GrantIsMadeOnceAndOnlyAnExactTwinCountsAsMade)
{
    EXPECT_EQ(platform::WithAllowedEntry(Acl({{kAllowed, kUserAllowed}, {kAllowed, kOurs}}), kOurs), std::nullopt);
    // An inherited copy, the same rights denied, or other rights of the same group are not ours.
    for (const Ace& other : {Ace{kAllowed, kInheritedOurs}, Ace{kDenied, kOurs}, Ace{kAllowed, kAdministratorsGrant},
                             Ace{kAllowed, {kOurs.sid, kOurs.rights, kFilesInherit}}}) {
        EXPECT_EQ(platform::WithAllowedEntry(Acl({other}), kOurs),
                  Acl(other.entry.flags & kInheritedEntry ? std::vector<Ace>{{kAllowed, kOurs}, other}
                                                          : std::vector<Ace>{other, {kAllowed, kOurs}}));
    }
}

TEST(AccessListTest, RevokeRemovesOnlyTheExactExplicitEntry)
{
    const std::vector<Ace> others = {{kAllowed, kAdministratorsGrant}, {kDenied, kUserDenied}};
    const Bytes granted = Acl({others[0], {kAllowed, kOurs}, others[1], {kAllowed, kInheritedOurs}});
    EXPECT_EQ(platform::WithoutAllowedEntry(granted, kOurs), Acl({others[0], others[1], {kAllowed, kInheritedOurs}}));
    EXPECT_EQ(platform::WithoutAllowedEntry(Acl({others[0], others[1], {kAllowed, kInheritedOurs}}), kOurs),
              std::nullopt);
    // Twice granted (an administrator's exact twin and ours): one goes.
    EXPECT_EQ(platform::WithoutAllowedEntry(Acl({{kAllowed, kOurs}, {kAllowed, kOurs}}), kOurs),
              Acl({{kAllowed, kOurs}}));
}

TEST(AccessListTest, MalformedOrOverfullListsAreRefused)
{
    const Bytes good = Acl({{kAllowed, kUserAllowed}});
    Bytes too_big = good;
    too_big[2] = static_cast<std::uint8_t>(good.size() + 4);
    Bytes entry_overruns = good;
    entry_overruns[8 + 2] = static_cast<std::uint8_t>(good.size());
    Bytes count_overruns = good;
    count_overruns[4] = 2;
    Bytes odd_entry = good;
    odd_entry[8 + 2] = 9;
    for (const Bytes& bad :
         {Bytes(good.begin(), good.begin() + 6), too_big, entry_overruns, count_overruns, odd_entry}) {
        EXPECT_THROW(platform::WithAllowedEntry(bad, kOurs), std::invalid_argument);
        EXPECT_THROW(platform::WithoutAllowedEntry(bad, kOurs), std::invalid_argument);
    }
    // 64 KiB less than one more entry of ours.
    const std::vector<Ace> full((0xFFFF - 8) / 36, Ace{kAllowed, kUserAllowed});
    ASSERT_GT(Acl(full).size() + 24, 0xFFFFu);
    EXPECT_THROW(platform::WithAllowedEntry(Acl(full), kOurs), std::invalid_argument);
}

}  // namespace
